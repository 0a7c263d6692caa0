#include "db/resultset.h"

#include "common/bidi.h"
#include "common/errors.h"
#include "common/safefile.h"
#include "db/database.h"
#include "db/schema.h"
#include "db/uniquekey.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <numeric>

namespace tarvest {

namespace {

QString tableOfSelect(const QString& sql)
{
    static const QRegularExpression re(QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+([A-Za-z_][A-Za-z0-9_]*)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(sql);
    if (!m.hasMatch())
        return {};
    const Table* t = findTable(m.captured(1));
    return t ? t->name : QString();
}

// Orders two field values: empty values first, numbers by value, everything
// else by its text (date texts order correctly as text).
int compareValues(const QVariant& a, const QVariant& b)
{
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    if (isNumericValue(a) && isNumericValue(b)) {
        if (a.typeId() == QMetaType::Double || b.typeId() == QMetaType::Double || a.typeId() == QMetaType::Float
            || b.typeId() == QMetaType::Float) {
            const double x = a.toDouble(), y = b.toDouble();
            return x < y ? -1 : (x > y ? 1 : 0);
        }
        const qint64 x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return QString::compare(a.toString(), b.toString(), Qt::CaseSensitive);
}

// A field value as the screens show it: whole numbers without a decimal part.
QString fieldText(const QVariant& v)
{
    if (v.isNull() || v.typeId() == QMetaType::QByteArray)
        return {};
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15);
    // Server times read the same from both kinds of database, as SQLite stores them.
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return v.toString();
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (isNumericValue(a) && isNumericValue(b))
        return compareValues(a, b) == 0;
    return a.toString() == b.toString();
}

} // namespace

// ---------------------------------------------------------------------------
// Reading keys

namespace {

constexpr int kFirstBatch = 256; // enough for the first screenful
constexpr int kBatch = 65536;
constexpr int kPage = 256;       // rows read by key at once
constexpr int kCacheRows = 4096; // rows kept read; beyond that the oldest pages go

// The SQLite connection under a database handle, or nullptr on PostgreSQL.
sqlite3* sqliteHandle(Database& db)
{
    if (db.kind() != DbKind::Sqlite)
        return nullptr;
    const QVariant h = db.handle().driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

// Keys straight from SQLite's own interface: a million keys read as whole numbers
// without a QVariant each.
void stepKeys(sqlite3* s, const QString& sql, const QVariantList& params, const std::function<bool()>& cancelled,
              const std::function<void(std::vector<qint64>&)>& full)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(s, text.constData(), int(text.size()), &st, nullptr) != SQLITE_OK)
        throw Error(QStringLiteral("خطا در اجرای دستور بانک اطلاعاتی: %1").arg(QString::fromUtf8(sqlite3_errmsg(s))));
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(st, sqlite3_finalize);
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
            sqlite3_bind_int64(st, i + 1, v.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            sqlite3_bind_double(st, i + 1, v.toDouble());
            break;
        default:
            if (v.isNull()) {
                sqlite3_bind_null(st, i + 1);
            } else {
                const QString t = v.toString();
                sqlite3_bind_text16(st, i + 1, t.utf16(), int(t.size() * 2), SQLITE_TRANSIENT);
            }
        }
    }
    std::vector<qint64> batch;
    size_t limit = kFirstBatch;
    batch.reserve(limit);
    for (;;) {
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            throw Error(
                QStringLiteral("خطا در اجرای دستور بانک اطلاعاتی: %1").arg(QString::fromUtf8(sqlite3_errmsg(s))));
        batch.push_back(sqlite3_column_int64(st, 0));
        if (batch.size() >= limit) {
            if (cancelled())
                return;
            full(batch);
            batch = {};
            limit = kBatch;
            batch.reserve(limit);
        }
    }
    if (!cancelled())
        full(batch);
}

// Reads the count (when asked) and the keys of a search in batches; stops between
// batches when cancelled.
void readKeys(Database& db, const QString& countSql, const QString& keySql, const QVariantList& params,
              const std::function<bool()>& cancelled, const std::function<void(qint64)>& onCount,
              const std::function<void(std::vector<qint64>&&)>& onKeys)
{
    if (!countSql.isEmpty()) {
        onCount(db.scalar(countSql, params).toLongLong());
        if (cancelled())
            return;
    }
    if (sqlite3* s = sqliteHandle(db)) {
        stepKeys(s, keySql, params, cancelled, [&](std::vector<qint64>& keys) { onKeys(std::move(keys)); });
        return;
    }
    QSqlQuery q = db.exec(keySql, params);
    std::vector<qint64> batch;
    size_t limit = kFirstBatch;
    batch.reserve(limit);
    while (q.next()) {
        batch.push_back(q.value(0).toLongLong());
        if (batch.size() >= limit) {
            if (cancelled())
                return;
            onKeys(std::move(batch));
            batch = {};
            limit = kBatch;
            batch.reserve(limit);
        }
    }
    if (!cancelled())
        onKeys(std::move(batch));
}

} // namespace

