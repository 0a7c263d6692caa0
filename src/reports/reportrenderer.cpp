#include "reports/reportrenderer.h"

#include "common/bidi.h"
#include "common/errors.h"
#include "common/safefile.h"
#include "db/resultset.h"

#include <QFile>
#include <QFileInfo>
#include <QGlyphRun>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>

namespace tarvest::report {

namespace {

// A field's expression, parsed: one column, or two joined by + or -.
struct Expression {
    QString left;
    QChar op;
    QString right;
};

Expression parseExpression(const Layout& layout, const Element& e)
{
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*(\[[^\]]+\]|[^\s+\-\[\]]+)\s*(?:([+-])\s*(\[[^\]]+\]|[^\s+\-\[\]]+))?\s*$)"));
    const auto m = re.match(e.expression);
    if (!m.hasMatch())
        throw Error(
            QStringLiteral("قالب چاپي «%1»: عبارت «%2» عنصر «%3» نادرست است").arg(layout.name(), e.expression, e.name));
    auto column = [](QString s) {
        s = s.trimmed();
        if (s.startsWith(QLatin1Char('[')))
            s = s.mid(1, s.size() - 2).trimmed();
        return s;
    };
    Expression x;
    x.left = column(m.captured(1));
    if (m.hasCaptured(2)) {
        x.op = m.captured(2).at(0);
        x.right = column(m.captured(3));
    }
    return x;
}

double numberAt(const ResultSet& data, int row, int column)
{
    QString text = data.valueAt(row, column).toString().trimmed();
    text.remove(QLatin1Char(','));
    text.remove(QChar(0x066C));
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : 0.0;
}

QString formatNumber(double v)
{
    if (std::abs(v) < 1e15 && v == std::floor(v))
        return QString::number(qint64(v));
    QString s = QString::number(v, 'f', 6);
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

int columnOf(const Layout& layout, const Element& e, const ResultSet& data, const QString& column)
{
    const int c = data.fieldIndex(column);
    if (c < 0)
        throw Error(
            QStringLiteral("قالب چاپي «%1»: ستون «%2» عنصر «%3» در داده ها نيست").arg(layout.name(), column, e.name));
    return c;
}

QString fieldValue(const Layout& layout, const Element& e, const ResultSet* data, int row)
{
    if (!data || data->fieldCount() == 0)
        return {};
    const Expression x = parseExpression(layout, e);
    const int a = columnOf(layout, e, *data, x.left);
    const int b = x.right.isEmpty() ? -1 : columnOf(layout, e, *data, x.right);
    if (row < 0 || row >= data->recordCount())
        return {};
    if (b < 0)
        return data->textAt(row, a);
    const double l = numberAt(*data, row, a);
    const double r = numberAt(*data, row, b);
    return formatNumber(x.op == QLatin1Char('+') ? l + r : l - r);
}

int currentRow(const ResultSet* data)
{
    return data ? data->recNo() - 1 : -1;
}

// Checks every field against the data before anything is printed, so a wrong column
// name never leaves half a document behind.
void checkFields(const Layout& layout, const ResultSet* data)
{
    if (!data || data->fieldCount() == 0)
        return;
    for (const Band& b : layout.bands())
        for (const Element& e : b.elements)
            if (e.type == ElementType::Field)
                fieldValue(layout, e, data, -1);
}

// A text ready for layout: the characters and the bold runs of a paragraph.
struct RichText {
    QString text;
    QList<QTextLayout::FormatRange> formats;
};

// The blanks a line must not break at: after the short words that lead a phrase
// ("مي باشد", "در خصوص", "به مساحت") and before a short word that ends a sentence
// ("... بلامانع است."). They become no-break spaces.
QString keepPhrasesTogether(const QString& text)
{
    static const QSet<QString> leading = {QStringLiteral("مي"), QStringLiteral("نمي"), QStringLiteral("در"),
                                          QStringLiteral("به"), QStringLiteral("از"),  QStringLiteral("با"),
                                          QStringLiteral("و"),  QStringLiteral("که"),  QStringLiteral("كه"),
                                          QStringLiteral("تا"), QStringLiteral("بر")};
    QString out = text;
    qsizetype wordStart = 0;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i] != QLatin1Char(' '))
            continue;
        const QStringView word = QStringView(out).mid(wordStart, i - wordStart);
        // The word after this blank.
        qsizetype next = i + 1;
        while (next < out.size() && out[next] != QLatin1Char(' ') && out[next] != QChar::LineSeparator)
            ++next;
        const QStringView after = QStringView(out).mid(i + 1, next - i - 1);
        const bool endsSentence = after.size() <= 5
                                  && (after.endsWith(QLatin1Char('.')) || after.endsWith(QChar(0x060C)));
        if (leading.contains(word.toString()) || endsSentence)
            out[i] = QChar::Nbsp;
        wordStart = i + 1;
    }
    return out;
}

