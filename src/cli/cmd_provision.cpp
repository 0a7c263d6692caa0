#include "cli/commands.h"

#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"

namespace tarvest {

int runProvisionCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.size() != 2 || (args[0] != QLatin1String("--sqlite") && args[0] != QLatin1String("--pg"))) {
        err << "usage: tarvest-admin provision --sqlite FILE | --pg \"host=... port=... dbname=... user=...\"\n";
        return 2;
    }
    try {
        std::unique_ptr<Database> db = args[0] == QLatin1String("--sqlite") ? Database::openSqlite(args[1], true)
                                                                            : Database::openPostgres(args[1]);
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
