// Import of a worksheet as a table of texts, from .xlsx (a zip of XML parts, read with
// minizip and QXmlStreamReader) or from legacy .xls (an OLE2 compound file or a plain BIFF2-4
// stream, read by xls_reader.h).
//
// The table follows the conventions of the old spreadsheet driver the screens were built
// on: the first row of the used range names the columns, an unnamed column is called "F" +
// its number, and empty rows at the end are not part of the table.
//
// Every file is untrusted. The row and column numbers are held to the format's own limits,
// everything the table stores is counted against a budget in proportion to the file's
// size, and the XML inflated from an .xlsx is counted too, so neither a huge row number, a
// far cell, nor a zip of millions of shared strings can take the memory of the workstation.
// Legacy .xls files are parsed in a child process (tarvest-admin read-xls) with an
// address-space and time limit: a crash or a bomb inside the parser ends the child, and the
// parent shows a message.
#include "common/errors.h"
#include "common/safefile.h"
#include "common/spreadsheet.h"
#include "common/xls_reader.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <unzip.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <new>
#include <optional>

#include <sys/resource.h>
#include <unistd.h>

namespace tarvest {

namespace {

enum class FileKind { Xlsx, Xls };

QString shown(const QString& path)
{
    return shownPath(path);
}

// The format's own limits.
constexpr qsizetype kMaxRows = 1048576;
constexpr qsizetype kMaxColumns = 16384;

// What reading a file may cost: the table's memory, and the XML inflated from an .xlsx.
// A real sheet needs far less than either; a crafted one is stopped at them.
qint64 memoryBudget(qint64 fileSize)
{
    return (qint64(64) << 20) + 64 * fileSize;
}
qint64 inflateBudget(qint64 fileSize)
{
    return 4 * memoryBudget(fileSize);
}

[[noreturn]] void failTooManyRows(const QString& path)
{
    throw Error(QStringLiteral("خطا! فايل اكسل «%1» بيش از %2 رديف دارد و خوانده نشد.").arg(shown(path)).arg(kMaxRows));
}

[[noreturn]] void failTooManyColumns(const QString& path)
{
    throw Error(
        QStringLiteral("خطا! فايل اكسل «%1» بيش از %2 ستون دارد و خوانده نشد.").arg(shown(path)).arg(kMaxColumns));
}

[[noreturn]] void failTooBig(const QString& path)
{
    throw Error(
        QStringLiteral(
            "خطا! فايل اكسل «%1» بيش از اندازه‌اي که حجم فايل اجازه مي‌دهد حافظه مي‌خواهد و خوانده نشد.")
            .arg(shown(path)));
}

// A number cell's text: plain digits with ".", the shortest that reads back the same value;
// a whole number in full, without exponent or fraction.
QString numberText(double v)
{
    if (!std::isfinite(v))
        return QString::number(v);
    if (v == 0)
        return QStringLiteral("0");
    if (std::abs(v) < 1e21)
        return QString::number(v, 'f', QLocale::FloatingPointShortest);
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

// How a number format shows its value.
enum class DateKind : quint8 { None, Date, DateTime, Time };

DateKind builtinDateKind(int id)
{
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return DateKind::Date;
    if (id == 22)
        return DateKind::DateTime;
    if ((id >= 18 && id <= 21) || (id >= 45 && id <= 47))
        return DateKind::Time;
    return DateKind::None;
}

// A custom format code such as "yyyy/mm/dd", "[$-409]h:mm AM/PM" or "#,##0.00": quoted
// texts, escaped characters and bracketed locale or colour parts say nothing of dates;
// elapsed-time brackets ([h], [mm], [ss]) make a time.
DateKind customDateKind(QStringView code)
{
    bool date = false, time = false, month = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const char16_t c = QChar::toLower(code[i].unicode());
        if (c == u'"') {
            const qsizetype end = code.indexOf(u'"', i + 1);
            if (end < 0)
                break;
            i = end;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            const qsizetype end = code.indexOf(u']', i + 1);
            if (end < 0)
                break;
            const QStringView inner = code.mid(i + 1, end - i - 1);
            if (!inner.isEmpty() && QStringLiteral("hms").contains(inner.front().toLower()))
                time = true;
            i = end;
        } else if (c == u';') {
            break; // the first section decides
        } else if (c == u'y' || c == u'd') {
            date = true;
        } else if (c == u'h' || c == u's') {
            time = true;
        } else if (c == u'm') {
            month = true;
        }
    }
    if (date || (month && !time))
        return time ? DateKind::DateTime : DateKind::Date;
    return time ? DateKind::Time : DateKind::None;
}

// The text of a date serial in the workbook's date system, as FreeXL writes the dates of
// legacy files: "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", "HH:MM:SS".
std::optional<QString> serialText(double serial, DateKind kind, bool dates1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466)
        return std::nullopt;
    qint64 days = qint64(std::floor(serial));
    qint64 seconds = qint64(std::llround((serial - double(days)) * 86400.0));
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    QDate date;
    if (dates1904)
        date = QDate(1904, 1, 1).addDays(days);
    else if (days < 60) // 1900 counts a 29 February that never was: serial 60
        date = QDate(1899, 12, 31).addDays(days);
    else
        date = QDate(1899, 12, 30).addDays(days);
    const QString d = date.toString(QStringLiteral("yyyy-MM-dd"));
    const QString t = QStringLiteral("%1:%2:%3")
                          .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                          .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                          .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    switch (kind) {
    case DateKind::Date:
        return d;
    case DateKind::DateTime:
        return d + QLatin1Char(' ') + t;
    case DateKind::Time:
        return t;
    case DateKind::None:
        break;
    }
    return std::nullopt;
}

[[noreturn]] void failCorrupt(const QString& path)
{
    throw Error(QStringLiteral("فايل اكسل «%1» خراب است يا قابل خواندن نيست").arg(shown(path)));
}

[[noreturn]] void failMissingSheet(const QString& sheet)
{
    throw Error(QStringLiteral("شيت «%1» در فايل يافت نشد").arg(sheet));
}

// Excel 2 to 4 wrote a worksheet as a bare record stream, and some programs still write a
// workbook's BIFF records without the compound file around them: a BOF record (0x0009,
// 0x0209, 0x0409, 0x0809) of workbook globals (0x0005) or a worksheet (0x0010).
bool isPlainBiff(const QByteArray& head)
{
    if (head.size() < 8 || head[0] != '\x09' || (head[1] != 0 && head[1] != 2 && head[1] != 4 && head[1] != 8))
        return false;
    const int length = quint8(head[2]) | (quint8(head[3]) << 8);
    return length >= 4 && length <= 20 && (head[6] == '\x10' || (head[1] == 8 && head[6] == '\x05')) && head[7] == 0;
}

FileKind detectKind(const QString& path)
{
    QFileInfo info(path);
    if (!info.exists())
        throw Error(QStringLiteral("فايل «%1» يافت نشد").arg(shown(path)));
    QFile f(path);
    if (info.isDir() || !f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("فايل «%1» باز نشد").arg(shown(path)));
    const QByteArray head = f.read(8);
    if (head.startsWith("PK\x03\x04"))
        return FileKind::Xlsx;
    if (head == QByteArray::fromHex("D0CF11E0A1B11AE1") || isPlainBiff(head))
        return FileKind::Xls;
    throw Error(QStringLiteral("فايل «%1» فايل اكسل (xlsx يا xls) نيست").arg(shown(path)));
}

// The table as it is filled: rows by index, each as long as its last non-empty cell, and
// the memory it takes counted against the file's budget.
class TableBuilder {
public:
    TableBuilder(const QString& path, qint64 budget) : m_path(path), m_budget(budget) {}

