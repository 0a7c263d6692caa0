#pragma once
// Export of a result set to a spreadsheet file, in the layout every list screen uses.
#include "common/spreadsheet.h"

#include <QHash>
#include <QString>

namespace tarvest {

class ResultSet;

// Writes every row of the result set, in its current order, to a new .xlsx file.
// `titles` gives the header text of a field (by name, any case); other fields are
// headed by their names. Throws tarvest::Error with the reason when it cannot.
void exportResultSet(const ResultSet& rs, const QString& path, const QHash<QString, QString>& titles = {});

// How the export writes a column of the result: amounts, areas, counts and percentages (of
// the table's description, or the text columns known to hold them) as grouped numbers,
// keys and flags as plain numbers, everything else (codes, phone numbers, dates, names)
// as text.
SheetSource::Kind exportColumnKind(const ResultSet& rs, int col);

} // namespace tarvest
