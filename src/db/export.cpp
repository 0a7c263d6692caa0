#include "db/export.h"

#include "common/spreadsheet.h"
#include "db/resultset.h"
#include "db/schema.h"

namespace tarvest {

namespace {

class ResultSetSheet final : public SheetSource {
public:
    explicit ResultSetSheet(const ResultSet& rs) : m_rs(rs), m_table(findTable(rs.table())) {}
    int columnCount() const override { return m_rs.fieldCount(); }
    QString columnName(int col) const override { return m_rs.fieldName(col); }
    int rowCount() const override { return m_rs.recordCount(); }
    QString text(int row, int col) const override { return m_rs.textAt(row, col); }

    // The amount, whole-number and decimal columns of the table are written as numbers;
    // every other column (texts, dates, codes) as text. A column the table does not describe
    // (a count, a sum) is a number when the database gives numbers for it.
    Kind columnKind(int col) const override
    {
        const Column* c = m_table ? m_table->column(m_rs.fieldName(col)) : nullptr;
        if (!c) {
            for (int r = 0; r < m_rs.recordCount() && r < 100; ++r) {
                const QVariant v = m_rs.valueAt(r, col);
                if (v.isNull())
                    continue;
                switch (v.typeId()) {
                case QMetaType::Int:
                case QMetaType::UInt:
                case QMetaType::LongLong:
                case QMetaType::ULongLong:
                case QMetaType::Double:
                    return Number;
                default:
                    return Text;
                }
            }
            return Text;
        }
        switch (c->type) {
        case ColType::Int:
        case ColType::BigInt:
        case ColType::Bit:
        case ColType::Money:
        case ColType::Float:
            return Number;
        default:
            return Text;
        }
    }

private:
    const ResultSet& m_rs;
    const Table* m_table;
};

} // namespace

void exportResultSet(const ResultSet& rs, const QString& path, const QHash<QString, QString>& titles)
{
    writeXlsx(path, ResultSetSheet(rs), titles);
}

} // namespace tarvest
