#pragma once
// A full backup of the register's database into a folder, and its restore into an empty
// database; shared by the backup screen and `tarvest-admin backup` / `restore`.
//
// - A SQLite file is copied through SQLite's online backup: one read transaction on the
//   source, so the copy is the database as of one moment even while other workstations
//   write (they wait for it through their busy timeout), and the copy is checked.
// - A PostgreSQL database is written by `pg_dump --format=custom` (the PostgreSQL client
//   tools, package postgresql-client), run by the program with the connection's own
//   parameters; `pg_restore` brings it back.
// The file is named "pelarin" + year + "_" + month + "_" + day of today's Jalali date, with
// no extension; a second backup of the day in the same folder gets "_2", "_3", ...; an
// earlier file is never replaced. Everything is written to a hidden temporary file in the
// folder first (common/safefile.h), so a backup that fails leaves no file behind.
// Failures throw tarvest::Error with the reason in Persian.
#include "db/database.h"

#include <QString>

#include <functional>

namespace tarvest {

// "pelarin1403_09_19" for the Jalali date text "1403/09/19".
QString backupBaseName(const QString& jalaliDate);

// The message of a failed backup, followed by its reason on a line of its own.
QString backupFailureMessage(const QString& reason);
// "فايل پشتيبان تهيه شد"
QString backupDoneMessage();

// How far a backup is: `done` of `total` (SQLite: pages). PostgreSQL's pg_dump tells
// nothing on the way.
using BackupProgress = std::function<void(qint64 done, qint64 total)>;

// Backs up the database `db` is connected to into `folder` and returns the path written.
QString backupDatabase(const Database& db, const QString& folder, const QString& jalaliToday);

// What a backup reads, taken from the connection on its own thread, so that the backup
// itself (`backupFrom`) can run on another one: it opens its own SQLite connection or
// runs pg_dump, and never touches the program's connection. `progress` is called on the
// backup's thread.
struct BackupSource {
    DbKind kind = DbKind::Sqlite;
    QString sqlitePath;
    PgParams pg;
};
BackupSource backupSourceOf(const Database& db);
QString backupFrom(const BackupSource& source, const QString& folder, const QString& jalaliToday,
                   const BackupProgress& progress = {});

// The two kinds on their own (tarvest-admin names the database without opening it).
QString backupSqliteFile(const QString& databasePath, const QString& folder, const QString& jalaliToday,
                         const BackupProgress& progress = {});
QString backupPostgres(const PgParams& params, const QString& folder, const QString& jalaliToday);

// Restores a backup file into a SQLite file that does not exist yet or holds no table.
void restoreSqliteFile(const QString& backupPath, const QString& databasePath);
// Restores a backup file into a PostgreSQL database that holds no table, in one transaction.
void restorePostgres(const QString& backupPath, const PgParams& params);

// What kind of database a backup file holds, from its first bytes.
enum class BackupKind { Unknown, Sqlite, Postgres };
BackupKind backupKind(const QString& backupPath);

// The PostgreSQL client program `name` ("pg_dump", "pg_restore"): TARVEST_PG_BIN's folder
// when set, else PATH; throws when it is not installed.
QString postgresTool(const QString& name);

} // namespace tarvest
