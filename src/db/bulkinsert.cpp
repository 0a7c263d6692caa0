#include "db/bulkinsert.h"

#include "common/errors.h"
#include "db/database.h"

namespace tarvest {

namespace {

// A PostgreSQL statement of fifty rows of a wide table stays far below the server's
// limit of 65535 values and saves all but one round trip in fifty.
constexpr int kRowsPerStatementPostgres = 50;

} // namespace

BulkInsert::BulkInsert(Database& db, const QString& table, const QStringList& columns, int rowsPerStatement)
    : m_db(db), m_width(columns.size())
{
    if (columns.isEmpty())
        throw Error(QStringLiteral("ستونی برای ثبت در جدول %1 داده نشده است.").arg(table));
    m_perStatement = rowsPerStatement > 0            ? rowsPerStatement
                     : db.kind() == DbKind::Postgres ? kRowsPerStatementPostgres
                                                     : 1;
    m_head = QStringLiteral("insert into ") + table + QStringLiteral(" (") + columns.join(u',')
             + QStringLiteral(") values ");
    QStringList marks;
    for (qsizetype i = 0; i < m_width; ++i)
        marks << QStringLiteral("?");
    m_oneRow = u'(' + marks.join(u',') + u')';
    m_held.reserve(m_perStatement * m_width);
}

void BulkInsert::add(const QVariantList& row)
{
    if (row.size() != m_width) {
        m_held.clear();
        m_heldRows = 0;
        throw Error(QStringLiteral("رديف %1 مقدار دارد، نه %2").arg(row.size()).arg(m_width));
    }
    m_held.append(row);
    if (++m_heldRows == m_perStatement)
        write();
}

void BulkInsert::flush()
{
    if (m_heldRows > 0)
        write();
}

void BulkInsert::write()
{
    const int rows = m_heldRows;
    const QVariantList values = std::move(m_held);
    m_held = {};
    m_held.reserve(m_perStatement * m_width);
    m_heldRows = 0;
    auto it = m_statements.find(rows);
    if (it == m_statements.end()) {
        QStringList groups;
        for (int i = 0; i < rows; ++i)
            groups << m_oneRow;
        it = m_statements.emplace(rows, m_db.prepareRepeated(m_head + groups.join(u','))).first;
    }
    m_db.runPrepared(it->second, values);
}

} // namespace tarvest
