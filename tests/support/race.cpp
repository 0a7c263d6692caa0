#include "race.h"

#include "common/errors.h"

#include <atomic>
#include <barrier>
#include <mutex>
#include <thread>

namespace tarvest::test {

std::vector<int> raceSaves(const TempDatabase& tmp, int workers, int rounds,
                           const std::function<bool(Database& db, int round, int worker)>& save)
{
    std::vector<std::atomic<int>> saved(rounds);
    std::barrier start(workers);
    std::mutex failuresLock;
    std::vector<std::string> failures;
    const auto fail = [&](const std::string& what) {
        std::lock_guard lock(failuresLock);
        failures.push_back(what);
    };

    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&, w] {
            std::unique_ptr<Database> db;
            try {
                db = tmp.openAnother(); // opened and used in this thread only
            } catch (const Error& e) {
                fail(e.message().toStdString());
            }
            for (int round = 0; round < rounds; ++round) {
                start.arrive_and_wait();
                if (!db)
                    continue;
                try {
                    if (save(*db, round, w))
                        ++saved[round];
                } catch (const Error& e) {
                    fail(e.message().toStdString());
                } catch (const std::exception& e) {
                    fail(e.what());
                }
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (const std::string& f : failures)
        ADD_FAILURE() << "a save failed: " << f;

    std::vector<int> counts;
    for (const auto& n : saved)
        counts.push_back(n.load());
    return counts;
}

} // namespace tarvest::test