    // `fresh`: the text's storage is its own (not shared with a text counted before).
    void set(qsizetype row, qsizetype col, QString text, bool fresh = true)
    {
        if (row >= kMaxRows)
            failTooManyRows(m_path);
        if (col >= kMaxColumns)
            failTooManyColumns(m_path);
        if (text.isEmpty() || row < 0 || col < 0)
            return;
        if (row >= m_rows.size()) {
            spend(qint64(row + 1 - m_rows.size()) * qint64(sizeof(QStringList)));
            m_rows.resize(row + 1);
        }
        QStringList& r = m_rows[row];
        if (col >= r.size()) {
            spend(qint64(col + 1 - r.size()) * qint64(sizeof(QString)));
            r.resize(col + 1);
        }
        if (fresh)
            spend(textCost(text));
        r[col] = std::move(text);
        m_width = std::max(m_width, col + 1);
        m_top = std::min(m_top, row);
        m_left = std::min(m_left, col);
    }
    void reserveRows(qsizetype n)
    {
        if (n > 0 && n <= kMaxRows && qint64(n) * qint64(sizeof(QStringList)) * 4 < m_budget)
            m_rows.reserve(n);
    }

    // What a text costs beyond its slot: its characters and the allocation's header.
    static qint64 textCost(const QString& text) { return text.isEmpty() ? 0 : 2 * text.size() + 32; }

