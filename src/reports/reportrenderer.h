#pragma once
// Prints a layout (reportlayout.h) with its data: to a printer or PDF writer, to a
// PDF file, or to page images. The data is only read: its current row is the same
// after printing as before.
#include "reports/reportlayout.h"

#include <QImage>
#include <QList>
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

// A text that needed more room than it got: wider than its box (a word longer than the
// box is wide), taller than a box that may not grow, beyond the printable area, or
// overlapping another text.
struct FitProblem {
    QString element; // its name (or the start of its text)
    int page;        // 1-based
    QString what;
};
// Lays the layout out with the data as printing would and lists every text that did
// not get the room it needed; none for a layout whose every text prints whole.
std::vector<FitProblem> fitProblems(const Layout& layout, const ResultSet* data);

} // namespace tarvest::report
