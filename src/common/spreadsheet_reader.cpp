// Import of a worksheet as a table of texts, from .xlsx (a zip of XML parts, read with
// minizip and QXmlStreamReader) or from legacy .xls (an OLE2 compound file or a plain BIFF2-4
// stream, read by xls_reader.h).
//
// The table is read by position, as the imports count their columns: row 1 of the sheet
// names the columns (an unnamed column is called "F" + its number, as the old spreadsheet
// driver the screens were built on called it), cell A1 is column 0 whatever columns or
// rows are empty, and empty rows at the end are not part of the table.
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
#include "common/spreadsheet_cells.h"
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
#include <cstring>
#include <new>
#include <optional>

#include <sys/resource.h>
#include <unistd.h>

namespace tarvest {

// ---------------------------------------------------------------- cell texts

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

DateKind builtinDateKind(int id)
{
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return DateKind::Date;
    if (id == 22)
        return DateKind::DateTime;
    if (id == 46)
        return DateKind::Elapsed;
    if ((id >= 18 && id <= 21) || id == 45 || id == 47)
        return DateKind::Time;
    return DateKind::None;
}

DateKind customDateKind(QStringView code)
{
    bool date = false, time = false, month = false, elapsed = false;
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
            // [h], [mm], [ss]: elapsed time; [Red], [Magenta], [$-409], [<100]: no date.
            const QString inner = code.mid(i + 1, end - i - 1).toString().toLower();
            if (!inner.isEmpty() && QStringLiteral("hms").contains(inner.front())
                && inner.count(inner.front()) == inner.size())
                elapsed = true;
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
    if (date || (month && !time && !elapsed))
        return time || elapsed ? DateKind::DateTime : DateKind::Date;
    if (elapsed)
        return DateKind::Elapsed;
    return time ? DateKind::Time : DateKind::None;
}

namespace {

QString clockText(qint64 hours, qint64 minutes, qint64 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

// Serials of the years 1 to 9999 (counted from 1899-12-30), and the longest elapsed time
// shown (about 2.7 million years, far inside a 64-bit count of seconds).
constexpr double kFirstSerial = -693593;
constexpr double kLastSerial = 2958466;
constexpr double kLongestElapsed = 1e9;

} // namespace

std::optional<QString> serialText(double serial, DateKind kind, bool dates1904)
{
    if (!std::isfinite(serial) || kind == DateKind::None)
        return std::nullopt;
    if (kind == DateKind::Elapsed) {
        if (std::abs(serial) >= kLongestElapsed)
            return std::nullopt;
        const qint64 total = std::llround(serial * 86400.0);
        const qint64 s = total < 0 ? -total : total;
        return (total < 0 ? QStringLiteral("-") : QString()) + clockText(s / 3600, s / 60 % 60, s % 60);
    }
    if (serial < kFirstSerial - 1462 || serial >= kLastSerial)
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
    else if (days >= 0 && days < 60) // 1900 counts a 29 February that never was: serial 60
        date = QDate(1899, 12, 31).addDays(days);
    else // and LibreOffice counts the days before 1900 back from 1899-12-30
        date = QDate(1899, 12, 30).addDays(days);
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return std::nullopt;
    const QString d = date.toString(QStringLiteral("yyyy-MM-dd"));
    const QString t = clockText(seconds / 3600, seconds / 60 % 60, seconds % 60);
    switch (kind) {
    case DateKind::Date:
        return d;
    case DateKind::DateTime:
        return d + QLatin1Char(' ') + t;
    case DateKind::Time:
        return t;
    case DateKind::None:
    case DateKind::Elapsed:
        break;
    }
    return std::nullopt;
}

QString dateCellText(double serial, DateKind kind, bool dates1904)
{
    if (const auto text = serialText(serial, kind, dates1904))
        return *text;
    return QStringLiteral("########");
}

QString passwordProtectedMessage(const QString& path)
{
    return QStringLiteral("خطا! فايل اكسل «%1» با رمز عبور محافظت شده است و خوانده نشد. "
                          "آن را در برنامه اكسل باز کنيد، رمز را برداريد و دوباره ذخيره کنيد.")
        .arg(shownPath(path));
}

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

// An .xlsx saved with a password to open it is no zip but an OLE2 compound file holding
// the streams "EncryptionInfo" and "EncryptedPackage". The compound file's directory
// entries are 128 bytes each, in sectors on 128-byte boundaries: every such slot is looked
// at for a stream entry (type 2) of either name, the length field included, so that no text
// inside a cell can pass for one.
bool holdsEncryptedPackage(QFile& f)
{
    static const QByteArray names[] = {
        QByteArray(reinterpret_cast<const char*>(u"EncryptedPackage"), 2 * 17),
        QByteArray(reinterpret_cast<const char*>(u"EncryptionInfo"), 2 * 15),
    };
    constexpr qint64 kEntry = 128;
    constexpr qint64 kChunk = kEntry << 15; // 4 MiB
    if (!f.seek(512))
        return false;
    while (!f.atEnd()) {
        const QByteArray chunk = f.read(kChunk);
        for (qsizetype at = 0; at + kEntry <= chunk.size(); at += kEntry) {
            const char* e = chunk.constData() + at;
            const int nameBytes = quint8(e[64]) | (quint8(e[65]) << 8);
            if (e[66] != 2)
                continue;
            for (const QByteArray& name : names)
                if (nameBytes == name.size() && std::memcmp(e, name.constData(), size_t(name.size())) == 0)
                    return true;
        }
        if (chunk.size() < kChunk)
            break;
    }
    return false;
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
    if (head == QByteArray::fromHex("D0CF11E0A1B11AE1")) {
        if (holdsEncryptedPackage(f))
            throw Error(passwordProtectedMessage(path));
        return FileKind::Xls;
    }
    if (isPlainBiff(head))
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

    // Empties the cells a merged range covers, all but its first (top left) cell: the
    // sheet shows them empty. The work is held to the cells actually stored.
    void clearMerged(qsizetype top, qsizetype left, qsizetype bottom, qsizetype right)
    {
        if (top < 0 || left < 0 || bottom < top || right < left)
            return;
        for (qsizetype r = top; r <= bottom && r < m_rows.size(); ++r) {
            QStringList& row = m_rows[r];
            spendWork(1);
            for (qsizetype c = r == top ? left + 1 : left; c <= right && c < row.size(); ++c) {
                spendWork(1);
                row[c].clear();
            }
            while (!row.isEmpty() && row.back().isEmpty())
                row.removeLast();
        }
    }

    SheetTable finish()
    {
        SheetTable t;
        // Only non-empty cells create rows, so the table already ends at its last row with a
        // value: blank formatted cells after it (borders, fonts) leave no empty rows behind;
        // merged ranges may have emptied the last rows.
        while (!m_rows.isEmpty() && m_rows.back().isEmpty())
            m_rows.removeLast();
        if (m_rows.isEmpty())
            return t;
        qsizetype width = 0;
        for (const QStringList& r : m_rows)
            width = std::max(width, r.size());
        // By position: row 1 of the sheet is the heading, column A the first column.
        t.heading = m_rows.takeFirst();
        QStringList names = t.heading;
        names.resize(width);
        for (qsizetype c = 0; c < width; ++c)
            if (names[c].isEmpty())
                names[c] = QStringLiteral("F%1").arg(c + 1);
        t.columns = std::move(names);
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
    qint64 m_work = 0;

    // Steps taken on behalf of merged ranges: a file of millions of ranges over millions of
    // rows is stopped like any other bomb.
    void spendWork(qint64 steps)
    {
        m_work += steps;
        if (m_work > kMaxWork)
            failTooBig(m_path);
    }
    static constexpr qint64 kMaxWork = qint64(1) << 28;
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

// The namespaces of the workbook's own elements: transitional and Strict.
bool mainNamespace(QStringView uri)
{
    return uri == u"http://schemas.openxmlformats.org/spreadsheetml/2006/main"
           || uri == u"http://purl.oclc.org/ooxml/spreadsheetml/main";
}

struct Relationship {
    QString type;   // its last path segment: "officeDocument", "worksheet", "styles", ...
    QString target; // the part it names, as a part name of the package
};

// The part a relationship of `source` names: relative to the source's folder, or from the
// package root when it starts with "/". Some writers use "\" between folders.
QString resolvePart(const QString& source, QString target)
{
    target.replace(u'\\', u'/');
    QString part;
    if (target.startsWith(u'/'))
        part = target.mid(1);
    else {
        const qsizetype slash = source.lastIndexOf(u'/');
        part = (slash < 0 ? QString() : source.left(slash + 1)) + target;
    }
    part = QDir::cleanPath(part);
    while (part.startsWith(QLatin1String("../")))
        part = part.mid(3);
    if (part.startsWith(u'/'))
        part = part.mid(1);
    return part;
}

// The relationships of part `source` ("" for the package itself), by id, from its
// "_rels/<name>.rels" part; empty when there is none.
QHash<QString, Relationship> relationships(XlsxPackage& pkg, const QString& source)
{
    const qsizetype slash = source.lastIndexOf(u'/');
    const QString relsPart = source.left(slash + 1) + QStringLiteral("_rels/") + source.mid(slash + 1)
                             + QStringLiteral(".rels");
    QHash<QString, Relationship> rels;
    if (!pkg.has(relsPart))
        return rels;
    auto file = pkg.open(relsPart);
    QXmlStreamReader xml(file.get());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"Relationship")
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (a.value(QLatin1String("TargetMode")) == u"External")
            continue;
        if (rels.size() >= 0xFFFF)
            failCorrupt(pkg.path());
        const QStringView type = a.value(QLatin1String("Type"));
        rels.insert(a.value(QLatin1String("Id")).toString(),
                    {type.mid(type.lastIndexOf(u'/') + 1).toString(),
                     resolvePart(source, a.value(QLatin1String("Target")).toString())});
    }
    if (xml.hasError())
        failCorrupt(pkg.path());
    return rels;
}

// The part a relationship of the given type names, else `fallback` (the usual name, for
// packages written without relationships).
QString partOfType(const QHash<QString, Relationship>& rels, QStringView type, const QString& fallback)
{
    for (const Relationship& r : rels)
        if (r.type == type)
            return r.target;
    return fallback;
}

struct SheetEntry {
    QString name;
    QString relId;
};

struct WorkbookInfo {
    QString part; // "xl/workbook.xml" in most packages
    QHash<QString, Relationship> rels;
    QList<SheetEntry> sheets;
    bool dates1904 = false;
};

bool xmlTrue(QStringView v)
{
    return v == u"1" || v == u"true";
}

// The workbook part is the one the package's relationships name as the office document.
WorkbookInfo xlsxWorkbook(XlsxPackage& pkg)
{
    WorkbookInfo info;
    info.part = partOfType(relationships(pkg, QString()), u"officeDocument", QStringLiteral("xl/workbook.xml"));
    info.rels = relationships(pkg, info.part);
    auto file = pkg.open(info.part);
    QXmlStreamReader xml(file.get());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"sheet") {
            if (info.sheets.size() >= 0xFFFF)
                failCorrupt(pkg.path());
            info.sheets.append(
                {xml.attributes().value(QLatin1String("name")).toString(), relationId(xml.attributes())});
        } else if (xml.name() == u"workbookPr" && mainNamespace(xml.namespaceUri())) {
            // Only the workbook's own properties: Excel 2013 and later add an
            // <x15:workbookPr chartTrackingRefBase="1"/> that says nothing of dates.
            info.dates1904 = xmlTrue(xml.attributes().value(QLatin1String("date1904")));
        }
    }
    if (xml.hasError())
        failCorrupt(pkg.path());
    return info;
}

