#pragma once
// The phone book "دفترچه تلفن": adds entries under a unique name, searches as the search
// text changes, and deletes an entry, putting its values back into the fields.
#include "admin/core/phonebook.h"
#include "db/resultset.h"
#include "widgets/screen.h"

#include <QDialog>

class QAction;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tarvest {

class Session;

class Tphone : public QDialog, public AccessTarget {
    Q_OBJECT
public:
    explicit Tphone(Session& session, QWidget* parent = nullptr);

    // "ثبت" follows the insert right, the pop-up "حذف" the delete right.
    void applyRights(const PageRights& rights) override;
    // What the main menu does before showing the screen: the search text and the three
    // fields emptied, and every entry listed.
    void prepare();

    void search();        // every change of src
    void addEntry();      // ins_btn "ثبت"
    void deleteCurrent(); // pop-up "حذف"

    PhoneColumn searchColumn() const;
    ResultSet& entries() { return m_entries; }

private:
    void searchTextChanged();
    void arrangeColumns();

    Session& m_session;
    ResultSet m_entries; // ADOQuery1
    ResultSetModel* m_model;

    QLineEdit* m_name;
    QLineEdit* m_tel;
    QLineEdit* m_cmt;
    QPushButton* m_insert;
    QButtonGroup* m_columns; // RadioGroup1
    QLineEdit* m_src;
    QLabel* m_count;
    QTableView* m_grid;
    QAction* m_delete;
};

} // namespace tarvest
