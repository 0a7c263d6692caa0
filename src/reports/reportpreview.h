#pragma once
// The preview window of the printed forms: shows the pages, prints them through the
// print dialog and saves them as a PDF file. A command waits on it (showModal).
#include "reports/reportlayout.h"

#include <QDialog>

class QLabel;
class QPrintPreviewWidget;
class QPrinter;

namespace tarvest {
class ResultSet;
}

namespace tarvest::report {

class ReportPreview : public QDialog {
    Q_OBJECT
public:
    // Keeps a copy of the layout; `data` must outlive the window.
    ReportPreview(const Layout& layout, const ResultSet* data, QWidget* parent = nullptr);

    QPrintPreviewWidget* view() const { return m_view; }
    int pageCount() const;
    // The page shown (1-based) and "page / pages" under the toolbar's page buttons.
    int currentPage() const;
    void showPage(int page);
    QString pageLabel() const;

    // Asks for a file name (Dialogs::saveFileName) and writes the PDF; false when the
    // user cancels. A file that cannot be written is reported through Dialogs.
    bool savePdf();
    // The print dialog, then printing.
    void print();

private:
    void paint(QPrinter* printer);
    void updatePageLabel();

    Layout m_layout;
    const ResultSet* m_data;
    QPrintPreviewWidget* m_view = nullptr;
    QLabel* m_pageLabel = nullptr;
};

// Opens the preview of the layout over the data (null for none) and waits until it
// closes (through showModal, which tests replace).
void previewReport(const Layout& layout, const ResultSet* data, QWidget* parent = nullptr);

} // namespace tarvest::report
