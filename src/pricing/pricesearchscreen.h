#pragma once
// The price search "قيمت گذاري ها": the assessments the user may see (their counties in
// `dastrasi2`, every county for "admin"), filtered by letter number, county and village,
// with their count; new, edit and delete (with the delete password); the three printed
// forms of the selected assessment; and the export of the list to a spreadsheet.
#include "pricing/core/pricing.h"
#include "widgets/screen.h"

#include <QDialog>

#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

namespace tarvest {

class ResultSetModel;
class Tghimat_ins;

class Tghimat_src : public QDialog, public AccessTarget {
    Q_OBJECT
public:
    explicit Tghimat_src(Session& session, QWidget* parent = nullptr);
    ~Tghimat_src() override;

    // Item 1 follows the insert right, item 2 the edit right, item 3 the delete right.
    void applyRights(const PageRights& rights) override;
    // What the main menu does before showing the screen: the search with the filters as
    // they stand, then the letter and village filters emptied and the county filter set
    // to a county user's name.
    void prepare();

    bool search();        // src_btn
    void newPrice();      // N1 "ثبت"
    void editPrice();     // N2 "ويرايش"
    void deletePrice();   // N3 "حذف"
    void printOstan();    // N7 "فرم استان"
    void printCity();     // N8 "فرم شهرستان"
    void printShahri();   // N9 "فرم مسکن شهري"
    QString exportList(); // N5 "اکسل": the file written

    pricing::PriceFilters filters() const;
    Tghimat_ins& entryScreen();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void arrangeColumns();
    void updateCount();

    Session& m_session;
    pricing::PriceQuery m_lastQuery;
    QLineEdit* m_paperNo;
    QComboBox* m_city;
    QComboBox* m_rosta;
    QLabel* m_count;
    QTableView* m_grid;
    ResultSetModel* m_model;
    QAction* m_new;
    QAction* m_edit;
    QAction* m_delete;
    std::unique_ptr<Tghimat_ins> m_entry;
};

} // namespace tarvest
