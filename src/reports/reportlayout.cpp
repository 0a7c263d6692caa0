#include "reports/reportlayout.h"

#include "common/bidi.h"
#include "common/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageSize>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>

namespace tarvest::report {

namespace {

const QString kResourceFolder = QStringLiteral(":/layouts");

[[noreturn]] void fail(const QString& layout, const QString& what)
{
    throw Error(QStringLiteral("قالب چاپي «%1»: %2").arg(layout, what));
}

void checkKeys(const QJsonObject& o, const QSet<QString>& allowed, const QString& layout, const QString& where)
{
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!allowed.contains(it.key()))
            fail(layout, QStringLiteral("کليد ناشناخته «%1» در %2").arg(it.key(), where));
}

QColor parseColour(const QJsonValue& v, const QString& layout, const QString& where)
{
    const QString s = v.toString();
    if (s.isEmpty())
        return {};
    QColor c = QColor::fromString(s);
    if (!c.isValid())
        fail(layout, QStringLiteral("رنگ نادرست «%1» در %2").arg(s, where));
    return c;
}

Qt::Alignment parseAlignment(const QString& text, const QString& layout, const QString& where)
{
    Qt::Alignment h = Qt::AlignRight;
    Qt::Alignment v = Qt::AlignVCenter;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (word == QLatin1String("right"))
            h = Qt::AlignRight;
        else if (word == QLatin1String("left"))
            h = Qt::AlignLeft;
        else if (word == QLatin1String("center"))
            h = Qt::AlignHCenter;
        else if (word == QLatin1String("justify"))
            h = Qt::AlignJustify;
        else if (word == QLatin1String("top"))
            v = Qt::AlignTop;
        else if (word == QLatin1String("middle"))
            v = Qt::AlignVCenter;
        else if (word == QLatin1String("bottom"))
            v = Qt::AlignBottom;
        else
            fail(layout, QStringLiteral("ترازبندي نادرست «%1» در %2").arg(word, where));
    }
    return h | v;
}

template <typename T>
T parseChoice(const QJsonValue& v, const QHash<QString, T>& choices, T fallback, const QString& layout,
              const QString& where)
{
    if (v.isUndefined())
        return fallback;
    const auto it = choices.find(v.toString());
    if (it == choices.end())
        fail(layout, QStringLiteral("مقدار نادرست «%1» در %2").arg(v.toString(), where));
    return *it;
}

double number(const QJsonObject& o, const char* key, double fallback, const QString& layout, const QString& where)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return fallback;
    if (!v.isDouble())
        fail(layout, QStringLiteral("«%1» در %2 بايد عدد باشد").arg(QLatin1String(key), where));
    return v.toDouble();
}

