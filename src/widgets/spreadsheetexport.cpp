#include "widgets/spreadsheetexport.h"

#include "common/errors.h"
#include "common/safefile.h"
#include "db/export.h"
#include "widgets/dialogs.h"
#include "widgets/loadprogress.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

namespace tarvest {

namespace {

QString g_lastFolder; // the folder of the last export saved in this run
DefaultProgramQuery g_query;

// Asks xdg-mime; a desktop without it, or one that does not answer in time, cannot be asked.
std::optional<QString> askXdgMime(const QString& mimeType)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (program.isEmpty())
        return std::nullopt;
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(program, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(1000);
        return std::nullopt;
    }
    if (p.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    // xdg-mime answers nothing (status 0, or 4 on some desktops) when no program is set.
    const QString answer = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    if (p.exitCode() != 0 && !answer.isEmpty())
        return std::nullopt;
    return answer;
}

} // namespace

QString exportStartFolder()
{
    if (!g_lastFolder.isEmpty() && QFileInfo(g_lastFolder).isDir())
        return g_lastFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

QString askExportPath(const QString& proposedName, const QString& filter)
{
    const QString path = Dialogs::instance().saveFileName(QStringLiteral("ذخیره گزارش"),
                                                          QDir(exportStartFolder()).filePath(proposedName), filter);
    if (!path.isEmpty())
        g_lastFolder = QFileInfo(path).absolutePath();
    return path;
}

void setDefaultProgramQuery(DefaultProgramQuery query)
{
    g_query = std::move(query);
}

std::optional<QString> defaultProgramFor(const QString& mimeType)
{
    return g_query ? g_query(mimeType) : askXdgMime(mimeType);
}

QString noProgramMessage(const QString& path)
{
    return QStringLiteral(
               "فایل %1 ساخته شد، اما برنامه‌ای برای باز کردن آن پیدا نشد.")
        .arg(shownPath(path));
}

void openExport(const QString& path)
{
    const QString mimeType = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    const std::optional<QString> program = defaultProgramFor(mimeType);
    if (program && program->isEmpty()) {
        Dialogs::instance().warning(noProgramMessage(path));
        return;
    }
    if (!Dialogs::instance().openWithSystem(path))
        Dialogs::instance().warning(noProgramMessage(path));
}

QString exportAndOpen(const ResultSet& rs, const QString& baseName, const QHash<QString, QString>& titles)
{
    const QString path = askExportPath(baseName + QStringLiteral(".xlsx"),
                                       QStringLiteral("Excel 2010 (*.xlsx);;All Files (*)"));
    if (path.isEmpty())
        return {};
    try {
        WalkProgress progress(rs, QStringLiteral("در حال نوشتن فايل ..."));
        exportResultSet(rs, path, titles);
    } catch (const Error& e) {
        Dialogs::instance().warning(e.message());
        return {};
    }
    openExport(path);
    return path;
}

} // namespace tarvest
