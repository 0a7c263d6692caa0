#include "admin/core/migration.h"

#include "admin/core/attachments.h"
#include "common/decimal.h"
#include "common/password.h"
#include "common/safefile.h"
#include "db/bulkinsert.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/schema.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDriver>
#include <QStringConverter>
#include <QTimeZone>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cmath>
#include <limits>
#include <map>
#include <memory>

namespace tarvest {

namespace {

// Rows held for the database at most, counted in bytes of their values; more are
// written first, so a run of pictures never gathers in memory.
constexpr qint64 kHeldBytes = 4 * 1024 * 1024;
// A stored file kept in a temporary file goes to the database in pieces of this size.
constexpr qint64 kPieceBytes = 4 * 1024 * 1024;

bool isPasswordColumn(const QString& table, const QString& column)
{
    return (table == QLatin1String("users") && column == QLatin1String("ps"))
           || (table == QLatin1String("zamaem") && column == QLatin1String("ramz"));
}

bool isMessageText(const QString& table, const QString& column)
{
    return table == QLatin1String("payamha") && column == QLatin1String("cmt");
}

QString valueExcerpt(const ScriptValue& v)
{
    QString t = v.text;
    t.replace(u'\n', u' ').replace(u'\r', u' ');
    return t.size() > 40 ? t.left(40) + QStringLiteral("…") : t;
}

// The text of a number: a Number as written, or a text holding one.
std::optional<QString> numberText(const ScriptValue& v)
{
    if (v.kind == ScriptValue::Kind::Number)
        return v.text;
    if (v.kind == ScriptValue::Kind::Text)
        return v.text.trimmed();
    return std::nullopt;
}

std::optional<QString> notNumber(const ScriptValue& v, const QString& what)
{
    if (v.kind == ScriptValue::Kind::Binary)
        return QStringLiteral("داده دودویی %1 بایتی %2 نیست").arg(v.binarySize()).arg(what);
    return QStringLiteral("«%1» %2 نیست").arg(valueExcerpt(v), what);
}

std::optional<QString> wholeNumber(const Column& c, const ScriptValue& v, QVariant& out)
{
    const std::optional<QString> text = numberText(v);
    const std::optional<Decimal> d = text ? Decimal::parse(*text) : std::nullopt;
    if (!d)
        return notNumber(v, QStringLiteral("عدد"));
    if (!d->isInteger())
        return QStringLiteral("%1 عدد صحیح نیست").arg(*text);
    bool ok = false;
    qint64 n = d->wholeDigits().toLongLong(&ok);
    if (!ok)
        return QStringLiteral("%1 بیش از اندازه بزرگ است").arg(*text);
    if (d->isNegative())
        n = -n;
    const bool narrow = c.type == ColType::Int || c.type == ColType::Bit;
    if (narrow && (n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max()))
        return QStringLiteral("%1 برای این ستون بیش از اندازه بزرگ است (حداکثر %2)")
            .arg(n)
            .arg(std::numeric_limits<qint32>::max());
    out = n;
    return std::nullopt;
}

// SQL Server writes datetime as "2019-03-04T10:20:30.000"; the register keeps seconds
// ("2019-03-04 10:20:30"), the fraction rounded as timestamp(0) rounds it. The time is
// read as it stands, never through the local time zone (whose summer-time gaps would
// drop some hours).
std::optional<QString> dateTime(const ScriptValue& v, QVariant& out)
{
    if (v.kind != ScriptValue::Kind::Text)
        return notNumber(v, QStringLiteral("تاریخ و ساعت"));
    static const QRegularExpression re(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})(?:[T ](\\d{2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d+))?)?)?$"));
    const QRegularExpressionMatch m = re.match(v.text.trimmed());
    const QDate date = m.hasMatch() ? QDate::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd")) : QDate();
    const QTime time = !m.hasMatch()              ? QTime()
                       : m.capturedLength(2) == 0 ? QTime(0, 0)
                                                  : QTime(m.captured(2).toInt(), m.captured(3).toInt(),
                                                          m.capturedLength(4) ? m.captured(4).toInt() : 0);
    if (!date.isValid() || !time.isValid())
        return QStringLiteral("«%1» تاریخ و ساعت نیست").arg(valueExcerpt(v));
    QDateTime dt(date, time, Qt::UTC);
    if (m.capturedLength(5) > 0 && m.captured(5)[0].digitValue() >= 5)
        dt = dt.addSecs(1);
    out = dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return std::nullopt;
}