// A thread with its own connection to the result's database, on which the count and
// the keys of a search are read while the window's event loop goes on.
class KeyReader {
public:
    explicit KeyReader(Database* source) : m_source(source)
    {
        m_context.moveToThread(&m_thread);
        m_thread.start();
    }

    ~KeyReader()
    {
        m_active = 0;
        // The connection is closed on the thread that opened it.
        QMetaObject::invokeMethod(&m_context, [this] {
            m_db.reset();
            m_context.moveToThread(nullptr);
            QThread::currentThread()->quit();
        });
        m_thread.wait();
    }

    Database* source() const { return m_source; }
    void cancel() { m_active = 0; }

    void start(quint64 generation, QString countSql, QString keySql, QVariantList params, ResultSet* target,
               std::function<void(quint64, qint64)> onCount, std::function<void(quint64, std::vector<qint64>)> onKeys,
               std::function<void(quint64, QString)> onDone)
    {
        m_active = generation;
        QMetaObject::invokeMethod(&m_context, [=, this] {
            auto cancelled = [this, generation] { return m_active.load() != generation; };
            QString error;
            try {
                if (!m_db)
                    m_db = m_source->openAnother();
                // Count and keys from one view of the data.
                m_db->exec(m_db->kind() == DbKind::Postgres
                               ? QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")
                               : QStringLiteral("BEGIN"));
                try {
                    readKeys(
                        *m_db, countSql, keySql, params, cancelled,
                        [&](qint64 n) {
                            QMetaObject::invokeMethod(
                                target, [=] { onCount(generation, n); }, Qt::QueuedConnection);
                        },
                        [&](std::vector<qint64>&& keys) {
                            QMetaObject::invokeMethod(
                                target, [=, k = std::move(keys)] { onKeys(generation, k); }, Qt::QueuedConnection);
                        });
                } catch (const Error&) {
                    m_db->exec(QStringLiteral("ROLLBACK"));
                    throw;
                }
                m_db->exec(QStringLiteral("COMMIT"));
            } catch (const Error& e) {
                error = e.message();
                m_db.reset(); // a fresh connection for the next search
            }
            QMetaObject::invokeMethod(
                target, [=] { onDone(generation, error); }, Qt::QueuedConnection);
        });
    }

private:
    Database* m_source;
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<Database> m_db; // used only on m_thread
    std::atomic<quint64> m_active{0};
};

// ---------------------------------------------------------------------------

ResultSet::ResultSet(Database* db, QObject* parent) : QObject(parent), m_db(db)
{
}

ResultSet::~ResultSet()
{
    m_generation++;
    m_reader.reset();
}

void ResultSet::setDatabase(Database* db)
{
    if (db == m_db)
        return;
    cancelLoad();
    m_reader.reset();
    m_fieldsOf.clear();
    m_db = db;
}

