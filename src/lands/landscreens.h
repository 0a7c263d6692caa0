#pragma once
// Land identification screens: the land search "اراضي" (Tarazi_src) with its filters, the
// county list, the land grid and its menu (new, edit, delete with the delete password,
// export, print), the spreadsheet preview and the replacement of the land data from
// sheet "sh" with its progress; and the land record entry "ثبت/ويرايش اراضي" (Tarazi_ins),
// built from the field table of lands/core/lands.h.
#include "common/spreadsheet.h"
#include "lands/core/lands.h"
#include "widgets/screen.h"

#include <QDialog>

#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableView;

namespace tarvest {

class PlaceLists;
class ResultSet;
class ResultSetModel;
class SheetPreviewModel;

class Tarazi_ins : public QDialog {
    Q_OBJECT
public:
    explicit Tarazi_ins(Session& session, QWidget* parent = nullptr);
    ~Tarazi_ins() override;

    void prepareNew();  // every input cleared, "ثبت" shown
    void prepareEdit(); // the inputs from the land result's current row, "ويرايش" shown
    void saveNew();     // ins_btn: refused when the county and village code are taken
    void saveChanges(); // edit_btn: no duplicate check; closes the screen

    // The 54 texts in the field table's order, and their setter.
    QStringList texts() const;
    void setTexts(const QStringList& texts);
    QWidget* input(const QString& column) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString textOf(int i) const;
    void setTextOf(int i, const QString& text);

    Session& m_session;
    QList<QWidget*> m_inputs; // QLineEdit or QComboBox, in the field table's order
    PlaceLists* m_places;
    QPushButton* m_ins;
    QPushButton* m_edit;
};

class Tarazi_src : public QDialog, public AccessTarget {
    Q_OBJECT
public:
    explicit Tarazi_src(Session& session, QWidget* parent = nullptr);
    ~Tarazi_src() override;

    // Menu items "ثبت", "ويرايش", "حذف" follow the insert, edit and delete rights; the
    // replacement (which deletes every record first) takes the insert and the delete right.
    void applyRights(const PageRights& rights) override;
    // What the main menu does before showing the screen: the search with the filters as
    // they stand, then the filter texts emptied (a county user's own name in the county
    // field, which is no filter by itself).
    void prepare();

    void search();                       // src_btn
    void addCounty();                    // add_shahrestan "+"
    void removeCounty();                 // "حذف شهرستان"
    void newRecord();                    // "ثبت"
    void editRecord();                   // "ويرايش"
    void deleteRecord();                 // "حذف"
    void exportList();                   // "اکسل"
    void printReport();                  // "چاپ"
    void browse();                       // Button1 "Browse"
    bool loadSheet(const QString& path); // the preview of a chosen file
    void replace();                      // ghghgh

    LandFilters filters() const;
    ResultSet& lands();
    Tarazi_ins& entryScreen();
    QStringList countyList() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void arrangeColumns();
    void refillLists();

    Session& m_session;
    SheetTable m_sheet;
    bool m_sheetLoaded = false;
    bool m_canReplace = false;

    QComboBox* m_county;
    QPushButton* m_addCounty;
    QCheckBox* m_showList;
    QListWidget* m_countyList;
    QList<QComboBox*> m_filterFields; // rosta, marhale, tarh, motale, marja
    QLabel* m_count;
    QTableView* m_grid;
    ResultSetModel* m_model;
    QTableView* m_preview;
    SheetPreviewModel* m_previewModel;
    QLabel* m_sheetCount;
    QPushButton* m_replace;
    QProgressBar* m_progress;
    QLabel* m_status;
    QAction* m_new;
    QAction* m_edit;
    QAction* m_delete;
    std::unique_ptr<Tarazi_ins> m_entry;
};

} // namespace tarvest