// Text in a right-to-left paragraph gets its runs of digits and Latin letters
// isolated; a text with no right-to-left letter at all is laid out left to right
// instead (same look, no isolation marks, which some faces lack).
QString prepared(const Element& e, const QString& raw)
{
    QString text = (e.rightToLeft && hasRightToLeftLetters(raw)) ? isolateRuns(keepPhrasesTogether(raw)) : raw;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return text;
}

bool layoutRightToLeft(const Element& e, const QString& raw)
{
    return e.rightToLeft && (hasRightToLeftLetters(raw) || raw.isEmpty());
}

// A paragraph's wording with its values put in: each part isolated by itself, so a
// value's digits never join the wording's.
RichText paragraphText(const Element& e, const ResultSet* data, int row)
{
    static const QRegularExpression re(QStringLiteral(R"(\{(=?)([A-Za-z_][A-Za-z0-9_]*)\})"));
    RichText out;
    auto add = [&](const QString& part, bool bold) {
        if (part.isEmpty())
            return;
        const QString text = isolateRuns(part);
        if (bold != e.bold) {
            QTextLayout::FormatRange r;
            r.start = int(out.text.size());
            r.length = int(text.size());
            r.format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
            out.formats.append(r);
        }
        out.text += text;
    };
    qsizetype at = 0;
    for (auto it = re.globalMatch(e.text); it.hasNext();) {
        const auto m = it.next();
        add(keepPhrasesTogether(e.text.mid(at, m.capturedStart() - at)), e.bold);
        const QString name = m.captured(2);
        QString value;
        if (e.values.contains(name)) {
            value = e.values.value(name);
        } else if (data && row >= 0 && row < data->recordCount()) {
            const int c = data->fieldIndex(name);
            if (c >= 0)
                value = data->textAt(row, c);
        }
        add(keepPhrasesTogether(value), m.captured(1).isEmpty() ? e.boldValues : e.bold);
        at = m.capturedEnd();
    }
    add(keepPhrasesTogether(e.text.mid(at)), e.bold);
    out.text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return out;
}

QFont fontOf(const Element& e, QPaintDevice* device)
{
    QFont font(fontEquivalent(e.fontFamily), -1, -1, false);
    font.setPointSizeF(e.fontSize);
    font.setBold(e.bold);
    return device ? QFont(font, device) : font;
}

// A text laid out in lines at a given width, in device pixels. Each line is as tall as
// its font's real ascent and descent, so tall faces (Nastaliq, Titr) are measured whole.
struct LaidText {
    std::unique_ptr<QTextLayout> layout;
    double height = 0;       // all lines
    double naturalWidth = 0; // widest line
    bool tooWide = false;    // a line (one word, or an unwrapped text) wider than the box
    double lineWidth = 0;
};

LaidText layText(const Element& e, const RichText& rich, bool rtl, double width, QPaintDevice* device)
{
    LaidText t;
    t.layout = std::make_unique<QTextLayout>(rich.text, fontOf(e, device), device);
    // Right and left mean the page's sides whatever the direction; justified lines take
    // no such flag (Qt justifies only when the horizontal alignment is justify alone).
    const bool justify = (e.alignment & Qt::AlignHorizontal_Mask) == Qt::AlignJustify;
    QTextOption option(justify ? e.alignment : e.alignment | Qt::AlignAbsolute);
    option.setTextDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    // Every text wraps at word boundaries (a word wider than the box anywhere) to keep
    // its box's width; an auto-width text
    // has the width of its longest line.
    option.setWrapMode(e.autoWidth ? QTextOption::ManualWrap : QTextOption::WrapAtWordBoundaryOrAnywhere);
    t.layout->setTextOption(option);
    t.layout->setFormats(rich.formats);
    auto lay = [&](double w) {
        t.height = 0;
        t.naturalWidth = 0;
        t.layout->beginLayout();
        for (QTextLine line = t.layout->createLine(); line.isValid(); line = t.layout->createLine()) {
            line.setLineWidth(w);
            line.setPosition(QPointF(0, t.height));
            t.height += line.ascent() + line.descent();
            t.naturalWidth = std::max(t.naturalWidth, line.naturalTextWidth());
        }
        t.layout->endLayout();
        t.lineWidth = w;
    };
    if (e.autoWidth) {
        lay(1e7);
        lay(std::ceil(t.naturalWidth + 1));
    } else {
        lay(width);
        t.tooWide = t.naturalWidth > width + 0.5;
    }
    return t;
}

