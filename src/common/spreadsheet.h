#pragma once
// Spreadsheet export and import.
//
// Export writes a result set as a new .xlsx workbook with one worksheet "Sheet1": a header
// row (the screen's header title for each field, else the field name), then one row per
// record with each value trimmed. Each column is as wide as its heading or its longest
// value (within bounds). The header row A1:AA1 is bold, A1:M1 carries slant dash-dot
// borders, and A2:M<last row> thin borders when there are records. The screen then opens
// the file with the desktop's spreadsheet program.
//
// Import reads one named worksheet of an .xlsx or legacy .xls file as a table: the first
// row gives the column names, every cell is read as text. The sheet is an untrusted file:
// reading stops with a Persian message at the format's own limits (1,048,576 rows, 16,384
// columns) and at a memory budget in proportion to the file's size, and a legacy .xls is
// parsed in a child process (tarvest-admin) with memory and time limits, so a file that
// crashes the parsing library or asks for unbounded memory gives a message, never a dead
// program.
//
// Every failure is a tarvest::Error with a Persian message fit to show the user.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace tarvest {

// A table to export, row by row, so the writer knows nothing of the database layer.
struct SheetSource {
    virtual ~SheetSource();
    virtual int columnCount() const = 0;
    virtual QString columnName(int col) const = 0;
    virtual int rowCount() const = 0;
    virtual QString text(int row, int col) const = 0;

    // How a column's values are written: Text cells whatever they hold; Number cells
    // (amounts, areas, counts, percentages) for values that read as numbers, shown grouped
    // in thousands ("#,##0", with the value's own decimals); PlainNumber cells (keys, 0/1
    // flags) likewise but without grouping. A value of a number column that does not read
    // as a number (see sheetNumber) stays text.
    enum Kind { Text, Number, PlainNumber };
    virtual Kind columnKind(int col) const;
};

// A stored text as the number a spreadsheet cell holds, or nullopt when it stays text.
// Blanks around it are ignored; Persian and Arabic-Indic digits, the Persian decimal
// separator, thousands grouping ("1,250,000", "۱٬۲۵۰٬۰۰۰", in whole groups of three) and
// an exponent ("1e-05", as a database writes a float) are accepted. A whole part with a leading
// zero ("050101010", "00") is a code, not a number; so is a value a double cannot hold without
// losing a digit (the text keeps every digit). `decimals`: the fraction digits the text shows.
struct SheetNumber {
    double value = 0;
    int decimals = 0;
};
std::optional<SheetNumber> sheetNumber(QStringView text);

// Writes `src` to a new .xlsx file at `path` (replacing any file there). `headerTitles`
// maps field names (matched without regard to case) to the texts of their header cells.
void writeXlsx(const QString& path, const SheetSource& src, const QHash<QString, QString>& headerTitles);

// A worksheet read as a table. Rows are stored sparsely: each row is only as long as its
// last non-empty cell (never padded to the widest row); text() reads any cell.
struct SheetTable {
    QStringList columns;
    QList<QStringList> rows;

    QString text(qsizetype row, qsizetype col) const
    {
        return row >= 0 && row < rows.size() ? rows[row].value(col) : QString();
    }
};

// Reads worksheet `sheetName` (matched without regard to case) of the .xlsx or .xls file at
// `path`. The kind of file is told by its content, not its name. The table starts at the
// sheet's used range: the first row holding a value is the heading row and the first column
// holding a value is the table's first column. An empty heading cell becomes "F" + its
// 1-based column number in the table; trailing empty rows are dropped.
//
// Both kinds give the same texts for the same sheet: a text as stored; a number in plain
// digits with "." (a whole number without exponent or fraction: 1e20 reads
// "100000000000000000000"); a date cell as its Gregorian date "YYYY-MM-DD" (with
// " HH:MM:SS" for a date-and-time format, and "HH:MM:SS" alone for a time format), in the
// 1900 or 1904 date system the workbook declares; a boolean as "1" or "0".
SheetTable readSheet(const QString& path, const QString& sheetName);

// Names of the worksheets of an .xlsx or .xls file, in workbook order.
QStringList sheetNames(const QString& path);

// The program that parses legacy .xls files in a child process ("tarvest-admin read-xls").
// By default tarvest-admin beside the running program, else on PATH; TARVEST_ADMIN names it.
void setXlsReaderProgram(const QString& program);

// Limits of the .xls child process: wall-clock seconds, and address space in bytes (0: the
// default, 1 GiB plus 64 times the file's size).
struct XlsChildLimits {
    int seconds = 60;
    qint64 memoryBytes = 0;
};
void setXlsChildLimits(const XlsChildLimits& limits);

// The child's side of "tarvest-admin read-xls FILE [SHEET]": applies its limits, parses the
// file with FreeXL in this process and writes the answer to stdout for the parent; returns the exit code.
int runXlsReaderChild(const QStringList& args);

// Parses a legacy .xls file with FreeXL in this very process, under the same table limits.
// Only for the child above and for the fuzz target: the program reads through readSheet.
SheetTable readXlsHere(const QString& path, const QString& sheetName);

} // namespace tarvest
