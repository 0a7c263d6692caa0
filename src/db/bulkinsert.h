#pragma once
// Many rows into one table of the register (an import that replaces a table's rows):
// the insert statement is prepared once and run again for each group of rows, so the
// cost is the database storing the rows, not reading one long statement after another.
// A group is one row on SQLite, where running a prepared statement again costs little,
// and many rows on PostgreSQL, where every statement is a trip to the server. Values
// are always bound, never written into the SQL.
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>

#include <map>

namespace tarvest {

class Database;

class BulkInsert {
public:
    // rowsPerStatement 0: the group size that suits the database.
    BulkInsert(Database& db, const QString& table, const QStringList& columns, int rowsPerStatement = 0);
    BulkInsert(const BulkInsert&) = delete;
    BulkInsert& operator=(const BulkInsert&) = delete;

    // Takes one row, a value a column in the order given; writes the group once it is
    // full. Throws tarvest::Error with the database's reason when the database refuses
    // the group (or a row of the wrong width); the rows held are then dropped.
    void add(const QVariantList& row);
    // Writes the rows still held.
    void flush();

private:
    void write();
    Database& m_db;
    QString m_head;
    QString m_oneRow;
    qsizetype m_width;
    int m_perStatement;
    QVariantList m_held;
    int m_heldRows = 0;
    std::map<int, QSqlQuery> m_statements; // by the number of rows they insert
};

} // namespace tarvest
