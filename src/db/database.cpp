#include "db/database.h"

#include "common/digits.h"
#include "common/errors.h"
#include "db/schema.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>

#include <atomic>
#include <cmath>
#include <limits>

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
    return text;
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
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
        const QString s = asciiNumberText(v.toString());
        if (s.isEmpty())
            return qint64(0);
        bool ok = false;
        const qint64 n = s.toLongLong(&ok);
        if (!ok)
            throw Error(QStringLiteral("مقدار «%1» برای ستون %2 عدد صحیح نیست.").arg(v.toString(), c.name));
        return n;
    }
    return v;
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
    // SQLite compares LIKE without case only for Latin letters; Persian has no case.
    self->exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
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
    self->exec(QStringLiteral("SET client_min_messages TO WARNING"));
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

QSqlQuery Database::exec(const QString& sql, const QVariantList& params)
{
    QSqlQuery q(handle());
    q.setForwardOnly(true);
    bool ok;
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
    if (!ok)
        throw Error(QStringLiteral("خطا در اجرای دستور بانک اطلاعاتی: %1").arg(dbReason(q.lastError())));
    return q;
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

void Database::begin()
{
    if (!handle().transaction())
        throw Error(QStringLiteral("تراکنش آغاز نشد: %1").arg(dbReason(handle().lastError())));
    m_inTransaction = true;
}

void Database::commit()
{
    if (!handle().commit())
        throw Error(QStringLiteral("تراکنش ثبت نشد: %1").arg(dbReason(handle().lastError())));
    m_inTransaction = false;
}

void Database::rollback()
{
    handle().rollback();
    m_inTransaction = false;
}

std::unique_ptr<Database> Database::openAnother() const
{
    return m_kind == DbKind::Sqlite ? openSqlite(m_description, false) : openPostgres(m_pg);
}

} // namespace tarvest
