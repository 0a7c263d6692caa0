#include "cases/core/casepictures.h"

#include "common/errors.h"
#include "common/safefile.h"
#include "db/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryFile>

namespace tarvest {

namespace {

const QString kTable = QStringLiteral("komision_pic");

QByteArray readWhole(const QString& path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("فایل «%1» خوانده نشد: %2").arg(QDir::toNativeSeparators(path), f.errorString()));
    QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("فایل «%1» خوانده نشد: %2").arg(QDir::toNativeSeparators(path), f.errorString()));
    return data;
}

struct StoredFile {
    QByteArray bytes;
    QString ext;
};

StoredFile fetch(Database& db, qint64 picturePk)
{
    QSqlQuery q = db.exec(QStringLiteral("select pic, ext from komision_pic where pk = ?"), {picturePk});
    if (!q.next())
        throw Error(QStringLiteral("این ضميمه دیگر در بانک نیست؛ شاید از ایستگاه دیگری حذف شده است."));
    return {q.value(0).toByteArray(), q.value(1).toString()};
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

qint64 storeCasePicture(Database& db, qint64 casePk, const QString& filePath, const QString& description)
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
    const QByteArray bytes = readWhole(filePath);
    // One insert with the bytes bound: the file goes straight to its case, so no other
    // workstation storing at the same moment can take or empty it on the way.
    return db.insert(kTable, {{QStringLiteral("cod"), casePk},
                              {QStringLiteral("ext"), ext},
                              {QStringLiteral("pic"), bytes},
                              {QStringLiteral("cmt"), description}});
}

QList<CasePicture> casePictures(Database& db, qint64 casePk)
{
    QList<CasePicture> out;
    QSqlQuery q = db.exec(casePicturesQuery(), {casePk});
    while (q.next())
        out.append({q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(3).toString(), q.value(2).toString()});
    return out;
}

QString saveCasePicture(Database& db, qint64 picturePk, const QString& basePath)
{
    const StoredFile stored = fetch(db, picturePk);
    const QString path = basePath + stored.ext;
    writeFileSafely(path, stored.bytes);
    return path;
}

QString saveCasePictureToTemp(Database& db, qint64 picturePk)
{
    const StoredFile stored = fetch(db, picturePk);
    QTemporaryFile f(QDir(QDir::tempPath()).filePath(QStringLiteral("tarvest-attachment-XXXXXX") + stored.ext));
    f.setAutoRemove(false); // the desktop's program reads it after we are done
    if (!f.open())
        throw Error(QStringLiteral("فایل موقت ساخته نشد: %1").arg(f.errorString()));
    f.close();
    // The name is reserved; the bytes replace the empty file only once all are on the disk.
    try {
        writeFileSafely(f.fileName(), stored.bytes);
    } catch (const Error&) {
        f.remove();
        throw;
    }
    return f.fileName();
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
