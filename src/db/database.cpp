#include "db/database.h"

#include "common/digits.h"
#include "common/errors.h"
#include "db/schema.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <libpq-fe.h>

#include <atomic>
#include <cmath>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvest {

namespace {

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("tarvest-%1").arg(++counter);
}

QString dbReason(const QSqlError& e)
{
    QString text = e.databaseText().trimmed();
    if (text.isEmpty())
        text = e.text().trimmed();
    if (text.isEmpty())
        text = e.nativeErrorCode().trimmed();
    return text;
}

// The libpq connection under a PostgreSQL handle, or null.
PGconn* pgConnection(const QSqlDatabase& db)
{
    if (!db.driver())
        return nullptr;
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "PGconn*") != 0)
        return nullptr;
    return *static_cast<PGconn* const*>(h.constData());
}

// Statements that change nothing and may run again on a reopened connection.
bool isRerunnable(const QString& sql)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(select|with|begin|set|show)\\b"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(sql).hasMatch();
}

// Columns compared when an edit or a delete checks that the row is still as loaded.
bool comparedColumn(const Column& c)
{
    return !c.identity && !c.serverTime && c.type != ColType::Blob && c.type != ColType::DateTime;
}

// Whether a value about to be written equals the one loaded: nulls alike, numbers by
// value, everything else by its text.
bool sameStored(const QVariant& loaded, const QVariant& written)
{
    if (loaded.isNull() || written.isNull())
        return loaded.isNull() && written.isNull();
    if (loaded.typeId() == QMetaType::QByteArray || written.typeId() == QMetaType::QByteArray)
        return loaded.toByteArray() == written.toByteArray(); // stored files byte for byte
    auto number = [](const QVariant& v) { return isNumericValue(v) || v.typeId() == QMetaType::Bool; };
    if (number(loaded) && number(written))
        return loaded.toDouble() == written.toDouble() && loaded.toLongLong() == written.toLongLong();
    return loaded.toString() == written.toString();
}

QVariant loadedValue(const QVariantMap& loaded, const QString& column, bool* found)
{
    for (auto it = loaded.begin(); it != loaded.end(); ++it)
        if (it.key().compare(column, Qt::CaseInsensitive) == 0) {
            *found = true;
            return it.value();
        }
    *found = false;
    return {};
}

// A number typed with Persian or Arabic-Indic digits or the Persian decimal
// separator, as ASCII text.
QString asciiNumberText(const QString& text)
{
    return normalizeDigits(text).replace(QChar(0x066B), QChar(u'.')).trimmed();
}

QVariant toWholeNumber(const Column& c, const QVariant& v)
{
    if (v.isNull())
        return v;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    qint64 n = 0;
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
        const QString s = asciiNumberText(v.toString());
        if (s.isEmpty())
            return qint64(0);
        bool ok = false;
        n = s.toLongLong(&ok);
        if (!ok)
            throw Error(QStringLiteral("خطا! مقدار «%1» براي ستون %2 عدد صحيح نيست.").arg(v.toString(), c.name));
    } else {
        bool ok = false;
        n = v.toLongLong(&ok);
        if (!ok
            || (v.typeId() == QMetaType::ULongLong && v.toULongLong() > qulonglong(std::numeric_limits<qint64>::max())))
            return v; // left to the database to judge
    }
    // A 32-bit column would refuse (PostgreSQL) or silently keep (SQLite) a larger
    // number; both kinds refuse it here, before the statement, alike.
    if (c.type == ColType::Int && (n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max()))
        throw Error(QStringLiteral("خطا! عدد %1 براي ستون %2 بيش از اندازه بزرگ است (حداكثر %3).")
                        .arg(n)
                        .arg(c.name)
                        .arg(std::numeric_limits<qint32>::max()));
    return n;
}

QVariant toFloatValue(const Column& c, const QVariant& v)
{
    if (v.isNull())
        return v;
    if (v.typeId() == QMetaType::QString) {
        const QString s = asciiNumberText(v.toString());
        if (s.isEmpty())
            return 0.0;
        bool ok = false;
        const double d = s.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            throw Error(QStringLiteral("مقدار «%1» برای ستون %2 عدد نیست.").arg(v.toString(), c.name));
        return d;
    }
    return v;
}

} // namespace

bool isNumericValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::Long:
        return true;
    default:
        return false;
    }
}

