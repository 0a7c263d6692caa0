#pragma once
// The printed forms are layouts: one JSON file per form, describing a page and its
// bands, each band holding elements placed in millimetres. A form's code loads its
// layout by name, sets the texts, sizes, colours and pictures it computes, and hands
// it with its data to the renderer (reportrenderer.h) or to the preview
// (reportpreview.h).
//
// Where layouts come from
// -----------------------
// Layout::load("minutes") reads "minutes.json" from the office's layout folder when
// that folder holds one (the folder named by the environment variable
// TARVEST_LAYOUTS, otherwise <XDG data home>/vartalis/Tarvest/layouts, normally
// ~/.local/share/vartalis/Tarvest/layouts), and otherwise the copy compiled in from
// the repository's layouts/ folder (resource path ":/layouts/minutes.json"). So an
// office can change a letter's fixed wording by dropping an edited file there.
// Picture files named by a layout are looked up the same way (office folder first,
// then ":/layouts/"), unless the name is absolute or starts with ":/".
//
// Layout file format
// ------------------
// All lengths are millimetres unless the key says otherwise; colours are "#rrggbb"
// or any name QColor knows; unknown keys are refused so a typing slip shows at once.
//
//   {
//     "page": {
//       "paper": "A4" | "A5" | "Letter",              default "A4"
//       "orientation": "portrait" | "landscape",      default "portrait"
//       "margins": 10 | [left, top, right, bottom]    default 10
//     },
//     "cellMargin": 1,        room (mm) kept between a ruled cell's lines and its text:
//                             a text inside a rectangle, or between a rectangle's edge
//                             and a line across it, keeps its letters this far from them
//     "textGap": 0.4,         the least room (mm) between the letters of two texts; the
//                             fit check reports texts closer than that
//     "bound": true | false,  default false. Bound: the detail band prints once per row
//                             of the data, in the data's current order (none for no
//                             rows). Unbound: the detail band prints once, even with no
//                             data; its fields read the data's current row, if any.
//     "bands": [
//       {
//         "kind": "pageHeader" | "columnHeader" | "detail" | "summary",
//         "height": 30,
//         "frame": false,          a box around the whole band (printable width x height)
//         "frameWidth": 0.5,       frame line width in mm; or "frameWidthPx": 2
//                                  (pixels of 1/96 inch)
//         "elements": [ ... ],
//         "blocks": [              groups printed on one page, e.g. a signature:
//           {"name": "signature", "elements": ["signer", "post"],
//            "withPrevious": "closing"}   optional: an element kept on the block's page
//         ]
//       }
//     ]
//   }
//
// Bands: the page header prints at the top of every page, the column header right
// under it on every page, then detail bands while they fit (a detail that does not
// fit starts a new page), then the summary once after the last detail. At most one
// band of each kind.
//
// Elements (x, y relative to the band's top-left corner at the left margin):
//   common:   "name" (unique within the layout; required for run-time access),
//             "type": "label" | "field" | "system" | "paragraph" | "shape" | "picture",
//             "x", "y", "width", "height", "z" (stacking: higher draws later, default 0;
//             equal z keeps file order)
//   text (label, field, system, paragraph):
//             "font": family, default "Zar" (families are mapped to installed
//                     equivalents, see fontEquivalent()),
//             "size": points, default 10, "bold": false, "color": "#000000",
//             "align": horizontal "right" | "left" | "center" | "justify" and/or
//                      vertical "top" | "middle" | "bottom", space-separated,
//                      default "right middle" ("justify top" for a paragraph),
//             "wrap": accepted for older files; every text wraps at its blanks (and
//                      line breaks) only, to keep its box's width: a word, a letter number
//                      ("37/177/م", "۱۲۳۴۵/ص/۱۴۰۳") or an amount is never broken,
//             "format": "amount" (a value that is a plain number, "-1234567.5", prints
//                      grouped in threes, "-1,234,567.5"; anything else as it stands),
//             "minScale": 0.8 (a word wider than the box prints smaller, down to this
//                      share of its size; still wider, the fit check reports it),
//             "grow": true (the box grows downward to hold its whole text; false keeps
//                      its height and a text that needs more is reported, see
//                      fitProblems() in reportrenderer.h),
//             "autoWidth": false (the width follows the text; right-to-left elements
//                      keep their right edge, left-to-right ones their left edge),
//             "rtl": true (right-to-left paragraph; false for left-to-right)
//   label:    "text"
//   field:    "expression": a column name with or without square brackets ("city",
//             "[city]"), or the sum or difference of two numeric columns ("[a]+[b]",
//             "a-b"); column names are matched case-insensitively. Blank when there is
//             no row. An unknown column is an error when the layout is rendered.
//   system:   "value": "page" (page number) | "pages" (page count) |
//             "row" (running detail number, 1-based; 1 in an unbound detail)
//   paragraph: one paragraph of fixed wording with its values inline:
//             "text": the wording, with {name} where a value stands (printed bold when
//                     "boldValues" is true, the default) or {=name} (printed in the
//                     paragraph's own weight); a line break ("\n") starts a new line.
//                     A value is set by name from the form's code (setText), or comes
//                     from "values", or else from the data's column of that name.
//             "values": {"name": "default text", ...}
//             Short words that lead a phrase ("مي", "در", "به", ...) stay on the line of
//             the word after them, and a short word ending a sentence stays with the
//             word before it.
//   shape:    "shape": "rectangle" | "circle" | "line" (horizontal, through the
//             middle of the rectangle), "lineWidth": 0.3, "lineColor": "#000000",
//             "fill": colour or "" for none (default none)
//   picture:  "source": file name (see above), optional; "keepAspect": true;
//             "optional": false (true: a file that is not found leaves the place empty,
//             as the forms' "emblem.png" does until the office puts its emblem there)
//
// For example, a letter's first paragraph:
//
//   {"name": "opening", "type": "paragraph", "x": 3, "y": 38, "width": 123, "height": 30,
//    "font": "Zar", "size": 12,
//    "text": "با عنايت به نامه شماره {letter_paper_no} مورخه {letter_paper_dat} تقاضاي آقا/خانم {letter_darkhast} ..."}
//
// Growing: each text is measured with its font's own ascent and descent per line. A box
// whose text needs more height grows downward by the difference, and everything in its
// band from its original bottom down moves by as much (boxes that hold it grow with it;
// boxes ending on the same line, such as the cells of a register row, grow together).
// A band that no longer fits its page continues on the next one, cut between texts.
// Text is never clipped. Numbers, dates and Latin words inside right-to-left text are
// isolated as left-to-right runs, so "1403/01/05" and "4662/ص" print in reading order.
#include <QColor>
#include <QImage>
#include <QMap>
#include <QMarginsF>
#include <QPageLayout>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <vector>

