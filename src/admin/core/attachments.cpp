#include "admin/core/attachments.h"

#include "cases/core/casepictures.h"
#include "common/errors.h"
#include "common/openedcopies.h"
#include "common/password.h"
#include "common/safefile.h"
#include "db/blobio.h"
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

qint64 storeAttachment(Database& db, const QString& title, const QString& password, const QString& filePath,
                       const BlobProgress& progress)
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
    const QFileInfo file(filePath);
    if (!file.isFile() || !file.isReadable())
        throw Error(QStringLiteral("فایل %1 خوانده نشد").arg(shownPath(filePath)));
    if (const qint64 largest = largestStoredFile(db); file.size() > largest)
        throw Error(fileTooLargeMessage(filePath, file.size(), largest));
    const QVariantMap row{{QStringLiteral("cmt"), title},
                          {QStringLiteral("ramz"), storedAttachmentPassword(password)},
                          {QStringLiteral("pictype"), ext}};
    qint64 id = 0;
    // The row and its bytes (written in pieces) in the title's one transaction.
    saveUnique(db, attachmentTitleRule(), row, {}, [&] {
        id = db.insert(kTable, row);
        writeBlobFromFile(db, {kTable, QStringLiteral("id"), id, QStringLiteral("pic")}, filePath, progress);
    });
    return id;
}

QString saveAttachmentToTemp(Database& db, qint64 id, const BlobProgress& progress)
{
    const QVariant ext = db.scalar(QStringLiteral("SELECT pictype FROM zamaem WHERE id = ?"), {id});
    if (!ext.isValid())
        throw Error(QStringLiteral("این ضميمه دیگر در بانک نیست؛ شاید از ایستگاه دیگری حذف شده است."));
    // A copy of its own in the run's owner-only folder, removed when the program ends.
    const QString path = openedCopyPath(kTable, id, ext.toString());
    readBlobToFile(db, {kTable, QStringLiteral("id"), id, QStringLiteral("pic")}, path, progress);
    return path;
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