qint64 toWholeRials(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return value.toLongLong();
    case QMetaType::ULongLong:
    case QMetaType::ULong: {
        const qulonglong u = value.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint64>::max()))
            break;
        return qint64(u);
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = std::nearbyint(value.toDouble()); // ties to even
        if (!std::isfinite(d) || std::fabs(d) >= 9.2e18)
            break;
        return qint64(d);
    }
    default: {
        static const QRegularExpression re(QStringLiteral("^([+-]?)(\\d*)(?:\\.(\\d*))?$"));
        QString s = asciiNumberText(value.toString());
        s.remove(QChar(u',')).remove(QChar(0x066C)).remove(QChar(u' '));
        if (s.isEmpty())
            return 0;
        const auto m = re.match(s);
        if (!m.hasMatch() || (m.capturedLength(2) == 0 && m.capturedLength(3) == 0))
            throw Error(QStringLiteral("مبلغ «%1» عدد نیست.").arg(value.toString()));
        bool ok = false;
        const qint64 n = roundDecimalTextToWhole(s).toLongLong(&ok); // half to even
        if (!ok)
            break;
        return m.captured(1) == QLatin1String("-") ? -n : n;
    }
    }
    throw Error(QStringLiteral("مبلغ «%1» بیش از اندازه بزرگ است.").arg(value.toString()));
}

RecordChanged::RecordChanged()
    : Error(QStringLiteral("خطا! این رکورد در این فاصله توسط کاربر دیگری تغییر کرده است و تغییر شما ثبت نشد."))
{
}

PgParams PgParams::parse(const QString& conninfo)
{
    PgParams p;
    QStringList rest;
    const QStringList parts = conninfo.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq <= 0)
            throw Error(QStringLiteral("رشته اتصال PostgreSQL نادرست است: %1").arg(part));
        const QString key = part.left(eq).toLower();
        const QString val = part.mid(eq + 1);
        if (key == QLatin1String("host") || key == QLatin1String("hostaddr"))
            p.host = val;
        else if (key == QLatin1String("port"))
            p.port = val.toInt();
        else if (key == QLatin1String("dbname"))
            p.database = val;
        else if (key == QLatin1String("user"))
            p.user = val;
        else if (key == QLatin1String("password"))
            p.password = val;
        else
            rest << part;
    }
    p.options = rest.join(u';');
    return p;
}

QString PgParams::toConninfo() const
{
    QStringList parts;
    if (!host.isEmpty())
        parts << "host=" + host;
    parts << QStringLiteral("port=%1").arg(port);
    if (!user.isEmpty())
        parts << "user=" + user;
    if (!database.isEmpty())
        parts << "dbname=" + database;
    return parts.join(u' ');
}

Database::Database(DbKind kind, QString connectionName, QString description)
    : m_kind(kind), m_connection(std::move(connectionName)), m_description(std::move(description))
{
}

Database::~Database()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

std::unique_ptr<Database> Database::openSqlite(const QString& path, bool create)
{
    if (!create && !QFileInfo::exists(path))
        throw Error(QStringLiteral("فایل بانک اطلاعاتی یافت نشد: %1").arg(path));
    // A new database file holds the office's cases and password hashes: only its owner may
    // read it, whatever the umask. SQLite gives its journal and WAL files the database
    // file's permissions, and takes an empty file as a new database.
    if (create && !path.isEmpty() && !path.startsWith(QLatin1Char(':')) && !path.startsWith(QLatin1String("file:"))) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              S_IRUSR | S_IWUSR);
        if (fd >= 0)
            ::close(fd);
    }
    const QString name = nextConnectionName();
    std::unique_ptr<Database> self(new Database(DbKind::Sqlite, name, path));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        // Several programs may use one file; wait for a writer instead of failing.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        if (!db.open())
            throw Error(QStringLiteral("بانک اطلاعاتی باز نشد: %1").arg(dbReason(db.lastError())));
    }
    self->afterOpen();
    return self;
}