// Room kept between a text's ink and its box's top and bottom edges (mm).
constexpr double kInkMargin = 0.3;

// One element of one printed band, where it finally stands (mm, from the band's top).
struct LaidElement {
    const Element* element = nullptr;
    QRectF rect;
    RichText text;
    bool rtl = true;
    double textHeight = 0; // mm
    double textWidth = 0;  // mm, widest line
    bool tooWide = false;
    bool tooTall = false;
    QRectF ink;                          // mm, what the glyphs cover, from the text's top-left corner
    QList<QRectF> lineInks;              // the same, line by line
    double textTop = 0;                  // mm from the box's top to the text's top
    std::shared_ptr<QTextLayout> layout; // kept from measuring for drawing, when asked
    double lineWidth = 0;                // px of `layout`'s lines
};

// A band printed for one row, after its boxes grew to hold their texts.
struct LaidBand {
    const Band* band;
    int row;
    int rowNumber;
    double height;
    std::vector<LaidElement> elements; // in drawing order
};

// A piece of a band on a page: [from, to) of the band, drawn at y of the page.
struct Piece {
    int band;
    double from;
    double to;
    double y;
};

struct Plan {
    std::vector<LaidBand> bands;
    std::vector<std::vector<Piece>> pages;
};

class Planner {
public:
    // `measureInk`: every text's glyph outlines are measured (for the fit report);
    // `keepLayouts`: the measured layouts are kept for drawing on a device of the same
    // resolution, so no text is laid out twice.
    Planner(const Layout& layout, const ResultSet* data, QPaintDevice* device, bool measureInk = false,
            bool keepLayouts = false)
        : m_layout(layout), m_data(data), m_device(device), m_pxPerMm(device->logicalDpiY() / 25.4),
          m_measureInk(measureInk), m_keepLayouts(keepLayouts)
    {
    }

    LaidBand layBand(const Band& band, int row, int rowNumber) const
    {
        LaidBand lb{&band, row, rowNumber, band.height, {}};
        const std::vector<const Element*>& order = drawingOrder(band);
        lb.elements.reserve(order.size());
        // Growth: each box that needs more height than it has adds that much below its
        // original bottom; every edge at or below that line moves down by it (boxes that
        // hold the grown one grow with it, elements under it move).
        std::vector<std::pair<double, double>> growth; // original bottom, extra height
        for (const Element* e : order) {
            LaidElement le;
            le.element = e;
            le.rect = e->rect;
            if (e->isText()) {
                QString raw;
                if (e->type == ElementType::Paragraph) {
                    le.text = paragraphText(*e, m_data, row);
                    le.rtl = e->rightToLeft;
                } else {
                    raw = textOfRaw(*e, row, rowNumber);
                    le.text = RichText{prepared(*e, raw), {}};
                    le.rtl = layoutRightToLeft(*e, raw);
                }
                if (!le.text.text.isEmpty()) {
                    LaidText t = layText(*e, le.text, le.rtl, e->rect.width() * m_pxPerMm, m_device);
                    le.textHeight = t.height / m_pxPerMm;
                    le.textWidth = t.naturalWidth / m_pxPerMm;
                    le.tooWide = t.tooWide;
                    le.lineWidth = t.lineWidth;
                    // The ink: what the glyphs really cover. Nastaliq's bowls reach below
                    // its font's descent, so the line box alone would cut them.
                    const bool tight = t.height / m_pxPerMm > e->rect.height() - 0.5;
                    if (tight || m_measureInk || isTallFace(*e)) {
                        for (const QRectF& line : inkOf(*t.layout)) {
                            const QRectF mm(line.x() / m_pxPerMm, line.y() / m_pxPerMm, line.width() / m_pxPerMm,
                                            line.height() / m_pxPerMm);
                            le.lineInks.append(mm);
                            le.ink |= mm;
                        }
                    } else {
                        le.ink = QRectF(0, 0, le.textWidth, le.textHeight);
                        le.lineInks = {le.ink};
                    }
                    if (m_keepLayouts && e->type != ElementType::System)
                        le.layout = std::shared_ptr<QTextLayout>(t.layout.release());
                    if (e->autoWidth) {
                        const double w = t.lineWidth / m_pxPerMm;
                        if (e->rightToLeft)
                            le.rect.setLeft(le.rect.right() - w);
                        else
                            le.rect.setWidth(w);
                    }
                    // A text needs the height of its ink when its line boxes do not fit.
                    const double needed = std::min(le.textHeight, le.ink.height() + 2 * kInkMargin);
                    const double extra = needed - e->rect.height();
                    if (extra > 0.01) {
                        if (e->grow)
                            growth.emplace_back(e->rect.bottom(), extra);
                        else
                            le.tooTall = true;
                    }
                }
            }
            lb.elements.push_back(std::move(le));
        }
        if (growth.empty()) {
            placeTexts(lb);
            return lb;
        }
        std::sort(growth.begin(), growth.end());
        // Boxes ending on the same line (a row of cells) grow the row once, by the most.
        std::vector<std::pair<double, double>> steps;
        for (const auto& g : growth) {
            if (!steps.empty() && g.first - steps.back().first < 0.05)
                steps.back().second = std::max(steps.back().second, g.second);
            else
                steps.push_back(g);
        }
        auto moved = [&](double y) {
            double out = y;
            for (const auto& s : steps)
                if (s.first <= y + 0.05)
                    out += s.second;
            return out;
        };
        for (LaidElement& le : lb.elements) {
            if (le.element->type == ElementType::Shape && le.element->shape == ShapeKind::HorizontalLine) {
                // A rule between two texts keeps its place between them.
                const double middle = le.rect.center().y();
                le.rect.translate(0, moved(middle) - middle);
                continue;
            }
            const double top = moved(le.rect.top());
            const double bottom = moved(le.rect.bottom());
            le.rect.setTop(top);
            le.rect.setBottom(std::max(top, bottom));
        }
        lb.height = moved(band.height);
        placeTexts(lb);
        return lb;
    }