bool looksUtf16(const QByteArray& b, bool littleEndian)
{
    if (b.size() < 2 || b.size() % 2 != 0)
        return false;
    qsizetype high = 0;
    const qsizetype pairs = b.size() / 2;
    for (qsizetype i = 0; i < pairs; ++i) {
        const unsigned char h = static_cast<unsigned char>(b[2 * i + (littleEndian ? 1 : 0)]);
        // Latin, Arabic-script letters and digits, general punctuation (the zero-width
        // non-joiner), Arabic presentation forms.
        if (h == 0x00 || h == 0x06 || h == 0x20 || h == 0xFB || h == 0xFC || h == 0xFD || h == 0xFE)
            ++high;
    }
    return high * 4 >= pairs * 3;
}

QByteArray decodedUtf8(QStringDecoder&& decoder, QByteArrayView bytes)
{
    const QString text = decoder.decode(bytes);
    return text.toUtf8();
}

// How the columns of one INSERT column list meet a table of the register.
struct Mapping {
    const Table* table = nullptr;
    QList<const Column*> columns; // per script column; null for one the register lacks
    QStringList target;           // the known columns, in script order
    int keyAt = -1;               // script position of the identity key
    std::unique_ptr<BulkInsert> inserter;
};

PGconn* pgConnection(Database& db)
{
    const QSqlDatabase h = db.handle();
    if (!h.driver())
        return nullptr;
    const QVariant v = h.driver()->handle();
    // The driver's handle is named after the structure behind libpq's typedef.
    if (!v.isValid() || (qstrcmp(v.typeName(), "PGconn*") != 0 && qstrcmp(v.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(v.constData());
}

sqlite3* sqliteConnection(Database& db)
{
    const QSqlDatabase h = db.handle();
    if (!h.driver())
        return nullptr;
    const QVariant v = h.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(v.constData());
}

// Writes a stored file kept in a temporary file into the row's column, a piece at a time.
void writeLargeValue(Database& db, const Table& table, const Column& column, qint64 key, const ScriptValue& value)
{
    QTemporaryFile& file = *value.spool;
    file.seek(0);
    const QString keyName = table.key();
    if (db.kind() == DbKind::Sqlite) {
        db.exec(QStringLiteral("UPDATE %1 SET %2 = zeroblob(?) WHERE %3 = ?").arg(table.name, column.name, keyName),
                {value.size, key});
        sqlite3* s = sqliteConnection(db);
        sqlite3_blob* blob = nullptr;
        if (!s
            || sqlite3_blob_open(s, "main", table.name.toUtf8().constData(), column.name.toUtf8().constData(), key, 1,
                                 &blob)
                   != SQLITE_OK)
            throw Error(QStringLiteral("خطا! ستون %1.%2 برای نوشتن باز نشد: %3")
                            .arg(table.name, column.name, s ? QString::fromUtf8(sqlite3_errmsg(s)) : QString()));
        std::unique_ptr<sqlite3_blob, int (*)(sqlite3_blob*)> guard(blob, sqlite3_blob_close);
        for (qint64 at = 0; at < value.size;) {
            const QByteArray piece = file.read(std::min(kPieceBytes, value.size - at));
            if (piece.isEmpty() || sqlite3_blob_write(blob, piece.constData(), int(piece.size()), int(at)) != SQLITE_OK)
                throw Error(QStringLiteral("خطا! نوشتن ستون %1.%2 ناموفق بود: %3")
                                .arg(table.name, column.name, QString::fromUtf8(sqlite3_errmsg(s))));
            at += piece.size();
        }
        return;
    }
    // On the server the pieces go into a scratch table of this session and are joined
    // there once: appending piece by piece would rewrite the growing value each time.
    PGconn* pg = pgConnection(db);
    if (!pg)
        throw Error(QStringLiteral("خطا! اتصال PostgreSQL در دسترس نیست."));
    auto run = [&](const QByteArray& sql, int count, const Oid* types, const char* const* values, const int* lengths,
                   const int* formats) {
        PGresult* r = PQexecParams(pg, sql.constData(), count, types, values, lengths, formats, 0);
        const ExecStatusType status = PQresultStatus(r);
        PQclear(r);
        if (status != PGRES_COMMAND_OK)
            throw Error(QStringLiteral("خطا! نوشتن ستون %1.%2 ناموفق بود: %3")
                            .arg(table.name, column.name, QString::fromUtf8(PQerrorMessage(pg)).trimmed()));
    };
    run("CREATE TEMPORARY TABLE IF NOT EXISTS tarvest_migration_pieces (n integer, piece bytea)", 0, nullptr, nullptr,
        nullptr, nullptr);
    run("DELETE FROM tarvest_migration_pieces", 0, nullptr, nullptr, nullptr, nullptr);
    const Oid pieceTypes[2] = {23 /* integer */, 17 /* bytea */};
    int n = 0;
    for (qint64 at = 0; at < value.size;) {
        const QByteArray piece = file.read(std::min(kPieceBytes, value.size - at));
        if (piece.isEmpty())
            throw Error(QStringLiteral("خطا! پرونده موقت ستون %1.%2 کوتاه است.").arg(table.name, column.name));
        const QByteArray number = QByteArray::number(n++);
        const char* values[2] = {number.constData(), piece.constData()};
        const int lengths[2] = {int(number.size()), int(piece.size())};
        const int formats[2] = {0, 1};
        run("INSERT INTO tarvest_migration_pieces (n, piece) VALUES ($1, $2)", 2, pieceTypes, values, lengths, formats);
        at += piece.size();
    }
    const QByteArray keyText = QByteArray::number(key);
    const QByteArray join = QStringLiteral("UPDATE %1 SET %2 = (SELECT string_agg(piece, ''::bytea ORDER BY n) FROM "
                                           "tarvest_migration_pieces) WHERE %3 = $1")
                                .arg(table.name, column.name, keyName)
                                .toUtf8();
    const Oid keyType[1] = {20 /* bigint */};
    const char* keyValue[1] = {keyText.constData()};
    const int keyLength[1] = {int(keyText.size())};
    const int keyFormat[1] = {0};
    run(join, 1, keyType, keyValue, keyLength, keyFormat);
    run("DELETE FROM tarvest_migration_pieces", 0, nullptr, nullptr, nullptr, nullptr);
}

class Migration {
public:
    Migration(Database* db, const MigrationOptions& options) : m_db(db), m_options(options) {}
    MigrationReport run(const QString& scriptPath);

private:
    MigratedTable& entry(const QString& table);
    Mapping& mapping(const ScriptRow& row);
    void problem(const QString& text);
    void take(const ScriptRow& row);
    void flushAll();
    void finish();

    Database* m_db;
    const MigrationOptions& m_options;
    MigrationReport m_report;
    QHash<QString, qsizetype> m_entryIndex;
    std::map<QString, Mapping> m_mappings;
    QHash<QString, QSet<qint64>> m_keys;
    bool m_writing = false;
    qint64 m_held = 0;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
};

MigratedTable& Migration::entry(const QString& table)
{
    const QString key = table.toLower();
    auto it = m_entryIndex.find(key);
    if (it == m_entryIndex.end()) {
        MigratedTable t;
        const Table* known = findTable(table);
        t.table = known ? known->name : table;
        m_report.tables << t;
        it = m_entryIndex.insert(key, m_report.tables.size() - 1);
    }
    return m_report.tables[*it];
}

void Migration::problem(const QString& text)
{
    ++m_report.problemCount;
    if (m_report.problems.size() < MigrationReport::kMaxListed)
        m_report.problems << text;
    m_writing = false;
}

Mapping& Migration::mapping(const ScriptRow& row)
{
    const QString id = row.table.toLower() + QChar(0x1f) + row.columns.join(QChar(0x1f)).toLower();
    auto it = m_mappings.find(id);
    if (it != m_mappings.end())
        return it->second;
    Mapping m;
    m.table = findTable(row.table);
    if (m.table) {
        const QString key = m.table->key();
        for (qsizetype i = 0; i < row.columns.size(); ++i) {
            const Column* c = m.table->column(row.columns[i]);
            if (c && m.columns.contains(c))
                c = nullptr; // named twice: the first one counts
            m.columns << c;
            if (!c) {
                const QString name = m.table->name + u'.' + row.columns[i];
                if (!m_report.unknownColumns.contains(name))
                    m_report.unknownColumns << name;
                continue;
            }
            m.target << c->name;
            if (c->name == key)
                m.keyAt = int(i);
        }
        if (row.columns.isEmpty())
            problem(
                QStringLiteral("جدول %1، خط %2: دستور INSERT نام ستون ها را ندارد.").arg(m.table->name).arg(row.line));
    } else if (!m_report.unknownTables.contains(row.table)) {
        m_report.unknownTables << row.table;
    }
    return m_mappings.emplace(id, std::move(m)).first->second;
}

void Migration::flushAll()
{
    for (auto& [id, m] : m_mappings)
        if (m.inserter) {
            try {
                m.inserter->flush();
            } catch (const Error& e) {
                problem(
                    QStringLiteral("جدول %1: بانک اطلاعاتی ردیف ها را نپذیرفت: %2").arg(m.table->name, e.message()));
                break;
            }
        }
    m_held = 0;
}

void Migration::take(const ScriptRow& row)
{
    MigratedTable& t = entry(row.table);
    ++t.read;
    Mapping& m = mapping(row);
    if (!m.table || row.columns.isEmpty())
        return;
    const Table& table = *m.table;
    auto where = [&] {
        return m.keyAt >= 0 ? QStringLiteral("ردیف با کلید %1 = %2").arg(table.key(), valueExcerpt(row.values[m.keyAt]))
                            : QStringLiteral("ردیف خط %1").arg(row.line);
    };
    QVariantList values;
    values.reserve(m.target.size());
    QList<QPair<const Column*, const ScriptValue*>> large;
    qint64 bytes = 0;
    bool fits = true;
    qint64 key = 0;
    for (qsizetype i = 0; i < row.values.size(); ++i) {
        const Column* c = m.columns[i];
        if (!c)
            continue;
        const ScriptValue& v = row.values[i];
        QVariant out;
        if (v.kind == ScriptValue::Kind::Binary && v.spool && c->type == ColType::Blob
            && !isMessageText(table.name, c->name)) {
            large.append({c, &v});
            values << QVariant(QByteArray());
            continue;
        }
        std::optional<QString> wrong;
        if (isPasswordColumn(table.name, c->name) && v.kind != ScriptValue::Kind::Null) {
            // The plain password is never shown, whatever is wrong with it.
            if (v.kind == ScriptValue::Kind::Binary)
                wrong = QStringLiteral("رمز عبور متن نیست");
            else if (!m_options.checkOnly)
                out = isPasswordHash(v.text)                 ? v.text
                      : table.name == QLatin1String("users") ? hashPassword(v.text)
                                                             : storedAttachmentPassword(v.text);
        } else if (isMessageText(table.name, c->name) && v.kind == ScriptValue::Kind::Binary) {
            out = legacyMessageToUtf8(v.allBytes());
        } else {
            wrong = convertLegacyValue(*c, v, out);
        }
        if (wrong) {
            problem(QStringLiteral("جدول %1، %2، ستون %3: %4").arg(table.name, where(), c->name, *wrong));
            fits = false;
            continue;
        }
        if (m.keyAt == i)
            key = out.toLongLong();
        bytes += v.kind == ScriptValue::Kind::Binary ? v.binarySize() : v.text.size() * 2 + 16;
        values << out;
    }
    if (!fits)
        return;
    if (m.keyAt >= 0) {
        QSet<qint64>& seen = m_keys[table.name];
        if (seen.contains(key)) {
            problem(QStringLiteral("جدول %1: کلید %2 = %3 دو بار آمده است (خط %4).")
                        .arg(table.name, table.key())
                        .arg(key)
                        .arg(row.line));
            return;
        }
        seen.insert(key);
    } else if (!large.isEmpty()) {
        problem(QStringLiteral("جدول %1، %2: ردیف بدون کلید است.").arg(table.name, where()));
        return;
    }
    if (!m_writing)
        return;
    try {
        if (!large.isEmpty()) {
            // A very large file: the row by itself, then its file a piece at a time.
            flushAll();
            if (!m_writing)
                return;
            QStringList marks;
            for (qsizetype i = 0; i < values.size(); ++i)
                marks << QStringLiteral("?");
            m_db->exec(
                QStringLiteral("insert into %1 (%2) values (%3)").arg(table.name, m.target.join(u','), marks.join(u',')),
                values);
            for (const auto& [c, v] : large)
                writeLargeValue(*m_db, table, *c, key, *v);
        } else {
            if (!m.inserter)
                m.inserter = std::make_unique<BulkInsert>(*m_db, table.name, m.target);
            m.inserter->add(values);
            m_held += bytes;
            if (m_held > kHeldBytes)
                flushAll();
        }
        ++t.written;
    } catch (const Error& e) {
        problem(QStringLiteral("جدول %1: بانک اطلاعاتی ردیف ها را نپذیرفت (نزدیک خط %2): %3")
                    .arg(table.name)
                    .arg(row.line)
                    .arg(e.message()));
    }
}

void Migration::finish()
{
    flushAll();
    if (!m_writing)
        return;
    if (m_db->kind() == DbKind::Postgres) {
        // Identity counters past the largest key, so new records follow the old ones.
        for (const Table& t : schemaTables()) {
            const QString key = t.key();
            if (key.isEmpty())
                continue;
            m_db->exec(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), max(%2)) FROM %1 "
                                      "HAVING max(%2) IS NOT NULL")
                           .arg(t.name, key));
        }
    }
    // SQLite's AUTOINCREMENT counter already follows the largest key stored.
}

