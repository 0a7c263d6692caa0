#pragma once
// The user entry dialog "ثبت/ويرايش کاربران": a new user, or the changes of one.
#include "admin/core/users.h"

#include <QDialog>
#include <QVariantMap>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tarvest {

class Session;

class Tusers_ins : public QDialog {
    Q_OBJECT
public:
    explicit Tusers_ins(Session& session, QWidget* parent = nullptr);

    // Empty fields, status "فعال", the "ثبت" button.
    void prepareNew();
    // The user's fields with an empty password, the "ويرايش" button.
    void prepareEdit(qint64 id, const QVariantMap& loaded);

    void insert(); // ins_btn: stays open after a save
    void save();   // edit_btn: closes after a save

    UserFields fields() const;

signals:
    // A user was added or changed: the users list is to be read again.
    void saved();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillLists();
    bool showOutcome(UserSave outcome);

    Session& m_session;
    qint64 m_id = 0;
    QVariantMap m_loaded;
    QLineEdit* m_us;
    QLineEdit* m_ps;
    QComboBox* m_ostan;
    QComboBox* m_semat;
    QLineEdit* m_nam;
    QLineEdit* m_mobile;
    QComboBox* m_lev;
    QComboBox* m_status;
    QPushButton* m_insert;
    QPushButton* m_edit;
};

} // namespace tarvest
