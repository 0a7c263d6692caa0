#pragma once
// The fee document search "اسناد": the county, year and receipt filters, the count, the
// grid of documents, and the menu that registers, edits, deletes (with the delete
// password), exports and prints them.
#include "db/resultset.h"
#include "db/session.h"
#include "fees/core/feedocs.h"
#include "widgets/screen.h"

#include <QDialog>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

namespace tarvest {

class Tasnad_ins;

class Tasnad_src : public QDialog, public AccessTarget {
    Q_OBJECT
public:
    explicit Tasnad_src(Session& session, QWidget* parent = nullptr);
    ~Tasnad_src() override;

    // "ثبت" follows the insert right, "ويرايش" the edit right, "حذف" the delete right.
    void applyRights(const PageRights& rights) override;
    // What the main menu does before showing the screen: the search with the filters as
    // they stand, and the county text of a county user.
    void prepare(QSize mainWindowSize = {});

    void search();            // src_btn
    void newDocument();       // N1
    void editDocument();      // N2
    void deleteDocument();    // N3
    QString exportList();     // N4: the file written, empty when none
    void printDocumentList(); // N5
    void printBySource();     // N6
    void printByPost();       // N7
    void printTables();       // N9

    fees::FeeFilters filters() const;
    const fees::FeeFilters& lastFilters() const { return m_lastFilters; }
    const fees::FeeTotals& totals() const { return m_totals; }
    ResultSet& documents() { return m_documents; }
    Tasnad_ins& entryScreen();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void arrangeColumns();

    Session& m_session;
    ResultSet m_documents;
    fees::FeeFilters m_lastFilters;
    fees::FeeTotals m_totals;
    QComboBox* m_city;
    QLineEdit* m_sal;
    QLineEdit* m_fish;
    QLabel* m_count;
    QTableView* m_grid;
    QAction* m_new;
    QAction* m_edit;
    QAction* m_delete;
    std::unique_ptr<Tasnad_ins> m_entry;
};

// The export's header texts by column.
QHash<QString, QString> feeExportTitles();

} // namespace tarvest
