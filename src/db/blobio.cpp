#include "db/blobio.h"

#include "common/errors.h"
#include "common/safefile.h"
#include "db/database.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlQuery>

#include <sqlite3.h>

#include <algorithm>
#include <type_traits>

namespace tarvest {

namespace {

// PostgreSQL's bytea holds at most 1 GB.
constexpr qint64 kLargestBytea = qint64(1) << 30;

sqlite3* sqliteHandle(Database& db)
{
    const QVariant v = db.handle().driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        throw Error(QStringLiteral("اتصال SQLite در دسترس نيست"));
    sqlite3* h = *static_cast<sqlite3* const*>(v.constData());
    if (!h)
        throw Error(QStringLiteral("اتصال SQLite در دسترس نيست"));
    return h;
}

QString sqliteReason(sqlite3* h, int rc)
{
    return h ? QString::fromUtf8(sqlite3_errmsg(h)) : QString::fromUtf8(sqlite3_errstr(rc));
}

// An open blob handle, closed on every way out.
class SqliteBlob {
public:
    SqliteBlob(sqlite3* h, const BlobCell& cell, qint64 rowid, bool write) : m_h(h)
    {
        const int rc = sqlite3_blob_open(h, "main", cell.table.toUtf8().constData(), cell.column.toUtf8().constData(),
                                         rowid, write ? 1 : 0, &m_blob);
        if (rc != SQLITE_OK) {
            const QString why = sqliteReason(h, rc);
            sqlite3_blob_close(m_blob);
            throw Error(QStringLiteral("فايل ذخيره شده در بانک باز نشد: %1").arg(why));
        }
    }
    ~SqliteBlob() { sqlite3_blob_close(m_blob); }
    SqliteBlob(const SqliteBlob&) = delete;
    SqliteBlob& operator=(const SqliteBlob&) = delete;
    void write(const QByteArray& piece, qint64 offset)
    {
        check(sqlite3_blob_write(m_blob, piece.constData(), int(piece.size()), int(offset)));
    }
    void read(QByteArray& piece, qint64 offset)
    {
        check(sqlite3_blob_read(m_blob, piece.data(), int(piece.size()), int(offset)));
    }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK)
            throw Error(QStringLiteral("فايل ذخيره شده در بانک خوانده يا نوشته نشد: %1").arg(sqliteReason(m_h, rc)));
    }
    sqlite3* m_h;
    sqlite3_blob* m_blob = nullptr;
};

QString cellWhere(const BlobCell& cell)
{
    return QStringLiteral(" FROM ") + cell.table + QStringLiteral(" WHERE ") + cell.key + QStringLiteral(" = ?");
}

[[noreturn]] void rowGone()
{
    throw Error(QStringLiteral("این ضميمه دیگر در بانک نیست؛ شاید از ایستگاه دیگری حذف شده است."));
}