MigrationReport Migration::run(const QString& scriptPath)
{
    QFile file(scriptPath);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("خطا! فایل اسکریپت %1 باز نشد: %2").arg(scriptPath, file.errorString()));
    m_report.bytes = file.size();
    m_clock.start();
    if (m_db && !m_options.checkOnly) {
        requireEmptyTarget(*m_db);
        m_db->begin();
        const QList<ProvisionStep> steps = provision(*m_db, FirstRunRows::Omit);
        if (!provisionSucceeded(steps)) {
            m_db->rollback();
            QStringList failed;
            for (const ProvisionStep& s : steps)
                if (s.outcome == ProvisionStep::Outcome::Failed)
                    failed << describeInPersian(s);
            throw Error(QStringLiteral("خطا! جدول های بانک مقصد ساخته نشد: ") + failed.join(QStringLiteral("؛ ")));
        }
        m_writing = true;
    }
    try {
        LegacyScriptReader reader(file, m_options.spillBytes);
        m_report.encoding = reader.encoding();
        ScriptRow row;
        qint64 lastProgress = -1;
        m_last = m_clock.elapsed(); // the making of the tables is nobody's table's time
        while (reader.next(row)) {
            take(row);
            const qint64 now = m_clock.elapsed();
            entry(row.table).ms += now - m_last;
            m_last = now;
            if (m_options.progress && now / 500 != lastProgress) {
                lastProgress = now / 500;
                m_options.progress(reader.bytesRead(), m_report.bytes);
            }
        }
        // Tables the script declares without rows still appear, with nothing read.
        for (const QString& t : reader.declaredTables()) {
            entry(t);
            if (!findTable(t) && !m_report.unknownTables.contains(t, Qt::CaseInsensitive))
                m_report.unknownTables << t;
        }
        if (m_report.rowsRead() == 0)
            problem(QStringLiteral("خطا! اسکریپت هیچ ردیفی (دستور INSERT) ندارد."));
        if (m_options.progress)
            m_options.progress(reader.bytesRead(), m_report.bytes);
    } catch (const ScriptError& e) {
        m_report.truncated = e.truncated();
        problem(e.message());
    }
    if (m_db && !m_options.checkOnly) {
        try {
            finish();
            if (m_writing) {
                m_db->commit();
                m_report.written = true;
            }
        } catch (const Error& e) {
            problem(QStringLiteral("خطا! ثبت نهایی در بانک ناموفق بود: %1").arg(e.message()));
        }
        if (!m_report.written) {
            m_db->rollback();
            for (MigratedTable& t : m_report.tables)
                t.written = 0;
        }
        const qint64 now = m_clock.elapsed();
        if (!m_report.tables.isEmpty())
            m_report.tables.last().ms += now - m_last;
    } else {
        for (MigratedTable& t : m_report.tables)
            t.written = 0;
    }
    return m_report;
}

} // namespace