// Finds a file named by a layout: the office folder, the layout's own folder, then
// the compiled-in layouts.
QString locate(const QString& file, const QString& layoutFolder)
{
    if (file.startsWith(QLatin1String(":/")) || QFileInfo(file).isAbsolute())
        return file;
    for (const QString& folder : {Layout::overrideFolder(), layoutFolder, kResourceFolder}) {
        if (folder.isEmpty())
            continue;
        const QString path = QDir(folder).filePath(file);
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

Element parseElement(const QJsonObject& o, const QString& layout, const QString& layoutFolder, int index)
{
    Element e;
    e.name = o.value(QLatin1String("name")).toString();
    const QString where = e.name.isEmpty() ? QStringLiteral("عنصر %1").arg(index + 1)
                                           : QStringLiteral("عنصر «%1»").arg(e.name);
    checkKeys(o, {"name",       "type",   "x",          "y",         "width",     "height", "z",      "text",
                  "expression", "value",  "font",       "size",      "bold",      "color",  "align",  "wrap",
                  "autoWidth",  "rtl",    "shape",      "lineWidth", "lineColor", "fill",   "source", "keepAspect",
                  "grow",       "values", "boldValues", "optional",  "minScale",  "format"},
              layout, where);
    e.type = parseChoice<ElementType>(o.value(QLatin1String("type")),
                                      {{"label", ElementType::Label},
                                       {"field", ElementType::Field},
                                       {"system", ElementType::System},
                                       {"shape", ElementType::Shape},
                                       {"picture", ElementType::Picture},
                                       {"paragraph", ElementType::Paragraph}},
                                      ElementType::Label, layout, where);
    e.rect = QRectF(number(o, "x", 0, layout, where), number(o, "y", 0, layout, where),
                    number(o, "width", 0, layout, where), number(o, "height", 0, layout, where));
    e.z = int(number(o, "z", 0, layout, where));
    e.text = o.value(QLatin1String("text")).toString();
    e.expression = o.value(QLatin1String("expression")).toString();
    if (e.type == ElementType::Field && e.expression.trimmed().isEmpty())
        fail(layout, QStringLiteral("%1 عبارت ندارد").arg(where));
    e.system = parseChoice<SystemValue>(
        o.value(QLatin1String("value")),
        {{"page", SystemValue::PageNumber}, {"pages", SystemValue::PageCount}, {"row", SystemValue::RowNumber}},
        SystemValue::PageNumber, layout, where);
    if (o.contains(QLatin1String("font")))
        e.fontFamily = o.value(QLatin1String("font")).toString();
    e.fontSize = number(o, "size", 10, layout, where);
    e.bold = o.value(QLatin1String("bold")).toBool(false);
    if (o.contains(QLatin1String("color")))
        e.color = parseColour(o.value(QLatin1String("color")), layout, where);
    if (o.contains(QLatin1String("align")))
        e.alignment = parseAlignment(o.value(QLatin1String("align")).toString(), layout, where);
    e.wordWrap = o.value(QLatin1String("wrap")).toBool(false);
    e.autoWidth = o.value(QLatin1String("autoWidth")).toBool(false);
    e.rightToLeft = o.value(QLatin1String("rtl")).toBool(true);
    e.grow = o.value(QLatin1String("grow")).toBool(true);
    e.minScale = number(o, "minScale", 0.8, layout, where);
    e.groupDigits = parseChoice<bool>(o.value(QLatin1String("format")), {{"amount", true}, {"text", false}}, false,
                                      layout, where);
    if (e.minScale <= 0 || e.minScale > 1)
        fail(layout, QStringLiteral("«minScale» در %1 بايد بيش از صفر و تا يک باشد").arg(where));
    e.boldValues = o.value(QLatin1String("boldValues")).toBool(true);
    const QJsonObject values = o.value(QLatin1String("values")).toObject();
    for (auto it = values.begin(); it != values.end(); ++it)
        e.values.insert(it.key(), it.value().toString());
    if (e.type == ElementType::Paragraph) {
        // A paragraph is wrapped and justified unless the file says otherwise.
        if (!o.contains(QLatin1String("wrap")))
            e.wordWrap = true;
        if (!o.contains(QLatin1String("align")))
            e.alignment = Qt::AlignJustify | Qt::AlignTop;
    }
    e.shape = parseChoice<ShapeKind>(
        o.value(QLatin1String("shape")),
        {{"rectangle", ShapeKind::Rectangle}, {"circle", ShapeKind::Circle}, {"line", ShapeKind::HorizontalLine}},
        ShapeKind::Rectangle, layout, where);
    e.lineWidth = number(o, "lineWidth", 0.3, layout, where);
    if (o.contains(QLatin1String("lineColor")))
        e.lineColor = parseColour(o.value(QLatin1String("lineColor")), layout, where);
    e.fill = parseColour(o.value(QLatin1String("fill")), layout, where);
    e.keepAspect = o.value(QLatin1String("keepAspect")).toBool(true);
    e.source = o.value(QLatin1String("source")).toString();
    if (e.type == ElementType::Picture && !e.source.isEmpty()) {
        const QString path = locate(e.source, layoutFolder);
        const bool optional = o.value(QLatin1String("optional")).toBool(false);
        if (path.isEmpty() && optional)
            return e; // the office has not put that picture: the place stays empty
        if (path.isEmpty() || !e.image.load(path))
            fail(layout, QStringLiteral("تصوير «%1» خوانده نشد").arg(e.source));
    }
    return e;
}

} // namespace

QString Layout::overrideFolder()
{
    const QString env = qEnvironmentVariable("TARVEST_LAYOUTS");
    if (!env.isEmpty())
        return env;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("vartalis/Tarvest/layouts"));
}

Layout Layout::load(const QString& name)
{
    QString file = name;
    if (!file.endsWith(QLatin1String(".json")))
        file += QLatin1String(".json");
    const QString office = QDir(overrideFolder()).filePath(file);
    const QString builtIn = kResourceFolder + QLatin1Char('/') + file;
    if (QFileInfo::exists(office)) {
        if (!QFileInfo::exists(builtIn))
            return fromFile(office);
        // A broken office copy must not stop the form from printing: the built-in copy
        // prints, and the problem names the office file so it can be mended.
        try {
            return fromFile(office);
        } catch (const Error& e) {
            Layout layout = fromFile(builtIn);
            layout.m_loadProblem = QStringLiteral("قالب «%1» خوانده نشد و قالب اصلي برنامه چاپ مي شود.\n%2")
                                       .arg(QDir::toNativeSeparators(office), e.message());
            return layout;
        }
    }
    if (QFileInfo::exists(builtIn))
        return fromFile(builtIn);
    fail(QFileInfo(file).completeBaseName(), QStringLiteral("فايل قالب پيدا نشد"));
}