namespace tarvest::report {

enum class ElementType { Label, Field, System, Shape, Picture, Paragraph };
enum class SystemValue { PageNumber, PageCount, RowNumber };
enum class ShapeKind { Rectangle, Circle, HorizontalLine };
enum class BandKind { PageHeader, ColumnHeader, Detail, Summary };
enum class Paper { A4, A5, Letter };

struct Element {
    QString name;
    ElementType type = ElementType::Label;
    QRectF rect; // mm, relative to the band
    int z = 0;

    // Label, field and system value.
    QString text;       // label
    QString expression; // field
    SystemValue system = SystemValue::PageNumber;
    QString fontFamily = QStringLiteral("Zar"); // as written in the layout
    double fontSize = 10;                       // points
    bool bold = false;
    QColor color = Qt::black;
    Qt::Alignment alignment = Qt::AlignRight | Qt::AlignVCenter;
    bool wordWrap = false;
    bool autoWidth = false;
    bool rightToLeft = true;
    bool grow = true; // the box grows downward to hold its whole text
    // A word wider than the box is printed smaller, down to this share of its size.
    double minScale = 0.8;
    // An amount: a value that is a plain number prints with its digits grouped in threes.
    bool groupDigits = false;

    // Paragraph: `text` holds the wording with {name} (bold value) and {=name} (value
    // in the paragraph's own weight) placeholders; `values` their texts.
    QMap<QString, QString> values;
    bool boldValues = true;

    // Shape.
    ShapeKind shape = ShapeKind::Rectangle;
    double lineWidth = 0.3; // mm
    QColor lineColor = Qt::black;
    QColor fill; // invalid: not filled

    // Picture.
    QString source;
    QImage image;
    bool keepAspect = true;

    bool isText() const
    {
        return type == ElementType::Label || type == ElementType::Field || type == ElementType::System
               || type == ElementType::Paragraph;
    }
    // The placeholder names of a paragraph, in reading order.
    QStringList placeholders() const;
};

// Elements of a band that print on one page: a signature (name and title), the
// members' row, a signer with the line above it. When the block would not end on the
// page it starts on, it moves to the next page whole; `withPrevious` names the element
// (normally the paragraph before it) that moves with it.
struct Block {
    QString name;
    QStringList elements;
    QString withPrevious;
};

struct Band {
    BandKind kind = BandKind::Detail;
    double height = 0; // mm
    bool frame = false;
    double frameWidth = 0.5; // mm
    std::vector<Element> elements;
    std::vector<Block> blocks;
};

class Layout {
public:
    Layout() = default;