    // Counts memory taken on behalf of this table (the shared strings of an .xlsx).
    void spend(qint64 bytes)
    {
        m_spent += bytes;
        if (m_spent > m_budget)
            failTooBig(m_path);
    }
    qint64 budget() const { return m_budget; }

    // Returns a copy of `text` sharing the storage of an equal text met before. Lists repeat
    // the same county, village and type names over and over, and a shared text costs a
    // fraction of its own copy. The pool stops growing once it is large, so a column of
    // unique values does not also fill it.
    void setShared(qsizetype row, qsizetype col, QString text)
    {
        if (text.isEmpty() || text.size() > 64) {
            set(row, col, std::move(text));
            return;
        }
        const auto it = m_pool.constFind(text);
        if (it != m_pool.cend()) {
            set(row, col, *it, false);
            return;
        }
        if (m_pool.size() < kPoolLimit) {
            spend(textCost(text) + 2 * qint64(sizeof(QString)));
            m_pool.insert(text);
            set(row, col, std::move(text), false);
            return;
        }
        set(row, col, std::move(text));
    }

    SheetTable finish()
    {
        SheetTable t;
        if (m_rows.isEmpty() || m_top >= m_rows.size())
            return t;
        // The table starts at the used range: the first row and the first column holding a
        // value.
        const qsizetype width = m_width - m_left;
        QStringList header = m_rows[m_top].mid(m_left);
        header.resize(width);
        for (qsizetype c = 0; c < width; ++c)
            if (header[c].isEmpty())
                header[c] = QStringLiteral("F%1").arg(c + 1);
        t.columns = std::move(header);
        // Only non-empty cells create rows, so the table already ends at its last row with a
        // value: blank formatted cells after it (borders, fonts) leave no empty rows behind.
        m_rows.remove(0, m_top + 1);
        if (m_left > 0)
            for (QStringList& r : m_rows)
                r.remove(0, std::min(m_left, r.size()));
        t.rows = std::move(m_rows);
        return t;
    }

private:
    static constexpr qsizetype kPoolLimit = 1 << 16;
    QString m_path;
    qint64 m_budget;
    qint64 m_spent = 0;
    QList<QStringList> m_rows;
    QSet<QString> m_pool;
    qsizetype m_width = 0;
    qsizetype m_top = kMaxRows;
    qsizetype m_left = kMaxColumns;
};

// ---------------------------------------------------------------- .xlsx

// One part of the package being unzipped, read as a stream so that a large worksheet
// never sits in memory whole. Only one part of a package is open at a time.
//
// The XML inflated from the package is counted against a budget, and a run of more than a
// mebibyte without markup (no cell text is that long) ends the reading, so the XML reader
// never gathers a giant token.
struct InflateAccount {
    QString path;
    qint64 left = 0;
};

class ZipPartDevice : public QIODevice {
public:
    ZipPartDevice(unzFile zip, InflateAccount& account) : m_zip(zip), m_account(account) {}
    ~ZipPartDevice() override
    {
        if (!m_closed)
            unzCloseCurrentFile(m_zip);
    }
    bool isSequential() const override { return true; }

