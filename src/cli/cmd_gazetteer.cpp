#include "cli/commands.h"

#include "admin/core/gazetteer.h"
#include "cli/password.h"
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "db/database.h"

#include <QFileInfo>

namespace tarvest {

int runImportGazetteerCommand(const QStringList& given, QTextStream& out, QTextStream& err)
{
    QStringList args = given;
    const QString passwordFile = takePasswordFileOption(args);
    if (args.size() != 3 || (args[1] != QLatin1String("--sqlite") && args[1] != QLatin1String("--pg"))) {
        err << "usage: tarvest-admin import-gazetteer FILE --sqlite DB | --pg \"host=... port=... dbname=... "
               "user=...\" [--password-file FILE]\n";
        return 2;
    }
    try {
        // The sheet is read and checked whole before the database is touched.
        const QList<Village> villages = gazetteerFromSheet(readSheet(args[0], QStringLiteral("Sheet1")));
        std::unique_ptr<Database> db;
        if (args[1] == QLatin1String("--sqlite")) {
            if (!QFileInfo::exists(args[2]))
                throw Error(QStringLiteral("خطا! فايل بانک %1 پيدا نشد").arg(args[2]));
            db = Database::openSqlite(args[2], false);
        } else {
            db = openServerDatabase(args[2], passwordFile, err);
        }
        if (!db->tableExists(QStringLiteral("abadiha")))
            throw Error(QStringLiteral("خطا! جدول آبادي ها (abadiha) در اين بانک نيست؛ ابتدا provision را اجرا كنيد"));
        const int n = replaceGazetteer(*db, villages);
        out << QStringLiteral("gazetteer replaced: %1 villages\n").arg(n);
        return 0;
    } catch (const Error& e) {
        err << e.message() << '\n';
        err << "gazetteer unchanged\n";
        return 1;
    }
}

} // namespace tarvest