    // Reads "<name>.json" from the office's layout folder or else from the compiled-in
    // layouts; throws tarvest::Error when neither has it or the file is not a valid
    // layout. `name` may carry the ".json" ending.
    static Layout load(const QString& name);
    // Reads a layout file by path (pictures are looked up next to it first).
    static Layout fromFile(const QString& path);
    // Parses layout text; `name` is used in messages. Throws tarvest::Error.
    static Layout fromJson(const QByteArray& json, const QString& name);
    // The office's layout folder (it need not exist).
    static QString overrideFolder();

    QString name() const { return m_name; }
    // Set by load() when the office's copy of the layout could not be read and the
    // built-in copy was taken instead: a message naming the office file and its fault.
    QString loadProblem() const { return m_loadProblem; }

    Paper paper() const { return m_paper; }
    void setPaper(Paper p) { m_paper = p; }
    QPageLayout::Orientation orientation() const { return m_orientation; }
    void setOrientation(QPageLayout::Orientation o) { m_orientation = o; }
    QMarginsF margins() const { return m_margins; } // mm
    void setMargins(const QMarginsF& mm) { m_margins = mm; }
    // The page as Qt prints it: paper, orientation and margins in millimetres.
    QPageLayout pageLayout() const;
    // Printable width and height in mm (page less margins).
    QSizeF printableSize() const;

    // Room between a ruled cell's lines and the text in it (mm), and the least room
    // between the letters of two texts (mm).
    double cellMargin() const { return m_cellMargin; }
    void setCellMargin(double mm) { m_cellMargin = mm; }
    double textGap() const { return m_textGap; }
    void setTextGap(double mm) { m_textGap = mm; }

    bool isBound() const { return m_bound; }
    void setBound(bool bound) { m_bound = bound; }

    std::vector<Band>& bands() { return m_bands; }
    const std::vector<Band>& bands() const { return m_bands; }
    // The band of that kind, or nullptr.
    Band* band(BandKind kind);
    const Band* band(BandKind kind) const;

    // Run-time access by element name. An unknown name, or an element of the wrong
    // type (setText on a shape, setFill on a label), throws tarvest::Error naming the
    // element and the layout.
    Element& element(const QString& name);
    const Element& element(const QString& name) const;
    bool hasElement(const QString& name) const;
    // Whether some paragraph has a placeholder of that name.
    bool hasPlaceholder(const QString& name) const;
    // A label's text; on a field or system value it replaces the value with the fixed
    // text (the element becomes a label). A name that is no element but a paragraph's
    // placeholder sets the placeholder's value in every paragraph that has it.
    void setText(const QString& name, const QString& text);
    // An element's text (a field's expression), else a placeholder's value.
    QString text(const QString& name) const;
    void setFontSize(const QString& name, double points);
    void setFill(const QString& name, const QColor& colour);   // shapes; invalid colour: no fill
    void setPicture(const QString& name, const QImage& image); // pictures
    void bringToFront(const QString& name);                    // above every element of its band
    void sendToBack(const QString& name);                      // below every element of its band

private:
    Band& bandOf(const QString& name);

    QString m_name;
    QString m_folder; // where pictures are looked up first
    QString m_loadProblem;
    Paper m_paper = Paper::A4;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
    QMarginsF m_margins{10, 10, 10, 10};
    bool m_bound = false;
    double m_cellMargin = 1.0;
    double m_textGap = 0.4;
    std::vector<Band> m_bands;
};

// The installed family printed for a family named in a layout: "Zar" and "Lotus" →
// "Nazli", "Titr" → "Titr", "IranNastaliq" → "Noto Nastaliq Urdu", "Times New Roman" →
// "DejaVu Serif", "Arial" → "DejaVu Sans"; the installed families themselves stay;
// anything else → "Noto Naskh Arabic UI".
QString fontEquivalent(const QString& family);

// Text prepared for a right-to-left paragraph: a text without right-to-left letters
// becomes one left-to-right isolate; in a mixed text every run of digits, Latin
// letters and the slashes, dots, colons, dashes and spaces between them is isolated.
QString isolateRuns(const QString& text);

} // namespace tarvest::report
