#pragma once
// The two database kinds the program runs on, and the few places their SQL differs.
#include <QString>

namespace tarvest {

enum class DbKind { Sqlite, Postgres };

// Case-insensitive pattern match operator for filters typed by the user.
inline QString likeOperator(DbKind kind)
{
    return kind == DbKind::Postgres ? QStringLiteral("ILIKE") : QStringLiteral("LIKE");
}

// A "contains" condition on a column for a typed filter text: the operator with its
// escape character, to follow the column name, and the bound pattern. The pattern
// characters the text may hold ("%", "_") stand for themselves.
inline QString containsCondition(DbKind kind)
{
    return QStringLiteral(" %1 ? ESCAPE '!'").arg(likeOperator(kind));
}

inline QString containsPattern(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'!', QStringLiteral("!!"));
    escaped.replace(u'%', QStringLiteral("!%"));
    escaped.replace(u'_', QStringLiteral("!_"));
    return u'%' + escaped + u'%';
}

// The numeric value of a text column holding an area or an amount typed as text, or
// NULL when the text is not a plain decimal number, so such rows drop out of a
// numeric comparison instead of comparing as text or as zero.
inline QString numericValueSql(DbKind kind, const QString& column)
{
    if (kind == DbKind::Postgres)
        return QStringLiteral("(CASE WHEN trim(%1) ~ '^([0-9]+[.]?[0-9]*|[.][0-9]+)$' "
                              "THEN CAST(trim(%1) AS double precision) END)")
            .arg(column);
    return QStringLiteral("(CASE WHEN trim(%1) <> '' AND trim(%1) NOT GLOB '*[^0-9.]*' "
                          "AND trim(%1) NOT GLOB '*.*.*' AND trim(%1) GLOB '*[0-9]*' "
                          "THEN CAST(trim(%1) AS REAL) END)")
        .arg(column);
}

// String concatenation: both databases use the standard operator.
inline QString concatSql(const QString& a, const QString& b)
{
    return QStringLiteral("(%1 || %2)").arg(a, b);
}

inline QString kindName(DbKind kind)
{
    return kind == DbKind::Postgres ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite");
}

} // namespace tarvest
