// Runs until a file appears, then ends with a chosen exit code: a process whose end a test decides.
//   varnel_wait_for_file PATH CODE

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    while (!std::filesystem::exists(argv[1])) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return std::atoi(argv[2]);
}
