// Does nothing until it is ended: a program for tests to find and end by name. It gives up by itself
// after SECONDS (default 120), so that one left behind by a failed test goes away.
//   varnel_sleeper [SECONDS]

#include <chrono>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 120;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return 0;
}
