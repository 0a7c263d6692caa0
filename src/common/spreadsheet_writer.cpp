// Export of a table to an .xlsx workbook through libxlsxwriter.
//
// The workbook is written in libxlsxwriter's constant-memory mode: each row goes straight
// to a temporary file once the next row starts, so a result of a hundred thousand rows
// costs no more memory than one row. Rows are therefore written strictly in order, and
// the border cells of a row are written together with its values.
#include "common/errors.h"
#include "common/spreadsheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <memory>

namespace tarvest {

SheetSource::~SheetSource() = default;

namespace {

// Ranges of the export layout, as zero-based column counts.
constexpr int kBoldColumns = 27;   // A..AA: bold header cells
constexpr int kBorderColumns = 13; // A..M: bordered header and data cells
constexpr double kColumnWidth = 10;
constexpr int kMaxCellChars = 32767;    // longest text a cell may hold
constexpr lxw_row_t kMaxRows = 1048576; // rows of a worksheet

QString writeFailure(const QString& path, const QString& why)
{
    return QStringLiteral("فايل اكسل «%1» ساخته نشد: %2").arg(QDir::toNativeSeparators(path), why);
}

// XML 1.0 has no place for most control characters; a stray one from the database would
// make the whole workbook unreadable, so it becomes a blank.
QString cellText(const QString& raw)
{
    QString t = raw.trimmed();
    for (QChar& ch : t) {
        const char16_t u = ch.unicode();
        if (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r')
            ch = QLatin1Char(' ');
        else if (u == 0xFFFE || u == 0xFFFF)
            ch = QLatin1Char(' ');
    }
    if (t.size() > kMaxCellChars) {
        t.truncate(kMaxCellChars);
        if (t.back().isHighSurrogate())
            t.chop(1);
    }
    return t;
}

struct WorkbookCloser {
    void operator()(lxw_workbook* wb) const { lxw_workbook_free(wb); }
};

} // namespace

void writeXlsx(const QString& path, const SheetSource& src,
               const QHash<QString, QString>& headerTitles)
{
    const int cols = src.columnCount();
    const int rows = src.rowCount();
    if (cols > LXW_COL_MAX)
        throw Error(writeFailure(path, QStringLiteral("تعداد ستون‌ها بيش از حد مجاز اكسل است")));
    if (lxw_row_t(rows) + 1 > kMaxRows)
        throw Error(writeFailure(path, QStringLiteral("تعداد رديف‌ها بيش از حد مجاز اكسل است")));

    // Header titles are looked up by lower-cased field name.
    QHash<QString, QString> titles;
    for (auto it = headerTitles.cbegin(); it != headerTitles.cend(); ++it)
        titles.insert(it.key().toLower(), it.value());

    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw Error(writeFailure(path, QStringLiteral("پوشه موقت ساخته نشد")));
    QByteArray scratchPath = QFile::encodeName(scratch.path());
    const QByteArray filePath = QFile::encodeName(path);

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratchPath.data();
    options.use_zip64 = LXW_FALSE;

    lxw_workbook* raw = workbook_new_opt(filePath.constData(), &options);
    if (!raw)
        throw Error(writeFailure(path, QStringLiteral("حافظه كافي نيست")));
    std::unique_ptr<lxw_workbook, WorkbookCloser> owner(raw, WorkbookCloser{});
    lxw_workbook* wb = raw;

    lxw_worksheet* ws = workbook_add_worksheet(wb, "Sheet1");
    if (!ws)
        throw Error(writeFailure(path, QStringLiteral("برگه Sheet1 ساخته نشد")));
    worksheet_right_to_left(ws);

    lxw_format* headerBordered = workbook_add_format(wb);
    format_set_bold(headerBordered);
    format_set_border(headerBordered, LXW_BORDER_SLANT_DASH_DOT);
    lxw_format* headerPlain = workbook_add_format(wb);
    format_set_bold(headerPlain);
    lxw_format* dataBordered = workbook_add_format(wb);
    format_set_border(dataBordered, LXW_BORDER_THIN);

    if (cols > 0)
        worksheet_set_column(ws, 0, lxw_col_t(cols - 1), kColumnWidth, nullptr);

    // Row 1: header texts, bold out to AA, slant dash-dot borders out to M.
    const int headerWidth = std::max(cols, kBoldColumns);
    for (int c = 0; c < headerWidth; ++c) {
        lxw_format* fmt = c < kBorderColumns ? headerBordered : (c < kBoldColumns ? headerPlain : nullptr);
        if (c < cols) {
            const QString name = src.columnName(c);
            const QString title = cellText(titles.value(name.toLower(), name));
            if (!title.isEmpty()) {
                worksheet_write_string(ws, 0, lxw_col_t(c), title.toUtf8().constData(), fmt);
                continue;
            }
        }
        if (fmt)
            worksheet_write_blank(ws, 0, lxw_col_t(c), fmt);
    }

    // Rows 2 onward: one record per row, thin borders on A..M.
    QByteArray utf8;
    for (int r = 0; r < rows; ++r) {
        const lxw_row_t row = lxw_row_t(r) + 1;
        const int width = std::max(cols, kBorderColumns);
        for (int c = 0; c < width; ++c) {
            lxw_format* fmt = c < kBorderColumns ? dataBordered : nullptr;
            if (c < cols) {
                const QString t = cellText(src.text(r, c));
                if (!t.isEmpty()) {
                    utf8 = t.toUtf8();
                    worksheet_write_string(ws, row, lxw_col_t(c), utf8.constData(), fmt);
                    continue;
                }
            }
            if (fmt)
                worksheet_write_blank(ws, row, lxw_col_t(c), fmt);
        }
    }

    owner.release();
    const lxw_error err = workbook_close(wb); // frees the workbook whatever the outcome
    if (err != LXW_NO_ERROR) {
        if (err != LXW_ERROR_CREATING_XLSX_FILE)
            QFile::remove(path); // a half-written workbook; a file we could not open stays as it was
        QString why;
        switch (err) {
        case LXW_ERROR_CREATING_XLSX_FILE:
            why = QStringLiteral("مسير وجود ندارد يا اجازه نوشتن در آن نيست، يا فايل در برنامه ديگري باز است");
            break;
        case LXW_ERROR_CREATING_TMPFILE:
            why = QStringLiteral("فايل موقت ساخته نشد");
            break;
        case LXW_ERROR_ZIP_FILE_OPERATION:
        case LXW_ERROR_ZIP_PARAMETER_ERROR:
        case LXW_ERROR_ZIP_BAD_ZIP_FILE:
        case LXW_ERROR_ZIP_INTERNAL_ERROR:
        case LXW_ERROR_ZIP_FILE_ADD:
        case LXW_ERROR_ZIP_CLOSE:
            why = QStringLiteral("نوشتن روي ديسك انجام نشد (شايد ديسك پر است)");
            break;
        default:
            why = QString::fromUtf8(lxw_strerror(err));
            break;
        }
        throw Error(writeFailure(path, why));
    }
}

} // namespace tarvest
