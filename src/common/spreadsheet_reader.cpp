// Import of a worksheet as a table of texts, from .xlsx (a zip of XML parts, read with
// minizip and QXmlStreamReader) or from legacy .xls (an OLE2 compound file, read with FreeXL).
//
// The table follows the conventions of the old spreadsheet driver the screens were built
// on: the first row names the columns, an unnamed column is called "F" + its number, the
// width is that of the widest row, and empty rows at the end are not part of the table.
#include "common/errors.h"
#include "common/spreadsheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QXmlStreamReader>

#include <unzip.h>

#include <freexl.h>

#include <optional>

namespace tarvest {

namespace {

enum class FileKind { Xlsx, Xls };

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

[[noreturn]] void failCorrupt(const QString& path)
{
    throw Error(QStringLiteral("فايل اكسل «%1» خراب است يا قابل خواندن نيست").arg(shown(path)));
}

[[noreturn]] void failMissingSheet(const QString& sheet)
{
    throw Error(QStringLiteral("شيت «%1» در فايل يافت نشد").arg(sheet));
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
    if (head == QByteArray::fromHex("D0CF11E0A1B11AE1"))
        return FileKind::Xls;
    throw Error(QStringLiteral("فايل «%1» فايل اكسل (xlsx يا xls) نيست").arg(shown(path)));
}

// The table as it is filled: rows by index, each as wide as its last non-empty cell.
class TableBuilder {
public:
    void set(qsizetype row, qsizetype col, QString text)
    {
        if (text.isEmpty())
            return;
        if (row >= m_rows.size())
            m_rows.resize(row + 1);
        QStringList& r = m_rows[row];
        if (col >= r.size())
            r.resize(col + 1);
        r[col] = std::move(text);
        if (col + 1 > m_width)
            m_width = col + 1;
    }
    void reserveRows(qsizetype n) { m_rows.reserve(n); }

    // Returns a copy of `text` sharing the storage of an equal text met before. Lists repeat
    // the same county, village and type names over and over, and a shared text costs a
    // fraction of its own copy. The pool stops growing once it is large, so a column of
    // unique values does not also fill it.
    QString shared(QString text)
    {
        if (text.isEmpty() || text.size() > 64)
            return text;
        const auto it = m_pool.constFind(text);
        if (it != m_pool.cend())
            return *it;
        if (m_pool.size() < kPoolLimit)
            m_pool.insert(text);
        return text;
    }

    SheetTable finish()
    {
        SheetTable t;
        if (m_rows.isEmpty())
            return t;
        QStringList header = m_rows.takeFirst();
        header.resize(m_width);
        for (qsizetype c = 0; c < m_width; ++c)
            if (header[c].isEmpty())
                header[c] = QStringLiteral("F%1").arg(c + 1);
        t.columns = std::move(header);
        // Only non-empty cells create rows, so the table already ends at its last row with a
        // value: blank formatted cells after it (borders, fonts) leave no empty rows behind.
        for (QStringList& r : m_rows)
            r.resize(m_width);
        t.rows = std::move(m_rows);
        return t;
    }

private:
    static constexpr qsizetype kPoolLimit = 1 << 16;
    QList<QStringList> m_rows;
    QSet<QString> m_pool;
    qsizetype m_width = 0;
};

// ---------------------------------------------------------------- .xlsx

// One part of the package being unzipped, read as a stream so that a large worksheet
// never sits in memory whole. Only one part of a package is open at a time.
class ZipPartDevice : public QIODevice {
public:
    explicit ZipPartDevice(unzFile zip) : m_zip(zip) {}
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
        if (n < 0)
            m_failed = true;
        return n < 0 ? -1 : n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    unzFile m_zip;
    bool m_failed = false;
    bool m_closed = false;
};

class XlsxPackage {
public:
    explicit XlsxPackage(const QString& path) : m_path(path)
    {
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
    bool has(const QString& part)
    {
        return unzLocateFile(m_zip, part.toUtf8().constData(), 2) == UNZ_OK;
    }

    // Opens a part for streaming; the package must stay alive while it is read.
    std::unique_ptr<ZipPartDevice> open(const QString& part)
    {
        if (!has(part) || unzOpenCurrentFile(m_zip) != UNZ_OK)
            failCorrupt(m_path);
        auto file = std::make_unique<ZipPartDevice>(m_zip);
        file->open(QIODevice::ReadOnly);
        return file;
    }

    const QString& path() const { return m_path; }

private:
    QString m_path;
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

QList<SheetEntry> xlsxSheets(XlsxPackage& pkg)
{
    QList<SheetEntry> sheets;
    auto file = pkg.open(QStringLiteral("xl/workbook.xml"));
    QXmlStreamReader xml(file.get());
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"sheet")
            sheets.append({xml.attributes().value(QLatin1String("name")).toString(), relationId(xml.attributes())});
    }
    if (xml.hasError())
        failCorrupt(pkg.path());
    return sheets;
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
QString richText(QXmlStreamReader& xml)
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

QStringList xlsxSharedStrings(XlsxPackage& pkg)
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
                strings.reserve(std::min(unique, 1 << 22));
        } else if (xml.name() == u"si") {
            strings.append(richText(xml));
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
        if (col > 16384)
            return std::nullopt;
    }
    if (i == 0)
        return std::nullopt;
    return col - 1;
}

void readXlsxWorksheet(XlsxPackage& pkg, const QString& part, const QStringList& shared,
                       TableBuilder& table)
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
            col = -1;
        } else if (name == u"c") {
            if (row < 0)
                row = 0;
            const QXmlStreamAttributes attrs = xml.attributes();
            const QStringView ref = attrs.value(QLatin1String("r"));
            const auto refCol = ref.isEmpty() ? std::nullopt : columnOf(ref);
            col = refCol ? *refCol : col + 1;
            const QStringView type = attrs.value(QLatin1String("t"));
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
                    value = richText(xml);
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
                table.set(row, col, shared.at(idx));
            } else {
                // Numbers keep their stored text; booleans are "1"/"0"; "str", "inlineStr"
                // and error cells ("#DIV/0!") are texts already.
                table.set(row, col, table.shared(std::move(value)));
            }
        }
    }
    if (xml.hasError() || !file->finish())
        failCorrupt(pkg.path());
}