qint64 MigrationReport::rowsRead() const
{
    qint64 n = 0;
    for (const MigratedTable& t : tables)
        n += t.read;
    return n;
}

std::optional<QString> convertLegacyValue(const Column& c, const ScriptValue& v, QVariant& out)
{
    out = QVariant();
    if (v.kind == ScriptValue::Kind::Null)
        return std::nullopt;
    switch (c.type) {
    case ColType::Int:
    case ColType::BigInt:
        return wholeNumber(c, v, out);
    case ColType::Bit: {
        if (v.kind == ScriptValue::Kind::Text) {
            const QString t = v.text.trimmed().toLower();
            if (t == QLatin1String("true") || t == QLatin1String("false")) {
                out = t == QLatin1String("true") ? 1 : 0;
                return std::nullopt;
            }
        }
        const std::optional<QString> wrong = wholeNumber(c, v, out);
        if (wrong)
            return wrong;
        if (out.toLongLong() != 0 && out.toLongLong() != 1)
            return QStringLiteral("%1 صفر یا یک نیست").arg(out.toLongLong());
        return std::nullopt;
    }
    case ColType::Money: {
        // Whole rials: SQL Server's four fraction digits must be zeros.
        const std::optional<QString> text = numberText(v);
        const std::optional<Decimal> d = text ? Decimal::parse(*text) : std::nullopt;
        if (!d)
            return notNumber(v, QStringLiteral("مبلغ"));
        if (!d->isInteger())
            return QStringLiteral("مبلغ %1 کسری از ریال دارد و این ستون ریال کامل می گیرد").arg(*text);
        bool ok = false;
        qint64 n = d->wholeDigits().toLongLong(&ok);
        if (!ok)
            return QStringLiteral("مبلغ %1 بیش از اندازه بزرگ است").arg(*text);
        out = d->isNegative() ? -n : n;
        return std::nullopt;
    }
    case ColType::Float: {
        const std::optional<QString> text = numberText(v);
        bool ok = false;
        const double d = text ? QLocale::c().toDouble(*text, &ok) : 0.0;
        if (!ok || !std::isfinite(d))
            return notNumber(v, QStringLiteral("عدد"));
        out = d;
        return std::nullopt;
    }
    case ColType::NVarChar:
    case ColType::Text: {
        if (v.kind == ScriptValue::Kind::Binary)
            return QStringLiteral("داده دودویی %1 بایتی متن نیست").arg(v.binarySize());
        if (c.type == ColType::NVarChar) {
            const qsizetype chars = v.text.toUcs4().size();
            if (chars > c.width)
                return QStringLiteral("متن «%1» %2 نویسه دارد و این ستون حداکثر %3 نویسه می پذیرد")
                    .arg(valueExcerpt(v))
                    .arg(chars)
                    .arg(c.width);
        }
        out = v.text.isNull() ? QStringLiteral("") : v.text; // an empty text is not NULL
        return std::nullopt;
    }
    case ColType::Blob:
        if (v.kind == ScriptValue::Kind::Binary)
            out = v.allBytes();
        else if (v.kind == ScriptValue::Kind::Text)
            out = v.text.toUtf8();
        else
            return QStringLiteral("«%1» داده دودویی نیست").arg(valueExcerpt(v));
        return std::nullopt;
    case ColType::DateTime:
        return dateTime(v, out);
    }
    return QStringLiteral("نوع ستون شناخته نیست");
}

