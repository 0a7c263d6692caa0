#pragma once
// Spreadsheet export and import.
//
// Export writes a result set as a new .xlsx workbook with one worksheet "Sheet1": a header
// row (the screen's header title for each field, else the field name), every column 10
// wide, then one row per record with each value trimmed. The header row A1:AA1 is bold,
// A1:M1 carries slant dash-dot borders, and A2:M<last row> thin borders when there are
// records. The screen then opens the file with the desktop's spreadsheet program.
//
// Import reads one named worksheet of an .xlsx or legacy .xls file as a table: the first
// row gives the column names, every cell is read as text.
//
// Every failure is a tarvest::Error with a Persian message fit to show the user.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace tarvest {

// A table to export, row by row, so the writer knows nothing of the database layer.
struct SheetSource {
    virtual ~SheetSource();
    virtual int columnCount() const = 0;
    virtual QString columnName(int col) const = 0;
    virtual int rowCount() const = 0;
    virtual QString text(int row, int col) const = 0;
};

// Writes `src` to a new .xlsx file at `path` (replacing any file there). `headerTitles`
// maps field names (matched without regard to case) to the texts of their header cells.
void writeXlsx(const QString& path, const SheetSource& src,
               const QHash<QString, QString>& headerTitles);

// A worksheet read as a table. Every row has exactly columns.size() entries.
struct SheetTable {
    QStringList columns;
    QList<QStringList> rows;
};

// Reads worksheet `sheetName` (matched without regard to case) of the .xlsx or .xls file at
// `path`. The kind of file is told by its content, not its name. An empty heading cell
// becomes "F" + its 1-based column number; trailing empty rows are dropped.
SheetTable readSheet(const QString& path, const QString& sheetName);

// Names of the worksheets of an .xlsx or .xls file, in workbook order.
QStringList sheetNames(const QString& path);

} // namespace tarvest