    // Ends the part; false when a read failed or the data did not match its checksum.
    bool finish()
    {
        m_closed = true;
        return unzCloseCurrentFile(m_zip) == UNZ_OK && !m_failed;
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const int n = unzReadCurrentFile(m_zip, data, unsigned(std::min<qint64>(maxSize, 1 << 20)));
        if (n < 0) {
            m_failed = true;
            return -1;
        }
        m_account.left -= n;
        if (m_account.left < 0)
            failTooBig(m_account.path);
        for (int i = 0; i < n; ++i) {
            const char c = data[i];
            if (c == '<' || c == '>')
                m_run = 0;
            else if (++m_run > kLongestRun)
                failTooBig(m_account.path);
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    static constexpr qint64 kLongestRun = 1 << 20;
    unzFile m_zip;
    InflateAccount& m_account;
    qint64 m_run = 0;
    bool m_failed = false;
    bool m_closed = false;
};

class XlsxPackage {
public:
    explicit XlsxPackage(const QString& path) : m_path(path)
    {
        m_account.path = path;
        m_account.left = inflateBudget(QFileInfo(path).size());
        m_zip = unzOpen64(QFile::encodeName(path).constData());
        if (!m_zip)
            failCorrupt(path);
    }
    ~XlsxPackage()
    {
        if (m_zip)
            unzClose(m_zip);
    }
    XlsxPackage(const XlsxPackage&) = delete;
    XlsxPackage& operator=(const XlsxPackage&) = delete;

    // Part names are compared without regard to case, as spreadsheet programs do.
    bool has(const QString& part) { return unzLocateFile(m_zip, part.toUtf8().constData(), 2) == UNZ_OK; }

    // Opens a part for streaming; the package must stay alive while it is read.
    std::unique_ptr<ZipPartDevice> open(const QString& part)
    {
        if (!has(part) || unzOpenCurrentFile(m_zip) != UNZ_OK)
            failCorrupt(m_path);
        auto file = std::make_unique<ZipPartDevice>(m_zip, m_account);
        file->open(QIODevice::ReadOnly);
        return file;
    }

    const QString& path() const { return m_path; }

private:
    QString m_path;
    InflateAccount m_account;
    unzFile m_zip = nullptr;
};

// The relationship id attribute ("r:id"), whatever prefix the workbook gives its namespace.
QString relationId(const QXmlStreamAttributes& attrs)
{
    for (const QXmlStreamAttribute& a : attrs)
        if (a.name() == u"id" && !a.namespaceUri().isEmpty())
            return a.value().toString();
    return {};
}

struct SheetEntry {
    QString name;
    QString relId;
};

struct WorkbookInfo {
    QList<SheetEntry> sheets;
    bool dates1904 = false;
};

bool xmlTrue(QStringView v)
{
    return v == u"1" || v == u"true";
}

WorkbookInfo xlsxWorkbook(XlsxPackage& pkg)
{
    WorkbookInfo info;
    auto file = pkg.open(QStringLiteral("xl/workbook.xml"));
    QXmlStreamReader xml(file.get());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"sheet") {
            if (info.sheets.size() >= 0xFFFF)
                failCorrupt(pkg.path());
            info.sheets.append(
                {xml.attributes().value(QLatin1String("name")).toString(), relationId(xml.attributes())});
        } else if (xml.name() == u"workbookPr") {
            info.dates1904 = xmlTrue(xml.attributes().value(QLatin1String("date1904")));
        }
    }
    if (xml.hasError())
        failCorrupt(pkg.path());
    return info;
}

QList<SheetEntry> xlsxSheets(XlsxPackage& pkg)
{
    return xlsxWorkbook(pkg).sheets;
}

// The date kind of each cell style (by its index in <cellXfs>).
QList<DateKind> xlsxStyleDates(XlsxPackage& pkg)
{
    QList<DateKind> kinds;
    const QString part = QStringLiteral("xl/styles.xml");
    if (!pkg.has(part))
        return kinds;
    QHash<int, DateKind> custom;
    auto file = pkg.open(part);
    QXmlStreamReader xml(file.get());
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == u"cellXfs")
            inCellXfs = false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (name == u"numFmt") {
            if (custom.size() >= 65536)
                failCorrupt(pkg.path());
            const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
            custom.insert(id, customDateKind(xml.attributes().value(QLatin1String("formatCode"))));
        } else if (name == u"cellXfs") {
            inCellXfs = true;
        } else if (inCellXfs && name == u"xf") {
            if (kinds.size() >= 65536)
                failCorrupt(pkg.path());
            const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
            kinds.append(custom.contains(id) ? custom.value(id) : builtinDateKind(id));
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        failCorrupt(pkg.path());
    return kinds;
}

// Resolves the part name of a relationship of the workbook part ("xl/workbook.xml").
QString workbookTarget(XlsxPackage& pkg, const QString& relId)
{
    auto file = pkg.open(QStringLiteral("xl/_rels/workbook.xml.rels"));
    QXmlStreamReader xml(file.get());
    QString target;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"Relationship"
            && xml.attributes().value(QLatin1String("Id")) == relId) {
            target = xml.attributes().value(QLatin1String("Target")).toString();
            break;
        }
    }
    if (xml.hasError() || target.isEmpty())
        failCorrupt(pkg.path());
    if (target.startsWith(u'/'))
        return QDir::cleanPath(target.mid(1));
    return QDir::cleanPath(QStringLiteral("xl/") + target);
}

