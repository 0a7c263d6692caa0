#include "admin/core/attachments.h"

#include "cases/core/casepictures.h"
#include "common/errors.h"
#include "common/password.h"
#include "common/safefile.h"
#include "db/database.h"
#include "db/places.h"
#include "db/uniquekey.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <algorithm>

namespace tarvest {

namespace {

const QString kTable = QStringLiteral("zamaem");
constexpr int kMaxExtension = 5;

QByteArray readWhole(const QString& path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("فایل «%1» خوانده نشد: %2").arg(shownPath(path), f.errorString()));
    QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("فایل «%1» خوانده نشد: %2").arg(shownPath(path), f.errorString()));
    return data;
}

} // namespace

QString attachment::signatureTitle(const QString& county)
{
    return QStringLiteral("تصوير امضا مدير شهرستان ") + county;
}

QString duplicateAttachmentMessage()
{
    return QStringLiteral("شرح ضميمه تكراري است");
}

const UniqueRule& attachmentTitleRule()
{
    static const UniqueRule rule{kTable, {QStringLiteral("cmt")}};
    return rule;
}

QStringList attachmentTitles(Database& db)
{
    QStringList titles{attachment::NewestPackage, attachment::FontHelp};
    for (const QString& county : allCounties(db))
        if (!county.trimmed().isEmpty())
            titles << attachment::signatureTitle(county);
    titles.removeDuplicates();
    const QCollator persian(QLocale(QLocale::Persian, QLocale::Iran));
    std::stable_sort(titles.begin(), titles.end(), persian);
    return titles;
}

QString attachmentListQuery(bool byTitle)
{
    return QStringLiteral(
               "SELECT id, cmt, CASE WHEN ramz IS NOT NULL AND ramz <> '' THEN ? ELSE ? END AS ramz, pictype "
               "FROM zamaem")
           + (byTitle ? QStringLiteral(" WHERE cmt = ?") : QString()) + QStringLiteral(" ORDER BY id");
}

QString storedAttachmentPassword(const QString& typed)
{
    return typed.isEmpty() ? QString() : hashPassword(typed);
}

bool attachmentTitleTaken(Database& db, const QString& title)
{
    return db.scalar(QStringLiteral("SELECT count(*) FROM zamaem WHERE cmt = ?"), {title}).toLongLong() > 0;
}

qint64 storeAttachment(Database& db, const QString& title, const QString& password, const QString& filePath)
{
    if (title.trimmed().isEmpty())
        throw Error(QStringLiteral("خطا، ابتدا شرح ضميمه را وارد نماييد"));
    const QString ext = pictureExtension(filePath);
    if (ext.size() > kMaxExtension)
        throw Error(
            QStringLiteral(
                "پسوند «%1» بیش از %2 حرف است؛ فایل را با پسوندی کوتاه‌تر ذخیره کنید.")
                .arg(ext)
                .arg(kMaxExtension));
    const QByteArray bytes = readWhole(filePath);
    const QVariantMap row{{QStringLiteral("cmt"), title},
                          {QStringLiteral("ramz"), storedAttachmentPassword(password)},
                          {QStringLiteral("pictype"), ext},
                          {QStringLiteral("pic"), bytes}};
    qint64 id = 0;
    saveUnique(db, attachmentTitleRule(), row, {}, [&] { id = db.insert(kTable, row); });
    return id;
}

QString saveAttachmentToTemp(Database& db, qint64 id)
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT pic, pictype FROM zamaem WHERE id = ?"), {id});
    if (!q.next())
        throw Error(QStringLiteral("این ضميمه دیگر در بانک نیست؛ شاید از ایستگاه دیگری حذف شده است."));
    const QByteArray bytes = q.value(0).toByteArray();
    // The extension goes into a file name: only its own characters, never a folder.
    QString ext = q.value(1).toString();
    ext.remove(QLatin1Char('/'));
    QTemporaryFile f(QDir(QDir::tempPath()).filePath(QStringLiteral("tarvest-zamaem-XXXXXX") + ext));
    f.setAutoRemove(false); // the desktop's program reads it after we are done
    if (!f.open())
        throw Error(QStringLiteral("فایل موقت ساخته نشد: %1").arg(f.errorString()));
    f.close();
    // The name is reserved; the bytes replace the empty file only once all are on the disk.
    try {
        writeFileSafely(f.fileName(), bytes);
    } catch (const Error&) {
        f.remove();
        throw;
    }
    return f.fileName();
}

void changeAttachmentPassword(Database& db, qint64 id, const QString& password)
{
    if (db.update(kTable, {{QStringLiteral("ramz"), storedAttachmentPassword(password)}}, id) == 0)
        throw Error(QStringLiteral("این ضميمه دیگر در بانک نیست؛ شاید از ایستگاه دیگری حذف شده است."));
}

bool deleteAttachment(Database& db, qint64 id)
{
    return db.exec(QStringLiteral("DELETE FROM zamaem WHERE id = ?"), {id}).numRowsAffected() > 0;
}

std::optional<QByteArray> attachmentForPassword(Database& db, const QString& title, const QString& password)
{
    struct Row {
        QVariant id;
        QString stored;
        QByteArray pic;
    };
    QList<Row> rows;
    {
        QSqlQuery q = db.exec(QStringLiteral("SELECT id, ramz, pic FROM zamaem WHERE cmt = ? ORDER BY id"), {title});
        while (q.next())
            rows.append({q.value(0), q.value(1).toString(), q.value(2).toByteArray()});
    }
    for (const Row& row : rows) {
        if (row.stored.isEmpty() ? !password.isEmpty() : !verifyPassword(row.stored, password))
            continue;
        if (!row.stored.isEmpty() && !isPasswordHash(row.stored)) {
            try {
                db.update(kTable, {{QStringLiteral("ramz"), hashPassword(password)}}, row.id);
            } catch (const Error&) {
                // A column still too narrow for the hash: the picture is still given, and
                // the hash is stored at a later lookup.
            }
        }
        return row.pic;
    }
    return std::nullopt;
}

} // namespace tarvest
