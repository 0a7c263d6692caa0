#pragma once
// Workstations saving at the same moment: threads that each keep their own
// connection to one test database and are released together, round after round.
#include "testdb.h"

#include <functional>
#include <vector>

namespace tarvest::test {

// Runs `save(db, round, worker)` on `workers` threads at once, `rounds` times; each thread
// opens its own connection to the database of `tmp` and keeps it for the whole run.
// `save` returns true when its save went through and false when it was refused; an
// exception fails the test with its message. Returns the number of saves that went
// through in each round.
std::vector<int> raceSaves(const TempDatabase& tmp, int workers, int rounds,
                           const std::function<bool(Database& db, int round, int worker)>& save);

} // namespace tarvest::test
