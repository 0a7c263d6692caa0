#include "common/openedcopies.h"

#include "common/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace tarvest {

namespace {

QMutex g_lock;
QString g_folder; // this run's folder, once made

void removeAtExit()
{
    removeOpenedCopies();
}

} // namespace

QString openedCopiesFolder()
{
    const QMutexLocker locked(&g_lock);
    if (!g_folder.isEmpty() && QDir(g_folder).exists())
        return g_folder;
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        throw Error(QStringLiteral("پوشه‌اي براي باز کردن فايل ها پيدا نشد"));
    const QString folder = QDir(base).filePath(
        QStringLiteral("tarvest-opened-%1").arg(QCoreApplication::applicationPid()));
    if (!QDir().mkpath(folder))
        throw Error(QStringLiteral("پوشه %1 ساخته نشد").arg(QDir::toNativeSeparators(folder)));
    // The user's files: no other account reads them.
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (g_folder.isEmpty())
        qAddPostRoutine(removeAtExit);
    g_folder = folder;
    return g_folder;
}

QString openedCopyPath(const QString& kind, qint64 id, const QString& extension)
{
    // The extension goes into a file name: only its own characters, never a folder.
    QString ext = extension;
    ext.remove(QLatin1Char('/'));
    ext.remove(QLatin1Char('\\'));
    QTemporaryFile reserved(
        QDir(openedCopiesFolder()).filePath(QStringLiteral("%1-%2-XXXXXX%3").arg(kind).arg(id).arg(ext)));
    reserved.setAutoRemove(false); // the desktop's program reads it after we are done
    if (!reserved.open())
        throw Error(QStringLiteral("فایل موقت ساخته نشد: %1").arg(reserved.errorString()));
    return reserved.fileName();
}

void removeOpenedCopies()
{
    const QMutexLocker locked(&g_lock);
    if (!g_folder.isEmpty())
        QDir(g_folder).removeRecursively();
}

} // namespace tarvest
