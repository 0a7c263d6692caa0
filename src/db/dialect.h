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
