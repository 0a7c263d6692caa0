#include "cli/commands.h"

#include "cli/password.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"

namespace tarvest {

namespace {

void printUsage(QTextStream& err)
{
    err << "usage: tarvest-admin init-server --pg \"host=... port=... dbname=... user=...\" [--password-file FILE]\n";
}

// A database name as an SQL identifier: quoted, so names such as "tarvest-office" or a
// capital letter are kept as typed.
QString quotedIdentifier(const QString& name)
{
    QString inner = name;
    inner.replace(u'"', QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

// The server's own maintenance database, reached with the same login: "postgres", or
// "template1" on a server whose "postgres" database was removed.
std::unique_ptr<Database> openMaintenance(const PgParams& target)
{
    PgParams maintenance = target;
    maintenance.database = QStringLiteral("postgres");
    try {
        return Database::openPostgres(maintenance);
    } catch (const Error&) {
        maintenance.database = QStringLiteral("template1");
        return Database::openPostgres(maintenance);
    }
}

bool databaseExists(Database& server, const QString& name)
{
    return server.scalar(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = ?"), {name}).isValid();
}

// Creates the database on the server, through its maintenance database; false when it was
// there after all (another administrator created it at the same moment). Persian texts
// need UTF-8: a server whose template is in another encoding gets the new database from
// template0 in UTF-8.
bool createDatabase(Database& server, const QString& name)
{
    const QString encoding = server
                                 .scalar(QStringLiteral(
                                     "SELECT pg_encoding_to_char(encoding) FROM pg_database WHERE datname = "
                                     "'template1'"))
                                 .toString();
    QString sql = QStringLiteral("CREATE DATABASE ") + quotedIdentifier(name);
    if (encoding != QLatin1String("UTF8"))
        sql += QStringLiteral(" TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C.UTF-8' LC_CTYPE 'C.UTF-8'");
    try {
        server.exec(sql);
    } catch (const Error&) {
        if (databaseExists(server, name))
            return false;
        throw;
    }
    return true;
}

// Opens the office's database, creating it first when the server has none of that name.
// A database that can be opened is present, so a repeat needs no maintenance connection
// (a server may admit the office's login to its own database alone). created tells
// whether this run made it.
std::unique_ptr<Database> openOrCreate(const PgParams& target, bool& created)
{
    created = false;
    try {
        return Database::openPostgres(target);
    } catch (const Error& direct) {
        std::unique_ptr<Database> server;
        try {
            server = openMaintenance(target);
        } catch (const Error&) {
            throw direct; // the server refuses this login altogether: its first reason stands
        }
        if (databaseExists(*server, target.database))
            throw direct; // present, but not to be opened: the reason stands
        created = createDatabase(*server, target.database);
    }
    return Database::openPostgres(target);
}

} // namespace

int runInitServerCommand(const QStringList& given, QTextStream& out, QTextStream& err)
{
    QStringList args = given;
    try {
        const QString passwordFile = takePasswordFileOption(args);
        if (args.size() != 2 || args[0] != QLatin1String("--pg")) {
            printUsage(err);
            return 2;
        }
        PgParams target = PgParams::parse(args[1]);
        if (target.database.isEmpty()) {
            err << "the connection string names no database: add dbname=NAME (for example dbname=tarvest)\n";
            printUsage(err);
            return 2;
        }
        if (!target.password.isEmpty())
            err << QStringLiteral("هشدار: رمزي که در خط فرمان نوشته شود را ديگر کاربران اين رايانه مي بينند؛ "
                                  "--password-file يا TARVEST_PG_PASSWORD را به کار ببريد / warning: a password "
                                  "on the command line is visible to other users\n");
        supplyPassword(target, passwordFile);

        bool created = false;
        std::unique_ptr<Database> db = openOrCreate(target, created);
        out << QStringLiteral("database %1: %2\n").arg(target.database, created ? "created" : "already present");
        const QList<ProvisionStep> steps = provision(*db);
        for (const ProvisionStep& s : steps)
            out << describe(s) << '\n';
        if (!provisionSucceeded(steps)) {
            err << "the database is not ready: see the failed tables above\n";
            return 1;
        }

        // What each workstation enters in its connection settings ("تنظيمات اتصال به بانک"),
        // with the password given to its user there, never printed here.
        const QString host = target.host.isEmpty() ? QStringLiteral("localhost") : target.host;
        out << QStringLiteral("workstations connect with: host=%1 port=%2 dbname=%3 user=%4\n")
                   .arg(host)
                   .arg(target.port)
                   .arg(target.database, target.user);
        out << QStringLiteral("  (connection settings: server %1:%2, database %3, user %4 and its password)\n")
                   .arg(host)
                   .arg(target.port)
                   .arg(target.database, target.user);
        if (target.host.isEmpty() || target.host.startsWith(u'/') || target.host == QLatin1String("localhost")
            || target.host == QLatin1String("127.0.0.1"))
            err << "note: workstations need the server's network name or address in place of " << host << '\n';
        return 0;
    } catch (const Error& e) {
        err << e.message() << '\n';
        return 1;
    }
}

} // namespace tarvest
