#pragma once
// The users screen "كاربران": finds users, opens the user entry dialog to add or edit
// one, deletes users, exports the list, and edits the page rights and the county
// rights of the user selected in its grid.
#include "admin/core/users.h"
#include "db/resultset.h"
#include "widgets/screen.h"

#include <QDialog>

#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;

namespace tarvest {

class Tusers_ins;

class Tusers : public QDialog, public AccessTarget {
    Q_OBJECT
public:
    explicit Tusers(Session& session, QWidget* parent = nullptr);
    ~Tusers() override;

    // "ثبت" and the four save and add buttons follow the insert right, "ويرايش" the
    // edit right and "حذف" the delete right.
    void applyRights(const PageRights& rights) override;
    // What the main menu does before showing the screen: fills the province and group
    // lists, clears the fields and lists every user.
    void prepare();

    void search();         // src_btn
    void newUser();        // "ثبت"
    void editUser();       // "ويرايش"
    void deleteUser();     // "حذف"
    void exportList();     // "اکسل"
    void savePageRights(); // ins_btn2
    void saveCounties();   // ins_btn
    void addAllCounties(); // SpeedButton2
    void addCounty();      // SpeedButton3
    // Loads the page and county rights of the grid's current user into the boxes.
    void showRightsOfCurrent();

    // The boxes as they stand, and setting them.
    RightsByPage shownRights() const;
    void showRights(const RightsByPage& rights);

    ResultSet& users() { return m_users; }
    Tusers_ins& entryScreen();
    // The export's last file (for the tests); empty before the first export.
    QString lastExport() const { return m_lastExport; }

private:
    struct PageBoxes {
        QCheckBox* insert;
        QCheckBox* edit;
        QCheckBox* remove;
        QCheckBox* view;
    };
    QWidget* buildSearch();
    QWidget* buildPageRights();
    QWidget* buildCountyRights();
    void fillLists();
    void fillCounties();
    void arrangeColumns();
    void reopen();
    bool currentUser(qint64* id) const;
    void clearRights();
    void applyDefaultProfile();

    Session& m_session;
    ResultSet m_users; // adoq_user
    UserQuery m_lastQuery;
    QString m_lastExport;

    QCheckBox* m_usBox;
    QCheckBox* m_ostanBox;
    QCheckBox* m_namBox;
    QCheckBox* m_levBox;
    QLineEdit* m_us;
    QComboBox* m_ostan2;
    QLineEdit* m_nam;
    QComboBox* m_lev2;
    QPushButton* m_search;
    QLabel* m_count;
    QLabel* m_karbar;
    QLabel* m_level;
    QLabel* m_prsId;
    QTableView* m_grid;
    ResultSetModel* m_model;

    QList<PageBoxes> m_boxes; // in the order of rightsPages()
    QComboBox* m_lev;
    QComboBox* m_semat;
    QPushButton* m_savePages;

    QComboBox* m_ostan;
    QComboBox* m_shahrestan;
    QListWidget* m_counties;
    QPushButton* m_addAll;
    QPushButton* m_addOne;
    QPushButton* m_saveCounties;

    QAction* m_new;
    QAction* m_edit;
    QAction* m_delete;
    std::unique_ptr<Tusers_ins> m_entry;
};

} // namespace tarvest