void ResultSet::open(const QString& sql, const QVariantList& params, const QString& table)
{
    if (!m_db)
        throw Error(QStringLiteral("اتصال به بانک اطلاعاتی برقرار نیست."));
    const QString tableName = table.isEmpty() ? tableOfSelect(sql)
                                              : (findTable(table) ? findTable(table)->name : table);
    // "select * from <table> [where ...] [order by ...]" is read by key.
    static const QRegularExpression simple(
        QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+([A-Za-z_][A-Za-z0-9_]*)(?:\\s+where\\s+(.*?))?"
                       "(?:\\s+order\\s+by\\s+([^()?']+?))?\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto m = simple.match(sql);
    const Table* t = findTable(tableName);
    if (m.hasMatch() && t && !t->key().isEmpty() && m.captured(1).compare(tableName, Qt::CaseInsensitive) == 0) {
        KeyedQuery q;
        q.select = QStringLiteral("SELECT * FROM ") + t->name;
        q.where = m.captured(2);
        q.params = params;
        q.order = m.captured(3);
        q.table = t->name;
        // An order term may name its table ("komision.pk"); outside it is the column.
        q.order.replace(QRegularExpression(QStringLiteral("\\b") + t->name + QStringLiteral("\\."),
                                           QRegularExpression::CaseInsensitiveOption),
                        QString());
        openKeys(q);
        return;
    }
    openRows(sql, params, tableName);
}

void ResultSet::open(const KeyedQuery& query)
{
    if (!m_db)
        throw Error(QStringLiteral("اتصال به بانک اطلاعاتی برقرار نیست."));
    openKeys(query);
}

void ResultSet::openRows(const QString& sql, const QVariantList& params, const QString& tableName)
{
    cancelLoad();
    QSqlQuery q = m_db->exec(sql, params);
    const QSqlRecord rec = q.record();
    QStringList fields;
    for (int i = 0; i < rec.count(); ++i)
        fields << rec.fieldName(i);
    std::vector<QVariantList> rows;
    while (q.next()) {
        QVariantList row;
        row.reserve(fields.size());
        for (int i = 0; i < fields.size(); ++i)
            row << q.value(i);
        rows.push_back(std::move(row));
    }
    m_mode = Mode::Rows;
    m_sql = sql;
    m_params = params;
    m_table = tableName;
    const Table* t = findTable(m_table);
    m_key = t ? t->key() : QString();
    m_fields = fields;
    m_keyColumn = m_key.isEmpty() ? -1 : fieldIndex(m_key);
    m_rows = std::move(rows);
    m_keys.clear();
    m_appended.clear();
    m_cache.clear();
    m_open = true;
    m_complete = true;
    m_expected = qint64(m_rows.size());
    m_sortField.clear();
    m_sortOrder = Qt::AscendingOrder;
    m_sortTerms.clear();
    m_current = 0;
    m_eof = m_bof = m_rows.empty();
    emit reset();
    emit currentChanged(m_rows.empty() ? -1 : 0);
}

void ResultSet::openKeys(const KeyedQuery& query)
{
    cancelLoad();
    const Table* t = findTable(query.table);
    if (!t || t->key().isEmpty())
        throw Error(QStringLiteral("جدول %1 کلید ندارد و نتیجه آن را نمی توان صفحه به صفحه خواند.").arg(query.table));
    // The columns of the result, from a statement that reads no row; known after the
    // first search of the same select.
    if (m_fieldsOf != query.select) {
        QSqlQuery q = m_db->exec(QStringLiteral("SELECT * FROM (") + query.select + QStringLiteral(") s WHERE 1 = 0"));
        const QSqlRecord rec = q.record();
        m_knownFields.clear();
        for (int i = 0; i < rec.count(); ++i)
            m_knownFields << rec.fieldName(i);
        m_fieldsOf = query.select;
    }
    const QStringList fields = m_knownFields;
    m_mode = Mode::Keys;
    m_query = query;
    m_query.table = t->name;
    m_sql.clear();
    m_params.clear();
    m_table = t->name;
    m_key = t->key();
    m_fields = fields;
    m_keyColumn = fieldIndex(m_key);
    if (m_keyColumn < 0)
        throw Error(QStringLiteral("کلید %1 در نتیجه جستجو نیست.").arg(m_key));
    m_rows.clear();
    m_keys.clear();
    m_appended.clear();
    m_cache.clear();
    m_lastPage = -1;
    m_open = true;
    m_sortField.clear();
    m_sortOrder = Qt::AscendingOrder;
    m_sortTerms.clear();
    m_current = 0;
    m_eof = m_bof = true;
    emit reset();
    emit currentChanged(-1);
    loadKeys(false, true);
}

QString ResultSet::orderSql() const
{
    const Table* t = findTable(m_table);
    QStringList terms;
    for (const OrderTerm& term : m_sortTerms) {
        QString sql = QStringLiteral("s.") + term.field;
        const Column* c = t ? t->column(term.field) : nullptr;
        const bool text = c && (c->type == ColType::NVarChar || c->type == ColType::Text);
        const bool asc = term.order == Qt::AscendingOrder;
        if (m_db->kind() == DbKind::Postgres) {
            // Texts by their characters' code order, as SQLite's own comparison does;
            // empty values first, as SQLite puts them.
            if (text)
                sql += QStringLiteral(" COLLATE \"C\"");
            sql += asc ? QStringLiteral(" ASC NULLS FIRST") : QStringLiteral(" DESC NULLS LAST");
        } else {
            sql += asc ? QStringLiteral(" ASC") : QStringLiteral(" DESC");
        }
        terms << sql;
    }
    if (!m_query.order.trimmed().isEmpty())
        terms << m_query.order.trimmed();
    terms << QStringLiteral("s.") + m_key;
    return terms.join(QStringLiteral(", "));
}

QString ResultSet::keySql(bool withAppended, QVariantList& params) const
{
    params = m_query.params;
    QString where = m_query.where.trimmed();
    // Rows added through this result stay in it when it is ordered anew.
    if (withAppended && !where.isEmpty() && !m_appended.empty()) {
        QStringList marks;
        for (qint64 k : m_appended) {
            marks << QStringLiteral("?");
            params << k;
        }
        where = QStringLiteral("(") + where + QStringLiteral(") OR ") + m_table + u'.' + m_key + QStringLiteral(" IN (")
                + marks.join(u',') + u')';
    }
    const QString inner = m_query.select + (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where);
    return QStringLiteral("SELECT s.") + m_key + QStringLiteral(" FROM (") + inner + QStringLiteral(") s ORDER BY ")
           + orderSql();
}

QString ResultSet::countStatement() const
{
    const QString where = m_query.where.trimmed();
    return QStringLiteral("SELECT count(*) FROM (") + m_query.select
           + (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where) + QStringLiteral(") s");
}

QString ResultSet::keyStatement() const
{
    QVariantList params;
    return keySql(false, params);
}

QString ResultSet::rowStatement(int keys) const
{
    QStringList marks;
    for (int i = 0; i < keys; ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("SELECT * FROM (") + m_query.select + QStringLiteral(") s WHERE s.") + m_key
           + QStringLiteral(" IN (") + marks.join(u',') + u')';
}

bool ResultSet::loadKeys(bool replaceAtOnce, bool withCount)
{
    QVariantList params;
    const QString keys = keySql(replaceAtOnce, params);
    QString count;
    if (withCount) {
        count = countStatement();
        m_expected = -1;
    }
    const quint64 generation = ++m_generation;
    m_replaceAtOnce = replaceAtOnce;
    m_firstBatch = true;
    m_incoming.clear();
    m_loadError.clear();
    emit loadStarted();

    // The keys are read on a thread of their own while an event loop runs here; but
    // inside a transaction only this connection sees its own changes.
    const bool threaded = QCoreApplication::instance() && QThread::currentThread() == qApp->thread()
                          && !m_db->inTransaction()
                          && !(m_db->kind() == DbKind::Sqlite
                               && (m_db->description().isEmpty() || m_db->description() == QLatin1String(":memory:")));
    if (threaded) {
        if (!m_reader || m_reader->source() != m_db)
            m_reader = std::make_unique<KeyReader>(m_db);
        QEventLoop loop;
        m_loop = &loop;
        m_reader->start(
            generation, count, keys, params, this, [this](quint64 g, qint64 n) { acceptCount(g, n); },
            [this](quint64 g, std::vector<qint64> k) { acceptKeys(g, k); },
            [this](quint64 g, QString e) { finishLoad(g, e); });
        loop.exec();
        if (m_loop == &loop)
            m_loop = nullptr;
        if (generation != m_generation)
            return false; // cancelled, or a newer search took over
    } else {
        try {
            readKeys(
                *m_db, count, keys, params, [] { return false; }, [&](qint64 n) { acceptCount(generation, n); },
                [&](std::vector<qint64>&& k) { acceptKeys(generation, k); });
        } catch (const Error& e) {
            m_loadError = e.message();
        }
    }
    const QString error = m_loadError;
    if (!error.isEmpty()) {
        m_complete = false;
        emit loadFinished(false);
        throw Error(error);
    }
    if (m_replaceAtOnce) {
        const qint64 currentKey = isEmpty() ? 0 : m_keys[m_current];
        const bool hadCurrent = !isEmpty();
        m_keys = std::move(m_incoming);
        m_incoming = {};
        emit reset();
        int row = -1;
        if (hadCurrent) {
            const auto it = std::find(m_keys.begin(), m_keys.end(), currentKey);
            if (it != m_keys.end())
                row = int(it - m_keys.begin());
        }
        if (row >= 0) {
            setCurrent(row);
        } else if (!m_keys.empty()) {
            setCurrent(std::min(m_current, int(m_keys.size()) - 1));
        } else {
            m_current = 0;
            m_eof = m_bof = true;
            emit currentChanged(-1);
        }
    } else if (m_firstBatch) {
        m_firstBatch = false;
        emit reset();
    }
    m_complete = true;
    if (withCount)
        m_expected = qint64(m_keys.size());
    emit loadFinished(true);
    return true;
}

void ResultSet::acceptCount(quint64 generation, qint64 count)
{
    if (generation != m_generation)
        return;
    m_expected = count;
    emit counted(count);
    emit loadProgress(0, count);
}

void ResultSet::acceptKeys(quint64 generation, const std::vector<qint64>& keys)
{
    if (generation != m_generation)
        return;
    if (m_replaceAtOnce) {
        m_incoming.insert(m_incoming.end(), keys.begin(), keys.end());
        emit loadProgress(qint64(m_incoming.size()), m_expected);
        return;
    }
    if (keys.empty())
        return;
    const int first = int(m_keys.size());
    m_keys.insert(m_keys.end(), keys.begin(), keys.end());
    if (m_firstBatch) {
        // The first screenful: the grid takes it whole, the first row is current.
        m_firstBatch = false;
        emit reset();
        m_current = 0;
        m_eof = m_bof = false;
        emit currentChanged(0);
    } else {
        emit rowsAppended(first, int(m_keys.size()) - 1);
    }
    emit loadProgress(qint64(m_keys.size()), m_expected);
}

void ResultSet::finishLoad(quint64 generation, const QString& error)
{
    if (generation != m_generation)
        return;
    m_loadError = error;
    if (m_loop)
        m_loop->quit();
}

void ResultSet::cancelLoad()
{
    if (!m_loop)
        return;
    QEventLoop* loop = m_loop;
    m_loop = nullptr;
    ++m_generation;
    if (m_reader)
        m_reader->cancel();
    m_incoming = {};
    if (!m_replaceAtOnce) {
        m_complete = false;
        if (m_firstBatch)
            emit reset();
    }
    loop->quit();
    emit loadFinished(false);
}

void ResultSet::refresh()
{
    if (!m_open)
        return;
    if (m_mode == Mode::Keys) {
        cancelLoad();
        m_appended.clear();
        m_cache.clear();
        m_lastPage = -1;
        loadKeys(true, false);
        return;
    }
    const QVariant key = (m_keyColumn >= 0 && !m_rows.empty()) ? m_rows[m_current][m_keyColumn] : QVariant();
    const int oldRecNo = recNo();
    const QString sortField = m_sortField;
    const Qt::SortOrder sortOrder = m_sortOrder;
    openRows(m_sql, m_params, m_table);
    if (!sortField.isEmpty() && fieldIndex(sortField) >= 0)
        sort(sortField, sortOrder);
    if (!(key.isValid() && locate(m_key, key)) && oldRecNo > 0)
        moveTo(std::min(oldRecNo, recordCount()));
}

void ResultSet::close()
{
    cancelLoad();
    m_open = false;
    m_fields.clear();
    m_rows.clear();
    m_keys.clear();
    m_appended.clear();
    m_cache.clear();
    m_keyColumn = -1;
    m_current = 0;
    m_eof = m_bof = true;
    emit reset();
    emit currentChanged(-1);
}

int ResultSet::recordCount() const
{
    return m_mode == Mode::Keys ? int(m_keys.size()) : int(m_rows.size());
}

void ResultSet::setCurrent(int row)
{
    m_current = row;
    m_eof = m_bof = false;
    emit currentChanged(row);
}

void ResultSet::first()
{
    if (isEmpty()) {
        m_eof = m_bof = true;
        return;
    }
    setCurrent(0);
    m_bof = true;
}

void ResultSet::last()
{
    if (isEmpty()) {
        m_eof = m_bof = true;
        return;
    }
    setCurrent(recordCount() - 1);
    m_eof = true;
}

void ResultSet::next()
{
    if (isEmpty() || m_current + 1 >= recordCount()) {
        m_eof = true;
        return;
    }
    setCurrent(m_current + 1);
}

void ResultSet::prior()
{
    if (isEmpty() || m_current == 0) {
        m_bof = true;
        return;
    }
    setCurrent(m_current - 1);
}

bool ResultSet::moveTo(int n)
{
    if (n < 1 || n > recordCount())
        return false;
    setCurrent(n - 1);
    return true;
}

int ResultSet::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int ResultSet::column(const QString& field) const
{
    const int i = fieldIndex(field);
    if (i < 0)
        throw Error(QStringLiteral("فیلد %1 در نتیجه جستجو نیست.").arg(field));
    return i;
}

void ResultSet::requireCurrent() const
{
    if (isEmpty())
        throw Error(QStringLiteral("رکوردی انتخاب نشده است."));
}

void ResultSet::fetchPage(int row) const
{
    // First, so that whatever the progress shows meanwhile reads its own rows before ours.
    emit const_cast<ResultSet*>(this)->pageReading(row);
    const int page = row / kPage;
    const int begin = page * kPage;
    const int end = std::min(int(m_keys.size()), begin + kPage);
    QVariantList wanted;
    for (int r = begin; r < end; ++r)
        if (!m_cache.contains(m_keys[r]))
            wanted << m_keys[r];
    if (wanted.isEmpty())
        return;
    if (m_cache.size() + wanted.size() > kCacheRows) {
        // Keep the current row; the rest is read again when reached.
        const qint64 current = m_current < int(m_keys.size()) ? m_keys[m_current] : 0;
        const QVariantList kept = m_cache.value(current);
        const bool hadCurrent = m_cache.contains(current);
        m_cache.clear();
        if (hadCurrent)
            m_cache.insert(current, kept);
    }
    QSqlQuery q = m_db->exec(rowStatement(int(wanted.size())), wanted);
    const int n = int(m_fields.size());
    while (q.next()) {
        QVariantList values;
        values.reserve(n);
        for (int i = 0; i < n; ++i)
            values << q.value(i);
        m_cache.insert(values[m_keyColumn].toLongLong(), values);
    }
    // Keys the table no longer has: rows deleted since the search.
    for (const QVariant& k : wanted)
        if (!m_cache.contains(k.toLongLong()))
            m_cache.insert(k.toLongLong(), QVariantList());
    m_lastPage = page;
}

const QVariantList& ResultSet::rowAt(int row) const
{
    static const QVariantList none;
    if (m_mode == Mode::Rows)
        return m_rows[row];
    auto it = m_cache.constFind(m_keys[row]);
    if (it == m_cache.constEnd()) {
        fetchPage(row);
        it = m_cache.constFind(m_keys[row]);
        if (it == m_cache.constEnd())
            return none;
    }
    return *it;
}

bool ResultSet::isGone(int row) const
{
    if (m_mode == Mode::Rows || row < 0 || row >= recordCount())
        return false;
    return rowAt(row).isEmpty();
}

QVariant ResultSet::value(const QString& field) const
{
    const int c = column(field);
    requireCurrent();
    return valueAt(m_current, c);
}

bool ResultSet::isNull(const QString& field) const
{
    return value(field).isNull();
}

QString ResultSet::asString(const QString& field) const
{
    return fieldText(value(field));
}

double ResultSet::asFloat(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull() || v.toString().trimmed().isEmpty())
        return 0.0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw Error(QStringLiteral("مقدار «%1» فیلد %2 عدد نیست.").arg(v.toString(), field));
    return d;
}

qint64 ResultSet::asInteger(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull() || v.toString().trimmed().isEmpty())
        return 0;
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (!ok)
        throw Error(QStringLiteral("مقدار «%1» فیلد %2 عدد صحیح نیست.").arg(v.toString(), field));
    return n;
}