    // Where each text's lines start in its (grown) box: the line boxes as aligned, moved
    // as little as needed to keep the ink inside the box.
    static void placeTexts(LaidBand& lb)
    {
        for (LaidElement& le : lb.elements) {
            if (!le.element->isText() || le.text.text.isEmpty())
                continue;
            const double h = le.rect.height();
            const Qt::Alignment a = le.element->alignment;
            double off = 0;
            if (a & Qt::AlignVCenter)
                off = (h - le.textHeight) / 2;
            else if (a & Qt::AlignBottom)
                off = h - le.textHeight;
            if (le.textHeight > h + 0.01 && !(a & Qt::AlignVCenter))
                off = std::max(off, 0.0);
            // Ink is kept a little off the box's edges where there is room for it.
            const double margin = std::min(kInkMargin, std::max(0.0, (h - le.ink.height()) / 2));
            if (off + le.ink.bottom() > h - margin)
                off = h - margin - le.ink.bottom();
            if (off + le.ink.top() < margin)
                off = margin - le.ink.top();
            le.textTop = off;
        }
    }

    Plan plan() const
    {
        const double pageHeight = m_layout.printableSize().height();
        const Band* header = m_layout.band(BandKind::PageHeader);
        const Band* columns = m_layout.band(BandKind::ColumnHeader);
        const Band* detail = m_layout.band(BandKind::Detail);
        const Band* summary = m_layout.band(BandKind::Summary);
        const int current = currentRow(m_data);

        Plan plan;
        int headerBand = -1;
        int columnBand = -1;
        if (header) {
            plan.bands.push_back(layBand(*header, current, 0));
            headerBand = int(plan.bands.size()) - 1;
        }
        if (columns) {
            plan.bands.push_back(layBand(*columns, current, 0));
            columnBand = int(plan.bands.size()) - 1;
        }
        double y = 0;
        double bodyTop = 0;
        auto startPage = [&] {
            plan.pages.emplace_back();
            y = 0;
            for (int b : {headerBand, columnBand}) {
                if (b < 0)
                    continue;
                const double h = plan.bands[size_t(b)].height;
                plan.pages.back().push_back({b, 0, h, y});
                y += h;
            }
            bodyTop = y;
        };
        auto place = [&](LaidBand lb) {
            plan.bands.push_back(std::move(lb));
            const int index = int(plan.bands.size()) - 1;
            const LaidBand& b = plan.bands.back();
            if (y + b.height > pageHeight + 1e-6 && y > bodyTop + 1e-6 && b.height <= pageHeight - bodyTop + 1e-6)
                startPage();
            // A band taller than what is left continues on the next page, cut between
            // its texts.
            double from = 0;
            while (from < b.height - 1e-6) {
                const double room = pageHeight - y;
                double to = from + room;
                if (to >= b.height - 1e-6) {
                    plan.pages.back().push_back({index, from, b.height, y});
                    y += b.height - from;
                    break;
                }
                if (!hasTextBelow(b, to)) {
                    // Only the closing edges of boxes are left below the page's end: the
                    // band ends there and its boxes close on it.
                    LaidBand& last = plan.bands.back();
                    for (LaidElement& le : last.elements)
                        if (le.rect.bottom() > to)
                            le.rect.setBottom(std::max(le.rect.top(), to - 0.3));
                    last.height = to;
                    plan.pages.back().push_back({index, from, to, y});
                    y += to - from;
                    break;
                }
                to = cutAt(b, from, to);
                if (to <= from + 1e-6) {
                    if (y > bodyTop + 1e-6) {
                        startPage();
                        continue;
                    }
                    to = from + room; // a text taller than a page: cut it (reported)
                }
                plan.pages.back().push_back({index, from, to, y});
                from = to;
                startPage();
            }
        };

        startPage();
        if (detail) {
            if (m_layout.isBound()) {
                const int rows = m_data ? m_data->recordCount() : 0;
                for (int r = 0; r < rows; ++r)
                    place(layBand(*detail, r, r + 1));
            } else {
                place(layBand(*detail, current, 1));
            }
        }
        if (summary)
            place(layBand(*summary, current, 0));
        return plan;
    }

private:
    static bool isTallFace(const Element& e)
    {
        return fontEquivalent(e.fontFamily) == QLatin1String("Noto Nastaliq Urdu");
    }