Layout Layout::fromFile(const QString& path)
{
    QFile f(path);
    const QString name = QFileInfo(path).completeBaseName();
    if (!f.open(QIODevice::ReadOnly))
        fail(name, QStringLiteral("فايل «%1» خوانده نشد").arg(path));
    Layout layout = fromJson(f.readAll(), name);
    if (!path.startsWith(QLatin1String(":/"))) {
        // Pictures next to an office's own layout file are found even when the layout
        // was read from elsewhere than the office folder.
        layout.m_folder = QFileInfo(path).absolutePath();
    }
    return layout;
}

Layout Layout::fromJson(const QByteArray& json, const QString& name)
{
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        fail(name, QStringLiteral("متن قالب نادرست است (%1، نويسه %2)").arg(err.errorString()).arg(err.offset));
    const QJsonObject root = doc.object();
    checkKeys(root, {"page", "bound", "bands", "cellMargin", "textGap"}, name, QStringLiteral("قالب"));

    Layout layout;
    layout.m_name = name;
    const QJsonObject page = root.value(QLatin1String("page")).toObject();
    checkKeys(page, {"paper", "orientation", "margins"}, name, QStringLiteral("صفحه"));
    layout.m_paper = parseChoice<Paper>(page.value(QLatin1String("paper")),
                                        {{"A4", Paper::A4}, {"A5", Paper::A5}, {"Letter", Paper::Letter}}, Paper::A4,
                                        name, QStringLiteral("صفحه"));
    layout.m_orientation = parseChoice<QPageLayout::Orientation>(
        page.value(QLatin1String("orientation")),
        {{"portrait", QPageLayout::Portrait}, {"landscape", QPageLayout::Landscape}}, QPageLayout::Portrait, name,
        QStringLiteral("صفحه"));
    const QJsonValue margins = page.value(QLatin1String("margins"));
    if (margins.isDouble()) {
        const double m = margins.toDouble();
        layout.m_margins = QMarginsF(m, m, m, m);
    } else if (margins.isArray()) {
        const QJsonArray a = margins.toArray();
        if (a.size() != 4)
            fail(name, QStringLiteral("حاشيه ها بايد چهار عدد باشند"));
        layout.m_margins = QMarginsF(a[0].toDouble(), a[1].toDouble(), a[2].toDouble(), a[3].toDouble());
    } else if (!margins.isUndefined()) {
        fail(name, QStringLiteral("حاشيه ها نادرست است"));
    }
    layout.m_bound = root.value(QLatin1String("bound")).toBool(false);
    layout.m_cellMargin = number(root, "cellMargin", 1.0, name, QStringLiteral("قالب"));
    layout.m_textGap = number(root, "textGap", 0.4, name, QStringLiteral("قالب"));

    QSet<QString> names;
    QSet<BandKind> kinds;
    const QJsonArray bands = root.value(QLatin1String("bands")).toArray();
    for (const QJsonValue& bv : bands) {
        const QJsonObject bo = bv.toObject();
        const QString where = QStringLiteral("بند «%1»").arg(bo.value(QLatin1String("kind")).toString());
        checkKeys(bo, {"kind", "height", "frame", "frameWidth", "frameWidthPx", "elements", "blocks"}, name, where);
        Band band;
        band.kind = parseChoice<BandKind>(bo.value(QLatin1String("kind")),
                                          {{"pageHeader", BandKind::PageHeader},
                                           {"columnHeader", BandKind::ColumnHeader},
                                           {"detail", BandKind::Detail},
                                           {"summary", BandKind::Summary}},
                                          BandKind::Detail, name, where);
        if (kinds.contains(band.kind))
            fail(name, QStringLiteral("%1 دو بار آمده است").arg(where));
        kinds.insert(band.kind);
        band.height = number(bo, "height", 0, name, where);
        band.frame = bo.value(QLatin1String("frame")).toBool(false);
        band.frameWidth = number(bo, "frameWidth", 0.5, name, where);
        if (bo.contains(QLatin1String("frameWidthPx")))
            band.frameWidth = number(bo, "frameWidthPx", 2, name, where) * 25.4 / 96.0;
        const QJsonArray elements = bo.value(QLatin1String("elements")).toArray();
        for (int i = 0; i < elements.size(); ++i) {
            Element e = parseElement(elements[i].toObject(), name, layout.m_folder, i);
            if (!e.name.isEmpty()) {
                if (names.contains(e.name))
                    fail(name, QStringLiteral("نام «%1» دو بار آمده است").arg(e.name));
                names.insert(e.name);
            }
            band.elements.push_back(std::move(e));
        }
        auto inBand = [&](const QString& element) {
            return std::any_of(band.elements.begin(), band.elements.end(),
                               [&](const Element& e) { return e.name == element; });
        };
        for (const QJsonValue& kv : bo.value(QLatin1String("blocks")).toArray()) {
            const QJsonObject ko = kv.toObject();
            Block block;
            block.name = ko.value(QLatin1String("name")).toString();
            const QString at = QStringLiteral("دسته «%1» %2").arg(block.name, where);
            checkKeys(ko, {"name", "elements", "withPrevious"}, name, at);
            for (const QJsonValue& ev : ko.value(QLatin1String("elements")).toArray())
                block.elements.append(ev.toString());
            block.withPrevious = ko.value(QLatin1String("withPrevious")).toString();
            if (block.elements.isEmpty())
                fail(name, QStringLiteral("%1 عنصري ندارد").arg(at));
            for (const QString& element : block.elements + QStringList{block.withPrevious})
                if (!element.isEmpty() && !inBand(element))
                    fail(name, QStringLiteral("عنصر «%1» %2 در اين بند نيست").arg(element, at));
            band.blocks.push_back(std::move(block));
        }
        layout.m_bands.push_back(std::move(band));
    }
    return layout;
}