qint64 ResultSet::asCurrency(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return 0;
    return toWholeRials(v);
}

bool ResultSet::asBoolean(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return false;
    if (isNumericValue(v) || v.typeId() == QMetaType::Bool)
        return v.toLongLong() != 0 || v.toBool();
    const QString s = v.toString().trimmed().toLower();
    return !(s.isEmpty() || s == QLatin1String("0") || s == QLatin1String("false"));
}

QVariant ResultSet::valueAt(int row, int col) const
{
    if (row < 0 || row >= recordCount() || col < 0 || col >= m_fields.size())
        return {};
    const QVariantList& values = rowAt(row);
    if (values.isEmpty()) // gone: only its key is known
        return col == m_keyColumn ? QVariant(m_keys[row]) : QVariant();
    return values[col];
}

QString ResultSet::textAt(int row, int col) const
{
    return fieldText(valueAt(row, col));
}

void ResultSet::requireWritable() const
{
    if (!m_open || !m_db)
        throw Error(QStringLiteral("نتیجه جستجو باز نیست."));
    if (m_table.isEmpty() || m_key.isEmpty())
        throw Error(QStringLiteral("این فهرست به جدولی با کلید وصل نیست و نمی توان آن را تغییر داد."));
}

bool ResultSet::reloadRow(int row, const QVariant& key)
{
    if (m_mode == Mode::Keys) {
        const qint64 k = key.toLongLong();
        QSqlQuery q = m_db->exec(QStringLiteral("SELECT * FROM (") + m_query.select + QStringLiteral(") s WHERE s.")
                                     + m_key + QStringLiteral(" = ?"),
                                 {k});
        QVariantList values;
        if (q.next()) {
            for (int i = 0; i < m_fields.size(); ++i)
                values << q.value(i);
        }
        m_cache.insert(k, values);
        return !values.isEmpty();
    }
    QSqlQuery q = m_db->exec("SELECT * FROM " + m_table + " WHERE " + m_key + " = ?", {key});
    if (!q.next())
        return false;
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i) {
        const int c = fieldIndex(rec.fieldName(i));
        if (c >= 0)
            m_rows[row][c] = q.value(i);
    }
    return true;
}