    // What the glyphs of each line cover, in the layout's pixels.
    static QList<QRectF> inkOf(const QTextLayout& layout)
    {
        QList<QRectF> lines;
        for (int i = 0; i < layout.lineCount(); ++i) {
            QRectF ink;
            for (const QGlyphRun& run : layout.lineAt(i).glyphRuns()) {
                const QRawFont font = run.rawFont();
                const QList<quint32> glyphs = run.glyphIndexes();
                const QList<QPointF> at = run.positions();
                for (qsizetype g = 0; g < glyphs.size(); ++g)
                    ink |= font.boundingRect(glyphs[g]).translated(at[g]);
            }
            if (!ink.isNull())
                lines.append(ink);
        }
        return lines;
    }

    static bool hasTextBelow(const LaidBand& b, double y)
    {
        for (const LaidElement& le : b.elements)
            if (le.element->isText() && !le.text.text.isEmpty()
                && le.rect.top() + le.textTop + le.ink.bottom() > y + 1e-6)
                return true;
        return false;
    }

    // The lowest line at or above `to` that crosses no text.
    static double cutAt(const LaidBand& b, double from, double to)
    {
        bool moved = true;
        while (moved) {
            moved = false;
            for (const LaidElement& le : b.elements) {
                if (!le.element->isText() || le.text.text.isEmpty())
                    continue;
                if (le.rect.top() < to - 1e-6 && le.rect.bottom() > to + 1e-6 && le.rect.top() > from + 1e-6) {
                    to = le.rect.top();
                    moved = true;
                }
            }
        }
        return to;
    }

    // The elements of a band in drawing order (by z, then file order), sorted once.
    const std::vector<const Element*>& drawingOrder(const Band& band) const
    {
        auto it = m_orders.find(&band);
        if (it != m_orders.end())
            return it->second;
        std::vector<const Element*> order;
        for (const Element& e : band.elements)
            order.push_back(&e);
        std::stable_sort(order.begin(), order.end(), [](const Element* a, const Element* b) { return a->z < b->z; });
        return m_orders.emplace(&band, std::move(order)).first->second;
    }