QByteArray legacyMessageToUtf8(const QByteArray& stored)
{
    if (stored.startsWith("\xFF\xFE"))
        return decodedUtf8(QStringDecoder(QStringConverter::Utf16LE), QByteArrayView(stored).sliced(2));
    if (stored.startsWith("\xFE\xFF"))
        return decodedUtf8(QStringDecoder(QStringConverter::Utf16BE), QByteArrayView(stored).sliced(2));
    if (stored.startsWith("\xEF\xBB\xBF"))
        return stored.mid(3);
    if (looksUtf16(stored, true))
        return decodedUtf8(QStringDecoder(QStringConverter::Utf16LE), stored);
    if (looksUtf16(stored, false))
        return decodedUtf8(QStringDecoder(QStringConverter::Utf16BE), stored);
    if (isUtf8(stored))
        return stored;
    return decodedUtf8(QStringDecoder("windows-1256"), stored);
}

void requireEmptyTarget(Database& db)
{
    for (const QString& table : db.tableNames()) {
        if (table.startsWith(QLatin1String("sqlite_")))
            continue;
        if (db.scalar(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(table)).isValid())
            throw Error(QStringLiteral("خطا! جدول %1 (%2) در بانک مقصد ردیف دارد؛ انتقال فقط به بانکی خالی انجام "
                                       "می شود.")
                            .arg(table, tablePurpose(table)));
    }
}