// The date kind of each cell style (by its index in <cellXfs>).
QList<DateKind> xlsxStyleDates(XlsxPackage& pkg, const QString& part)
{
    QList<DateKind> kinds;
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

bool isAsciiHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Texts escape characters XML cannot hold as "_xHHHH_" (a carriage return "_x000D_"), and
// an underscore that would start such a sequence as "_x005F_".
QString decodeEscapes(QString text)
{
    qsizetype at = text.indexOf(QLatin1String("_x"));
    if (at < 0)
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype done = 0;
    for (; at >= 0; at = text.indexOf(QLatin1String("_x"), at)) {
        bool ok = at + 7 <= text.size() && text[at + 6] == u'_';
        for (qsizetype i = at + 2; ok && i < at + 6; ++i)
            ok = isAsciiHexDigit(text[i].unicode());
        const char16_t code = ok ? char16_t(text.mid(at + 2, 4).toUShort(nullptr, 16)) : 0;
        // What no XML text may hold stays as written (control characters other than tab,
        // line feed and carriage return, halves of surrogate pairs, U+FFFE and U+FFFF): no
        // cell shows them, and a database refuses a NUL in a text.
        const bool shown = code == u'\t' || code == u'\n' || code == u'\r' || (code >= 0x20 && code < 0xD800)
                           || (code >= 0xE000 && code < 0xFFFE);
        if (!ok || !shown) {
            at += 2;
            continue;
        }
        out += QStringView(text).mid(done, at - done);
        out += QChar(code);
        at += 7;
        done = at;
    }
    out += QStringView(text).mid(done);
    return out;
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
    return decodeEscapes(std::move(text));
}

QStringList xlsxSharedStrings(XlsxPackage& pkg, const QString& part, TableBuilder& table)
{
    QStringList strings;
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

// Zero-based row of a cell reference such as "AB12"; nullopt without a row number.
std::optional<qsizetype> rowOf(QStringView ref)
{
    qsizetype i = 0;
    while (i < ref.size() && ref[i].isLetter())
        ++i;
    bool ok = false;
    const qint64 r = ref.mid(i).toLongLong(&ok);
    if (!ok || r < 1)
        return std::nullopt;
    return qsizetype(std::min<qint64>(r, kMaxRows + 1) - 1);
}

// A cell of type "d": an ISO 8601 date, time or both ("2024-03-05T10:00:00.5Z"), shown by
// the cell's number format as a serial would be (without one: the date, and its time when
// it has one).
QString isoDateText(const QString& value, DateKind kind)
{
    QString v = value.trimmed();
    if (v.endsWith(u'Z'))
        v.chop(1);
    QDate date;
    QTime time(0, 0);
    bool hasTime = false;
    if (const qsizetype t = v.indexOf(u'T'); t >= 0) {
        date = QDate::fromString(v.left(t), Qt::ISODate);
        time = QTime::fromString(v.mid(t + 1), Qt::ISODateWithMs);
        hasTime = true;
    } else if (v.contains(u':')) {
        date = QDate(1899, 12, 30);
        time = QTime::fromString(v, Qt::ISODateWithMs);
        if (kind == DateKind::None)
            kind = DateKind::Time;
    } else {
        date = QDate::fromString(v, Qt::ISODate);
    }
    if (!date.isValid() || !time.isValid())
        return value;
    if (kind == DateKind::None)
        kind = hasTime && time != QTime(0, 0) ? DateKind::DateTime : DateKind::Date;
    // As a serial of the 1900 date system counted from 1899-12-30 (the count LibreOffice
    // uses throughout), rounded to the second as every date cell is.
    qint64 days = QDate(1899, 12, 30).daysTo(date);
    qint64 seconds = (time.msecsSinceStartOfDay() + 500) / 1000;
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    const QDate shownDate = QDate(1899, 12, 30).addDays(days);
    const QString d = shownDate.toString(QStringLiteral("yyyy-MM-dd"));
    const QString t = clockText(seconds / 3600, seconds / 60 % 60, seconds % 60);
    switch (kind) {
    case DateKind::Date:
        return d;
    case DateKind::DateTime:
        return d + QLatin1Char(' ') + t;
    case DateKind::Time:
        return t;
    case DateKind::Elapsed:
        return dateCellText(double(days) + double(seconds) / 86400.0, kind, false);
    case DateKind::None:
        break;
    }
    return value;
}

struct XlsxBook {
    bool dates1904 = false;
    QList<DateKind> styles;
    QStringList shared;
};

// A merged range "B2:D4" as zero-based top, left, bottom, right.
struct CellRange {
    qsizetype top = 0, left = 0, bottom = 0, right = 0;
};
std::optional<CellRange> rangeOf(QStringView ref)
{
    const qsizetype colon = ref.indexOf(u':');
    const QStringView a = colon < 0 ? ref : ref.left(colon);
    const QStringView b = colon < 0 ? ref : ref.mid(colon + 1);
    const auto c1 = columnOf(a), c2 = columnOf(b);
    const auto r1 = rowOf(a), r2 = rowOf(b);
    if (!c1 || !c2 || !r1 || !r2)
        return std::nullopt;
    return CellRange{std::min(*r1, *r2), std::min(*c1, *c2), std::max(*r1, *r2), std::max(*c1, *c2)};
}

void readXlsxWorksheet(XlsxPackage& pkg, const QString& part, const XlsxBook& book, TableBuilder& table)
{
    auto file = pkg.open(part);
    QXmlStreamReader xml(file.get());
    qsizetype row = -1;
    qsizetype col = -1;
    bool inData = false;
    bool dataDone = false;
    QList<CellRange> merged;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == u"sheetData") {
            inData = false;
            dataDone = true;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (!inData) {
            if (dataDone) {
                // After the cells: the merged ranges, whose covered cells the sheet shows empty.
                if (name == u"mergeCell") {
                    if (const auto range = rangeOf(xml.attributes().value(QLatin1String("ref")))) {
                        table.spend(qint64(sizeof(CellRange)));
                        merged.append(*range);
                    }
                } else if (name != u"mergeCells") {
                    xml.skipCurrentElement();
                }
            } else if (name == u"dimension") {
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
            const QString type = attrs.value(QLatin1String("t")).toString();
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
            const DateKind kind = style >= 0 && style < book.styles.size() ? book.styles[style] : DateKind::None;
            if (type == u"s") {
                if (value.trimmed().isEmpty())
                    continue; // <v/>: an empty cell
                bool ok = false;
                const qsizetype idx = value.toLongLong(&ok);
                if (!ok || idx < 0 || idx >= book.shared.size())
                    failCorrupt(pkg.path());
                table.set(row, col, book.shared.at(idx), false);
            } else if (type.isEmpty() || type == u"n") {
                // A number, or a date stored as its serial under a date format.
                bool ok = false;
                const double v = value.toDouble(&ok);
                if (ok)
                    value = kind == DateKind::None ? numberText(v) : dateCellText(v, kind, book.dates1904);
                table.setShared(row, col, std::move(value));
            } else if (type == u"d") {
                table.setShared(row, col, isoDateText(value, kind));
            } else {
                // Booleans are "1"/"0"; "str", "inlineStr" and error cells ("#DIV/0!") are
                // texts already.
                table.setShared(row, col, std::move(value));
            }
        }
    }
    if (xml.hasError() || !file->finish())
        failCorrupt(pkg.path());
    for (const CellRange& m : merged)
        table.clearMerged(m.top, m.left, m.bottom, m.right);
}

SheetTable readXlsx(const QString& path, const QString& sheetName)
{
    XlsxPackage pkg(path);
    const WorkbookInfo info = xlsxWorkbook(pkg);
    QString part;
    for (const SheetEntry& s : info.sheets)
        if (part.isEmpty() && s.name.compare(sheetName, Qt::CaseInsensitive) == 0) {
            const auto rel = info.rels.constFind(s.relId);
            if (s.relId.isEmpty() || rel == info.rels.cend())
                failCorrupt(pkg.path());
            part = rel->target;
        }
    if (part.isEmpty())
        failMissingSheet(sheetName);
    TableBuilder table(path, memoryBudget(QFileInfo(path).size()));
    const QString folder = info.part.left(info.part.lastIndexOf(u'/') + 1);
    XlsxBook book;
    book.dates1904 = info.dates1904;
    book.styles = xlsxStyleDates(pkg, partOfType(info.rels, u"styles", folder + QStringLiteral("styles.xml")));
    book.shared = xlsxSharedStrings(
        pkg, partOfType(info.rels, u"sharedStrings", folder + QStringLiteral("sharedStrings.xml")), table);
    readXlsxWorksheet(pkg, part, book, table);
    return table.finish();
}

QStringList xlsxSheetNames(const QString& path)
{
    XlsxPackage pkg(path);
    QStringList names;
    for (const SheetEntry& s : xlsxWorkbook(pkg).sheets)
        names.append(s.name);
    return names;
}

// ---------------------------------------------------------------- .xls

// The .xls side runs our own reader of the compound file and its BIFF records
// (xls_reader.h). The parent never calls it: it starts a child process that does
// (runXlsReaderChild) and reads back the child's answer.
[[noreturn]] void failEncrypted(const QString& path)
{
    throw Error(passwordProtectedMessage(path));
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
    in >> t.columns >> t.rows >> t.heading;
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
            out << t.columns << t.rows << t.heading;
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