    // A field's value, its expression parsed and its columns found once per element.
    QString fieldText(const Element& e, int row) const
    {
        if (!m_data || m_data->fieldCount() == 0)
            return {};
        auto it = m_fields.find(&e);
        if (it == m_fields.end()) {
            const Expression x = parseExpression(m_layout, e);
            FieldColumns c{columnOf(m_layout, e, *m_data, x.left),
                           x.right.isEmpty() ? -1 : columnOf(m_layout, e, *m_data, x.right), x.op};
            it = m_fields.emplace(&e, c).first;
        }
        const FieldColumns& c = it->second;
        if (row < 0 || row >= m_data->recordCount())
            return {};
        if (c.right < 0)
            return m_data->textAt(row, c.left);
        const double l = numberAt(*m_data, row, c.left);
        const double r = numberAt(*m_data, row, c.right);
        return formatNumber(c.op == QLatin1Char('+') ? l + r : l - r);
    }

    QString textOfRaw(const Element& e, int row, int rowNumber) const
    {
        switch (e.type) {
        case ElementType::Label:
            return e.text;
        case ElementType::Field:
            return fieldText(e, row);
        case ElementType::System:
            // The page number and count are not known yet: measured as three digits.
            return e.system == SystemValue::RowNumber ? (rowNumber > 0 ? QString::number(rowNumber) : QString())
                                                      : QStringLiteral("888");
        default:
            return {};
        }
    }

    const Layout& m_layout;
    const ResultSet* m_data;
    QPaintDevice* m_device;
    double m_pxPerMm;
    bool m_measureInk;
    bool m_keepLayouts;
    struct FieldColumns {
        int left;
        int right;
        QChar op;
    };
    mutable std::map<const Element*, FieldColumns> m_fields;
    mutable std::map<const Band*, std::vector<const Element*>> m_orders;
};

class PagePainter {
public:
    // Texts are laid out on `textDevice` when given (the device the plan was measured
    // on), so what is drawn is what was measured.
    PagePainter(QPainter& painter, const Layout& layout, const Plan& plan, QPointF origin, double dpi,
                QPaintDevice* textDevice = nullptr)
        : p(painter), m_layout(layout), m_plan(plan), m_origin(origin), m_scale(dpi / 25.4), m_textDevice(textDevice)
    {
    }

    void paintPage(int pageIndex)
    {
        m_page = pageIndex + 1;
        for (const Piece& piece : m_plan.pages[size_t(pageIndex)])
            paintPiece(piece);
    }

private:
    QRectF toDevice(const QRectF& mm) const
    {
        return QRectF(m_origin.x() + mm.x() * m_scale, m_origin.y() + mm.y() * m_scale, mm.width() * m_scale,
                      mm.height() * m_scale);
    }

    void paintPiece(const Piece& piece)
    {
        const LaidBand& b = m_plan.bands[size_t(piece.band)];
        const bool whole = piece.from <= 1e-6 && piece.to >= b.height - 1e-6;
        const double shift = piece.y - piece.from;
        const QRectF pieceMm(0, piece.y, m_layout.printableSize().width(), piece.to - piece.from);
        for (const LaidElement& le : b.elements) {
            if (!whole) {
                if (le.rect.bottom() <= piece.from + 1e-6 || le.rect.top() >= piece.to - 1e-6)
                    continue;
                if (le.element->isText() && le.rect.top() < piece.from - 1e-6)
                    continue; // printed on the piece where it starts
            }
            const QRectF mm = le.rect.translated(0, shift);
            const bool straddles = !whole && !le.element->isText()
                                   && (le.rect.top() < piece.from - 1e-6 || le.rect.bottom() > piece.to + 1e-6);
            if (straddles) {
                p.save();
                p.setClipRect(toDevice(pieceMm), Qt::IntersectClip);
            }
            switch (le.element->type) {
            case ElementType::Label:
            case ElementType::Field:
            case ElementType::Paragraph:
                paintText(le, mm, le.text);
                break;
            case ElementType::System:
                paintText(le, mm, systemText(le));
                break;
            case ElementType::Shape:
                paintShape(*le.element, mm);
                break;
            case ElementType::Picture:
                paintPicture(*le.element, mm);
                break;
            }
            if (straddles)
                p.restore();
        }
        if (b.band->frame) {
            QPen pen(Qt::black, b.band->frameWidth * m_scale);
            pen.setJoinStyle(Qt::MiterJoin);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawRect(toDevice(pieceMm));
        }
    }

    RichText systemText(const LaidElement& le) const
    {
        const Element& e = *le.element;
        if (e.system == SystemValue::RowNumber)
            return le.text;
        const int n = e.system == SystemValue::PageNumber ? m_page : int(m_plan.pages.size());
        return RichText{prepared(e, QString::number(n)), {}};
    }