// Reads the text of the element the reader stands on (an <si> or <is>): the <t> texts of
// the element and of its rich-text runs, without phonetic hints.
QString richText(QXmlStreamReader& xml, const QString& path)
{
    QString text;
    int depth = 1;
    int skipDepth = 0; // inside <rPh>
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (skipDepth == 0 && xml.name() == u"rPh")
                skipDepth = depth;
            else if (skipDepth == 0 && xml.name() == u"t") {
                text += xml.readElementText();
                --depth;
                if (text.size() > (1 << 20)) // far beyond the 32,767 characters a cell holds
                    failTooBig(path);
            }
            break;
        case QXmlStreamReader::EndElement:
            if (depth == skipDepth)
                skipDepth = 0;
            --depth;
            break;
        default:
            break;
        }
    }
    return text;
}

QStringList xlsxSharedStrings(XlsxPackage& pkg, TableBuilder& table)
{
    QStringList strings;
    const QString part = QStringLiteral("xl/sharedStrings.xml");
    if (!pkg.has(part))
        return strings;
    auto file = pkg.open(part);
    QXmlStreamReader xml(file.get());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"sst") {
            bool ok = false;
            const int unique = xml.attributes().value(QLatin1String("uniqueCount")).toInt(&ok);
            if (ok && unique > 0)
                strings.reserve(std::min<qint64>(unique, table.budget() / 8 / qint64(sizeof(QString))));
        } else if (xml.name() == u"si") {
            QString text = richText(xml, pkg.path());
            table.spend(qint64(sizeof(QString)) + TableBuilder::textCost(text));
            strings.append(std::move(text));
        }
    }
    if (xml.hasError())
        failCorrupt(pkg.path());
    return strings;
}

// Zero-based column of a cell reference such as "AB12"; nullopt when it has no letters.
std::optional<qsizetype> columnOf(QStringView ref)
{
    qsizetype col = 0;
    qsizetype i = 0;
    for (; i < ref.size(); ++i) {
        const char16_t ch = ref[i].unicode();
        if (ch >= u'A' && ch <= u'Z')
            col = col * 26 + (ch - u'A' + 1);
        else if (ch >= u'a' && ch <= u'z')
            col = col * 26 + (ch - u'a' + 1);
        else
            break;
        if (col > kMaxColumns)
            return kMaxColumns; // past the last column; the table refuses it
    }
    if (i == 0)
        return std::nullopt;
    return col - 1;
}

void readXlsxWorksheet(XlsxPackage& pkg, const QString& part, const QStringList& shared, const QList<DateKind>& styles,
                       bool dates1904, TableBuilder& table)
{
    auto file = pkg.open(part);
    QXmlStreamReader xml(file.get());
    qsizetype row = -1;
    qsizetype col = -1;
    bool inData = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == u"sheetData")
            break;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (!inData) {
            if (name == u"dimension") {
                // "A1:AX100001" gives the expected number of rows.
                const QStringView ref = xml.attributes().value(QLatin1String("ref"));
                const auto colon = ref.indexOf(u':');
                if (colon > 0) {
                    QStringView last = ref.mid(colon + 1);
                    while (!last.isEmpty() && last.front().isLetter())
                        last = last.mid(1);
                    bool ok = false;
                    const int n = last.toInt(&ok);
                    if (ok && n > 0 && n <= 1048576)
                        table.reserveRows(n);
                }
            } else if (name == u"sheetData") {
                inData = true;
            }
            continue;
        }
        if (name == u"row") {
            bool ok = false;
            const qsizetype r = xml.attributes().value(QLatin1String("r")).toLongLong(&ok);
            row = (ok && r > 0) ? r - 1 : row + 1;
            if (row >= kMaxRows)
                failTooManyRows(pkg.path());
            col = -1;
        } else if (name == u"c") {
            if (row < 0)
                row = 0;
            const QXmlStreamAttributes attrs = xml.attributes();
            const QStringView ref = attrs.value(QLatin1String("r"));
            const auto refCol = ref.isEmpty() ? std::nullopt : columnOf(ref);
            col = refCol ? *refCol : col + 1;
            if (col >= kMaxColumns)
                failTooManyColumns(pkg.path());
            const QStringView type = attrs.value(QLatin1String("t"));
            const int style = attrs.value(QLatin1String("s")).toInt();
            QString value;
            bool haveValue = false;
            // Children: <v> value, <f> formula (its cached value is in <v>), <is> inline string.
            while (xml.readNext() != QXmlStreamReader::EndElement || xml.name() != u"c") {
                if (xml.atEnd())
                    break;
                if (!xml.isStartElement())
                    continue;
                if (xml.name() == u"v") {
                    value = xml.readElementText();
                    haveValue = true;
                } else if (xml.name() == u"is") {
                    value = richText(xml, pkg.path());
                    haveValue = true;
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (!haveValue)
                continue;
            if (type == u"s") {
                bool ok = false;
                const qsizetype idx = value.toLongLong(&ok);
                if (!ok || idx < 0 || idx >= shared.size())
                    failCorrupt(pkg.path());
                table.set(row, col, shared.at(idx), false);
            } else if (type.isEmpty() || type == u"n") {
                // A number, or a date stored as its serial under a date format.
                bool ok = false;
                const double v = value.toDouble(&ok);
                if (ok) {
                    const DateKind kind = style >= 0 && style < styles.size() ? styles[style] : DateKind::None;
                    const auto date = kind == DateKind::None ? std::nullopt : serialText(v, kind, dates1904);
                    value = date ? *date : numberText(v);
                }
                table.setShared(row, col, std::move(value));
            } else if (type == u"d") {
                // An ISO 8601 date: "2024-03-05T10:00:00" reads as the legacy dates do.
                value.replace(u'T', u' ');
                if (value.endsWith(QLatin1String(" 00:00:00")))
                    value.chop(9);
                table.setShared(row, col, std::move(value));
            } else {
                // Booleans are "1"/"0"; "str", "inlineStr" and error cells ("#DIV/0!") are
                // texts already.
                table.setShared(row, col, std::move(value));
            }
        }
    }
    if (xml.hasError() || !file->finish())
        failCorrupt(pkg.path());
}