// Runs `work` in a transaction of its own (or the caller's).
template <typename F>
auto inTransaction(Database& db, F&& work)
{
    db.begin();
    try {
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            db.commit();
        } else {
            auto result = work();
            db.commit();
            return result;
        }
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace

qint64 largestStoredFile(Database& db)
{
    if (db.kind() == DbKind::Sqlite)
        return sqlite3_limit(sqliteHandle(db), SQLITE_LIMIT_LENGTH, -1);
    return kLargestBytea - 1;
}

QString fileTooLargeMessage(const QString& path, qint64 size, qint64 largest)
{
    auto mb = [](qint64 n) { return QString::number(double(n) / (1024.0 * 1024.0), 'f', 1); };
    return QStringLiteral("خطا! فايل %1 (%2 مگابايت) بزرگتر از آن است که بانک بپذيرد؛ حداکثر %3 مگابايت.")
        .arg(shownPath(path), mb(size), mb(largest));
}

void writeBlobFromFile(Database& db, const BlobCell& cell, const QString& path, const BlobProgress& progress)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("فایل %1 خوانده نشد: %2").arg(shownPath(path), file.errorString()));
    const qint64 size = file.size();
    if (const qint64 largest = largestStoredFile(db); size > largest)
        throw Error(fileTooLargeMessage(path, size, largest));

    QByteArray piece;
    auto nextPiece = [&](qint64 offset) {
        piece.resize(std::min(kBlobPiece, size - offset));
        if (file.read(piece.data(), piece.size()) != piece.size())
            throw Error(QStringLiteral("فایل %1 خوانده نشد: %2").arg(shownPath(path), file.errorString()));
    };
    if (progress)
        progress(0, size);
    inTransaction(db, [&] {
        if (db.kind() == DbKind::Sqlite) {
            const QString sized = QStringLiteral("UPDATE ") + cell.table + QStringLiteral(" SET ") + cell.column
                                  + QStringLiteral(" = zeroblob(?) WHERE ") + cell.key + QStringLiteral(" = ?");
            if (db.exec(sized, {size, cell.keyValue}).numRowsAffected() < 1)
                rowGone();
            if (size == 0)
                return;
            const qint64 rowid = db.scalar(QStringLiteral("SELECT rowid") + cellWhere(cell), {cell.keyValue})
                                     .toLongLong();
            SqliteBlob blob(sqliteHandle(db), cell, rowid, true);
            for (qint64 offset = 0; offset < size; offset += piece.size()) {
                nextPiece(offset);
                blob.write(piece, offset);
                if (progress)
                    progress(offset + piece.size(), size);
            }
            return;
        }
        // PostgreSQL: the pieces into a large object, then into the column on the server.
        const qint64 oid = db.scalar(QStringLiteral("SELECT lo_create(0)")).toLongLong();
        for (qint64 offset = 0; offset < size; offset += piece.size()) {
            nextPiece(offset);
            db.exec(QStringLiteral("SELECT lo_put(CAST(? AS oid), CAST(? AS bigint), CAST(? AS bytea))"),
                    {oid, offset, piece});
            if (progress)
                progress(offset + piece.size(), size);
        }
        const QString copy = QStringLiteral("UPDATE ") + cell.table + QStringLiteral(" SET ") + cell.column
                             + QStringLiteral(" = lo_get(CAST(? AS oid)) WHERE ") + cell.key + QStringLiteral(" = ?");
        const int changed = db.exec(copy, {oid, cell.keyValue}).numRowsAffected();
        db.exec(QStringLiteral("SELECT lo_unlink(CAST(? AS oid))"), {oid});
        if (changed < 1)
            rowGone();
    });
}

qint64 readBlobToFile(Database& db, const BlobCell& cell, const QString& path, const BlobProgress& progress)
{
    SafeFile out(path);
    const qint64 size = inTransaction(db, [&]() -> qint64 {
        QSqlQuery q = db.exec(QStringLiteral("SELECT length(") + cell.column + QStringLiteral(")") + cellWhere(cell),
                              {cell.keyValue});
        if (!q.next())
            rowGone();
        const qint64 total = q.value(0).isNull() ? 0 : q.value(0).toLongLong();
        q.finish();
        if (progress)
            progress(0, total);
        if (total == 0)
            return 0;
        QByteArray piece;
        if (db.kind() == DbKind::Sqlite) {
            const qint64 rowid = db.scalar(QStringLiteral("SELECT rowid") + cellWhere(cell), {cell.keyValue})
                                     .toLongLong();
            SqliteBlob blob(sqliteHandle(db), cell, rowid, false);
            for (qint64 offset = 0; offset < total; offset += piece.size()) {
                piece.resize(std::min(kBlobPiece, total - offset));
                blob.read(piece, offset);
                out.write(piece);
                if (progress)
                    progress(offset + piece.size(), total);
            }
            return total;
        }
        const qint64 oid = db.scalar(QStringLiteral("SELECT lo_from_bytea(0, ") + cell.column + QStringLiteral(")")
                                         + cellWhere(cell),
                                     {cell.keyValue})
                               .toLongLong();
        for (qint64 offset = 0; offset < total;) {
            piece = db.scalar(QStringLiteral("SELECT lo_get(CAST(? AS oid), CAST(? AS bigint), CAST(? AS integer))"),
                              {oid, offset, std::min(kBlobPiece, total - offset)})
                        .toByteArray();
            if (piece.isEmpty())
                throw Error(QStringLiteral("فايل ذخيره شده در بانک کامل خوانده نشد"));
            out.write(piece);
            offset += piece.size();
            if (progress)
                progress(offset, total);
        }
        db.exec(QStringLiteral("SELECT lo_unlink(CAST(? AS oid))"), {oid});
        return total;
    });
    out.commit();
    return size;
}

} // namespace tarvest