    void paintText(const LaidElement& le, const QRectF& mm, const RichText& text)
    {
        if (text.text.isEmpty())
            return;
        const Element& e = *le.element;
        const QRectF box = toDevice(mm);
        const double top = box.top() + le.textTop * m_scale;
        if (m_pen != e.color) {
            m_pen = e.color;
            p.setPen(e.color);
        }
        if (le.layout) {
            const double x = e.autoWidth && e.rightToLeft ? box.right() - le.lineWidth : box.left();
            le.layout->draw(&p, QPointF(x, top));
            return;
        }
        const LaidText t = layText(e, text, le.rtl, box.width(), m_textDevice ? m_textDevice : p.device());
        if (m_pen != e.color) {
            m_pen = e.color;
            p.setPen(e.color);
        }
        // An auto-width text keeps its right edge when right to left, its left otherwise.
        const double x = e.autoWidth && e.rightToLeft ? box.right() - t.lineWidth : box.left();
        t.layout->draw(&p, QPointF(x, top));
    }

    void paintShape(const Element& e, const QRectF& mm)
    {
        const QRectF r = toDevice(mm);
        QPen pen(e.lineColor, e.lineWidth * m_scale);
        if (e.lineWidth <= 0)
            pen = Qt::NoPen;
        p.setPen(pen);
        m_pen = QColor();
        p.setBrush(e.fill.isValid() ? QBrush(e.fill) : QBrush(Qt::NoBrush));
        switch (e.shape) {
        case ShapeKind::Rectangle:
            p.drawRect(r);
            break;
        case ShapeKind::Circle:
            p.drawEllipse(r);
            break;
        case ShapeKind::HorizontalLine:
            p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
            break;
        }
        p.setBrush(Qt::NoBrush);
    }

    void paintPicture(const Element& e, const QRectF& mm)
    {
        if (e.image.isNull())
            return;
        QRectF r = toDevice(mm);
        if (e.keepAspect) {
            const QSizeF size = QSizeF(e.image.size()).scaled(r.size(), Qt::KeepAspectRatio);
            r = QRectF(r.center().x() - size.width() / 2, r.center().y() - size.height() / 2, size.width(),
                       size.height());
        }
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(r, e.image);
    }

    QPainter& p;
    const Layout& m_layout;
    const Plan& m_plan;
    QPointF m_origin;
    double m_scale;
    int m_page = 1;
    QColor m_pen;
    QPaintDevice* m_textDevice;
};

// A device to measure texts on at a resolution: an image, whose fonts give the glyphs'
// true outlines (a printer's or PDF writer's own fonts do not).
QImage measuringImage(int dpi)
{
    QImage i(1, 1, QImage::Format_RGB32);
    i.setDotsPerMeterX(qRound(dpi / 0.0254));
    i.setDotsPerMeterY(qRound(dpi / 0.0254));
    return i;
}

// The PDF's resolution, when no device is given.
QImage& measuringDevice()
{
    static QImage image = measuringImage(1200);
    return image;
}

} // namespace

int pageCount(const Layout& layout, const ResultSet* data)
{
    return int(Planner(layout, data, &measuringDevice()).plan().pages.size());
}

int render(const Layout& layout, const ResultSet* data, QPagedPaintDevice& device)
{
    checkFields(layout, data);
    device.setPageLayout(layout.pageLayout());
    QImage measure = measuringImage(device.logicalDpiY());
    const Plan plan = Planner(layout, data, &measure, false, true).plan();
    QPointF origin;
    if (auto* printer = dynamic_cast<QPrinter*>(&device); printer && printer->fullPage()) {
        const double s = device.logicalDpiX() / 25.4;
        origin = QPointF(layout.margins().left() * s, layout.margins().top() * s);
    }
    QPainter painter;
    if (!painter.begin(&device))
        throw Error(QStringLiteral("قالب چاپي «%1»: چاپ آغاز نشد").arg(layout.name()));
    painter.setRenderHint(QPainter::Antialiasing);
    PagePainter pages(painter, layout, plan, origin, device.logicalDpiX(), &measure);
    for (size_t i = 0; i < plan.pages.size(); ++i) {
        if (i > 0)
            device.newPage();
        pages.paintPage(int(i));
    }
    painter.end();
    return int(plan.pages.size());
}

