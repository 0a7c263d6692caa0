#pragma once
// The "export to spreadsheet" command of the list screens: the list goes into a new
// workbook, which opens in the desktop's spreadsheet program.
#include <QHash>
#include <QString>

namespace tarvest {

class ResultSet;

// Where exports are written: a folder of their own in the user's cache.
QString exportFolder();

// Writes the result set to a new .xlsx file named after `baseName` and the moment,
// and opens it. Failures are shown to the user; returns the file written, or an
// empty text when nothing was written.
QString exportAndOpen(const ResultSet& rs, const QString& baseName, const QHash<QString, QString>& titles = {});

} // namespace tarvest
