#pragma once
// The commands of tarvest-admin. Each takes the words that follow its name on the
// command line, writes its result to out and its complaints to err, and returns the
// process exit code (0 done, 1 failed, 2 wrong usage).
#include <QStringList>
#include <QTextStream>

namespace tarvest {

// "date": today's Jalali date, or the Jalali date of a Gregorian date given as
// YYYY-MM-DD, as the ten-character date text ("2029-03-20" -> "1408/01/01").
int runDateCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// "provision --sqlite FILE | --pg CONNINFO [--password-file FILE]": creates the tables
// a database lacks and prints, per table, created / already present / failed with the
// reason. The server's password comes from the file, TARVEST_PG_PASSWORD or libpq's own
// PGPASSWORD / PGPASSFILE (cli/password.h) rather than from CONNINFO.
int runProvisionCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// "sample --sqlite FILE | --pg CONNINFO [--password-file FILE] | --embedded" (the program's own embedded
// file): makes the database ready and fills it with
// a small made-up province, users of every level and a few dozen cases; refuses a
// database that already holds cases.
int runSampleCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// "import-gazetteer FILE --sqlite DB | --pg CONNINFO [--password-file FILE]": replaces the
// village gazetteer with sheet "Sheet1" of the .xlsx or .xls FILE (the seven grid columns
// in A to G under a heading row, or the gazetteer's own export), all or nothing; prints the
// villages written, or why it refused.
int runImportGazetteerCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// "backup FOLDER --sqlite DB | --pg CONNINFO [--password-file FILE]": writes a full backup
// of the database into FOLDER as "pelarin" + today's Jalali year_month_day ("_2", "_3", ...
// for more of the same day; SQLite's online backup, or pg_dump's custom format) and prints
// its path; a failure leaves no file.
int runBackupCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// "restore FILE --sqlite DB | --pg CONNINFO [--password-file FILE]": brings a backup back
// into a SQLite file that is new or holds no table, or a PostgreSQL database without tables.
int runRestoreCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// "import-lands FILE --sqlite DB | --pg CONNINFO [--password-file FILE]": replaces the land
// records with sheet "sh" of the .xlsx or .xls FILE (or the land list's own export), all or
// nothing; prints the rows written, or why it refused.
int runImportLandsCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// "init-server --pg CONNINFO [--password-file FILE]": with an owner's login, creates the
// database CONNINFO names when the server lacks it (through the server's maintenance
// database), provisions it, and prints the connection line each workstation enters.
// A second run creates nothing and changes nothing.
int runInitServerCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// "migrate SCRIPT --sqlite DB | --pg CONNINFO [--password-file FILE] [--check]": copies
// the rows of the old program's SQL Server database, as Management Studio's "Generate
// Scripts" writes them, into an empty database, all or nothing; prints per table the
// rows read and written and the time, the tables and columns left out and every problem.
// With --check (the target may then be left out) it reads and checks the whole script
// and writes nothing.
int runMigrateCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// "sheet FILE [--sheet NAME]": what the imports see in a spreadsheet file, as one JSON
// object on stdout: {"sheets": [every sheet name], "sheet": the sheet read (the first
// without --sheet), "rows": [[row 1 from column A], [row 2], ...]}, every cell the text
// the imports read ("" for an empty cell; a row ends at its last non-empty cell). A file it
// cannot read: exit 1 and the Persian reason on stderr.
int runSheetCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace tarvest