std::unique_ptr<Database> Database::openPostgres(const PgParams& p)
{
    const QString name = nextConnectionName();
    std::unique_ptr<Database> self(new Database(DbKind::Postgres, name, p.toConninfo()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(p.host);
        db.setPort(p.port);
        db.setDatabaseName(p.database);
        db.setUserName(p.user);
        db.setPassword(p.password);
        QString options = p.options;
        if (!options.contains(QLatin1String("connect_timeout")))
            options += QString(options.isEmpty() ? "" : ";") + QStringLiteral("connect_timeout=10");
        db.setConnectOptions(options);
        if (!db.open())
            throw Error(QStringLiteral("اتصال به سرور بانک اطلاعاتی برقرار نشد: %1").arg(dbReason(db.lastError())));
    }
    self->afterOpen();
    self->m_pg = p;
    return self;
}

std::unique_ptr<Database> Database::openPostgres(const QString& conninfo)
{
    return openPostgres(PgParams::parse(conninfo));
}

QSqlDatabase Database::handle() const
{
    return QSqlDatabase::database(m_connection, false);
}

void Database::afterOpen()
{
    if (m_kind == DbKind::Postgres)
        exec(QStringLiteral("SET client_min_messages TO WARNING"));
    else
        exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
}

QSqlQuery Database::run(const QString& sql, const QVariantList& params, bool& ok)
{
    QSqlQuery q(handle());
    q.setForwardOnly(true);
    if (params.isEmpty()) {
        ok = q.exec(sql);
    } else {
        ok = q.prepare(sql);
        if (ok) {
            for (const QVariant& v : params)
                q.addBindValue(v);
            ok = q.exec();
        }
    }
    return q;
}

QString Database::failureReason(const QSqlQuery& failed) const
{
    QString reason = dbReason(failed.lastError());
    if (reason.isEmpty())
        if (PGconn* c = pgConnection(handle()))
            reason = QString::fromUtf8(PQerrorMessage(c)).trimmed();
    return reason;
}

bool Database::connectionLost() const
{
    if (m_kind != DbKind::Postgres)
        return false;
    const QSqlDatabase db = handle();
    if (!db.isOpen())
        return true;
    PGconn* c = pgConnection(db);
    return c && PQstatus(c) == CONNECTION_BAD;
}

void Database::reopen()
{
    QSqlDatabase db = handle();
    db.close();
    if (!db.open())
        throw Error(dbReason(db.lastError()));
    afterOpen();
}

QSqlQuery Database::exec(const QString& sql, const QVariantList& params)
{
    // A connection closed by an earlier failure to reopen: try again first.
    if (m_kind == DbKind::Postgres && !handle().isOpen()) {
        try {
            reopen();
        } catch (const Error& e) {
            throw Error(QStringLiteral("ارتباط با سرور بانک اطلاعاتی قطع است: %1").arg(e.message()));
        }
    }
    bool ok = false;
    QSqlQuery q = run(sql, params, ok);
    if (ok)
        return q;
    QString reason = failureReason(q);
    if (!connectionLost())
        throw Error(QStringLiteral("خطا در اجرای دستور بانک اطلاعاتی: %1").arg(reason));

    // The server went away (restarted, network cut): reopen once. A transaction in
    // progress is lost with the old connection, so only a lone read runs again.
    if (reason.isEmpty())
        reason = QStringLiteral("server closed the connection");
    const bool transactionLost = m_depth > 0;
    m_depth = 0;
    try {
        reopen();
    } catch (const Error& e) {
        throw Error(QStringLiteral("ارتباط با سرور بانک اطلاعاتی قطع است: %1 (%2)").arg(e.message(), reason));
    }
    if (!transactionLost && isRerunnable(sql)) {
        QSqlQuery again = run(sql, params, ok);
        if (ok)
            return again;
        throw Error(QStringLiteral("خطا در اجرای دستور بانک اطلاعاتی: %1").arg(dbReason(again.lastError())));
    }
    throw Error(QStringLiteral("ارتباط با سرور بانک اطلاعاتی قطع شد و این کار انجام نشد: %1\n"
                               "ارتباط دوباره برقرار شد؛ لطفا دوباره سعی کنید.")
                    .arg(reason));
}

QSqlQuery Database::prepareRepeated(const QString& sql)
{
    QSqlQuery q(handle());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw Error(QStringLiteral("خطا در اجرای دستور بانک اطلاعاتی: %1").arg(dbReason(q.lastError())));
    return q;
}

void Database::runPrepared(QSqlQuery& statement, const QVariantList& params)
{
    for (qsizetype i = 0; i < params.size(); ++i)
        statement.bindValue(int(i), params[i]);
    if (statement.exec())
        return;
    const QString reason = failureReason(statement);
    throw Error(QStringLiteral("خطا در اجرای دستور بانک اطلاعاتی: %1").arg(reason));
}

QVariant Database::scalar(const QString& sql, const QVariantList& params)
{
    QSqlQuery q = exec(sql, params);
    return q.next() ? q.value(0) : QVariant();
}

QStringList Database::tableNames()
{
    QSqlQuery q = m_kind == DbKind::Sqlite
                      ? exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))
                      : exec(QStringLiteral("SELECT table_name FROM information_schema.tables "
                                            "WHERE table_schema = current_schema() AND table_type = 'BASE TABLE'"));
    QStringList names;
    while (q.next())
        names << q.value(0).toString().toLower();
    return names;
}

