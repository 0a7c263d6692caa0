#include "fees/prints/feeprints.h"

#include "db/database.h"
#include "db/resultset.h"
#include "fees/prints/core/statement.h"

namespace tarvest::feeprints {

namespace {

// The label names of the totals row of the document list.
const char* const kRowTotals[] = {"ro", "sh", "fm", "fk", "oz",  "sb", "ss", "sm",
                                  "sk", "mo", "om", "ok", "sak", "km", "kk", "os"};
// The total names the distribution tables show.
const char* const kTableTotals[] = {"odat_sum", "oka",   "ba",    "band1", "mod1", "moa1", "mas1", "san1", "nag1",
                                    "daf1",     "hes1",  "hesk1", "mod2",  "moa2", "mas2", "san2", "nag2", "daf2",
                                    "hes2",     "hesk2", "moa",   "osm",   "osk",  "shm",  "shk",  "sak"};

void setTables(report::Layout& layout, const fees::FeeTotals& totals)
{
    for (const char* name : kTableTotals)
        layout.setText(QStringLiteral("t_") + QLatin1String(name), totals.value(QLatin1String(name)));
}

PreparedStatement statement(Database& db, bool byPost)
{
    fees::fillStatement(db, byPost);
    PreparedStatement p{report::Layout::load(byPost ? ByPost : BySource), std::make_unique<ResultSet>(&db)};
    p.rows->open(byPost ? fees::byPostQuery(db.kind()) : fees::bySourceQuery(db.kind()));
    return p;
}

} // namespace

report::Layout documentList(const fees::FeeTotals& totals, const QString& today)
{
    report::Layout layout = report::Layout::load(DocumentList);
    layout.setText(QStringLiteral("date"), today);
    for (const char* name : kRowTotals)
        layout.setText(QStringLiteral("r_") + QLatin1String(name), totals.value(QLatin1String(name)));
    setTables(layout, totals);
    return layout;
}

report::Layout distributionTables(const fees::FeeTotals& totals)
{
    report::Layout layout = report::Layout::load(Tables);
    setTables(layout, totals);
    return layout;
}

PreparedStatement statementBySource(Database& db)
{
    return statement(db, false);
}

PreparedStatement statementByPost(Database& db)
{
    return statement(db, true);
}

} // namespace tarvest::feeprints
