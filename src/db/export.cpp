#include "db/export.h"

#include "common/spreadsheet.h"
#include "db/resultset.h"

namespace tarvest {

namespace {

class ResultSetSheet final : public SheetSource {
public:
    explicit ResultSetSheet(const ResultSet& rs) : m_rs(rs) {}
    int columnCount() const override { return m_rs.fieldCount(); }
    QString columnName(int col) const override { return m_rs.fieldName(col); }
    int rowCount() const override { return m_rs.recordCount(); }
    QString text(int row, int col) const override { return m_rs.textAt(row, col); }

private:
    const ResultSet& m_rs;
};

} // namespace

void exportResultSet(const ResultSet& rs, const QString& path, const QHash<QString, QString>& titles)
{
    writeXlsx(path, ResultSetSheet(rs), titles);
}

} // namespace tarvest