QPageLayout Layout::pageLayout() const
{
    QPageSize::PageSizeId id = QPageSize::A4;
    switch (m_paper) {
    case Paper::A4:
        id = QPageSize::A4;
        break;
    case Paper::A5:
        id = QPageSize::A5;
        break;
    case Paper::Letter:
        id = QPageSize::Letter;
        break;
    }
    QPageLayout pl(QPageSize(id), m_orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    pl.setMode(QPageLayout::FullPageMode);
    pl.setMargins(m_margins);
    pl.setMode(QPageLayout::StandardMode);
    return pl;
}

QSizeF Layout::printableSize() const
{
    return pageLayout().paintRect(QPageLayout::Millimeter).size();
}

Band* Layout::band(BandKind kind)
{
    for (Band& b : m_bands)
        if (b.kind == kind)
            return &b;
    return nullptr;
}

const Band* Layout::band(BandKind kind) const
{
    return const_cast<Layout*>(this)->band(kind);
}

bool Layout::hasElement(const QString& name) const
{
    for (const Band& b : m_bands)
        for (const Element& e : b.elements)
            if (e.name == name)
                return true;
    return false;
}

bool Layout::hasPlaceholder(const QString& name) const
{
    for (const Band& b : m_bands)
        for (const Element& e : b.elements)
            if (e.type == ElementType::Paragraph && e.placeholders().contains(name))
                return true;
    return false;
}

QStringList Element::placeholders() const
{
    static const QRegularExpression re(QStringLiteral(R"(\{=?([A-Za-z_][A-Za-z0-9_]*)\})"));
    QStringList names;
    if (type != ElementType::Paragraph)
        return names;
    for (auto it = re.globalMatch(text); it.hasNext();)
        names << it.next().captured(1);
    return names;
}

Band& Layout::bandOf(const QString& name)
{
    for (Band& b : m_bands)
        for (const Element& e : b.elements)
            if (e.name == name)
                return b;
    fail(m_name, QStringLiteral("عنصر «%1» در قالب نيست").arg(name));
}

Element& Layout::element(const QString& name)
{
    Band& b = bandOf(name);
    for (Element& e : b.elements)
        if (e.name == name)
            return e;
    fail(m_name, QStringLiteral("عنصر «%1» در قالب نيست").arg(name));
}

const Element& Layout::element(const QString& name) const
{
    return const_cast<Layout*>(this)->element(name);
}

namespace {
Element& ofType(Layout& layout, const QString& name, bool ok, const char* what)
{
    Element& e = layout.element(name);
    Q_UNUSED(e);
    if (!ok)
        fail(layout.name(), QStringLiteral("عنصر «%1» %2 نيست").arg(name, QString::fromUtf8(what)));
    return e;
}
} // namespace

void Layout::setText(const QString& name, const QString& text)
{
    if (!hasElement(name) && hasPlaceholder(name)) {
        for (Band& b : m_bands)
            for (Element& e : b.elements)
                if (e.type == ElementType::Paragraph && e.placeholders().contains(name))
                    e.values[name] = text;
        return;
    }
    Element& e = element(name);
    if (e.type == ElementType::Paragraph) {
        e.text = text;
        return;
    }
    ofType(*this, name, e.isText(), "متن");
    e.type = ElementType::Label;
    e.text = text;
}

QString Layout::text(const QString& name) const
{
    if (!hasElement(name) && hasPlaceholder(name)) {
        for (const Band& b : m_bands)
            for (const Element& e : b.elements)
                if (e.type == ElementType::Paragraph && e.placeholders().contains(name))
                    return e.values.value(name);
    }
    const Element& e = element(name);
    return e.type == ElementType::Field ? e.expression : e.text;
}

void Layout::setFontSize(const QString& name, double points)
{
    Element& e = element(name);
    ofType(*this, name, e.isText(), "متن");
    if (!(points > 0))
        fail(m_name, QStringLiteral("اندازه قلم %1 براي «%2» نادرست است").arg(points).arg(name));
    e.fontSize = points;
}

void Layout::setFill(const QString& name, const QColor& colour)
{
    Element& e = element(name);
    ofType(*this, name, e.type == ElementType::Shape, "شکل");
    e.fill = colour;
}

void Layout::setPicture(const QString& name, const QImage& image)
{
    Element& e = element(name);
    ofType(*this, name, e.type == ElementType::Picture, "تصوير");
    e.image = image;
}

void Layout::bringToFront(const QString& name)
{
    Band& b = bandOf(name);
    int top = 0;
    for (const Element& e : b.elements)
        if (e.name != name)
            top = std::max(top, e.z);
    element(name).z = top + 1;
}

void Layout::sendToBack(const QString& name)
{
    Band& b = bandOf(name);
    int bottom = 0;
    for (const Element& e : b.elements)
        if (e.name != name)
            bottom = std::min(bottom, e.z);
    element(name).z = bottom - 1;
}

QString fontEquivalent(const QString& family)
{
    static const QHash<QString, QString> equivalents = {
        {QStringLiteral("zar"), QStringLiteral("Nazli")},
        {QStringLiteral("lotus"), QStringLiteral("Nazli")},
        {QStringLiteral("titr"), QStringLiteral("Titr")},
        {QStringLiteral("irannastaliq"), QStringLiteral("Noto Nastaliq Urdu")},
        {QStringLiteral("times new roman"), QStringLiteral("DejaVu Serif")},
        {QStringLiteral("arial"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("nazli"), QStringLiteral("Nazli")},
        {QStringLiteral("noto naskh arabic ui"), QStringLiteral("Noto Naskh Arabic UI")},
        {QStringLiteral("noto naskh arabic"), QStringLiteral("Noto Naskh Arabic")},
        {QStringLiteral("noto nastaliq urdu"), QStringLiteral("Noto Nastaliq Urdu")},
        {QStringLiteral("dejavu serif"), QStringLiteral("DejaVu Serif")},
        {QStringLiteral("dejavu sans"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("dejavu sans mono"), QStringLiteral("DejaVu Sans Mono")},
    };
    // Names written with the Windows "B " prefix ("B Zar", "B Titr") mean the same family.
    QString key = family.trimmed().toLower();
    if (key.startsWith(QLatin1String("b ")))
        key = key.mid(2);
    return equivalents.value(key, QStringLiteral("Noto Naskh Arabic UI"));
}

namespace {
bool isRunCore(QChar c)
{
    return c.isDigit() || c.direction() == QChar::DirL || c.direction() == QChar::DirEN
           || c.direction() == QChar::DirAN;
}
bool isRunJoiner(QChar c)
{
    switch (c.unicode()) {
    case '/':
    case '.':
    case ':':
    case '-':
    case ',':
    case ' ':
    case '_':
    case '+':
    case '%':
    case 0x066B:
    case 0x066C: // Arabic decimal and thousands separators
        return true;
    default:
        return false;
    }
}
} // namespace

QString isolateRuns(const QString& text)
{
    if (!hasRightToLeftLetters(text))
        return isolateLeftToRight(text);
    QString out;
    out.reserve(text.size() + 8);
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (!isRunCore(text[i])) {
            out += text[i++];
            continue;
        }
        qsizetype end = i + 1; // one past the last core character of the run
        qsizetype j = i + 1;
        while (j < n && (isRunCore(text[j]) || isRunJoiner(text[j]))) {
            if (isRunCore(text[j]))
                end = j + 1;
            ++j;
        }
        out += QChar(0x2066);
        out += QStringView(text).mid(i, end - i);
        out += QChar(0x2069);
        i = end;
    }
    return out;
}

} // namespace tarvest::report
