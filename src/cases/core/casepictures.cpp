#include "cases/core/casepictures.h"

#include "common/errors.h"
#include "common/openedcopies.h"
#include "common/safefile.h"
#include "db/blobio.h"
#include "db/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryFile>

namespace tarvest {

namespace {

const QString kTable = QStringLiteral("komision_pic");

QString storedExtension(Database& db, qint64 picturePk)
{
    const QVariant ext = db.scalar(QStringLiteral("select ext from komision_pic where pk = ?"), {picturePk});
    if (!ext.isValid())
        throw Error(QStringLiteral("این ضميمه دیگر در بانک نیست؛ شاید از ایستگاه دیگری حذف شده است."));
    return ext.toString();
}

} // namespace

QString pictureExtension(const QString& filePath)
{
    const QString name = QFileInfo(filePath).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

QString casePicturesQuery()
{
    return QStringLiteral("select pk, cod, cmt, ext from komision_pic where cod = ? order by pk");
}

qint64 storeCasePicture(Database& db, qint64 casePk, const QString& filePath, const QString& description,
                        const BlobProgress& progress)
{
    if (description.trimmed().isEmpty())
        throw Error(QStringLiteral("ابتدا شرح ضميمه را وارد نماييد"));
    const QString ext = pictureExtension(filePath);
    if (ext.size() > kMaxPictureExtension)
        throw Error(
            QStringLiteral(
                "پسوند «%1» بیش از %2 حرف است؛ فایل را با پسوندی کوتاه‌تر ذخیره کنید.")
                .arg(ext)
                .arg(kMaxPictureExtension));
    const QFileInfo file(filePath);
    if (!file.isFile() || !file.isReadable())
        throw Error(QStringLiteral("فایل «%1» خوانده نشد").arg(QDir::toNativeSeparators(filePath)));
    if (const qint64 largest = largestStoredFile(db); file.size() > largest)
        throw Error(fileTooLargeMessage(filePath, file.size(), largest));
    // The row and its bytes (written in pieces) in one transaction: the file goes straight
    // to its case, and no other workstation sees it half written.
    db.begin();
    try {
        const qint64 pk = db.insert(
            kTable,
            {{QStringLiteral("cod"), casePk}, {QStringLiteral("ext"), ext}, {QStringLiteral("cmt"), description}});
        writeBlobFromFile(db, {kTable, QStringLiteral("pk"), pk, QStringLiteral("pic")}, filePath, progress);
        db.commit();
        return pk;
    } catch (...) {
        db.rollback();
        throw;
    }
}

QList<CasePicture> casePictures(Database& db, qint64 casePk)
{
    QList<CasePicture> out;
    QSqlQuery q = db.exec(casePicturesQuery(), {casePk});
    while (q.next())
        out.append({q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(3).toString(), q.value(2).toString()});
    return out;
}

QString saveCasePicture(Database& db, qint64 picturePk, const QString& basePath, const BlobProgress& progress)
{
    const QString path = basePath + storedExtension(db, picturePk);
    readBlobToFile(db, {kTable, QStringLiteral("pk"), picturePk, QStringLiteral("pic")}, path, progress);
    return path;
}

QString saveCasePictureToTemp(Database& db, qint64 picturePk, const BlobProgress& progress)
{
    // A copy of its own in the run's owner-only folder, removed when the program ends.
    const QString path = openedCopyPath(kTable, picturePk, storedExtension(db, picturePk));
    readBlobToFile(db, {kTable, QStringLiteral("pk"), picturePk, QStringLiteral("pic")}, path, progress);
    return path;
}

bool deleteCasePicture(Database& db, qint64 picturePk)
{
    return db.exec(QStringLiteral("delete from komision_pic where pk = ?"), {picturePk}).numRowsAffected() > 0;
}

int deleteCasePictures(Database& db, qint64 casePk)
{
    return db.exec(QStringLiteral("delete from komision_pic where cod = ?"), {casePk}).numRowsAffected();
}

} // namespace tarvest