MigrationReport migrateScript(const QString& scriptPath, Database* db, const MigrationOptions& options)
{
    Migration m(db, options);
    return m.run(scriptPath);
}

MigrationReport migrateScriptToSqliteFile(const QString& scriptPath, const QString& file,
                                          const MigrationOptions& options)
{
    if (options.checkOnly)
        return migrateScript(scriptPath, nullptr, options);
    if (!QFile::exists(scriptPath))
        throw Error(QStringLiteral("خطا! فایل اسکریپت %1 پیدا نشد.").arg(scriptPath));
    if (QFileInfo::exists(file)) {
        auto existing = Database::openSqlite(file, false);
        requireEmptyTarget(*existing);
    }
    SafeFile target(file);
    MigrationReport report;
    {
        auto db = Database::openSqlite(target.tempPath(), true);
        report = migrateScript(scriptPath, db.get(), options);
    }
    if (report.written)
        target.commit();
    return report;
}

QStringList describeReport(const MigrationReport& r)
{
    QStringList lines;
    for (const MigratedTable& t : r.tables)
        lines << QStringLiteral("%1: %2 read, %3 written, %4 s")
                     .arg(t.table)
                     .arg(t.read)
                     .arg(t.written)
                     .arg(QString::number(t.ms / 1000.0, 'f', 1));
    for (const QString& t : r.unknownTables)
        lines << QStringLiteral("left out: table %1 (not a table of Tarvest)").arg(t);
    for (const QString& c : r.unknownColumns)
        lines << QStringLiteral("left out: column %1 (not a column of Tarvest)").arg(c);
    for (const QString& p : r.problems)
        lines << QStringLiteral("problem: ") + p;
    if (r.problemCount > r.problems.size())
        lines << QStringLiteral("problem: ... %1 more").arg(r.problemCount - r.problems.size());
    return lines;
}

} // namespace tarvest