SheetTable readXlsx(const QString& path, const QString& sheetName)
{
    XlsxPackage pkg(path);
    const WorkbookInfo book = xlsxWorkbook(pkg);
    QString part;
    for (const SheetEntry& s : book.sheets)
        if (part.isEmpty() && s.name.compare(sheetName, Qt::CaseInsensitive) == 0) {
            if (s.relId.isEmpty())
                failCorrupt(pkg.path());
            part = workbookTarget(pkg, s.relId);
        }
    if (part.isEmpty())
        failMissingSheet(sheetName);
    TableBuilder table(path, memoryBudget(QFileInfo(path).size()));
    const QList<DateKind> styles = xlsxStyleDates(pkg);
    const QStringList shared = xlsxSharedStrings(pkg, table);
    readXlsxWorksheet(pkg, part, shared, styles, book.dates1904, table);
    return table.finish();
}

QStringList xlsxSheetNames(const QString& path)
{
    XlsxPackage pkg(path);
    QStringList names;
    for (const SheetEntry& s : xlsxSheets(pkg))
        names.append(s.name);
    return names;
}

// ---------------------------------------------------------------- .xls

// The .xls side runs our own reader of the compound file and its BIFF records
// (xls_reader.h). The parent never calls it: it starts a child process that does
// (runXlsReaderChild) and reads back the child's answer.
[[noreturn]] void failEncrypted(const QString& path)
{
    throw Error(
        QStringLiteral(
            "فايل اكسل «%1» با گذرواژه محافظت شده است؛ گذرواژه را در برنامه صفحه‌گسترده "
            "برداريد، فايل را دوباره ذخيره کنيد و سپس آن را بخوانيد.")
            .arg(shown(path)));
}

[[noreturn]] void failXls(const QString& path, const xls::Failure& f)
{
    switch (f.reason) {
    case xls::Failure::Encrypted:
        failEncrypted(path);
    case xls::Failure::TooBig:
        failTooBig(path);
    case xls::Failure::Corrupt:
        break;
    }
    failCorrupt(path);
}

class XlsBook {
public:
    explicit XlsBook(const QString& path) : m_path(path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("فايل «%1» باز نشد").arg(shown(path)));
        m_size = f.size();
        try {
            m_book.emplace(f.readAll(), memoryBudget(m_size));
        } catch (const xls::Failure& e) {
            failXls(path, e);
        }
    }

    QStringList names() const { return m_book->sheetNames(); }

    SheetTable read(const QString& sheetName) const
    {
        const QStringList all = names();
        qsizetype index = -1;
        for (qsizetype i = 0; i < all.size() && index < 0; ++i)
            if (all[i].compare(sheetName, Qt::CaseInsensitive) == 0)
                index = i;
        if (index < 0)
            failMissingSheet(sheetName);
        QList<DateKind> kinds;
        for (const xls::NumberFormat& f : m_book->formats())
            kinds.append(f.hasCode ? customDateKind(f.code) : builtinDateKind(f.builtinId));
        const bool dates1904 = m_book->dates1904();
        TableBuilder table(m_path, memoryBudget(m_size));
        try {
            m_book->readSheet(index, [&](xls::Cell&& c) {
                if (!c.isNumber) {
                    table.setShared(c.row, c.col, std::move(c.text));
                    return;
                }
                // A number, or a date stored as its serial under a date format.
                const DateKind kind = c.format < quint32(kinds.size()) ? kinds[c.format] : DateKind::None;
                const auto date = kind == DateKind::None ? std::nullopt : serialText(c.number, kind, dates1904);
                table.setShared(c.row, c.col, date ? *date : numberText(c.number));
            });
        } catch (const xls::Failure& e) {
            failXls(m_path, e);
        }
        return table.finish();
    }

