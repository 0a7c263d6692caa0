#pragma once
// The message screen "تبادل پيام": the messages addressed to the user (every message for
// the administrator, who may filter them by recipient), a new message to one or many
// recipients, marking a message as seen, and the administrator's deletions.
#include "admin/core/messages.h"
#include "db/resultset.h"

#include <QDialog>

#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QTableView;
class QToolButton;

namespace tarvest {

class Session;

class Tpayam : public QDialog {
    Q_OBJECT
public:
    explicit Tpayam(Session& session, QWidget* parent = nullptr);

    // What the main menu does before showing the screen: the user's message set, the
    // subject, text and recipient filter emptied (the filter enabled for "admin" only),
    // the subject choices and both recipient lists refilled (ticks kept by user).
    void prepare();

    void send();                // BitBtn1 "ارسال"
    void markSeen();            // N1 "خوانده شد"
    void deleteCurrent();       // N3 "حذف"
    void showRecipient();       // N2 "گيرنده پيام"
    void deleteAllSeen();       // N4 "حذف تمام خوانده شده ها"
    void deleteSelectedSeen();  // N5 "حذف انتخاب شده ها"
    void filterByRecipient();   // girande change
    void tickAll(bool checked); // CheckBox1

    ResultSet& messages() { return m_messages; }
    // The user ids of the ticked recipients, in list order.
    QList<qint64> tickedRecipients() const;

signals:
    // The screen closed; the user's unread messages counted afresh (-1 when they could
    // not be counted).
    void closedWithUnread(int count);

protected:
    void done(int result) override;

private:
    void reopen();
    void fillLists();
    void showCurrentText();
    void arrangeColumns();
    void fitColumns();
    bool currentMessage(qint64* id);
    bool mayDelete();

    Session& m_session;
    ResultSet m_messages; // ADOQ_payam
    ResultSetModel* m_model;
    std::optional<qint64> m_shownRecipient; // the restriction of the message set

    QTableView* m_grid;
    QLabel* m_currentSubject; // the current message's subject, whole
    QPlainTextEdit* m_text;   // DBMemo1
    QComboBox* m_recipientFilter;
    QComboBox* m_subject;
    QPlainTextEdit* m_newText; // cmt
    QCheckBox* m_all;
    QListWidget* m_recipients;
    QToolButton* m_send;
};

} // namespace tarvest