QVariantMap ResultSet::loadedRow() const
{
    QVariantMap loaded;
    const QVariantList& values = rowAt(m_current);
    if (values.isEmpty()) // gone since the search: nothing loaded to compare
        return loaded;
    for (int i = 0; i < m_fields.size(); ++i)
        loaded.insert(m_fields[i], values[i]);
    return loaded;
}

bool ResultSet::reloadCurrent()
{
    requireWritable();
    requireCurrent();
    if (reloadRow(m_current, value(m_key))) {
        emit rowChanged(m_current);
        return true;
    }
    dropCurrent();
    return false;
}

void ResultSet::dropCurrent()
{
    const int r = m_current;
    if (m_mode == Mode::Keys) {
        const qint64 key = m_keys[r];
        m_keys.erase(m_keys.begin() + r);
        m_cache.remove(key);
        m_appended.erase(std::remove(m_appended.begin(), m_appended.end(), key), m_appended.end());
    } else {
        m_rows.erase(m_rows.begin() + r);
    }
    emit rowRemoved(r);
    if (isEmpty()) {
        m_current = 0;
        m_eof = m_bof = true;
        emit currentChanged(-1);
    } else {
        setCurrent(std::min(r, recordCount() - 1));
    }
}

void ResultSet::append(const QVariantMap& values, const UniqueRule* rule)
{
    requireWritable();
    qint64 key = 0;
    const auto insert = [&] { key = m_db->insert(m_table, values); };
    if (rule)
        saveUnique(*m_db, *rule, values, {}, insert);
    else
        insert();
    int r;
    if (m_mode == Mode::Keys) {
        m_keys.push_back(key);
        m_appended.push_back(key);
        r = int(m_keys.size()) - 1;
    } else {
        QVariantList row;
        for (const QString& f : m_fields) {
            QVariant v;
            for (auto it = values.begin(); it != values.end(); ++it)
                if (it.key().compare(f, Qt::CaseInsensitive) == 0)
                    v = it.value();
            row << v;
        }
        m_rows.push_back(row);
        r = int(m_rows.size()) - 1;
    }
    reloadRow(r, key);
    emit rowInserted(r);
    setCurrent(r);
}