QString findSheetPart(XlsxPackage& pkg, const QString& sheetName)
{
    for (const SheetEntry& s : xlsxSheets(pkg))
        if (s.name.compare(sheetName, Qt::CaseInsensitive) == 0) {
            if (s.relId.isEmpty())
                failCorrupt(pkg.path());
            return workbookTarget(pkg, s.relId);
        }
    failMissingSheet(sheetName);
}

SheetTable readXlsx(const QString& path, const QString& sheetName)
{
    XlsxPackage pkg(path);
    const QString part = findSheetPart(pkg, sheetName);
    const QStringList shared = xlsxSharedStrings(pkg);
    TableBuilder table;
    readXlsxWorksheet(pkg, part, shared, table);
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

class XlsHandle {
public:
    explicit XlsHandle(const QString& path) : m_path(path)
    {
        const int rc = freexl_open(QFile::encodeName(path).constData(), &m_handle);
        if (rc != FREEXL_OK) {
            if (m_handle)
                freexl_close(m_handle); // FreeXL wants its handle closed even after a failure
            failCorrupt(path);
        }
    }
    ~XlsHandle()
    {
        if (m_handle)
            freexl_close(m_handle);
    }
    XlsHandle(const XlsHandle&) = delete;
    XlsHandle& operator=(const XlsHandle&) = delete;

    QStringList names() const
    {
        unsigned int count = 0;
        if (freexl_get_info(m_handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
            failCorrupt(m_path);
        QStringList result;
        for (unsigned int i = 0; i < count && i <= 0xFFFF; ++i) {
            const char* name = nullptr;
            if (freexl_get_worksheet_name(m_handle, static_cast<unsigned short>(i), &name) != FREEXL_OK)
                failCorrupt(m_path);
            result.append(QString::fromUtf8(name ? name : ""));
        }
        return result;
    }

    SheetTable read(const QString& sheetName) const
    {
        const QStringList all = names();
        qsizetype index = -1;
        for (qsizetype i = 0; i < all.size() && index < 0; ++i)
            if (all[i].compare(sheetName, Qt::CaseInsensitive) == 0)
                index = i;
        if (index < 0)
            failMissingSheet(sheetName);
        if (freexl_select_active_worksheet(m_handle, static_cast<unsigned short>(index)) != FREEXL_OK)
            failCorrupt(m_path);
        unsigned int rows = 0;
        unsigned short cols = 0;
        if (freexl_worksheet_dimensions(m_handle, &rows, &cols) != FREEXL_OK)
            failCorrupt(m_path);
        TableBuilder table;
        table.reserveRows(rows);
        for (unsigned int r = 0; r < rows; ++r)
            for (unsigned short c = 0; c < cols; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(m_handle, r, c, &v) != FREEXL_OK)
                    failCorrupt(m_path);
                table.set(r, c, table.shared(cellText(v)));
            }
        return table.finish();
    }

private:
    static QString cellText(const FreeXL_CellValue& v)
    {
        switch (v.type) {
        case FREEXL_CELL_INT:
            return QString::number(v.value.int_value);
        case FREEXL_CELL_DOUBLE:
            return QString::number(v.value.double_value, 'g', QLocale::FloatingPointShortest);
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
            return v.value.text_value ? QString::fromUtf8(v.value.text_value) : QString();
        default:
            return {};
        }
    }

    QString m_path;
    const void* m_handle = nullptr;
};

} // namespace

SheetTable readSheet(const QString& path, const QString& sheetName)
{
    switch (detectKind(path)) {
    case FileKind::Xlsx:
        return readXlsx(path, sheetName);
    case FileKind::Xls:
        return XlsHandle(path).read(sheetName);
    }
    failCorrupt(path);
}

QStringList sheetNames(const QString& path)
{
    switch (detectKind(path)) {
    case FileKind::Xlsx:
        return xlsxSheetNames(path);
    case FileKind::Xls:
        return XlsHandle(path).names();
    }
    failCorrupt(path);
}

} // namespace tarvest
