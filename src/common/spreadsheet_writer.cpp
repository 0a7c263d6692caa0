// Export of a table to an .xlsx workbook through libxlsxwriter.
//
// The workbook is written in libxlsxwriter's constant-memory mode: each row goes straight
// to a temporary file once the next row starts, so a result of a hundred thousand rows
// costs no more memory than one row. Rows are therefore written strictly in order, and
// the border cells of a row are written together with its values.
//
// libxlsxwriter is loaded at run time, with its own symbols bound first (RTLD_DEEPBIND).
// It zips through the system minizip, while QuaZip (used to read .xlsx) exports its own
// modified copies of the same zip functions; linked side by side, libxlsxwriter's zip
// calls would land in QuaZip and crash. Loaded this way each keeps its own zip code.
#include "common/errors.h"
#include "common/spreadsheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <dlfcn.h>

#include <memory>
#include <mutex>

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

// The libxlsxwriter functions the export uses, resolved from the run-time loaded library.
struct XlsxWriterLib {
#define TARVEST_LXW_FN(name) decltype(&::name) name = nullptr;
    TARVEST_LXW_FN(workbook_new_opt)
    TARVEST_LXW_FN(workbook_add_worksheet)
    TARVEST_LXW_FN(workbook_add_format)
    TARVEST_LXW_FN(workbook_close)
    TARVEST_LXW_FN(lxw_workbook_free)
    TARVEST_LXW_FN(worksheet_right_to_left)
    TARVEST_LXW_FN(worksheet_set_column)
    TARVEST_LXW_FN(worksheet_write_string)
    TARVEST_LXW_FN(worksheet_write_blank)
    TARVEST_LXW_FN(format_set_bold)
    TARVEST_LXW_FN(format_set_border)
    TARVEST_LXW_FN(lxw_strerror)
#undef TARVEST_LXW_FN
    bool ok = false;
};

const XlsxWriterLib& xlsxWriterLib()
{
    static XlsxWriterLib lib;
    static std::once_flag once;
    std::call_once(once, [] {
        void* handle = nullptr;
        for (const char* soname : {"libxlsxwriter.so.4", "libxlsxwriter.so"}) {
            handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
            if (handle)
                break;
        }
        if (!handle)
            return;
        bool all = true;
        auto resolve = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(handle, name));
            all = all && fn;
        };
#define TARVEST_LXW_RESOLVE(name) resolve(lib.name, #name);
        TARVEST_LXW_RESOLVE(workbook_new_opt)
        TARVEST_LXW_RESOLVE(workbook_add_worksheet)
        TARVEST_LXW_RESOLVE(workbook_add_format)
        TARVEST_LXW_RESOLVE(workbook_close)
        TARVEST_LXW_RESOLVE(lxw_workbook_free)
        TARVEST_LXW_RESOLVE(worksheet_right_to_left)
        TARVEST_LXW_RESOLVE(worksheet_set_column)
        TARVEST_LXW_RESOLVE(worksheet_write_string)
        TARVEST_LXW_RESOLVE(worksheet_write_blank)
        TARVEST_LXW_RESOLVE(format_set_bold)
        TARVEST_LXW_RESOLVE(format_set_border)
        TARVEST_LXW_RESOLVE(lxw_strerror)
#undef TARVEST_LXW_RESOLVE
        lib.ok = all; // the handle stays open for the life of the program
    });
    return lib;
}

struct WorkbookCloser {
    const XlsxWriterLib* lib;
    void operator()(lxw_workbook* wb) const { lib->lxw_workbook_free(wb); }
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

    const XlsxWriterLib& x = xlsxWriterLib();
    if (!x.ok)
        throw Error(writeFailure(path, QStringLiteral("كتابخانه ساخت فايل اكسل (libxlsxwriter) يافت نشد")));

    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw Error(writeFailure(path, QStringLiteral("پوشه موقت ساخته نشد")));
    QByteArray scratchPath = QFile::encodeName(scratch.path());
    const QByteArray filePath = QFile::encodeName(path);

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratchPath.data();
    options.use_zip64 = LXW_FALSE;

    lxw_workbook* raw = x.workbook_new_opt(filePath.constData(), &options);
    if (!raw)
        throw Error(writeFailure(path, QStringLiteral("حافظه كافي نيست")));
    std::unique_ptr<lxw_workbook, WorkbookCloser> owner(raw, WorkbookCloser{&x});
    lxw_workbook* wb = raw;

    lxw_worksheet* ws = x.workbook_add_worksheet(wb, "Sheet1");
    if (!ws)
        throw Error(writeFailure(path, QStringLiteral("برگه Sheet1 ساخته نشد")));
    x.worksheet_right_to_left(ws);

    lxw_format* headerBordered = x.workbook_add_format(wb);
    x.format_set_bold(headerBordered);
    x.format_set_border(headerBordered, LXW_BORDER_SLANT_DASH_DOT);
    lxw_format* headerPlain = x.workbook_add_format(wb);
    x.format_set_bold(headerPlain);
    lxw_format* dataBordered = x.workbook_add_format(wb);
    x.format_set_border(dataBordered, LXW_BORDER_THIN);

    if (cols > 0)
        x.worksheet_set_column(ws, 0, lxw_col_t(cols - 1), kColumnWidth, nullptr);

    // Row 1: header texts, bold out to AA, slant dash-dot borders out to M.
    const int headerWidth = std::max(cols, kBoldColumns);
    for (int c = 0; c < headerWidth; ++c) {
        lxw_format* fmt = c < kBorderColumns ? headerBordered : (c < kBoldColumns ? headerPlain : nullptr);
        if (c < cols) {
            const QString name = src.columnName(c);
            const QString title = cellText(titles.value(name.toLower(), name));
            if (!title.isEmpty()) {
                x.worksheet_write_string(ws, 0, lxw_col_t(c), title.toUtf8().constData(), fmt);
                continue;
            }
        }
        if (fmt)
            x.worksheet_write_blank(ws, 0, lxw_col_t(c), fmt);
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
                    x.worksheet_write_string(ws, row, lxw_col_t(c), utf8.constData(), fmt);
                    continue;
                }
            }
            if (fmt)
                x.worksheet_write_blank(ws, row, lxw_col_t(c), fmt);
        }
    }

    owner.release();
    const lxw_error err = x.workbook_close(wb); // frees the workbook whatever the outcome
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
            why = QString::fromUtf8(x.lxw_strerror(err));
            break;
        }
        throw Error(writeFailure(path, why));
    }
}

} // namespace tarvest
