#pragma once
// Bringing the old program's SQL Server database over: the rows of a Management Studio
// data script (admin/core/legacyscript.h) copied into the tables and columns of the same
// names, all or nothing.
//
// The target must hold no rows; its tables are made without the rows a new database
// gets, so it then holds exactly the script's rows, keys as they were, every identity
// counter set past the largest key. Values are converted as each column wants them:
// amounts and whole numbers exactly (never through binary floating point), bits as 0/1,
// server times as seconds, texts as they are, stored files byte for byte, message texts
// (payamha.cmt) from UTF-16, UTF-8 or Windows-1256 into UTF-8, and the plain passwords of
// users (users.ps) and attachments (zamaem.ramz) into their salted hashes, so nobody's
// plain password is stored, printed or reported. Tables and columns that Tarvest does not
// have are reported by name and left out; a value that does not fit its column, a key
// given twice, a script cut short or a database refusal is reported with its table, key
// and column, and then nothing is written.
#include "admin/core/legacyscript.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

namespace tarvest {

class Database;
struct Column;

struct MigratedTable {
    QString table;
    qint64 read = 0;    // rows of the script
    qint64 written = 0; // rows stored (0 when nothing was written)
    qint64 ms = 0;      // time spent reading, converting and writing them
};

struct MigrationReport {
    QString encoding;
    qint64 bytes = 0;            // of the script
    QList<MigratedTable> tables; // in the order of the script
    QStringList unknownTables;   // left out
    QStringList unknownColumns;  // "table.column", left out
    QStringList problems;        // the first kMaxListed reasons for refusing
    qint64 problemCount = 0;     // all of them
    bool truncated = false;      // the script ends in the middle
    bool written = false;        // the target now holds the rows
    static constexpr int kMaxListed = 100;

    bool refused() const { return problemCount > 0; }
    qint64 rowsRead() const;
};

struct MigrationOptions {
    bool checkOnly = false; // read and check everything, write nothing
    // Called now and then with the script's bytes read so far and its size.
    std::function<void(qint64 done, qint64 total)> progress;
    // Stored files larger than this are kept in a temporary file, not in memory, between
    // the script and the database.
    qint64 spillBytes = 8 * 1024 * 1024;
};

// Copies the script's rows into `db` (a PostgreSQL database or a SQLite file) in one
// transaction. With checkOnly `db` may be null. Throws tarvest::Error, having written
// nothing, when the script cannot be opened or the target already holds rows; every
// other problem is in the report, and then nothing is written.
MigrationReport migrateScript(const QString& scriptPath, Database* db, const MigrationOptions& options);

// The same into a SQLite file: the rows go into a new file beside it, which replaces the
// file only once complete; a refused migration leaves the file as it was. An existing file
// is accepted only when none of its tables holds rows.
MigrationReport migrateScriptToSqliteFile(const QString& scriptPath, const QString& file,
                                          const MigrationOptions& options);

// Refuses (tarvest::Error naming the table) a database any of whose tables holds rows.
void requireEmptyTarget(Database& db);

// The report as the command prints it: one line per table ("komision: 1200 read, 1200
// written, 3.4 s"), the tables and columns left out, then the problems.
QStringList describeReport(const MigrationReport& report);

// The value a column is given for one script value. Returns the reason (Persian) when
// the value does not fit the column; `out` then means nothing. Passwords are not hashed
// here (migrateScript does that).
std::optional<QString> convertLegacyValue(const Column& column, const ScriptValue& value, QVariant& out);

// A message text as the old program stored it (UTF-16 with or without its byte-order
// mark, UTF-8, or Windows-1256), as the UTF-8 the messages screen reads.
QByteArray legacyMessageToUtf8(const QByteArray& stored);

} // namespace tarvest
