#include "db/export.h"

#include "common/spreadsheet.h"
#include "db/resultset.h"
#include "db/schema.h"

#include <QHash>
#include <QSet>

namespace tarvest {

namespace {

// The text columns, by table, that hold figures: amounts, areas, counts, coordinates and
// percentages as the screens take them.
const QSet<QString>& figureColumns(const QString& table)
{
    static const QHash<QString, QSet<QString>> columns{
        {QStringLiteral("komision"),
         {QStringLiteral("masahat_na"), QStringLiteral("metraj"), QStringLiteral("malek_pardakhti"),
          QStringLiteral("malek_varizi"), QStringLiteral("price_metr"), QStringLiteral("melk_arzesh"),
          QStringLiteral("ghimat_karshenasi_kh"), QStringLiteral("masahat_khales"), QStringLiteral("malek_sahm"),
          QStringLiteral("ghimat_karshenasi_d"), QStringLiteral("m_khales_b"), QStringLiteral("takhfif_darsad"),
          QStringLiteral("takhrib_masahat"), QStringLiteral("kharej"), QStringLiteral("fish_mablagh")}},
        {QStringLiteral("abadiha"),
         {QStringLiteral("khanevar"), QStringLiteral("jamiyat"), QStringLiteral("zarib"), QStringLiteral("x"),
          QStringLiteral("y")}},
        {QStringLiteral("arazi"),
         {QStringLiteral("khanevar"),     QStringLiteral("jamiyat"),    QStringLiteral("utm_x"),
          QStringLiteral("utm_y"),        QStringLiteral("nehzat"),     QStringLiteral("khodmalek"),
          QStringLiteral("faghedzamnin"), QStringLiteral("tamalok"),    QStringLiteral("tafkik"),
          QStringLiteral("vagozar"),      QStringLiteral("ezhari"),     QStringLiteral("ghatat"),
          QStringLiteral("pishbini"),     QStringLiteral("masahat_kh"), QStringLiteral("teslar"),
          QStringLiteral("meli"),         QStringLiteral("oghaf"),      QStringLiteral("astane"),
          QStringLiteral("tavafogh"),     QStringLiteral("mostasna"),   QStringLiteral("tam"),
          QStringLiteral("darhal_tam"),   QStringLiteral("tav"),        QStringLiteral("darhal_tav"),
          QStringLiteral("mas")}},
    };
    static const QSet<QString> none;
    const auto it = columns.constFind(table.toLower());
    return it == columns.cend() ? none : *it;
}

class ResultSetSheet final : public SheetSource {
public:
    explicit ResultSetSheet(const ResultSet& rs) : m_rs(rs) {}
    int columnCount() const override { return m_rs.fieldCount(); }
    QString columnName(int col) const override { return m_rs.fieldName(col); }
    int rowCount() const override { return m_rs.recordCount(); }
    QString text(int row, int col) const override { return m_rs.textAt(row, col); }

    Kind columnKind(int col) const override { return exportColumnKind(m_rs, col); }

private:
    const ResultSet& m_rs;
};

} // namespace

// The amount, area, count and percentage columns are written as numbers, grouped in
// thousands: those of the table's description, and the text columns that hold such
// figures as typed (the case register keeps its amounts and areas as text, the gazetteer
// and the land survey their households, population and areas). Keys and 0/1 flags are
// numbers without grouping. Every other column (names, dates, codes, phone numbers) is
// text. A column the table does not describe (a count, a sum) is a number when the
// database gives numbers for it.
SheetSource::Kind exportColumnKind(const ResultSet& rs, int col)
{
    const QString name = rs.fieldName(col).toLower();
    const Table* table = findTable(rs.table());
    const Column* c = table ? table->column(name) : nullptr;
    if (!c) {
        for (int r = 0; r < rs.recordCount() && r < 100; ++r) {
            const QVariant v = rs.valueAt(r, col);
            if (v.isNull())
                continue;
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Double:
                return SheetSource::Number;
            default:
                return SheetSource::Text;
            }
        }
        return SheetSource::Text;
    }
    if (c->identity)
        return SheetSource::PlainNumber;
    switch (c->type) {
    case ColType::BigInt: // a reference to another row's key
    case ColType::Bit:
        return SheetSource::PlainNumber;
    case ColType::Int:
    case ColType::Money:
    case ColType::Float:
        return SheetSource::Number;
    case ColType::NVarChar:
    case ColType::Text:
        return figureColumns(table->name).contains(name) ? SheetSource::Number : SheetSource::Text;
    default:
        return SheetSource::Text;
    }
}

void exportResultSet(const ResultSet& rs, const QString& path, const QHash<QString, QString>& titles)
{
    writeXlsx(path, ResultSetSheet(rs), titles);
}

} // namespace tarvest
