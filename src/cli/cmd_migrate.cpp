#include "cli/commands.h"

#include "admin/core/migration.h"
#include "cli/password.h"
#include "common/errors.h"
#include "db/database.h"

#include <QFileInfo>

namespace tarvest {

namespace {

QString mebibytes(qint64 bytes)
{
    return QString::number(bytes / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MiB");
}

} // namespace

int runMigrateCommand(const QStringList& given, QTextStream& out, QTextStream& err)
{
    QStringList args = given;
    try {
        const QString passwordFile = takePasswordFileOption(args);
        const bool check = args.removeAll(QStringLiteral("--check")) > 0;
        const bool target = args.size() == 3
                            && (args[1] == QLatin1String("--sqlite") || args[1] == QLatin1String("--pg"));
        if (!(target || (check && args.size() == 1))) {
            err << "usage: tarvest-admin migrate SCRIPT --sqlite DB | --pg \"host=... port=... dbname=... user=...\" "
                   "[--password-file FILE] [--check]\n";
            return 2;
        }
        const QString script = args[0];
        if (!QFileInfo(script).isFile())
            throw Error(QStringLiteral("خطا! فایل اسکریپت %1 پیدا نشد.").arg(script));

        MigrationOptions options;
        options.checkOnly = check;
        int shown = -1;
        options.progress = [&](qint64 done, qint64 total) {
            const int percent = total > 0 ? int(done * 100 / total) : 100;
            if (percent == shown)
                return;
            shown = percent;
            err << QStringLiteral("read %1 of %2 (%3%)\n").arg(mebibytes(done), mebibytes(total)).arg(percent);
            err.flush();
        };

        MigrationReport report;
        QString where;
        if (target && args[1] == QLatin1String("--sqlite")) {
            where = args[2];
            if (check && QFileInfo::exists(where))
                requireEmptyTarget(*Database::openSqlite(where, false));
            report = migrateScriptToSqliteFile(script, where, options);
        } else if (target) {
            std::unique_ptr<Database> db = openServerDatabase(args[2], passwordFile, err);
            where = db->description();
            if (check)
                requireEmptyTarget(*db);
            report = migrateScript(script, check ? nullptr : db.get(), options);
        } else {
            report = migrateScript(script, nullptr, options);
        }

        out << QStringLiteral("script: %1 (%2, %3)\n").arg(script, report.encoding, mebibytes(report.bytes));
        for (const QString& line : describeReport(report))
            (line.startsWith(QLatin1String("problem: ")) ? err : out) << line << '\n';
        if (report.refused()) {
            err << QStringLiteral("%1 problem(s); ").arg(report.problemCount)
                << (check ? "the script cannot be migrated as it stands\n" : "nothing migrated\n");
            return 1;
        }
        if (check)
            out << QStringLiteral("check passed: %1 rows can be migrated\n").arg(report.rowsRead());
        else
            out << QStringLiteral("migrated: %1 rows into %2\n").arg(report.rowsRead()).arg(where);
        return 0;
    } catch (const Error& e) {
        err << e.message() << '\n';
        err << "nothing migrated\n";
        return 1;
    }
}

} // namespace tarvest
