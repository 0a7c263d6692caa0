#pragma once
// The case search "گزارشات", the hub of the case register: filters, the count, the
// grid of cases (the session's shared case result set), and the commands on the
// selected case and on the whole result.
#include "cases/core/casesearch.h"
#include "widgets/screen.h"

#include <QDialog>
#include <QHash>
#include <QStringList>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTableView;

namespace tarvest {

class DateEdit;
class PlaceLists;
class ResultSetModel;
class Tkomision;
class Tkomision_pic;

class Tkomision_rep : public QDialog, public AccessTarget {
    Q_OBJECT
public:
    explicit Tkomision_rep(Session& session, QWidget* parent = nullptr);
    ~Tkomision_rep() override;

    // The menu's "ثبت", "ويرايش" and "حذف" follow the page rights.
    void applyRights(const PageRights& rights) override;
    // What the main menu does before showing the screen: clears the filter texts,
    // closes the provincial prints to a county user, and runs the search.
    void prepare();

    // Runs the search; false (after a message) when a filter value is not usable.
    bool search();
    void newCase();     // "ثبت"
    void editCase();    // "ويرايش"
    void deleteCase();  // "حذف"
    void attachments(); // "ضمائم"
    void exportList();  // "اكسل"
    void addId();       // "+"

    // The filters as they stand; nullopt (after a message) when one is unusable.
    std::optional<CaseFilters> filters();
    Tkomision& entryScreen();
    Tkomision_pic& picturesScreen();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption, void (Tkomision_rep::*slot)());
    void arrangeColumns();
    void keepColumnWidths();
    void updateCount(const CaseQuery& q);

    Session& m_session;
    CaseQuery m_lastQuery;
    bool m_provincesFilled = false;
    bool m_searching = false;
    // The grid's column widths by field, fitted to the first rows found and kept, with
    // any the clerk dragged, from one search to the next.
    QHash<QString, int> m_columnWidths;
    QStringList m_gridFields; // the fields the grid's columns showed when last arranged

    QLineEdit* m_paperNo;
    QComboBox* m_ostan;
    QComboBox* m_city;
    QComboBox* m_rosta;
    QLineEdit* m_darkhast;
    QComboBox* m_areaComparison;
    QLineEdit* m_area;
    DateEdit* m_meeting1;
    DateEdit* m_meeting2;
    DateEdit* m_reg1;
    DateEdit* m_reg2;
    QCheckBox* m_idBox;
    QLineEdit* m_pk;
    QPushButton* m_addPk;
    QCheckBox* m_showIds;
    QListWidget* m_ids;
    QComboBox* m_taeid;
    QComboBox* m_manzor;
    QLabel* m_count;
    QTableView* m_grid;
    ResultSetModel* m_model;
    PlaceLists* m_places;
    QAction* m_new;
    QAction* m_edit;
    QAction* m_delete;
    QMenu* m_provincialPrints;
    std::unique_ptr<Tkomision> m_entry;
    std::unique_ptr<Tkomision_pic> m_pictures;
};

} // namespace tarvest
