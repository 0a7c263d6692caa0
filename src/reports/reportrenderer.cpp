#include "reports/reportrenderer.h"

#include "common/bidi.h"
#include "common/digits.h"
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
#include <QTextBoundaryFinder>
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
        while (next < out.size() && out[next] != QLatin1Char(' ') && out[next] != QChar::LineSeparator
               && out[next] != QLatin1Char('\n'))
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

// An amount grouped in threes when it is a plain number ("-1234567.5" → "-1,234,567.5");
// any other text as it stands.
QString groupedAmount(const QString& text)
{
    static const QRegularExpression plain(QStringLiteral(R"(^\s*(-?)(\d+)(\.\d+)?\s*$)"));
    const auto m = plain.match(text);
    if (!m.hasMatch())
        return text;
    return m.captured(1) + groupDigits(m.captured(2)) + m.captured(3);
}

// Lines break at blanks and line breaks only: every other place where a line could
// break inside a word (after the slashes of "37/177/م", the dash of "12-34", inside
// "(مشاع/ي)") gets a word joiner, so letter numbers, codes and amounts stay whole.
QString keepWordsWhole(const QString& text)
{
    const bool mayBreakInside = std::any_of(text.begin(), text.end(),
                                            [](QChar c) { return (c.isPunct() || c.isSymbol()) && c != QChar::Nbsp; });
    if (!mayBreakInside)
        return text;
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
    QString out;
    out.reserve(text.size() + 8);
    qsizetype at = 0;
    for (qsizetype b = breaks.toNextBoundary(); b > 0 && b < text.size(); b = breaks.toNextBoundary()) {
        const QChar before = text.at(b - 1);
        if (before.isSpace() || before == QChar::LineSeparator || text.at(b).isSpace())
            continue;
        out += QStringView(text).mid(at, b - at);
        out += QChar(0x2060);
        at = b;
    }
    out += QStringView(text).mid(at);
    return out;
}

// Text in a right-to-left paragraph gets its runs of digits and Latin letters
// isolated; a text with no right-to-left letter at all is laid out left to right
// instead (same look, no isolation marks, which some faces lack).
QString prepared(const Element& e, const QString& raw)
{
    QString text = (e.rightToLeft && hasRightToLeftLetters(raw)) ? isolateRuns(keepPhrasesTogether(raw)) : raw;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return keepWordsWhole(text);
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
        const QString text = keepWordsWhole(isolateRuns(part));
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

QFont fontOf(const Element& e, QPaintDevice* device, double scale = 1)
{
    QFont font(fontEquivalent(e.fontFamily), -1, -1, false);
    font.setPointSizeF(e.fontSize * scale);
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

// Widens each full line of a laid-out text to `width` by spacing its words: every line
// but a paragraph's last (and one ending at a line break) gets the word spacing that
// fills it, and the lines are laid again with the same characters each.
void justifyAtBlanks(LaidText& t, const RichText& rich, double width)
{
    QTextLayout& layout = *t.layout;
    const QString& text = rich.text;
    struct Line {
        int start;
        int length;
        double spacing;
    };
    std::vector<Line> lines;
    bool any = false;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        Line l{line.textStart(), line.textLength(), 0};
        const int end = l.start + l.length;
        const bool last = i == layout.lineCount() - 1 || (end > 0 && text.at(end - 1) == QChar::LineSeparator);
        int blanks = 0;
        int trimmed = end;
        while (trimmed > l.start
               && (text.at(trimmed - 1) == QLatin1Char(' ') || text.at(trimmed - 1) == QChar::LineSeparator))
            --trimmed;
        for (int c = l.start; c < trimmed; ++c)
            if (text.at(c) == QLatin1Char(' ') || text.at(c) == QChar::Nbsp)
                ++blanks;
        const double extra = width - line.naturalTextWidth();
        if (!last && blanks > 0 && extra > 2) {
            // A pixel short of the width, so rounding never pushes a word to the next line.
            l.spacing = (extra - 1.5) / blanks;
            any = true;
        }
        lines.push_back(l);
    }
    if (!any)
        return;
    QList<QTextLayout::FormatRange> formats = rich.formats;
    for (const Line& l : lines)
        if (l.spacing > 0) {
            QTextLayout::FormatRange r;
            r.start = l.start;
            r.length = l.length;
            r.format.setFontWordSpacing(l.spacing);
            formats.append(r);
        }
    layout.setFormats(formats);
    t.height = 0;
    t.naturalWidth = 0;
    layout.beginLayout();
    size_t index = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine(), ++index) {
        // The same characters on each line as before; anything left over (never expected)
        // still gets lines of its own, so no word is lost.
        if (index < lines.size())
            line.setNumColumns(lines[index].length, width);
        else
            line.setLineWidth(width);
        line.setPosition(QPointF(0, t.height));
        t.height += line.ascent() + line.descent();
        t.naturalWidth = std::max(t.naturalWidth, std::min(width, line.naturalTextWidth()));
    }
    layout.endLayout();
}

