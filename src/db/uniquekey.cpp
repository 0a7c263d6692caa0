#include "db/uniquekey.h"

#include "db/database.h"
#include "db/schema.h"

namespace tarvest {

namespace {

const Table& ruleTable(const UniqueRule& rule)
{
    const Table* t = findTable(rule.table);
    if (!t)
        throw Error(QStringLiteral("جدول %1 شناخته نیست.").arg(rule.table));
    return *t;
}

// The rule's columns of a row, as they would be stored.
QVariantMap keyValues(const Table& table, const UniqueRule& rule, const QVariantMap& row)
{
    QVariantMap key;
    for (const QString& column : rule.columns) {
        QVariant v;
        for (auto it = row.begin(); it != row.end(); ++it)
            if (it.key().compare(column, Qt::CaseInsensitive) == 0)
                v = it.value();
        key.insert(column, v);
    }
    return Database::prepareValues(table, key);
}

bool isEmptyValue(const QVariant& v)
{
    return v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}

bool isTextColumn(const Table& table, const QString& column)
{
    const Column* c = table.column(column);
    return c && (c->type == ColType::NVarChar || c->type == ColType::Text);
}

// A text as a caseless rule compares it: lower case, without trailing blanks.
QString folded(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.left(end).toLower();
}

// The text the lock is taken on: the table and the key's values, each kept apart by
// a unit separator so that ("ab", "c") and ("a", "bc") are different keys.
QString lockText(const Table& table, const UniqueRule& rule, const QVariantMap& key)
{
    QString text = table.name;
    for (const QString& column : rule.columns)
        text += QChar(0x1F) + (rule.caseless ? folded(key.value(column).toString()) : key.value(column).toString());
    return text;
}

} // namespace

DuplicateKey::DuplicateKey(const UniqueRule& rule)
    : Error(QStringLiteral("این مقدار تکراری است: %1").arg(rule.columns.join(QStringLiteral("، ")))), m_rule(rule)
{
}

bool keyTaken(Database& db, const UniqueRule& rule, const QVariantMap& row, const QVariant& excludeKey)
{
    const Table& table = ruleTable(rule);
    const QVariantMap key = keyValues(table, rule, row);
    QString sql = QStringLiteral("SELECT 1 FROM ") + table.name + QStringLiteral(" WHERE 1 = 1");
    QVariantList params;
    for (const QString& column : rule.columns) {
        const QVariant v = key.value(column);
        if (isEmptyValue(v)) {
            sql += " AND (" + column + " IS NULL"
                   + (isTextColumn(table, column) ? " OR " + column + " = ''" : QString()) + ")";
        } else if (rule.caseless && isTextColumn(table, column)) {
            sql += " AND lower(rtrim(" + column + ")) = lower(rtrim(?))";
            params << v;
        } else {
            sql += " AND " + column + " = ?";
            params << v;
        }
    }
    if (excludeKey.isValid() && !excludeKey.isNull()) {
        sql += " AND " + table.key() + " <> ?";
        params << excludeKey;
    }
    return db.scalar(sql + " LIMIT 1", params).isValid();
}

bool changesKey(const UniqueRule& rule, const QVariantMap& row, const QVariantMap& loaded)
{
    const Table& table = ruleTable(rule);
    const QVariantMap now = keyValues(table, rule, row);
    const QVariantMap before = keyValues(table, rule, loaded);
    for (const QString& column : rule.columns) {
        const QVariant a = now.value(column), b = before.value(column);
        if (isEmptyValue(a) != isEmptyValue(b))
            return true;
        if (isEmptyValue(a))
            continue;
        if (rule.caseless ? folded(a.toString()) != folded(b.toString()) : a.toString() != b.toString())
            return true;
    }
    return false;
}

void saveUnique(Database& db, const UniqueRule& rule, const QVariantMap& row, const QVariant& excludeKey,
                const std::function<void()>& write)
{
    const Table& table = ruleTable(rule);
    const QVariantMap key = keyValues(table, rule, row);
    db.begin();
    try {
        if (db.kind() == DbKind::Postgres)
            db.exec(QStringLiteral("SELECT pg_advisory_xact_lock(hashtextextended(?, 0))"),
                    {lockText(table, rule, key)});
        if (keyTaken(db, rule, row, excludeKey))
            throw DuplicateKey(rule);
        write();
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace tarvest
