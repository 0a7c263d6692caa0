// Export of a table to an .xlsx workbook through libxlsxwriter.
//
// The workbook is written in libxlsxwriter's constant-memory mode: each row goes straight
// to a temporary file once the next row starts, so a result of a hundred thousand rows
// costs no more memory than one row. Rows are therefore written strictly in order, and
// the border cells of a row are written together with its values.
#include "common/decimal.h"
#include "common/digits.h"
#include "common/errors.h"
#include "common/safefile.h"
#include "common/spreadsheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <unzip.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>
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
constexpr double kMinColumnWidth = 8;   // Excel's own width, about 8 digits
constexpr double kMaxColumnWidth = 50;  // a long remark wraps in the spreadsheet program
constexpr int kMaxDecimals = 10;        // fraction digits a number format shows at most
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

// Characters the widest line of a cell's text takes.
int shownLength(const QString& t)
{
    int longest = 0;
    for (const QStringView line : QStringView(t).split(QLatin1Char('\n')))
        longest = std::max(longest, int(line.size()));
    return longest;
}

// Characters a number takes as "#,##0.00" shows it.
int shownLength(const SheetNumber& n, bool grouped)
{
    const QString whole = QString::number(std::trunc(std::fabs(n.value)), 'f', 0);
    int len = int(whole.size()) + (n.value < 0 ? 1 : 0) + (n.decimals > 0 ? n.decimals + 1 : 0);
    if (grouped)
        len += int(whole.size() - 1) / 3;
    return len;
}

double fittedWidth(int chars)
{
    return std::clamp(double(chars) + 2, kMinColumnWidth, kMaxColumnWidth);
}

} // namespace