bool Database::tableExists(const QString& table)
{
    return tableNames().contains(table.toLower());
}

QStringList Database::columnNames(const QString& table)
{
    QSqlQuery q = m_kind == DbKind::Sqlite
                      ? exec(QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"), {table})
                      : exec(QStringLiteral("SELECT column_name FROM information_schema.columns "
                                            "WHERE table_schema = current_schema() AND lower(table_name) = lower(?) "
                                            "ORDER BY ordinal_position"),
                             {table});
    QStringList names;
    while (q.next())
        names << q.value(0).toString().toLower();
    return names;
}

QVariantMap Database::prepareValues(const Table& table, const QVariantMap& values)
{
    QVariantMap out;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const Column* c = table.column(it.key());
        if (!c)
            throw Error(QStringLiteral("جدول %1 ستونی به نام %2 ندارد.").arg(table.name, it.key()));
        QVariant v = it.value();
        switch (c->type) {
        case ColType::Money:
            if (!v.isNull())
                v = toWholeRials(v);
            break;
        case ColType::Int:
        case ColType::BigInt:
        case ColType::Bit:
            v = toWholeNumber(*c, v);
            break;
        case ColType::Float:
            v = toFloatValue(*c, v);
            break;
        case ColType::Blob:
            if (!v.isNull() && v.typeId() != QMetaType::QByteArray)
                v = v.toByteArray();
            break;
        default:
            break;
        }
        out.insert(c->name, v);
    }
    checkTextWidths(table, out);
    return out;
}

static const Table& requireTable(const QString& name)
{
    const Table* t = findTable(name);
    if (!t)
        throw Error(QStringLiteral("جدول %1 شناخته نیست.").arg(name));
    return *t;
}

qint64 Database::insert(const QString& tableName, const QVariantMap& values)
{
    const Table& table = requireTable(tableName);
    const QVariantMap v = prepareValues(table, values);
    const QString key = table.key();
    QString sql;
    QVariantList params;
    if (v.isEmpty()) {
        sql = "INSERT INTO " + table.name + " DEFAULT VALUES";
    } else {
        QStringList cols, marks;
        for (auto it = v.begin(); it != v.end(); ++it) {
            cols << it.key();
            marks << QStringLiteral("?");
            params << it.value();
        }
        sql = "INSERT INTO " + table.name + " (" + cols.join(u',') + ") VALUES (" + marks.join(u',') + ")";
    }
    if (key.isEmpty()) {
        exec(sql, params);
        return 0;
    }
    QSqlQuery q = exec(sql + " RETURNING " + key, params);
    return q.next() ? q.value(0).toLongLong() : 0;
}

int Database::update(const QString& tableName, const QVariantMap& values, const QVariant& keyValue)
{
    const Table& table = requireTable(tableName);
    const QString key = table.key();
    if (key.isEmpty())
        throw Error(QStringLiteral("جدول %1 کلید ندارد و ردیف آن را نمی توان ویرایش کرد.").arg(table.name));
    const QVariantMap v = prepareValues(table, values);
    if (v.isEmpty())
        return 0;
    QStringList sets;
    QVariantList params;
    for (auto it = v.begin(); it != v.end(); ++it) {
        sets << it.key() + " = ?";
        params << it.value();
    }
    params << keyValue;
    QSqlQuery q = exec("UPDATE " + table.name + " SET " + sets.join(u',') + " WHERE " + key + " = ?", params);
    return q.numRowsAffected();
}