int renderToPdf(const Layout& layout, const ResultSet* data, const QString& path)
{
    checkFields(layout, data);
    // The PDF is written beside the target and put in place only when complete, so a full
    // disk or a failed print never leaves half a file over an earlier one.
    SafeFile file(path);
    int pages = 0;
    {
        QPdfWriter writer(file.tempPath());
        writer.setResolution(1200);
        writer.setCreator(QStringLiteral("Tarvest"));
        writer.setTitle(layout.name());
        pages = render(layout, data, writer);
    }
    // The PDF writer keeps quiet about a failed write (a full disk): a complete file ends
    // with its end-of-file mark.
    QFile written(file.tempPath());
    if (!written.open(QIODevice::ReadOnly) || written.size() < 5
        || !written.seek(std::max<qint64>(0, written.size() - 64)) || !written.readAll().contains("%%EOF"))
        file.fail(QStringLiteral("فايل PDF كامل نوشته نشد"));
    written.close();
    file.commit();
    return pages;
}

QList<QImage> renderToImages(const Layout& layout, const ResultSet* data, int dpi)
{
    checkFields(layout, data);
    const double s = dpi / 25.4;
    const QSizeF pageMm = layout.pageLayout().fullRect(QPageLayout::Millimeter).size();
    const QSize size(qRound(pageMm.width() * s), qRound(pageMm.height() * s));
    const QPointF origin(layout.margins().left() * s, layout.margins().top() * s);
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(qRound(dpi / 0.0254));
    probe.setDotsPerMeterY(qRound(dpi / 0.0254));
    const Plan plan = Planner(layout, data, &probe).plan();
    QList<QImage> images;
    for (size_t i = 0; i < plan.pages.size(); ++i) {
        QImage image(size, QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(dpi / 0.0254));
        image.setDotsPerMeterY(qRound(dpi / 0.0254));
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        PagePainter pages(painter, layout, plan, origin, dpi);
        pages.paintPage(int(i));
        painter.end();
        images.append(image);
    }
    return images;
}

std::vector<FitProblem> fitProblems(const Layout& layout, const ResultSet* data)
{
    checkFields(layout, data);
    const Plan plan = Planner(layout, data, &measuringDevice(), true).plan();
    const QSizeF printable = layout.printableSize();
    const QRectF pageRect(-0.05, -0.05, printable.width() + 0.1, printable.height() + 0.1);
    std::vector<FitProblem> problems;
    for (size_t page = 0; page < plan.pages.size(); ++page) {
        struct Ink {
            QString name;
            QRectF rect;
        };
        std::vector<Ink> inks;
        for (const Piece& piece : plan.pages[page]) {
            const LaidBand& b = plan.bands[size_t(piece.band)];
            for (const LaidElement& le : b.elements) {
                const Element& e = *le.element;
                if (!e.isText() || le.text.text.isEmpty())
                    continue;
                if (le.rect.top() < piece.from - 1e-6 || le.rect.top() >= piece.to - 1e-6)
                    continue;
                const QString name = e.name.isEmpty() ? e.text.left(20) : e.name;
                const QRectF box = le.rect.translated(0, piece.y - piece.from);
                auto report = [&](const QString& what) { problems.push_back({name, int(page) + 1, what}); };
                if (le.tooWide)
                    report(QStringLiteral("wider than its box"));
                if (le.tooTall)
                    report(QStringLiteral("taller than its box"));
                // Where the ink stands: the glyphs' own outlines, placed as painting
                // places the lines.
                const double top = box.top() + le.textTop;
                const QRectF ink = le.ink.translated(box.left(), top);
                if (!pageRect.contains(ink) || ink.bottom() > piece.y + (piece.to - piece.from) + 0.05)
                    report(QStringLiteral("outside the page"));
                for (const QRectF& line : le.lineInks)
                    inks.push_back({name, line.translated(box.left(), top)});
            }
        }
        // Texts whose letters cross one another (touching by less than a fifth of a
        // millimetre does not count).
        std::set<QString> reported;
        for (size_t i = 0; i < inks.size(); ++i)
            for (size_t j = i + 1; j < inks.size(); ++j) {
                if (inks[i].name == inks[j].name)
                    continue;
                const QRectF x = inks[i].rect.intersected(inks[j].rect);
                const QString what = QStringLiteral("overlaps %1").arg(inks[j].name);
                if (x.width() > 0.2 && x.height() > 0.2 && reported.insert(inks[i].name + what).second)
                    problems.push_back({inks[i].name, int(page) + 1, what});
            }
    }
    return problems;
}

} // namespace tarvest::report