LaidText layText(const Element& e, const RichText& rich, bool rtl, double width, QPaintDevice* device, double scale = 1)
{
    LaidText t;
    t.layout = std::make_unique<QTextLayout>(rich.text, fontOf(e, device, scale), device);
    // Right and left mean the page's sides whatever the direction. A justified text is
    // set flush with its starting side and its lines then widened at their blanks only:
    // Qt's own justification of Persian stretches the joins inside words, which a PDF
    // reader then reads as gaps between single letters.
    const bool justify = (e.alignment & Qt::AlignHorizontal_Mask) == Qt::AlignJustify;
    const Qt::Alignment start = rtl ? Qt::AlignRight : Qt::AlignLeft;
    QTextOption option((justify ? (e.alignment & Qt::AlignVertical_Mask) | start : e.alignment) | Qt::AlignAbsolute);
    option.setTextDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    // Every text wraps at its blanks to keep its box's width (a word is never broken:
    // keepWordsWhole); an auto-width text has the width of its longest line.
    option.setWrapMode(e.autoWidth ? QTextOption::ManualWrap : QTextOption::WordWrap);
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
        if (justify && t.layout->lineCount() > 1)
            justifyAtBlanks(t, rich, width);
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
    double scale = 1;                    // a too-wide word's text printed smaller
    // Room kept inside the box for a ruled cell's lines (mm): the text is laid out
    // between `padLeft` and `padRight`, its letters `padTop`/`padBottom` off the edges.
    double padLeft = 0;
    double padRight = 0;
    double padTop = 0;
    double padBottom = 0;
};

