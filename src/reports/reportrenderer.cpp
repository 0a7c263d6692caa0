#include "reports/reportrenderer.h"

#include "common/errors.h"
#include "db/resultset.h"

#include <QFile>
#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace tarvest::report {

namespace {

// One band placed on a page.
struct Placed {
    const Band* band;
    double y;      // mm from the top of the printable area
    int row;       // data row its fields read, -1 for none
    int rowNumber; // running detail number, 0 outside detail bands
};

struct Plan {
    std::vector<std::vector<Placed>> pages;
};

// A field's expression, parsed: one column, or two joined by + or -.
struct Expression {
    QString left;
    QChar op;
    QString right;
};

Expression parseExpression(const Layout& layout, const Element& e)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*(\[[^\]]+\]|[^\s+\-\[\]]+)\s*(?:([+-])\s*(\[[^\]]+\]|[^\s+\-\[\]]+))?\s*$)"));
    const auto m = re.match(e.expression);
    if (!m.hasMatch())
        throw Error(QStringLiteral("قالب چاپي «%1»: عبارت «%2» عنصر «%3» نادرست است")
                        .arg(layout.name(), e.expression, e.name));
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
        throw Error(QStringLiteral("قالب چاپي «%1»: ستون «%2» عنصر «%3» در داده ها نيست")
                        .arg(layout.name(), column, e.name));
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

Plan paginate(const Layout& layout, const ResultSet* data)
{
    const double pageHeight = layout.printableSize().height();
    const Band* header = layout.band(BandKind::PageHeader);
    const Band* columns = layout.band(BandKind::ColumnHeader);
    const Band* detail = layout.band(BandKind::Detail);
    const Band* summary = layout.band(BandKind::Summary);
    const int current = currentRow(data);

    Plan plan;
    double y = 0;
    double bodyTop = 0;
    auto startPage = [&] {
        plan.pages.emplace_back();
        y = 0;
        for (const Band* b : {header, columns}) {
            if (!b)
                continue;
            plan.pages.back().push_back({b, y, current, 0});
            y += b->height;
        }
        bodyTop = y;
    };
    auto place = [&](const Band* b, int row, int number) {
        if (y + b->height > pageHeight + 1e-6 && y > bodyTop + 1e-6)
            startPage();
        plan.pages.back().push_back({b, y, row, number});
        y += b->height;
    };

    startPage();
    if (detail) {
        if (layout.isBound()) {
            const int rows = data ? data->recordCount() : 0;
            for (int r = 0; r < rows; ++r)
                place(detail, r, r + 1);
        } else {
            place(detail, current, 1);
        }
    }
    if (summary)
        place(summary, current, 0);
    return plan;
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

class PagePainter {
public:
    PagePainter(QPainter& painter, const Layout& layout, const ResultSet* data, QPointF origin, double dpi,
                int pages)
        : p(painter), m_layout(layout), m_data(data), m_origin(origin), m_scale(dpi / 25.4), m_pages(pages)
    {
    }

    void paintPage(const std::vector<Placed>& bands, int pageNumber)
    {
        m_page = pageNumber;
        for (const Placed& placed : bands)
            paintBand(placed);
    }

private:
    QRectF toDevice(const QRectF& mm) const
    {
        return QRectF(m_origin.x() + mm.x() * m_scale, m_origin.y() + mm.y() * m_scale, mm.width() * m_scale,
                      mm.height() * m_scale);
    }

    void paintBand(const Placed& placed)
    {
        std::vector<const Element*> order;
        for (const Element& e : placed.band->elements)
            order.push_back(&e);
        std::stable_sort(order.begin(), order.end(), [](const Element* a, const Element* b) { return a->z < b->z; });
        for (const Element* e : order) {
            const QRectF mm = e->rect.translated(0, placed.y);
            switch (e->type) {
            case ElementType::Label:
                paintText(*e, mm, e->text);
                break;
            case ElementType::Field:
                paintText(*e, mm, fieldValue(m_layout, *e, m_data, placed.row));
                break;
            case ElementType::System:
                paintText(*e, mm, systemValue(*e, placed));
                break;
            case ElementType::Shape:
                paintShape(*e, mm);
                break;
            case ElementType::Picture:
                paintPicture(*e, mm);
                break;
            }
        }
        if (placed.band->frame) {
            p.save();
            QPen pen(Qt::black, placed.band->frameWidth * m_scale);
            pen.setJoinStyle(Qt::MiterJoin);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            const double width = m_layout.printableSize().width();
            p.drawRect(toDevice(QRectF(0, placed.y, width, placed.band->height)));
            p.restore();
        }
    }

    QString systemValue(const Element& e, const Placed& placed) const
    {
        switch (e.system) {
        case SystemValue::PageNumber: return QString::number(m_page);
        case SystemValue::PageCount: return QString::number(m_pages);
        case SystemValue::RowNumber: return placed.rowNumber > 0 ? QString::number(placed.rowNumber) : QString();
        }
        return {};
    }

    void paintText(const Element& e, QRectF mm, const QString& raw)
    {
        if (raw.isEmpty())
            return;
        QString text = e.rightToLeft ? isolateRuns(raw) : raw;
        text.replace(QLatin1Char('\n'), QChar::LineSeparator);

        QFont font(fontEquivalent(e.fontFamily));
        font.setPointSizeF(e.fontSize);
        font.setBold(e.bold);

        QTextOption option(e.alignment | Qt::AlignAbsolute);
        option.setTextDirection(e.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        option.setWrapMode(e.wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);

        QTextLayout tl(text, font, p.device());
        tl.setTextOption(option);
        QRectF box = toDevice(mm);

        if (e.autoWidth) {
            tl.beginLayout();
            double natural = 0;
            for (QTextLine line = tl.createLine(); line.isValid(); line = tl.createLine()) {
                line.setLineWidth(1e6);
                natural = std::max(natural, line.naturalTextWidth());
            }
            tl.endLayout();
            natural = std::ceil(natural + 1);
            if (e.rightToLeft)
                box.setLeft(box.right() - natural);
            else
                box.setWidth(natural);
        }

        double height = 0;
        tl.beginLayout();
        for (QTextLine line = tl.createLine(); line.isValid(); line = tl.createLine()) {
            line.setLineWidth(box.width());
            line.setPosition(QPointF(0, height));
            height += line.height();
        }
        tl.endLayout();

        double top = box.top();
        if (e.alignment & Qt::AlignVCenter)
            top += (box.height() - height) / 2;
        else if (e.alignment & Qt::AlignBottom)
            top += box.height() - height;
        // Wrapped text taller than its box starts at the top and is cut at the bottom;
        // a single line keeps its alignment (tall scripts such as Nastaliq have far more
        // line height than ink, and the ink sits in the middle).
        if (tl.lineCount() > 1)
            top = std::max(top, box.top());

        p.save();
        p.setClipRect(box, Qt::IntersectClip);
        p.setPen(e.color);
        p.setFont(font);
        for (int i = 0; i < tl.lineCount(); ++i) {
            const QTextLine line = tl.lineAt(i);
            if (top + line.y() >= box.bottom())
                break; // lines wholly below the box are not printed at all
            line.draw(&p, QPointF(box.left(), top));
        }
        p.restore();
    }

    void paintShape(const Element& e, const QRectF& mm)
    {
        const QRectF r = toDevice(mm);
        p.save();
        QPen pen(e.lineColor, e.lineWidth * m_scale);
        if (e.lineWidth <= 0)
            pen = Qt::NoPen;
        p.setPen(pen);
        p.setBrush(e.fill.isValid() ? QBrush(e.fill) : QBrush(Qt::NoBrush));
        switch (e.shape) {
        case ShapeKind::Rectangle: p.drawRect(r); break;
        case ShapeKind::Circle: p.drawEllipse(r); break;
        case ShapeKind::HorizontalLine: p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y())); break;
        }
        p.restore();
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
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(r, e.image);
        p.restore();
    }

    QPainter& p;
    const Layout& m_layout;
    const ResultSet* m_data;
    QPointF m_origin;
    double m_scale;
    int m_pages;
    int m_page = 1;
};

} // namespace