void ResultSet::edit(const QVariantMap& values, const UniqueRule* rule)
{
    requireWritable();
    requireCurrent();
    const QVariant key = value(m_key);
    const QVariantMap loaded = loadedRow();
    const auto update = [&] { m_db->updateUnchanged(m_table, values, key, loaded); };
    if (rule && changesKey(*rule, values, loaded))
        saveUnique(*m_db, *rule, values, key, update);
    else
        update();
    reloadRow(m_current, key);
    emit rowChanged(m_current);
}

void ResultSet::remove()
{
    requireWritable();
    requireCurrent();
    m_db->removeUnchanged(m_table, value(m_key), loadedRow());
    dropCurrent();
}

bool ResultSet::locate(const QString& field, const QVariant& v)
{
    const int c = column(field);
    if (m_mode == Mode::Keys) {
        if (c == m_keyColumn) {
            bool ok = false;
            const qint64 k = v.toLongLong(&ok);
            if (!ok)
                return false;
            const auto it = std::find(m_keys.begin(), m_keys.end(), k);
            if (it == m_keys.end())
                return false;
            setCurrent(int(it - m_keys.begin()));
            return true;
        }
        // The rows whose field holds the value now, then the first of them here.
        QSqlQuery q = v.isNull()
                          ? m_db->exec(QStringLiteral("SELECT s.") + m_key + QStringLiteral(" FROM (") + m_query.select
                                       + QStringLiteral(") s WHERE s.") + m_fields[c] + QStringLiteral(" IS NULL"))
                          : m_db->exec(QStringLiteral("SELECT s.") + m_key + QStringLiteral(" FROM (") + m_query.select
                                           + QStringLiteral(") s WHERE s.") + m_fields[c] + QStringLiteral(" = ?"),
                                       {v});
        QSet<qint64> matching;
        while (q.next())
            matching.insert(q.value(0).toLongLong());
        if (matching.isEmpty())
            return false;
        for (int r = 0; r < int(m_keys.size()); ++r) {
            if (matching.contains(m_keys[r])) {
                setCurrent(r);
                return true;
            }
        }
        return false;
    }
    for (int r = 0; r < int(m_rows.size()); ++r) {
        if (sameValue(m_rows[r][c], v)) {
            setCurrent(r);
            return true;
        }
    }
    return false;
}

