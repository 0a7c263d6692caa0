#include "widgets/spreadsheetexport.h"

#include "common/errors.h"
#include "common/safefile.h"
#include "db/export.h"
#include "widgets/dialogs.h"
#include "widgets/loadprogress.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

namespace tarvest {

QString exportFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).filePath(QStringLiteral("exports"));
}

QString exportAndOpen(const ResultSet& rs, const QString& baseName, const QHash<QString, QString>& titles)
{
    QDir dir(exportFolder());
    if (!dir.mkpath(QStringLiteral("."))) {
        Dialogs::instance().warning(QStringLiteral("خطا! پوشه %1 ساخته نشد.").arg(shownPath(dir.path())));
        return {};
    }
    // A new file each time, so a workbook still open in the spreadsheet program is never overwritten.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString path = dir.filePath(QStringLiteral("%1-%2.xlsx").arg(baseName, stamp));
    try {
        WalkProgress progress(rs, QStringLiteral("در حال نوشتن فايل ..."));
        exportResultSet(rs, path, titles);
    } catch (const Error& e) {
        Dialogs::instance().warning(e.message());
        return {};
    }
    if (!Dialogs::instance().openWithSystem(path))
        Dialogs::instance().warning(
            QStringLiteral(
                "فایل %1 ساخته شد، اما برنامه‌ای برای باز کردن آن پیدا نشد.")
                .arg(shownPath(path)));
    return path;
}

} // namespace tarvest