int pageCount(const Layout& layout, const ResultSet* data)
{
    return int(paginate(layout, data).pages.size());
}

int render(const Layout& layout, const ResultSet* data, QPagedPaintDevice& device)
{
    checkFields(layout, data);
    const Plan plan = paginate(layout, data);
    device.setPageLayout(layout.pageLayout());
    QPointF origin;
    if (auto* printer = dynamic_cast<QPrinter*>(&device); printer && printer->fullPage()) {
        const double s = device.logicalDpiX() / 25.4;
        origin = QPointF(layout.margins().left() * s, layout.margins().top() * s);
    }
    QPainter painter;
    if (!painter.begin(&device))
        throw Error(QStringLiteral("قالب چاپي «%1»: چاپ آغاز نشد").arg(layout.name()));
    painter.setRenderHint(QPainter::Antialiasing);
    PagePainter pages(painter, layout, data, origin, device.logicalDpiX(), int(plan.pages.size()));
    for (size_t i = 0; i < plan.pages.size(); ++i) {
        if (i > 0)
            device.newPage();
        pages.paintPage(plan.pages[i], int(i) + 1);
    }
    painter.end();
    return int(plan.pages.size());
}

int renderToPdf(const Layout& layout, const ResultSet* data, const QString& path)
{
    checkFields(layout, data);
    {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly))
            throw Error(QStringLiteral("فايل «%1» نوشته نشد: %2").arg(path, probe.errorString()));
    }
    QPdfWriter writer(path);
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("Tarvest"));
    writer.setTitle(layout.name());
    return render(layout, data, writer);
}

QList<QImage> renderToImages(const Layout& layout, const ResultSet* data, int dpi)
{
    checkFields(layout, data);
    const Plan plan = paginate(layout, data);
    const double s = dpi / 25.4;
    const QSizeF pageMm = layout.pageLayout().fullRect(QPageLayout::Millimeter).size();
    const QSize size(qRound(pageMm.width() * s), qRound(pageMm.height() * s));
    const QPointF origin(layout.margins().left() * s, layout.margins().top() * s);
    QList<QImage> images;
    for (size_t i = 0; i < plan.pages.size(); ++i) {
        QImage image(size, QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(dpi / 0.0254));
        image.setDotsPerMeterY(qRound(dpi / 0.0254));
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        PagePainter pages(painter, layout, data, origin, dpi, int(plan.pages.size()));
        pages.paintPage(plan.pages[i], int(i) + 1);
        painter.end();
        images.append(image);
    }
    return images;
}

} // namespace tarvest::report