QByteArray ResultSet::blob(const QString& field) const
{
    return value(field).toByteArray();
}

void ResultSet::blobToStream(const QString& field, QIODevice& out) const
{
    const QByteArray data = blob(field);
    if (out.write(data) != data.size())
        throw Error(QStringLiteral("نوشتن فایل انجام نشد: %1").arg(out.errorString()));
}

void ResultSet::blobToFile(const QString& field, const QString& path) const
{
    // Written whole or not at all: an earlier file of that name survives a failed write.
    writeFileSafely(path, blob(field));
}

void ResultSet::loadBlobFromStream(const QString& field, QIODevice& in)
{
    edit({{field, in.readAll()}});
}

void ResultSet::loadBlobFromFile(const QString& field, const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("فایل %1 خوانده نشد: %2").arg(path, f.errorString()));
    loadBlobFromStream(field, f);
}

void ResultSet::sort(const QString& field, Qt::SortOrder order)
{
    const int c = column(field);
    if (m_mode == Mode::Rows) {
        clientSort(c, order);
        return;
    }
    cancelLoad();
    const std::vector<OrderTerm> before = m_sortTerms;
    const QString beforeField = m_sortField;
    const Qt::SortOrder beforeOrder = m_sortOrder;
    // Ties keep the order they had: the earlier orders follow the new one.
    m_sortTerms.erase(
        std::remove_if(m_sortTerms.begin(), m_sortTerms.end(),
                       [&](const OrderTerm& t) { return t.field.compare(m_fields[c], Qt::CaseInsensitive) == 0; }),
        m_sortTerms.end());
    m_sortTerms.insert(m_sortTerms.begin(), OrderTerm{m_fields[c], order});
    if (m_sortTerms.size() > 3)
        m_sortTerms.resize(3);
    m_sortField = m_fields[c];
    m_sortOrder = order;
    bool done = false;
    try {
        done = loadKeys(true, false);
    } catch (const Error&) {
        m_sortTerms = before;
        m_sortField = beforeField;
        m_sortOrder = beforeOrder;
        throw;
    }
    if (!done) {
        m_sortTerms = before;
        m_sortField = beforeField;
        m_sortOrder = beforeOrder;
    }
}

