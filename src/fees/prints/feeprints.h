#pragma once
// The four prints of the fee document search: the document list with its totals and the
// three distribution tables (asnad_rep), the payment statement by source (asnad_rep2),
// the A5 statement by post (asnad_rep3) and the distribution tables alone (asnad_rep4).
// Each fills a fresh copy of its layout; the total-based prints compute their totals when
// they print, with the filters of the last search; the statements are built per print
// on the connection that prints them (fees/prints/core/statement.h).
#include "fees/core/feedocs.h"
#include "reports/reportlayout.h"

#include <memory>

class QWidget;

namespace tarvest {

class Database;
class ResultSet;

namespace feeprints {

inline const QString DocumentList = QStringLiteral("asnad_rep");
inline const QString BySource = QStringLiteral("asnad_rep2");
inline const QString ByPost = QStringLiteral("asnad_rep3");
inline const QString Tables = QStringLiteral("asnad_rep4");

// The layout with the date and every total label set (asnad_rep), or the tables' labels
// (asnad_rep4).
report::Layout documentList(const fees::FeeTotals& totals, const QString& today);
report::Layout distributionTables(const fees::FeeTotals& totals);

// A statement ready to print: its layout and the rows it is bound to.
struct PreparedStatement {
    report::Layout layout;
    std::unique_ptr<ResultSet> rows;
};
// Builds the statement (all or nothing) and opens its rows. Throws tarvest::Error.
PreparedStatement statementBySource(Database& db);
PreparedStatement statementByPost(Database& db);

} // namespace feeprints
} // namespace tarvest
