#pragma once
// Prints a layout (reportlayout.h) with its data: to a printer or PDF writer, to a
// PDF file, or to page images. The data is only read: its current row is the same
// after printing as before.
#include "reports/reportlayout.h"

#include <QImage>
#include <QList>
#include <QString>

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

} // namespace tarvest::report