void ResultSet::clientSort(int c, Qt::SortOrder order)
{
    const bool hadCurrent = !m_rows.empty();
    std::vector<int> idx(m_rows.size());
    std::iota(idx.begin(), idx.end(), 0);
    std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) {
        const int cmp = compareValues(m_rows[a][c], m_rows[b][c]);
        return order == Qt::AscendingOrder ? cmp < 0 : cmp > 0;
    });
    std::vector<QVariantList> sorted;
    sorted.reserve(m_rows.size());
    int newCurrent = 0;
    for (int i = 0; i < int(idx.size()); ++i) {
        if (idx[i] == m_current)
            newCurrent = i;
        sorted.push_back(std::move(m_rows[idx[i]]));
    }
    m_rows = std::move(sorted);
    m_sortField = m_fields[c];
    m_sortOrder = order;
    emit reset();
    if (hadCurrent)
        setCurrent(newCurrent);
}

ResultSetModel::ResultSetModel(ResultSet* rs, QObject* parent) : QAbstractTableModel(parent), m_rs(rs)
{
    connect(rs, &ResultSet::reset, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(rs, &ResultSet::rowChanged, this,
            [this](int row) { emit dataChanged(index(row, 0), index(row, columnCount() - 1)); });
    connect(rs, &ResultSet::rowInserted, this, [this](int row) {
        beginInsertRows({}, row, row);
        endInsertRows();
    });
    connect(rs, &ResultSet::rowsAppended, this, [this](int first, int last) {
        beginInsertRows({}, first, last);
        endInsertRows();
    });
    connect(rs, &ResultSet::rowRemoved, this, [this](int row) {
        beginRemoveRows({}, row, row);
        endRemoveRows();
    });
}

void ResultSetModel::setTitles(const QHash<QString, QString>& titles)
{
    m_titles.clear();
    for (auto it = titles.begin(); it != titles.end(); ++it)
        m_titles.insert(it.key().toLower(), it.value());
    emit headerDataChanged(Qt::Horizontal, 0, std::max(0, columnCount() - 1));
}

int ResultSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rs->recordCount();
}

int ResultSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rs->fieldCount();
}

QVariant ResultSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    // A row deleted elsewhere since the search shows its key and says why it is empty.
    if (role == Qt::ToolTipRole)
        return m_rs->isGone(index.row())
                   ? QVariant(QStringLiteral("این رکورد پس از جستجو توسط کاربر دیگری حذف شده است."))
                   : QVariant();
    if (role != Qt::DisplayRole)
        return {};
    // Cells read as typed inside the right-to-left grid: dates, times, addresses and
    // codes keep their left-to-right order.
    return isolateLeftToRight(fieldText(m_rs->valueAt(index.row(), index.column())));
}

QVariant ResultSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    const QString name = m_rs->fieldName(section);
    return m_titles.value(name.toLower(), name);
}

void ResultSetModel::sort(int column, Qt::SortOrder order)
{
    if (column >= 0 && column < m_rs->fieldCount())
        m_rs->sort(m_rs->fieldName(column), order);
}

} // namespace tarvest
