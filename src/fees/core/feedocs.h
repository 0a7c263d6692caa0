#pragma once
// The database rules of the fee documents (`asnad`) and of the other experts' shares
// (`sayerkar`): the county-and-year rule a new document is saved under, the search with
// its filters, its count and its totals, deleting a document with its shares, and
// attaching the shares recorded for a new document once it is saved.
#include "db/resultset.h"
#include "db/uniquekey.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace tarvest {

class Database;

namespace fees {

// One document per county and year.
const UniqueRule& feeDocumentRule();
inline const QString kDuplicateDocument = QStringLiteral("خطا! اين شهرستان در اين سال قبلا ثبت شده است");

// The filters of the search screen; a filter takes part when it holds a value.
struct FeeFilters {
    std::optional<QString> city; // matched anywhere in the county
    std::optional<QString> sal;  // matched anywhere in the year
    std::optional<QString> fish; // the receipt flag, exactly
};

// The result set's query: every column of the documents that pass all filters.
KeyedQuery feeSearchQuery(Database& db, const FeeFilters& filters);

// The names of the totals record, in its order, each with its expression.
struct TotalColumn {
    QString name;
    QString expression;
};
const QList<TotalColumn>& totalColumns();

// The totals record of a search: the count `c` and every named sum, as texts (empty
// when no row qualifies), and the heading total `band1`: the members' fee pool of the
// documents without receipts that pass the county and year filters (never the receipt
// filter), exactly, with a half rial as ".5".
struct FeeTotals {
    QHash<QString, QString> values;
    QString band1;
    QString value(const QString& name) const { return name == QLatin1String("band1") ? band1 : values.value(name); }
};
FeeTotals feeTotals(Database& db, const FeeFilters& filters);

// Saves a new document into the result set under the county-and-year rule (race-safe:
// two workstations saving one county and year at once store one row, the other gets
// DuplicateKey) and, in the same step, attaches the other experts' rows recorded for it
// under key 0. Returns the new document's id.
qint64 saveNewFeeDocument(ResultSet& documents, const QVariantMap& row, const QList<qint64>& pendingExperts);

// Deletes the document of the current row with its other experts' rows, in one step;
// RecordChanged when it was changed elsewhere since it was loaded.
void deleteFeeDocument(Database& db, ResultSet& documents);

// Gives the other experts' rows recorded for a new document (key 0, by their ids) the
// key of the saved document.
void attachExperts(Database& db, qint64 documentId, const QList<qint64>& rowIds);

// Other experts' rows: the statement to open for a document key. Key 0 (a document not
// saved yet) lists every row still under 0: the rows recorded for this new document, and
// rows older versions left there, so that they can be seen and deleted.
struct ExpertRows {
    QString sql;
    QVariantList params;
};
ExpertRows expertRowsQuery(qint64 documentId);

} // namespace fees
} // namespace tarvest
