#pragma once
// The program attachments "ضمائم برنامه" (administrator only): the fixed title list, storing
// a file under a title with its password, opening a stored file, changing its password and
// deleting it. The rules are in admin/core/attachments.h.
#include "db/session.h"

#include <QDialog>

class QAction;
class QComboBox;
class QLineEdit;
class QPushButton;
class QProgressBar;
class QTableView;

namespace tarvest {

class ResultSetModel;

class Tzamaem : public QDialog {
    Q_OBJECT
public:
    explicit Tzamaem(Session& session, QWidget* parent = nullptr);
    ~Tzamaem() override;

    // What the main menu does before showing the screen: the password and the title are
    // emptied, the title list is refilled from the gazetteer, every attachment is listed.
    void prepare();

    void titleChosen();         // Combo_type: the grid lists that title alone
    void storeFile();           // image1_btn
    void openRow(int row);      // a click on a row of the grid
    void changePasswordOfRow(); // "تغيير رمز" of the grid's pop-up menu
    void deleteRow();           // "حذف" of the grid's pop-up menu
    ResultSet& list() { return m_list; }

private:
    void listAll();
    void listTitle(const QString& title);
    bool selectCurrent();

    Session& m_session;
    ResultSet m_list; // ADOQ_zamaem, without the bytes and the passwords
    ResultSetModel* m_model;
    QComboBox* m_title;
    QLineEdit* m_password;
    QPushButton* m_store;
    QTableView* m_grid;
    QProgressBar* m_progress; // storing or opening a file
    QAction* m_changePassword;
    QAction* m_delete;
};

} // namespace tarvest
