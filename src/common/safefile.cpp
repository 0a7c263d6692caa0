#include "common/safefile.h"

#include "common/errors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvest {

QString shownPath(const QString& path)
{
    return QChar(0x2066) + QDir::toNativeSeparators(path) + QChar(0x2069);
}

QString fileWriteFailure(const QString& path, const QString& reason)
{
    return QStringLiteral("خطا! فايل «%1» نوشته نشد: %2").arg(shownPath(path), reason);
}

QString fileErrorReason(int err)
{
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ديسک پر است");
    case EFBIG:
        return QStringLiteral("فايل از اندازه مجاز بزرگ‌تر است");
    case EACCES:
    case EPERM:
        return QStringLiteral("اجازه نوشتن در اين پوشه نيست");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("پوشه وجود ندارد");
    case EROFS:
        return QStringLiteral("ديسک فقط خواندني است");
    case EISDIR:
        return QStringLiteral("اين مسير يک پوشه است");
    case EIO:
        return QStringLiteral("خطاي ورودي/خروجي ديسک");
    case ENAMETOOLONG:
        return QStringLiteral("نام فايل بيش از حد بلند است");
    default:
        return QString::fromLocal8Bit(std::strerror(err));
    }
}

namespace {

// A new file holds an office's data (cases, password hashes, backups), so only its owner may
// read it, whatever the umask; an existing target keeps its own permissions (the office may
// have shared it on purpose).
mode_t targetMode(const QByteArray& target)
{
    struct stat st {};
    if (::stat(target.constData(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    return S_IRUSR | S_IWUSR;
}

// A write of the same file that was killed half way left its temporary file behind; one that
// has not been touched for an hour is no write in progress and goes.
void removeStaleSiblings(const QString& folder, const QString& name)
{
    const QDateTime stale = QDateTime::currentDateTime().addSecs(-3600);
    const QFileInfoList found = QDir(folder).entryInfoList({QLatin1Char('.') + name + QStringLiteral(".??????")},
                                                           QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& f : found)
        if (f.lastModified() < stale)
            QFile::remove(f.filePath());
}

} // namespace

SafeFile::SafeFile(const QString& target) : m_target(target)
{
    const QFileInfo info(target);
    if (info.isDir())
        throw Error(fileWriteFailure(target, fileErrorReason(EISDIR)));
    const QString folder = info.absolutePath();
    QByteArray pattern = QFile::encodeName(
        QDir(folder).filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".XXXXXX")));
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0)
        throw Error(fileWriteFailure(target, fileErrorReason(errno)));
    m_temp = QFile::decodeName(pattern);
    ::fchmod(m_fd, targetMode(QFile::encodeName(target)));
    removeStaleSiblings(folder, info.fileName());
}

SafeFile::~SafeFile()
{
    if (!m_done)
        discard();
}

void SafeFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temp.isEmpty())
        ::unlink(QFile::encodeName(m_temp).constData());
    m_done = true;
}

void SafeFile::fail(const QString& reason)
{
    discard();
    throw Error(fileWriteFailure(m_target, reason));
}

void SafeFile::failErrno(int err)
{
    fail(fileErrorReason(err));
}

void SafeFile::write(const QByteArray& bytes)
{
    if (m_done || m_fd < 0)
        fail(QStringLiteral("فايل موقت بسته شده است"));
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failErrno(errno);
        }
        if (n == 0)
            failErrno(ENOSPC);
        p += n;
        left -= n;
    }
}

void SafeFile::flushTemp()
{
    if (m_done)
        fail(QStringLiteral("فايل موقت بسته شده است"));
    const QByteArray temp = QFile::encodeName(m_temp);
    // A library that wrote the path itself may have replaced the file we made; flush
    // what is at the path now.
    const int fd = ::open(temp.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        failErrno(errno);
    // A file the library made anew has the umask's permissions; the target is still the
    // earlier file (or none), so its permissions are read as at the start.
    ::fchmod(fd, targetMode(QFile::encodeName(m_target)));
    const bool synced = ::fsync(fd) == 0;
    const int syncErr = errno;
    ::close(fd);
    if (!synced)
        failErrno(syncErr);
    if (m_fd >= 0) {
        const int rc = ::close(m_fd);
        m_fd = -1;
        if (rc != 0)
            failErrno(errno);
    }
}

void SafeFile::syncFolder()
{
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(QFile::encodeName(QFileInfo(m_target).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void SafeFile::commit()
{
    flushTemp();
    if (::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_target).constData()) != 0)
        failErrno(errno);
    m_done = true;
    syncFolder();
}

bool SafeFile::commitAsNew(const QString& target)
{
    flushTemp();
    const QByteArray temp = QFile::encodeName(m_temp);
    const QByteArray wanted = QFile::encodeName(target);
    // A hard link fails when the name is taken, so an existing file is never replaced.
    if (::link(temp.constData(), wanted.constData()) == 0) {
        ::unlink(temp.constData());
    } else if (errno == EEXIST) {
        return false;
    } else if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS || errno == EMLINK) {
        // A file system without hard links (a shared Windows folder): look, then rename.
        struct stat st {};
        if (::lstat(wanted.constData(), &st) == 0)
            return false;
        if (::rename(temp.constData(), wanted.constData()) != 0) {
            const int err = errno;
            m_target = target;
            failErrno(err);
        }
    } else {
        const int err = errno;
        m_target = target;
        failErrno(err);
    }
    m_target = target;
    m_done = true;
    syncFolder();
    return true;
}

void writeFileSafely(const QString& path, const QByteArray& bytes)
{
    SafeFile f(path);
    f.write(bytes);
    f.commit();
}

} // namespace tarvest
