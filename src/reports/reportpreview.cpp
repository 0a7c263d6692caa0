#include "reports/reportpreview.h"

#include "common/errors.h"
#include "reports/reportrenderer.h"
#include "widgets/dialogs.h"
#include "widgets/screen.h"

#include <QAction>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>
#include <QVBoxLayout>

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
    bar->addAction(QStringLiteral("بزرگنمايي"), m_view, &QPrintPreviewWidget::zoomIn);
    bar->addAction(QStringLiteral("کوچک نمايي"), m_view, &QPrintPreviewWidget::zoomOut);
    bar->addAction(QStringLiteral("اندازه صفحه"), m_view, &QPrintPreviewWidget::fitInView);
    bar->addSeparator();
    QAction* closeAction = bar->addAction(QStringLiteral("بستن"), this, &QDialog::accept);
    closeAction->setObjectName(QStringLiteral("close_btn"));

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(bar);
    box->addWidget(m_view, 1);
    resize(900, 700);
    m_view->updatePreview();
}

int ReportPreview::pageCount() const
{
    return m_view->pageCount();
}

void ReportPreview::paint(QPrinter* printer)
{
    try {
        report::render(m_layout, m_data, *printer);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

bool ReportPreview::savePdf()
{
    const QString path = Dialogs::instance().saveFileName(QStringLiteral("ذخيره PDF"), m_layout.name() + QStringLiteral(".pdf"),
                                                          QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return false;
    try {
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
