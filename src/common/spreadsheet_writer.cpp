// Export of a table to an .xlsx workbook through libxlsxwriter.
//
// The workbook is written in libxlsxwriter's constant-memory mode: each row goes straight
// to a temporary file once the next row starts, so a result of a hundred thousand rows
// costs no more memory than one row. Rows are therefore written strictly in order, and
// the border cells of a row are written together with its values.
#include "common/errors.h"
#include "common/safefile.h"
#include "common/spreadsheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unzip.h>
#include <xlsxwriter.h>

#include <cctype>
#include <cmath>
#include <memory>
#include <vector>

namespace tarvest {

SheetSource::~SheetSource() = default;
SheetSource::Kind SheetSource::columnKind(int) const
{
    return Text;
}

namespace {

// Ranges of the export layout, as zero-based column counts.
constexpr int kBoldColumns = 27;   // A..AA: bold header cells
constexpr int kBorderColumns = 13; // A..M: bordered header and data cells
constexpr double kColumnWidth = 10;
constexpr int kMaxCellChars = 32767;    // longest text a cell may hold
constexpr lxw_row_t kMaxRows = 1048576; // rows of a worksheet

QString writeFailure(const QString& path, const QString& why)
{
    return fileWriteFailure(path, why);
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

QString libraryFailure(lxw_error err)
{
    switch (err) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("حافظه كافي نيست");
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("مسير وجود ندارد يا اجازه نوشتن در آن نيست");
    case LXW_ERROR_CREATING_TMPFILE:
        return QStringLiteral("فايل موقت ساخته نشد");
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("فايل موقت خوانده نشد (شايد پوشه موقت پر است)");
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("نوشتن روي ديسك انجام نشد (شايد ديسك پر است)");
    default:
        return QString::fromUtf8(lxw_strerror(err));
    }
}

// Reads every part of the written package to its end and checks that each XML part ends
// with the end tag of its root element. Returns the reason of the first fault, or empty.
QString packageFault(const QString& path)
{
    const QString truncated = QStringLiteral("فايل ناقص نوشته شد (شايد پوشه موقت يا ديسك پر است)");
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip)
        return truncated;
    QString fault;
    std::vector<char> buf(1 << 18);
    int rc = unzGoToFirstFile(zip);
    if (rc != UNZ_OK)
        fault = truncated;
    for (; rc == UNZ_OK && fault.isEmpty(); rc = unzGoToNextFile(zip)) {
        char name[512];
        if (unzGetCurrentFileInfo64(zip, nullptr, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK
            || unzOpenCurrentFile(zip) != UNZ_OK) {
            fault = truncated;
            break;
        }
        const bool xml = QByteArray(name).endsWith(".xml") || QByteArray(name).endsWith(".rels");
        QByteArray head, tail;
        int n = 0;
        while ((n = unzReadCurrentFile(zip, buf.data(), unsigned(buf.size()))) > 0) {
            if (!xml)
                continue;
            if (head.size() < 512)
                head.append(buf.data(), std::min<qsizetype>(n, 512 - head.size()));
            if (n >= 64)
                tail = QByteArray(buf.data() + n - 64, 64);
            else
                tail = (tail + QByteArray(buf.data(), n)).right(64);
        }
        if (unzCloseCurrentFile(zip) != UNZ_OK || n < 0) {
            fault = truncated;
            break;
        }
        if (xml) {
            // The root element: the first tag that is not "<?...?>" or "<!...>".
            qsizetype i = 0;
            while ((i = head.indexOf('<', i)) >= 0 && i + 1 < head.size() && (head[i + 1] == '?' || head[i + 1] == '!'))
                ++i;
            qsizetype e = i + 1;
            while (i >= 0 && e < head.size() && !std::isspace(uchar(head[e])) && head[e] != '>' && head[e] != '/')
                ++e;
            const QByteArray root = i >= 0 ? head.mid(i + 1, e - i - 1) : QByteArray();
            if (root.isEmpty() || !tail.trimmed().endsWith("</" + root + ">"))
                fault = truncated;
        }
    }
    if (fault.isEmpty() && rc != UNZ_END_OF_LIST_OF_FILE)
        fault = truncated;
    unzClose(zip);
    return fault;
}

struct WorkbookCloser {
    void operator()(lxw_workbook* wb) const { lxw_workbook_free(wb); }
};

} // namespace

void writeXlsx(const QString& path, const SheetSource& src, const QHash<QString, QString>& headerTitles)
{
    const int cols = src.columnCount();
    const int rows = src.rowCount();
    if (cols > LXW_COL_MAX)
        throw Error(
            writeFailure(path, QStringLiteral("تعداد ستون‌ها بيش از حد مجاز اكسل است")));
    if (lxw_row_t(rows) + 1 > kMaxRows)
        throw Error(
            writeFailure(path, QStringLiteral("تعداد رديف‌ها بيش از حد مجاز اكسل است")));

    // Header titles are looked up by lower-cased field name.
    QHash<QString, QString> titles;
    for (auto it = headerTitles.cbegin(); it != headerTitles.cend(); ++it)
        titles.insert(it.key().toLower(), it.value());
    std::vector<bool> numeric(size_t(std::max(cols, 0)));
    for (int c = 0; c < cols; ++c)
        numeric[size_t(c)] = src.columnKind(c) == SheetSource::Number;

    // The workbook is zipped into a temporary file beside the target, which replaces the
    // target only once the workbook is complete and checked.
    SafeFile out(path);
    QTemporaryDir scratch;
    if (!scratch.isValid())
        out.fail(QStringLiteral("پوشه موقت ساخته نشد"));
    QByteArray scratchPath = QFile::encodeName(scratch.path());
    const QByteArray filePath = QFile::encodeName(out.tempPath());

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratchPath.data();
    options.use_zip64 = LXW_FALSE;

    lxw_workbook* raw = workbook_new_opt(filePath.constData(), &options);
    if (!raw)
        out.fail(QStringLiteral("حافظه كافي نيست"));
    std::unique_ptr<lxw_workbook, WorkbookCloser> owner(raw, WorkbookCloser{});
    lxw_workbook* wb = raw;

    lxw_worksheet* ws = workbook_add_worksheet(wb, "Sheet1");
    lxw_format* headerBordered = workbook_add_format(wb);
    lxw_format* headerPlain = workbook_add_format(wb);
    lxw_format* dataBordered = workbook_add_format(wb);
    if (!ws || !headerBordered || !headerPlain || !dataBordered)
        out.fail(QStringLiteral("حافظه كافي نيست"));
    worksheet_right_to_left(ws);
    format_set_bold(headerBordered);
    format_set_border(headerBordered, LXW_BORDER_SLANT_DASH_DOT);
    format_set_bold(headerPlain);
    format_set_border(dataBordered, LXW_BORDER_THIN);

    // Every call's status is checked: a cell the library refused would otherwise go
    // missing from the workbook without a word.
    auto check = [&](lxw_error err) {
        if (err != LXW_NO_ERROR)
            out.fail(libraryFailure(err));
    };

    if (cols > 0)
        check(worksheet_set_column(ws, 0, lxw_col_t(cols - 1), kColumnWidth, nullptr));

    // Row 1: header texts, bold out to AA, slant dash-dot borders out to M.
    const int headerWidth = std::max(cols, kBoldColumns);
    for (int c = 0; c < headerWidth; ++c) {
        lxw_format* fmt = c < kBorderColumns ? headerBordered : (c < kBoldColumns ? headerPlain : nullptr);
        if (c < cols) {
            const QString name = src.columnName(c);
            const QString title = cellText(titles.value(name.toLower(), name));
            if (!title.isEmpty()) {
                check(worksheet_write_string(ws, 0, lxw_col_t(c), title.toUtf8().constData(), fmt));
                continue;
            }
        }
        if (fmt)
            check(worksheet_write_blank(ws, 0, lxw_col_t(c), fmt));
    }

    // Rows 2 onward: one record per row, thin borders on A..M. The values of number
    // columns are numeric cells, so that a spreadsheet can sum them; everything else is
    // text, digits or not (a village code keeps its leading zeros).
    QByteArray utf8;
    for (int r = 0; r < rows; ++r) {
        const lxw_row_t row = lxw_row_t(r) + 1;
        const int width = std::max(cols, kBorderColumns);
        for (int c = 0; c < width; ++c) {
            lxw_format* fmt = c < kBorderColumns ? dataBordered : nullptr;
            if (c < cols) {
                const QString t = cellText(src.text(r, c));
                if (!t.isEmpty()) {
                    if (numeric[size_t(c)]) {
                        bool ok = false;
                        const double v = t.toDouble(&ok);
                        if (ok && std::isfinite(v)) {
                            check(worksheet_write_number(ws, row, lxw_col_t(c), v, fmt));
                            continue;
                        }
                    }
                    utf8 = t.toUtf8();
                    check(worksheet_write_string(ws, row, lxw_col_t(c), utf8.constData(), fmt));
                    continue;
                }
            }
            if (fmt)
                check(worksheet_write_blank(ws, row, lxw_col_t(c), fmt));
        }
    }

    owner.release();
    const lxw_error err = workbook_close(wb); // frees the workbook whatever the outcome
    if (err != LXW_NO_ERROR)
        out.fail(libraryFailure(err));
    // libxlsxwriter does not check its writes to its own temporary files: on a full
    // temporary folder it zips truncated parts and reports success. Every part is read
    // back and must end where its XML ends.
    const QString fault = packageFault(out.tempPath());
    if (!fault.isEmpty())
        out.fail(fault);
    out.commit();
}

} // namespace tarvest