// A band printed for one row, after its boxes grew to hold their texts.
struct LaidBand {
    const Band* band;
    int row;
    int rowNumber;
    double height;
    std::vector<LaidElement> elements; // in drawing order
    std::vector<std::pair<double, double>> blocks; // top and bottom of each block (mm)
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
        LaidBand lb{&band, row, rowNumber, band.height, {}, {}};
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
                    const QRectF cell = cellOf(band, *e);
                    const bool inCell = !cell.isNull();
                    if (inCell) {
                        const double m = m_layout.cellMargin();
                        le.padLeft = std::max(0.0, cell.left() + m - e->rect.left());
                        le.padRight = std::max(0.0, e->rect.right() - (cell.right() - m));
                        le.padTop = std::max(kInkMargin, cell.top() + m - e->rect.top());
                        le.padBottom = std::max(kInkMargin, e->rect.bottom() - (cell.bottom() - m));
                        if (le.padLeft + le.padRight > e->rect.width() - 1)
                            le.padLeft = le.padRight = 0; // a box too narrow for the margin keeps its width
                    }
                    const double width = (e->rect.width() - le.padLeft - le.padRight) * m_pxPerMm;
                    LaidText t = layText(*e, le.text, le.rtl, width, m_device);
                    if (t.tooWide && e->minScale < 1) {
                        // A word wider than the box: the text prints smaller, as far as the
                        // layout allows.
                        double scale = std::max(e->minScale, width / t.naturalWidth);
                        for (int attempt = 0; attempt < 3; ++attempt) {
                            LaidText smaller = layText(*e, le.text, le.rtl, width, m_device, scale);
                            t = std::move(smaller);
                            le.scale = scale;
                            if (!t.tooWide || scale <= e->minScale)
                                break;
                            scale = std::max(e->minScale, scale * std::min(0.98, width / t.naturalWidth));
                        }
                    }
                    le.textHeight = t.height / m_pxPerMm;
                    le.textWidth = t.naturalWidth / m_pxPerMm;
                    le.tooWide = t.tooWide;
                    le.lineWidth = t.lineWidth;
                    // The ink: what the glyphs really cover. Nastaliq's bowls reach below
                    // its font's descent, so the line box alone would cut them.
                    const bool tight = t.height / m_pxPerMm > e->rect.height() - 0.5;
                    // In a ruled cell the lines matter only when the line boxes and the margins
                    // do not fit: otherwise the line boxes stand for the ink.
                    const bool cramped = inCell && le.textHeight + le.padTop + le.padBottom > e->rect.height() - 0.01;
                    if (tight || cramped || m_measureInk || isTallFace(*e)) {
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
                    // A text needs the height of its ink when its line boxes do not fit; in a
                    // ruled cell its ink keeps the cell's margin from the lines.
                    const double needed = inCell ? std::max(std::min(le.textHeight, e->rect.height()),
                                                            le.ink.height() + le.padTop + le.padBottom)
                                                 : std::min(le.textHeight, le.ink.height() + 2 * kInkMargin);
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
            placeBlocks(lb);
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
        placeBlocks(lb);
        return lb;
    }

    // Where each block of the band stands once its boxes grew.
    static void placeBlocks(LaidBand& lb)
    {
        for (const Block& block : lb.band->blocks) {
            double top = 1e9;
            double bottom = -1e9;
            for (const LaidElement& le : lb.elements) {
                if (!block.elements.contains(le.element->name) && le.element->name != block.withPrevious)
                    continue;
                if (le.element->isText() && le.text.text.isEmpty())
                    continue;
                top = std::min(top, le.rect.top());
                bottom = std::max(bottom, le.rect.bottom());
            }
            if (top < bottom)
                lb.blocks.emplace_back(top, bottom);
        }
    }

