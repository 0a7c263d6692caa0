#pragma once
// Prints a layout (reportlayout.h) with its data: to a printer or PDF writer, to a
// PDF file, or to page images. The data is only read: its current row is the same
// after printing as before.
#include "reports/reportlayout.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

#include <vector>

class QPagedPaintDevice;

namespace tarvest {
class ResultSet;
}

namespace tarvest::report {

// Prints every page on the device (a QPrinter or QPdfWriter), setting its page
// layout from the layout's page. `data` may be null. Returns the number of pages.
// Throws tarvest::Error when a field names a column the data does not have.
int render(const Layout& layout, const ResultSet* data, QPagedPaintDevice& device);

// Writes the pages to a PDF file (text stays text); throws tarvest::Error when the
// file cannot be written. Returns the number of pages.
int renderToPdf(const Layout& layout, const ResultSet* data, const QString& path);

// The pages as white images at `dpi` dots per inch.
QList<QImage> renderToImages(const Layout& layout, const ResultSet* data, int dpi = 96);

// How many pages the layout prints with this data.
int pageCount(const Layout& layout, const ResultSet* data);

// What a reader would see wrong on a page.
enum class FitKind {
    TooWide,      // a word wider than its box even at its smallest allowed size
    Shrunk,       // a word printed smaller than its size to fit its box
    TooTall,      // taller than a box that may not grow
    OutsidePage,  // beyond the printable area
    Overlap,      // letters crossing another text's
    TooClose,     // letters closer than the layout's gap to another text's
    NearLine,     // letters closer than the cell margin to a ruled line
    BlockSplit,   // a block's elements on more than one page
    BlockTooTall, // a block taller than a page can hold
};
struct FitProblem {
    QString element; // its name (or the start of its text)
    int page;        // 1-based
    QString what;
    FitKind kind = FitKind::TooWide;
};
// Lays the layout out with the data as printing would and lists every text that did
// not get the room it needed; none for a layout whose every text prints whole.
std::vector<FitProblem> fitProblems(const Layout& layout, const ResultSet* data);

// Where a text printed: its element, the detail row (-1 outside the detail band), its
// page (1-based) and what its letters cover on the page, in mm from the printable
// area's top-left corner.
struct PlacedText {
    QString element;
    int row;
    int page;
    QRectF ink;
    double scale; // 1, or the share of its size a too-wide word was printed at
};
std::vector<PlacedText> placedTexts(const Layout& layout, const ResultSet* data);

} // namespace tarvest::report
