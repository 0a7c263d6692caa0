#pragma once
// The one description of every table and column of the register. The DDL of each
// database kind, the provisioning order and the text-width checks all come from it.
#include "db/dialect.h"

#include <QList>
#include <QString>
#include <QVariantMap>

namespace tarvest {

enum class ColType {
    Int,      // 32-bit whole number
    BigInt,   // 64-bit whole number
    Bit,      // 0 or 1
    Money,    // whole rials, 64-bit, exact
    Float,    // coefficient or percentage
    NVarChar, // Unicode text of at most `width` characters
    Text,     // Unicode text without a width limit
    Blob,     // stored file or picture
    DateTime, // server time stamp
};

struct Column {
    QString name;
    ColType type = ColType::Text;
    int width = 0;           // characters, for NVarChar
    bool identity = false;   // surrogate key filled by the database on insert
    bool serverTime = false; // defaults to the server's current date and time
};

struct Table {
    QString name;
    QList<Column> columns;
    // Columns that other rows refer to by value and the screens look up often; each
    // gets a plain (not unique) index.
    QStringList indexed = {};

    // The identity key column ("id" or "pk"), or empty for tables without a key.
    QString key() const;
    const Column* column(const QString& name) const; // case-insensitive
};

// Every table, in the order provisioning creates them.
const QList<Table>& schemaTables();
const Table* findTable(const QString& name); // case-insensitive

QString columnSql(const Column& column, DbKind kind);
QString createTableSql(const Table& table, DbKind kind);
QString addColumnSql(const Table& table, const Column& column, DbKind kind);
QString indexName(const Table& table, const QString& column);
// Creates the index unless it exists; the same text on both kinds.
QString createIndexSql(const Table& table, const QString& column);

// The most characters a text column takes; 0 for a column without a limit, a column
// that is not text, or one the schema does not know.
int textWidth(const QString& table, const QString& column);
// The refusal of a text longer than its field, naming the field by its caption:
// "خطا! «شماره تماس متقاضي» حداكثر 20 نويسه مي پذيرد".
QString tooLongMessage(const QString& caption, int width);

// Refuses, before any statement runs, a text longer than its column: throws
// tarvest::Error naming the column and its width. Unknown columns are left to
// the database to report.
void checkTextWidths(const Table& table, const QVariantMap& values);

} // namespace tarvest