    // The ruled cell a text stands in: the smallest rectangle of its band around its box,
    // narrowed by the lines drawn across it above and below the text; null outside any.
    QRectF cellOf(const Band& band, const Element& text) const
    {
        auto it = m_cells.find(&text);
        if (it != m_cells.end())
            return it->second;
        constexpr double slack = 0.6;
        const QRectF box = text.rect;
        QRectF cell;
        for (const Element& e : band.elements) {
            if (e.type != ElementType::Shape || e.shape != ShapeKind::Rectangle || e.lineWidth <= 0)
                continue;
            if (e.rect.adjusted(-slack, -slack, slack, slack).contains(box)
                && (cell.isNull() || e.rect.width() * e.rect.height() < cell.width() * cell.height()))
                cell = e.rect;
        }
        if (!cell.isNull()) {
            for (const Element& e : band.elements) {
                if (e.type != ElementType::Shape || e.shape != ShapeKind::HorizontalLine || e.lineWidth <= 0)
                    continue;
                const double y = e.rect.center().y();
                const double across = std::min(e.rect.right(), box.right()) - std::max(e.rect.left(), box.left());
                if (across < box.width() / 2 || y <= cell.top() || y >= cell.bottom())
                    continue;
                if (y <= box.center().y())
                    cell.setTop(std::max(cell.top(), y));
                else
                    cell.setBottom(std::min(cell.bottom(), y));
            }
        }
        return m_cells.emplace(&text, cell).first->second;
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
            // Ink is kept a little off the box's edges where there is room for it, and
            // a cell's margin off its lines.
            const double room = std::max(0.0, h - le.ink.height());
            double bottom = std::min(kInkMargin, room / 2);
            double top = bottom;
            if (le.padTop + le.padBottom > 0) {
                const double pads = le.padTop + le.padBottom;
                top = std::min(le.padTop, room * le.padTop / pads);
                bottom = std::min(le.padBottom, room * le.padBottom / pads);
            }
            if (off + le.ink.bottom() > h - bottom)
                off = h - bottom - le.ink.bottom();
            if (off + le.ink.top() < top)
                off = top - le.ink.top();
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
            // A block moves to the next page whole.
            for (const auto& [top, bottom] : b.blocks)
                if (top < to - 1e-6 && bottom > to + 1e-6 && top > from + 1e-6) {
                    to = top;
                    moved = true;
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
        return e.groupDigits ? groupedAmount(plainTextOf(e, row, rowNumber)) : plainTextOf(e, row, rowNumber);
    }

    QString plainTextOf(const Element& e, int row, int rowNumber) const
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
    mutable std::map<const Element*, QRectF> m_cells;
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
            const QRectF r = toDevice(pieceMm);
            if (whole) {
                p.drawRect(r);
            } else {
                // A box going on over a page is open where it is cut, so no line runs
                // over the letters next to the cut.
                p.drawLine(r.topLeft(), r.bottomLeft());
                p.drawLine(r.topRight(), r.bottomRight());
                if (piece.from <= 1e-6)
                    p.drawLine(r.topLeft(), r.topRight());
                if (piece.to >= b.height - 1e-6)
                    p.drawLine(r.bottomLeft(), r.bottomRight());
            }
            m_pen = QColor();
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
        const QRectF box = toDevice(mm).adjusted(le.padLeft * m_scale, 0, -le.padRight * m_scale, 0);
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
        const LaidText t = layText(e, text, le.rtl, box.width(), m_textDevice ? m_textDevice : p.device(), le.scale);
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

namespace {

// The texts and ruled lines of a plan's pages as a reader sees them (mm on the page).
struct PageInk {
    QString name;
    int band;
    const LaidElement* laid;
    QRectF box;
    QList<QRectF> lines; // each line's letters
};
struct Rule {
    QLineF line;
};
struct PageContents {
    std::vector<PageInk> texts;
    std::vector<Rule> rules;
};

std::vector<PageContents> contentsOf(const Layout& layout, const Plan& plan)
{
    const double width = layout.printableSize().width();
    std::vector<PageContents> pages(plan.pages.size());
    for (size_t page = 0; page < plan.pages.size(); ++page) {
        PageContents& out = pages[page];
        for (const Piece& piece : plan.pages[page]) {
            const LaidBand& b = plan.bands[size_t(piece.band)];
            const double shift = piece.y - piece.from;
            const double pieceBottom = piece.y + (piece.to - piece.from);
            auto addRule = [&](QPointF a, QPointF c) {
                // Only what is drawn on this piece.
                if (std::max(a.y(), c.y()) < piece.y - 1e-6 || std::min(a.y(), c.y()) > pieceBottom + 1e-6)
                    return;
                a.setY(std::clamp(a.y(), piece.y, pieceBottom));
                c.setY(std::clamp(c.y(), piece.y, pieceBottom));
                out.rules.push_back({QLineF(a, c)});
            };
            auto addBox = [&](const QRectF& r) {
                addRule(r.topLeft(), r.topRight());
                addRule(r.bottomLeft(), r.bottomRight());
                addRule(r.topLeft(), r.bottomLeft());
                addRule(r.topRight(), r.bottomRight());
            };
            if (b.band->frame) {
                // Open where the band is cut between pages, as printed.
                const QRectF r(0, piece.y, width, piece.to - piece.from);
                addRule(r.topLeft(), r.bottomLeft());
                addRule(r.topRight(), r.bottomRight());
                if (piece.from <= 1e-6)
                    addRule(r.topLeft(), r.topRight());
                if (piece.to >= b.height - 1e-6)
                    addRule(r.bottomLeft(), r.bottomRight());
            }
            for (const LaidElement& le : b.elements) {
                const Element& e = *le.element;
                const QRectF box = le.rect.translated(0, shift);
                if (e.type == ElementType::Shape && e.lineWidth > 0) {
                    if (le.rect.bottom() <= piece.from + 1e-6 || le.rect.top() >= piece.to - 1e-6)
                        continue;
                    if (e.shape == ShapeKind::Rectangle)
                        addBox(box);
                    else if (e.shape == ShapeKind::HorizontalLine)
                        addRule(QPointF(box.left(), box.center().y()), QPointF(box.right(), box.center().y()));
                    continue;
                }
                if (!e.isText() || le.text.text.isEmpty())
                    continue;
                if (le.rect.top() < piece.from - 1e-6 || le.rect.top() >= piece.to - 1e-6)
                    continue;
                PageInk ink{e.name.isEmpty() ? e.text.left(20) : e.name, piece.band, &le, box, {}};
                const QPointF at(box.left() + le.padLeft, box.top() + le.textTop);
                for (const QRectF& line : le.lineInks)
                    ink.lines.append(line.translated(at));
                out.texts.push_back(std::move(ink));
            }
        }
    }
    return pages;
}

// How far apart two ranges are (negative: by how much they overlap).
double gapBetween(double a0, double a1, double b0, double b1)
{
    return std::max(b0 - a1, a0 - b1);
}

} // namespace

std::vector<FitProblem> fitProblems(const Layout& layout, const ResultSet* data)
{
    checkFields(layout, data);
    const Plan plan = Planner(layout, data, &measuringDevice(), true).plan();
    const QSizeF printable = layout.printableSize();
    const QRectF pageRect(-0.05, -0.05, printable.width() + 0.1, printable.height() + 0.1);
    const double margin = layout.cellMargin() - 0.15; // a glyph's side bearing may reach a little past its line box
    const double gap = layout.textGap() - 0.05;
    const std::vector<PageContents> pages = contentsOf(layout, plan);
    std::vector<FitProblem> problems;
    std::set<QString> reported;
    auto report = [&](const QString& name, int page, FitKind kind, const QString& what) {
        if (reported.insert(QStringLiteral("%1|%2|%3").arg(name).arg(page).arg(what)).second)
            problems.push_back({name, page, what, kind});
    };
    for (size_t page = 0; page < pages.size(); ++page) {
        const int number = int(page) + 1;
        const PageContents& c = pages[page];
        for (const PageInk& t : c.texts) {
            const LaidElement& le = *t.laid;
            if (le.tooWide)
                report(t.name, number, FitKind::TooWide, QStringLiteral("wider than its box"));
            else if (le.scale < 0.999)
                report(t.name, number, FitKind::Shrunk,
                       QStringLiteral("shrunk to %1 % to fit its box").arg(qRound(le.scale * 100)));
            if (le.tooTall)
                report(t.name, number, FitKind::TooTall, QStringLiteral("taller than its box"));
            QRectF all;
            for (const QRectF& line : t.lines)
                all |= line;
            const Piece* piece = nullptr;
            for (const Piece& p : plan.pages[page])
                if (p.band == t.band && t.box.top() >= p.y - 1e-6)
                    piece = &p;
            const double pieceBottom = piece ? piece->y + (piece->to - piece->from) : printable.height();
            if (!pageRect.contains(all) || all.bottom() > pieceBottom + 0.05)
                report(t.name, number, FitKind::OutsidePage, QStringLiteral("outside the page"));
            // Letters closer than the cell margin to a ruled line (or across it); a text
            // outside any ruled cell only keeps its ink off the lines near it.
            const bool inCell = le.padTop + le.padBottom > 0;
            const double room = inCell ? margin : std::min(margin, kInkMargin - 0.05);
            for (const Rule& r : c.rules) {
                const QLineF& l = r.line;
                for (const QRectF& line : t.lines) {
                    double across = 0;
                    double distance = 0;
                    if (std::abs(l.dy()) < 1e-6) { // horizontal
                        across = -gapBetween(std::min(l.x1(), l.x2()), std::max(l.x1(), l.x2()), line.left(),
                                             line.right());
                        distance = std::min(std::abs(l.y1() - line.top()), std::abs(l.y1() - line.bottom()));
                        if (l.y1() > line.top() && l.y1() < line.bottom())
                            distance = 0;
                    } else { // vertical
                        across = -gapBetween(std::min(l.y1(), l.y2()), std::max(l.y1(), l.y2()), line.top(),
                                             line.bottom());
                        distance = std::min(std::abs(l.x1() - line.left()), std::abs(l.x1() - line.right()));
                        if (l.x1() > line.left() && l.x1() < line.right())
                            distance = 0;
                    }
                    if (across > 0.2 && distance < room) {
                        report(t.name, number, FitKind::NearLine,
                               QStringLiteral("closer than %1 mm to a line (%2,%3)-(%4,%5)")
                                   .arg(layout.cellMargin())
                                   .arg(l.x1(), 0, 'f', 1)
                                   .arg(l.y1(), 0, 'f', 1)
                                   .arg(l.x2(), 0, 'f', 1)
                                   .arg(l.y2(), 0, 'f', 1));
                        break;
                    }
                }
            }
        }
        // Texts whose letters cross one another, or come closer than the layout's gap.
        for (size_t i = 0; i < c.texts.size(); ++i)
            for (size_t j = i + 1; j < c.texts.size(); ++j) {
                const PageInk& a = c.texts[i];
                const PageInk& b = c.texts[j];
                if (a.name == b.name)
                    continue;
                for (const QRectF& la : a.lines)
                    for (const QRectF& lb : b.lines) {
                        const double gx = gapBetween(la.left(), la.right(), lb.left(), lb.right());
                        const double gy = gapBetween(la.top(), la.bottom(), lb.top(), lb.bottom());
                        if (gx < -0.2 && gy < -0.2)
                            report(a.name, number, FitKind::Overlap, QStringLiteral("overlaps %1").arg(b.name));
                        else if (gx < gap && gy < gap && std::max(gx, gy) >= -0.2)
                            report(a.name, number, FitKind::TooClose, QStringLiteral("too close to %1").arg(b.name));
                    }
            }
    }
    // Blocks: each on one page, and no taller than a page holds.
    double bodyHeight = printable.height();
    for (const BandKind k : {BandKind::PageHeader, BandKind::ColumnHeader})
        for (size_t i = 0; i < plan.bands.size(); ++i)
            if (plan.bands[i].band == layout.band(k))
                bodyHeight -= plan.bands[i].height;
    for (size_t band = 0; band < plan.bands.size(); ++band) {
        const LaidBand& b = plan.bands[band];
        for (size_t k = 0; k < b.blocks.size(); ++k) {
            const auto [top, bottom] = b.blocks[k];
            const QString name = b.band->blocks[k].name;
            int first = 0;
            bool whole = false;
            for (size_t page = 0; page < plan.pages.size(); ++page)
                for (const Piece& p : plan.pages[page]) {
                    if (size_t(p.band) != band)
                        continue;
                    if (first == 0 && top >= p.from - 1e-6 && top < p.to - 1e-6)
                        first = int(page) + 1;
                    if (top >= p.from - 1e-6 && bottom <= p.to + 1e-6)
                        whole = true;
                }
            if (bottom - top > bodyHeight + 1e-6)
                report(name, first, FitKind::BlockTooTall, QStringLiteral("block taller than a page"));
            else if (!whole)
                report(name, first, FitKind::BlockSplit, QStringLiteral("block split across pages"));
        }
    }
    return problems;
}

std::vector<PlacedText> placedTexts(const Layout& layout, const ResultSet* data)
{
    checkFields(layout, data);
    const Plan plan = Planner(layout, data, &measuringDevice(), true).plan();
    std::vector<PlacedText> out;
    const std::vector<PageContents> pages = contentsOf(layout, plan);
    for (size_t page = 0; page < pages.size(); ++page)
        for (const PageInk& t : pages[page].texts) {
            QRectF all;
            for (const QRectF& line : t.lines)
                all |= line;
            const LaidBand& b = plan.bands[size_t(t.band)];
            out.push_back({t.name, b.band->kind == BandKind::Detail ? b.row : -1, int(page) + 1, all, t.laid->scale});
        }
    return out;
}

} // namespace tarvest::report
