#include "cli/commands.h"

#include "admin/core/sampledata.h"
#include "cli/password.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/embedded.h"

#include <QDir>
#include <QFileInfo>

namespace tarvest {

int runSampleCommand(const QStringList& given, QTextStream& out, QTextStream& err)
{
    QStringList args = given;
    const QString passwordFile = takePasswordFileOption(args);
    const bool embedded = args.size() == 1 && args[0] == QLatin1String("--embedded");
    if (!embedded && (args.size() != 2 || (args[0] != QLatin1String("--sqlite") && args[0] != QLatin1String("--pg")))) {
        err << "usage: tarvest-admin sample --sqlite FILE | --pg \"host=... port=... dbname=... user=...\" [--password-file FILE] | --embedded\n";
        return 2;
    }
    try {
        std::unique_ptr<Database> db;
        if (embedded) {
            db = openEmbeddedDatabase(); // the program's own file, made ready if new
            out << db->description() << '\n';
        } else if (args[0] == QLatin1String("--sqlite")) {
            QDir().mkpath(QFileInfo(args[1]).absolutePath());
            db = Database::openSqlite(args[1], true);
        } else {
            db = openServerDatabase(args[1], passwordFile, err);
        }
        const SampleSummary s = fillSampleData(*db);
        out << QStringLiteral("sample data written: %1 villages, %2 setting values, %3 users "
                              "(password \"%4\"), %5 cases\n")
                   .arg(s.villages)
                   .arg(s.settingValues)
                   .arg(s.users)
                   .arg(kSamplePassword)
                   .arg(s.cases);
        return 0;
    } catch (const Error& e) {
        err << e.message() << '\n';
        return 1;
    }
}

} // namespace tarvest