std::optional<SheetNumber> sheetNumber(QStringView text)
{
    QString t = normalizeDigits(text.trimmed().toString());
    if (t.isEmpty())
        return std::nullopt;
    // Thousands grouping only in whole groups of three, the separator of either script.
    static const QRegularExpression grouped(
        QStringLiteral("^[-+]?\\d{1,3}(?:[,\\x{066C}]\\d{3})+(?:[.\\x{066B}]\\d+)?$"));
    // A figure as the database gives it may have an exponent ("1e-05" from a float column).
    static const QRegularExpression plain(
        QStringLiteral("^[-+]?(?:\\d+(?:[.\\x{066B}]\\d*)?|[.\\x{066B}]\\d+)(?:[eE][-+]?\\d{1,3})?$"));
    if (grouped.match(t).hasMatch())
        t.remove(QLatin1Char(',')).remove(QChar(0x066C));
    else if (!plain.match(t).hasMatch())
        return std::nullopt;
    t.replace(QChar(0x066B), QLatin1Char('.'));
    const qsizetype sign = (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) ? 1 : 0;
    const qsizetype exponent = std::max(t.indexOf(QLatin1Char('e')), t.indexOf(QLatin1Char('E')));
    const qsizetype point = t.indexOf(QLatin1Char('.'));
    const qsizetype wholeEnd = point >= 0 ? point : (exponent >= 0 ? exponent : t.size());
    if (wholeEnd - sign > 1 && t[sign] == QLatin1Char('0'))
        return std::nullopt; // a code: its leading zeros would be lost
    const std::optional<Decimal> d = Decimal::parse(t);
    if (!d)
        return std::nullopt;
    SheetNumber n;
    bool ok = false;
    n.value = t.toDouble(&ok);
    if (!ok || !std::isfinite(n.value))
        return std::nullopt;
    // As many decimals as the text shows ("12.50": two); with an exponent, as the value has.
    const qsizetype shown = exponent >= 0 ? d->fractionDigits().size() : (point < 0 ? 0 : t.size() - point - 1);
    n.decimals = int(std::min<qsizetype>(shown, kMaxDecimals));
    // Every digit must survive: up to 15 significant digits always do, a longer whole
    // number only when the double holds it exactly.
    QString digits = d->wholeDigits() + d->fractionDigits();
    while (digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    while (digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    if (digits.size() > 15) {
        if (!d->isInteger() || QString::number(std::fabs(n.value), 'f', 0) != d->wholeDigits())
            return std::nullopt;
    }
    if (n.value == 0)
        n.value = 0; // no "-0"
    return n;
}

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
    std::vector<SheetSource::Kind> kinds(size_t(std::max(cols, 0)));
    for (int c = 0; c < cols; ++c)
        kinds[size_t(c)] = src.columnKind(c);
    // Each column as wide as its heading or its longest value, in characters.
    std::vector<int> longest(size_t(std::max(cols, 0)), 0);

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

    // The number formats, made as the values need them: grouped or not, by the number of
    // fraction digits, with or without the data border.
    std::map<std::tuple<bool, int, bool>, lxw_format*> numberFormats;
    auto numberFormat = [&](bool grouped, int decimals, bool bordered) {
        lxw_format*& fmt = numberFormats[{grouped, decimals, bordered}];
        if (!fmt) {
            fmt = workbook_add_format(wb);
            if (!fmt)
                out.fail(QStringLiteral("حافظه كافي نيست"));
            QByteArray pattern = grouped ? QByteArrayLiteral("#,##0") : QByteArrayLiteral("0");
            if (decimals > 0)
                pattern += '.' + QByteArray(decimals, '0');
            if (grouped || decimals > 0)
                format_set_num_format(fmt, pattern.constData());
            if (bordered)
                format_set_border(fmt, LXW_BORDER_THIN);
        }
        return fmt;
    };

    // Row 1: header texts, bold out to AA, slant dash-dot borders out to M.
    const int headerWidth = std::max(cols, kBoldColumns);
    for (int c = 0; c < headerWidth; ++c) {
        lxw_format* fmt = c < kBorderColumns ? headerBordered : (c < kBoldColumns ? headerPlain : nullptr);
        if (c < cols) {
            const QString name = src.columnName(c);
            const QString title = cellText(titles.value(name.toLower(), name));
            // a bold heading takes a little more room than its characters
            longest[size_t(c)] = (shownLength(title) * 11 + 9) / 10;
            if (!title.isEmpty()) {
                check(worksheet_write_string(ws, 0, lxw_col_t(c), title.toUtf8().constData(), fmt));
                continue;
            }
        }
        if (fmt)
            check(worksheet_write_blank(ws, 0, lxw_col_t(c), fmt));
    }

    // Rows 2 onward: one record per row, thin borders on A..M. The values of number
    // columns are numeric cells in a grouping format, so that a spreadsheet can sum them;
    // everything else is text, digits or not (a village code keeps its leading zeros).
    QByteArray utf8;
    for (int r = 0; r < rows; ++r) {
        const lxw_row_t row = lxw_row_t(r) + 1;
        const int width = std::max(cols, kBorderColumns);
        for (int c = 0; c < width; ++c) {
            lxw_format* fmt = c < kBorderColumns ? dataBordered : nullptr;
            if (c < cols) {
                const QString t = cellText(src.text(r, c));
                if (!t.isEmpty()) {
                    const SheetSource::Kind kind = kinds[size_t(c)];
                    if (kind != SheetSource::Text) {
                        if (const std::optional<SheetNumber> n = sheetNumber(t)) {
                            const bool grouped = kind == SheetSource::Number;
                            lxw_format* numFmt = grouped || n->decimals > 0
                                                     ? numberFormat(grouped, n->decimals, c < kBorderColumns)
                                                     : fmt;
                            check(worksheet_write_number(ws, row, lxw_col_t(c), n->value, numFmt));
                            longest[size_t(c)] = std::max(longest[size_t(c)], shownLength(*n, grouped));
                            continue;
                        }
                    }
                    longest[size_t(c)] = std::max(longest[size_t(c)], shownLength(t));
                    utf8 = t.toUtf8();
                    check(worksheet_write_string(ws, row, lxw_col_t(c), utf8.constData(), fmt));
                    continue;
                }
            }
            if (fmt)
                check(worksheet_write_blank(ws, row, lxw_col_t(c), fmt));
        }
    }

    // The widths go into the worksheet's head, which the library writes when it closes the
    // workbook, so they can follow the rows.
    for (int c = 0; c < cols; ++c)
        check(worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), fittedWidth(longest[size_t(c)]), nullptr));

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