private:
    QString m_path;
    qint64 m_size = 0;
    std::optional<xls::Workbook> m_book;
};

// ---------------------------------------------------------------- .xls child process

QString g_xlsProgram;
XlsChildLimits g_xlsLimits;

constexpr quint32 kChildMagic = 0x54585331; // "TXS1"

// The child's answer on stdout: the magic number, then kChildTable and the result, or
// kChildRefused and the Persian message (stderr may hold the library's own complaints).
constexpr quint8 kChildTable = 0;
constexpr quint8 kChildRefused = 1;

QString xlsProgram()
{
    if (!g_xlsProgram.isEmpty())
        return g_xlsProgram;
    const QString fromEnv = qEnvironmentVariable("TARVEST_ADMIN");
    if (!fromEnv.isEmpty())
        return fromEnv;
    if (QCoreApplication::instance()) {
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tarvest-admin"));
        if (QFileInfo(beside).isExecutable())
            return beside;
    }
    return QStandardPaths::findExecutable(QStringLiteral("tarvest-admin"));
}

qint64 childMemory(qint64 fileSize)
{
    return g_xlsLimits.memoryBytes > 0 ? g_xlsLimits.memoryBytes : (qint64(1) << 30) + 64 * fileSize;
}

// Runs the child on `path` and returns what it wrote on stdout after the magic number.
QByteArray runXlsChild(const QString& path, const QStringList& request)
{
    const QString program = xlsProgram();
    if (program.isEmpty())
        throw Error(
            QStringLiteral("خطا! برنامه خواندن فايل‌هاي xls (tarvest-admin) پيدا نشد."));
    const qint64 size = QFileInfo(path).size();
    QProcess child;
    child.setProgram(program);
    child.setArguments(QStringList{QStringLiteral("read-xls"), QStringLiteral("--memory"),
                                   QString::number(childMemory(size)), QStringLiteral("--seconds"),
                                   QString::number(g_xlsLimits.seconds)}
                       + request);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.setStandardErrorFile(QProcess::nullDevice()); // never read, so it must never fill up
    child.start(QIODevice::ReadOnly);
    if (!child.waitForStarted(10000))
        throw Error(QStringLiteral("خطا! برنامه خواندن فايل‌هاي xls اجرا نشد: %1")
                        .arg(child.errorString()));
    // The answer is held to the same budget as a table read in this process.
    const qint64 limit = 2 * memoryBudget(size);
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    const qint64 deadline = qint64(g_xlsLimits.seconds) * 1000;
    while (child.state() != QProcess::NotRunning) {
        const qint64 left = deadline - clock.elapsed();
        if (left <= 0) {
            child.kill();
            child.waitForFinished(5000);
            throw Error(QStringLiteral("خطا! خواندن فايل اكسل «%1» بيش از %2 ثانيه طول کشيد و متوقف شد.")
                            .arg(shown(path))
                            .arg(g_xlsLimits.seconds));
        }
        if (!child.waitForReadyRead(int(std::min<qint64>(left, 200))))
            child.waitForFinished(int(std::min<qint64>(left, 200))); // output closed: wait for the end
        out += child.readAllStandardOutput();
        if (out.size() > limit) {
            child.kill();
            child.waitForFinished(5000);
            failTooBig(path);
        }
    }
    out += child.readAllStandardOutput();
    QDataStream in(out);
    quint32 magic = 0;
    quint8 status = 0;
    in >> magic >> status;
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || magic != kChildMagic
        || in.status() != QDataStream::Ok)
        throw Error(QStringLiteral("خطا! فايل اكسل «%1» خراب است و خواندن آن متوقف شد.").arg(shown(path)));
    if (status == kChildRefused) {
        QString message;
        in >> message;
        throw Error(message.isEmpty() ? QStringLiteral("خطا! فايل اكسل «%1» خوانده نشد.").arg(shown(path)) : message);
    }
    return out.mid(int(sizeof magic + sizeof status));
}

