#pragma once
// The activity log: one row of table log per chosen action, saying who did it, from
// which workstation, when, and what.
#include <QString>

namespace tarvest {

class Database;

// Writes a log row for the user: workstation address and host name, the local time
// of day (long format) and Jalali date, the description; the server fills saat_sys.
// A failure throws tarvest::Error, which ends the action that writes it.
void writeLogRecord(Database& db, const QString& userName, const QString& description);

} // namespace tarvest
