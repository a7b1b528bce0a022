#include "support/write_stress.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "storage/user_defaults.h"

namespace varnel::test {

std::ostream& operator<<(std::ostream& out, const WriteStressFigures& f) {
    return out << f.reads << " reads, " << f.tornReads << " torn, " << f.tornFinalFiles << " torn final files, "
               << f.failedWrites << " failed writes";
}

WriteStressFigures stressOneUserDefault(const storage::DataFolder& data, const WriteStress& stress) {
    std::vector<std::string> values;
    for (int i = 0; i < stress.writers; ++i) values.emplace_back(std::size_t(2048 + 64 * i), static_cast<char>('A' + i % 26));
    const auto whole = [&](const std::string& v) { return std::find(values.begin(), values.end(), v) != values.end(); };
    storage::writeUserDefaults(data, "shared", values[0]);

    std::atomic<int> reads{0}, tornReads{0}, failedWrites{0};
    int tornFinalFiles = 0;
    for (int round = 0; round < stress.rounds; ++round) {
        std::atomic<bool> writing{true};
        std::latch start(stress.writers + stress.readers);
        std::vector<std::thread> writers, readers;
        for (int i = 0; i < stress.writers; ++i)
            writers.emplace_back([&, i] {
                start.arrive_and_wait();
                try {
                    storage::writeUserDefaults(data, "shared", values[i]);
                } catch (const std::exception&) {
                    ++failedWrites;
                }
            });
        for (int i = 0; i < stress.readers; ++i)
            readers.emplace_back([&] {
                start.arrive_and_wait();
                do {
                    if (!whole(storage::readUserDefaults(data, "shared"))) ++tornReads;
                    ++reads;
                    if (stress.readerPause.count() > 0) std::this_thread::sleep_for(stress.readerPause);
                    else std::this_thread::yield();
                } while (writing);
            });
        for (auto& t : writers) t.join();
        writing = false;
        for (auto& t : readers) t.join();
        if (!whole(storage::readUserDefaults(data, "shared"))) ++tornFinalFiles;
    }
    return {reads, tornReads, tornFinalFiles, failedWrites};
}

}  // namespace varnel::test