SheetTable readXlsInChild(const QString& path, const QString& sheetName)
{
    const QByteArray answer = runXlsChild(path, {path, sheetName});
    QDataStream in(answer);
    SheetTable t;
    in >> t.columns >> t.rows;
    if (in.status() != QDataStream::Ok)
        failCorrupt(path);
    return t;
}

QStringList xlsNamesInChild(const QString& path)
{
    const QByteArray answer = runXlsChild(path, {QStringLiteral("--names"), path});
    QDataStream in(answer);
    QStringList names;
    in >> names;
    if (in.status() != QDataStream::Ok)
        failCorrupt(path);
    return names;
}

} // namespace

void setXlsReaderProgram(const QString& program)
{
    g_xlsProgram = program;
}

SheetTable readXlsHere(const QString& path, const QString& sheetName)
{
    if (detectKind(path) != FileKind::Xls)
        failCorrupt(path);
    return XlsBook(path).read(sheetName);
}

void setXlsChildLimits(const XlsChildLimits& limits)
{
    g_xlsLimits = limits;
}

int runXlsReaderChild(const QStringList& argsIn)
{
    QStringList args = argsIn;
    qint64 memory = 0;
    int seconds = 0;
    bool namesOnly = false;
    while (!args.isEmpty() && args.front().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--names"))
            namesOnly = true;
        else if (opt == QLatin1String("--memory") && !args.isEmpty())
            memory = args.takeFirst().toLongLong();
        else if (opt == QLatin1String("--seconds") && !args.isEmpty())
            seconds = args.takeFirst().toInt();
        else
            return 2;
    }
    if (args.isEmpty() || (!namesOnly && args.size() < 2))
        return 2;
#if !defined(__SANITIZE_ADDRESS__) && !defined(TARVEST_NO_RLIMIT_AS)
    // The limits the parent asked for: a bomb inside the library meets them and ends here.
    if (memory > 0) {
        const rlimit as{rlim_t(memory), rlim_t(memory)};
        setrlimit(RLIMIT_AS, &as);
    }
#else
    (void)memory; // an address-sanitized build reserves more address space than any such limit allows
#endif
    if (seconds > 0) {
        const rlimit cpu{rlim_t(seconds), rlim_t(seconds) + 1};
        setrlimit(RLIMIT_CPU, &cpu);
    }
    // Test-only switch: lets the tests see what a crash or a hang inside the library does.
    const QByteArray test = qgetenv("TARVEST_TEST_XLS_CHILD");
    if (test == "crash")
        std::raise(SIGSEGV);
    if (test == "hang")
        for (;;)
            ::pause();

    QByteArray answer;
    auto refuse = [&](const QString& message) {
        answer.clear();
        QDataStream out(&answer, QIODevice::WriteOnly);
        out << kChildMagic << kChildRefused << message;
    };
    try {
        QDataStream out(&answer, QIODevice::WriteOnly);
        out << kChildMagic << kChildTable;
        if (namesOnly)
            out << XlsBook(args[0]).names();
        else {
            const SheetTable t = XlsBook(args[0]).read(args[1]);
            out << t.columns << t.rows;
        }
    } catch (const Error& e) {
        refuse(e.message());
    } catch (const std::bad_alloc&) {
        refuse(
            QStringLiteral(
                "خطا! فايل اكسل «%1» بيش از اندازه حافظه مي‌خواهد و خوانده نشد.")
                .arg(shown(args[0])));
    }
    for (qsizetype done = 0; done < answer.size();) {
        const ssize_t n = ::write(STDOUT_FILENO, answer.constData() + done, size_t(answer.size() - done));
        if (n <= 0)
            return 3;
        done += n;
    }
    return 0;
}

SheetTable readSheet(const QString& path, const QString& sheetName)
{
    switch (detectKind(path)) {
    case FileKind::Xlsx:
        return readXlsx(path, sheetName);
    case FileKind::Xls:
        return readXlsInChild(path, sheetName);
    }
    failCorrupt(path);
}

QStringList sheetNames(const QString& path)
{
    switch (detectKind(path)) {
    case FileKind::Xlsx:
        return xlsxSheetNames(path);
    case FileKind::Xls:
        return xlsNamesInChild(path);
    }
    failCorrupt(path);
}

} // namespace tarvest
