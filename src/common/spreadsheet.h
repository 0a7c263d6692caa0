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
// Import reads one named worksheet of an .xlsx or legacy .xls file as a table by position:
// row 1 gives the column names, cell A1 is column 0, every cell is read as text. The sheet is an untrusted file:
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

// A worksheet read as a table, by position: column 0 is column A and the heading is row 1
// of the sheet, whatever columns or rows are empty. `columns` names every column out to
// the widest row (an empty heading cell is called "F" + its 1-based column number);
// `heading` is row 1 as stored. Rows are stored sparsely: each row (and `heading`) is only
// as long as its last non-empty cell (never padded to the widest row); text() reads any
// cell of the rows under the heading, cell() any cell of the sheet.
struct SheetTable {
    QStringList columns;
    QList<QStringList> rows;
    QStringList heading;

    QString text(qsizetype row, qsizetype col) const
    {
        return row >= 0 && row < rows.size() ? rows[row].value(col) : QString();
    }
    // The cell at zero-based sheet row `row` (0 is the heading row) and column `col`.
    QString cell(qsizetype row, qsizetype col) const { return row == 0 ? heading.value(col) : text(row - 1, col); }
};

// Reads worksheet `sheetName` (matched without regard to case) of the .xlsx or .xls file at
// `path`. The kind of file is told by its content, not its name. Trailing empty rows are
// dropped; a cell covered by a merged range (not its first cell) reads empty, as the sheet
// shows it.
//
// Both kinds give the same texts for the same sheet: a text as stored; a number in plain
// digits with "." (a whole number without exponent or fraction: 1e20 reads
// "100000000000000000000"); a date cell as its Gregorian date "YYYY-MM-DD" (with
// " HH:MM:SS" for a date-and-time format, "HH:MM:SS" alone for a time format and the
// hours past a day for an elapsed-time format, "255:10:10"), in the 1900 or 1904 date
// system the workbook declares, a date before 1900 as the sheet shows it; a boolean as "1"
// or "0"; a formula as its last computed value. A file protected by a password is refused
// with a message that says so.
SheetTable readSheet(const QString& path, const QString& sheetName);

// The worksheet of an export (writeXlsx).
extern const QString ExportSheetName;

// Where the sheet, when it is one of the program's exports, holds each of `fields`: the
// export heads a field with its title in `titles` (matched without regard to case), else
// with its name. The zero-based columns in the order of `fields`, when the heading row
// holds every one of those headings (trimmed, without regard to case); nullopt otherwise.
std::optional<QList<qsizetype>> exportColumns(const SheetTable& sheet, const QStringList& fields,
                                              const QHash<QString, QString>& titles);

// The refusal of a sheet with the wrong number of columns, naming both numbers:
// `refusal` + ": فايل اکسل 8 ستون دارد و 7 ستون لازم است" ("دست کم 58" when `atLeast`).
QString columnCountMessage(const QString& refusal, qsizetype found, qsizetype expected, bool atLeast = false);

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
// file in this process and writes the answer to stdout for the parent; returns the exit code.
int runXlsReaderChild(const QStringList& args);

// Parses a legacy .xls file in this very process, under the same table limits.
// Only for the child above and for the fuzz target: the program reads through readSheet.
SheetTable readXlsHere(const QString& path, const QString& sheetName);

} // namespace tarvest