int Database::remove(const QString& tableName, const QVariant& keyValue)
{
    const Table& table = requireTable(tableName);
    const QString key = table.key();
    if (key.isEmpty())
        throw Error(QStringLiteral("جدول %1 کلید ندارد و ردیف آن را نمی توان حذف کرد.").arg(table.name));
    QSqlQuery q = exec("DELETE FROM " + table.name + " WHERE " + key + " = ?", {keyValue});
    return q.numRowsAffected();
}

namespace {

// The condition that a row still holds the loaded values, appended to `where`.
void appendUnchangedCondition(const Table& table, DbKind kind, const QVariantMap& loaded, QString& where,
                              QVariantList& params)
{
    const QString same = kind == DbKind::Postgres ? QStringLiteral(" IS NOT DISTINCT FROM ?") : QStringLiteral(" IS ?");
    for (const Column& c : table.columns) {
        if (!comparedColumn(c))
            continue;
        bool found = false;
        const QVariant v = loadedValue(loaded, c.name, &found);
        if (!found)
            continue;
        where += " AND " + c.name + same;
        params << v;
    }
}

} // namespace

int Database::updateUnchanged(const QString& tableName, const QVariantMap& values, const QVariant& keyValue,
                              const QVariantMap& loaded)
{
    const Table& table = requireTable(tableName);
    const QString key = table.key();
    if (key.isEmpty())
        throw Error(QStringLiteral("جدول %1 کلید ندارد و ردیف آن را نمی توان ویرایش کرد.").arg(table.name));
    const QVariantMap v = prepareValues(table, values);
    QStringList sets;
    QVariantList params;
    for (auto it = v.begin(); it != v.end(); ++it) {
        bool found = false;
        const QVariant before = loadedValue(loaded, it.key(), &found);
        if (found && sameStored(before, it.value()))
            continue;
        sets << it.key() + " = ?";
        params << it.value();
    }
    if (sets.isEmpty())
        return 0;
    QString where = key + " = ?";
    params << keyValue;
    appendUnchangedCondition(table, m_kind, loaded, where, params);
    QSqlQuery q = exec("UPDATE " + table.name + " SET " + sets.join(u',') + " WHERE " + where, params);
    if (q.numRowsAffected() > 0)
        return int(sets.size());
    if (scalar("SELECT 1 FROM " + table.name + " WHERE " + key + " = ?", {keyValue}).isValid())
        throw RecordChanged();
    throw Error(QStringLiteral("این رکورد در این فاصله توسط کاربر دیگری حذف شده است."));
}

int Database::removeUnchanged(const QString& tableName, const QVariant& keyValue, const QVariantMap& loaded)
{
    const Table& table = requireTable(tableName);
    const QString key = table.key();
    if (key.isEmpty())
        throw Error(QStringLiteral("جدول %1 کلید ندارد و ردیف آن را نمی توان حذف کرد.").arg(table.name));
    QString where = key + " = ?";
    QVariantList params{keyValue};
    appendUnchangedCondition(table, m_kind, loaded, where, params);
    QSqlQuery q = exec("DELETE FROM " + table.name + " WHERE " + where, params);
    const int removed = q.numRowsAffected();
    if (removed > 0)
        return removed;
    if (scalar("SELECT 1 FROM " + table.name + " WHERE " + key + " = ?", {keyValue}).isValid())
        throw RecordChanged();
    return 0;
}

void Database::begin()
{
    if (m_depth == 0) {
        try {
            exec(m_kind == DbKind::Sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
        } catch (const Error& e) {
            throw Error(QStringLiteral("تراکنش آغاز نشد: %1").arg(e.message()));
        }
    }
    ++m_depth;
}

void Database::commit()
{
    if (m_depth == 0)
        throw Error(QStringLiteral("تراکنش ثبت نشد: ارتباط با سرور در میان کار قطع شد و تغییرات از دست رفت."));
    if (--m_depth > 0)
        return;
    try {
        exec(QStringLiteral("COMMIT"));
    } catch (const Error&) {
        bool ok = false;
        run(QStringLiteral("ROLLBACK"), {}, ok); // a refused commit leaves nothing half open
        throw;
    }
}

void Database::rollback()
{
    if (m_depth == 0)
        return;
    if (--m_depth > 0)
        return;
    bool ok = false;
    run(QStringLiteral("ROLLBACK"), {}, ok);
}

std::unique_ptr<Database> Database::openAnother() const
{
    return m_kind == DbKind::Sqlite ? openSqlite(m_description, false) : openPostgres(m_pg);
}

} // namespace tarvest
