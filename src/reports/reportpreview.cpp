#include "reports/reportpreview.h"

#include "common/errors.h"
#include "reports/reportrenderer.h"
#include "widgets/dialogs.h"
#include "widgets/loadprogress.h"
#include "widgets/screen.h"

#include <QAction>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace tarvest::report {

ReportPreview::ReportPreview(const Layout& layout, const ResultSet* data, QWidget* parent)
    : QDialog(parent), m_layout(layout), m_data(data)
{
    setObjectName(QStringLiteral("report_preview"));
    setWindowTitle(QStringLiteral("پيش نمايش چاپ"));
    setLayoutDirection(Qt::RightToLeft);

    auto* printer = new QPrinter(QPrinter::HighResolution);
    printer->setPageLayout(m_layout.pageLayout());
    m_view = new QPrintPreviewWidget(printer, this);
    m_view->setObjectName(QStringLiteral("preview"));
    // The widget does not own the printer it is given.
    connect(m_view, &QObject::destroyed, [printer] { delete printer; });
    connect(m_view, &QPrintPreviewWidget::paintRequested, this, &ReportPreview::paint);

    auto* bar = new QToolBar(this);
    QAction* printAction = bar->addAction(QStringLiteral("چاپ"), this, &ReportPreview::print);
    printAction->setObjectName(QStringLiteral("print_btn"));
    QAction* pdfAction = bar->addAction(QStringLiteral("ذخيره PDF"), this, [this] { savePdf(); });
    pdfAction->setObjectName(QStringLiteral("pdf_btn"));
    bar->addSeparator();
    // The zoom slots take a factor: they are called without one (a triggered action's
    // checked flag would arrive as a factor of 0).
    QAction* zoomIn = bar->addAction(QStringLiteral("بزرگنمايي"), this, [this] { m_view->zoomIn(); });
    zoomIn->setObjectName(QStringLiteral("zoom_in_btn"));
    QAction* zoomOut = bar->addAction(QStringLiteral("کوچک نمايي"), this, [this] { m_view->zoomOut(); });
    zoomOut->setObjectName(QStringLiteral("zoom_out_btn"));
    QAction* fit = bar->addAction(QStringLiteral("اندازه صفحه"), this, [this] { m_view->fitInView(); });
    fit->setObjectName(QStringLiteral("fit_btn"));
    bar->addSeparator();
    auto pageAction = [&](const QString& text, const char* name, auto target) {
        QAction* a = bar->addAction(text, this,
                                    [this, target] { showPage(target(m_view->currentPage(), pageCount())); });
        a->setObjectName(QLatin1String(name));
    };
    pageAction(QStringLiteral("صفحه اول"), "first_page_btn", [](int, int) { return 1; });
    pageAction(QStringLiteral("صفحه قبل"), "prev_page_btn", [](int page, int) { return page - 1; });
    m_pageLabel = new QLabel(this);
    m_pageLabel->setObjectName(QStringLiteral("page_label"));
    m_pageLabel->setContentsMargins(8, 0, 8, 0);
    bar->addWidget(m_pageLabel);
    pageAction(QStringLiteral("صفحه بعد"), "next_page_btn", [](int page, int) { return page + 1; });
    pageAction(QStringLiteral("صفحه آخر"), "last_page_btn", [](int, int pages) { return pages; });
    connect(m_view, &QPrintPreviewWidget::previewChanged, this, &ReportPreview::updatePageLabel);
    bar->addSeparator();
    QAction* closeAction = bar->addAction(QStringLiteral("بستن"), this, &QDialog::accept);
    closeAction->setObjectName(QStringLiteral("close_btn"));

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(bar);
    box->addWidget(m_view, 1);
    resize(900, 700);
    m_view->updatePreview();
    showPage(1);
}

void ReportPreview::showPage(int page)
{
    m_view->setCurrentPage(std::clamp(page, 1, std::max(1, pageCount())));
    updatePageLabel();
}

QString ReportPreview::pageLabel() const
{
    return m_pageLabel->text();
}

int ReportPreview::currentPage() const
{
    return m_view->currentPage();
}

void ReportPreview::updatePageLabel()
{
    m_pageLabel->setText(QStringLiteral("%1 / %2").arg(m_view->currentPage()).arg(pageCount()));
}

int ReportPreview::pageCount() const
{
    return m_view->pageCount();
}

void ReportPreview::paint(QPrinter* printer)
{
    try {
        // A list of many rows reads them page by page as it prints: a long one shows how far
        // it has come.
        std::optional<WalkProgress> progress;
        if (m_data)
            progress.emplace(*m_data, QStringLiteral("در حال آماده كردن چاپ ..."));
        report::render(m_layout, m_data, *printer);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

bool ReportPreview::savePdf()
{
    const QString path = Dialogs::instance().saveFileName(
        QStringLiteral("ذخيره PDF"), m_layout.name() + QStringLiteral(".pdf"), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return false;
    try {
        std::optional<WalkProgress> progress;
        if (m_data)
            progress.emplace(*m_data, QStringLiteral("در حال نوشتن فايل ..."));
        renderToPdf(m_layout, m_data, path);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return false;
    }
    return true;
}

void ReportPreview::print()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(m_layout.pageLayout());
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    paint(&printer);
}

void previewReport(const Layout& layout, const ResultSet* data, QWidget* parent)
{
    ReportPreview preview(layout, data, parent);
    showModal(&preview);
}

} // namespace tarvest::report
