#pragma once
// Legacy Excel workbooks (.xls): the compound file that holds them and the BIFF records of
// Excel 2 to Excel 2003, read as cell values. Only the spreadsheet reader uses this; it
// turns the values into the table's texts.
//
// Every file is untrusted: every read is bounds-checked, every sector chain is followed at
// most once around, and what the workbook keeps (its shared strings) is counted against a
// budget.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace tarvest::xls {

// Why a file was refused.
struct Failure {
    enum Reason { Corrupt, Encrypted, TooBig } reason;
};

// A cell's number format: a built-in one by its id, or the format code the workbook gives.
struct NumberFormat {
    int builtinId = -1;
    QString code;
    bool hasCode = false;
};

// One value of a worksheet, at its true place (row and column from A1, counted from 0).
struct Cell {
    quint32 row = 0;
    quint32 col = 0;
    bool isNumber = false; // a number (also a formula's number) shown through `format`
    double number = 0;
    quint32 format = 0; // index into Workbook::formats()
    QString text;       // a text, a boolean as "1"/"0" or an error such as "#DIV/0!"
};

class Workbook {
public:
    // `file`: the whole file, an OLE2 compound file holding a "Workbook" or "Book" stream,
    // or a plain BIFF2 to BIFF4 worksheet. Throws Failure.
    Workbook(QByteArray file, qint64 budget);

    // The worksheets in workbook order (charts, macro and module sheets are not listed).
    const QStringList& sheetNames() const { return m_names; }
    bool dates1904() const { return m_dates1904; }
    const QList<NumberFormat>& formats() const { return m_formats; }

    // Hands every value of worksheet `index` to `cell`, in file order; a cell covered by a
    // merged range reads empty (only the range's top-left cell keeps its value).
    void readSheet(qsizetype index, const std::function<void(Cell&&)>& cell) const;

private:
    void readGlobals();
    void spend(qint64 bytes);

    QByteArray m_stream; // the BIFF records
    qint64 m_budget;
    int m_biff = 8; // 2, 3, 4, 5 (also 7) or 8
    quint16 m_codePage = 1252;
    bool m_dates1904 = false;
    bool m_plainWorksheet = false; // BIFF2-4: the stream is one worksheet
    QStringList m_names;
    QList<qint64> m_sheetOffsets;
    QList<QString> m_sst;
    QList<NumberFormat> m_formats; // BIFF2: by format index; else by XF index
};

} // namespace tarvest::xls
