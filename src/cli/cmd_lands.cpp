#include "cli/commands.h"

#include "cli/password.h"
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "db/database.h"
#include "lands/core/lands.h"

#include <QFileInfo>

namespace tarvest {

int runImportLandsCommand(const QStringList& given, QTextStream& out, QTextStream& err)
{
    QStringList args = given;
    const QString passwordFile = takePasswordFileOption(args);
    if (args.size() != 3 || (args[1] != QLatin1String("--sqlite") && args[1] != QLatin1String("--pg"))) {
        err << "usage: tarvest-admin import-lands FILE --sqlite DB | --pg \"host=... port=... dbname=... "
               "user=...\" [--password-file FILE]\n";
        return 2;
    }
    try {
        // The sheet is read and checked whole before the database is touched.
        const QList<QStringList> rows = landRowsFromSheet(readLandSheet(args[0]));
        std::unique_ptr<Database> db;
        if (args[1] == QLatin1String("--sqlite")) {
            if (!QFileInfo::exists(args[2]))
                throw Error(QStringLiteral("خطا! فايل بانک %1 پيدا نشد").arg(args[2]));
            db = Database::openSqlite(args[2], false);
        } else {
            db = openServerDatabase(args[2], passwordFile, err);
        }
        for (const char* table : {"arazi", "sh"})
            if (!db->tableExists(QLatin1String(table)))
                throw Error(QStringLiteral("خطا! جدول %1 در اين بانک نيست؛ ابتدا provision را اجرا كنيد")
                                .arg(QLatin1String(table)));
        const int n = replaceLands(*db, rows);
        out << QStringLiteral("land records replaced: %1 rows\n").arg(n);
        return 0;
    } catch (const Error& e) {
        err << e.message() << '\n';
        err << "land records unchanged\n";
        return 1;
    }
}

} // namespace tarvest
