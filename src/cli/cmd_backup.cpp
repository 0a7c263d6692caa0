#include "cli/commands.h"

#include "admin/core/backup.h"
#include "cli/password.h"
#include "common/errors.h"
#include "common/jalali.h"
#include "db/database.h"

namespace tarvest {

namespace {

bool databaseOption(const QString& option)
{
    return option == QLatin1String("--sqlite") || option == QLatin1String("--pg");
}

} // namespace

int runBackupCommand(const QStringList& given, QTextStream& out, QTextStream& err)
{
    QStringList args = given;
    const QString passwordFile = takePasswordFileOption(args);
    if (args.size() != 3 || !databaseOption(args[1])) {
        err << "usage: tarvest-admin backup FOLDER --sqlite DB | --pg \"host=... port=... dbname=... user=...\" "
               "[--password-file FILE]\n";
        return 2;
    }
    try {
        QString written;
        if (args[1] == QLatin1String("--sqlite")) {
            written = backupSqliteFile(args[2], args[0], TodayJalali());
        } else {
            // Opening first checks the server and the password before pg_dump runs.
            const std::unique_ptr<Database> db = openServerDatabase(args[2], passwordFile, err);
            written = backupDatabase(*db, args[0], TodayJalali());
        }
        out << "backup written: " << written << '\n';
        return 0;
    } catch (const Error& e) {
        err << e.message() << '\n';
        err << "no backup written\n";
        return 1;
    }
}

int runRestoreCommand(const QStringList& given, QTextStream& out, QTextStream& err)
{
    QStringList args = given;
    const QString passwordFile = takePasswordFileOption(args);
    if (args.size() != 3 || !databaseOption(args[1])) {
        err << "usage: tarvest-admin restore FILE --sqlite DB | --pg \"host=... port=... dbname=... user=...\" "
               "[--password-file FILE]\n";
        return 2;
    }
    try {
        if (args[1] == QLatin1String("--sqlite")) {
            restoreSqliteFile(args[0], args[2]);
        } else {
            PgParams params = PgParams::parse(args[2]);
            supplyPassword(params, passwordFile);
            restorePostgres(args[0], params);
        }
        out << "restored: " << args[0] << '\n';
        return 0;
    } catch (const Error& e) {
        err << e.message() << '\n';
        err << "nothing restored\n";
        return 1;
    }
}

} // namespace tarvest
