#include "cli/commands.h"

#include "cli/password.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"

namespace tarvest {

int runProvisionCommand(const QStringList& given, QTextStream& out, QTextStream& err)
{
    QStringList args = given;
    try {
        const QString passwordFile = takePasswordFileOption(args);
        if (args.size() != 2 || (args[0] != QLatin1String("--sqlite") && args[0] != QLatin1String("--pg"))) {
            err << "usage: tarvest-admin provision --sqlite FILE | --pg \"host=... port=... dbname=... user=...\" "
                   "[--password-file FILE]\n";
            return 2;
        }
        std::unique_ptr<Database> db;
        if (args[0] == QLatin1String("--sqlite")) {
            db = Database::openSqlite(args[1], true);
        } else {
            db = openServerDatabase(args[1], passwordFile, err);
        }
        const QList<ProvisionStep> steps = provision(*db);
        for (const ProvisionStep& s : steps)
            out << describe(s) << '\n';
        return provisionSucceeded(steps) ? 0 : 1;
    } catch (const Error& e) {
        err << e.message() << '\n';
        return 1;
    }
}

} // namespace tarvest
