#pragma once
// The other experts' dialog "ساير کارشناسان": splits a fee document's `sayer_kar`
// amount among named persons, one `sayerkar` row each with its percentage and amount.
#include "db/resultset.h"
#include "db/session.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tarvest {

class TMonEdit;

class Tasnad_sayer_kar : public QDialog {
    Q_OBJECT
public:
    explicit Tasnad_sayer_kar(Session& session, QWidget* parent = nullptr);
    ~Tasnad_sayer_kar() override;

    // Opens the rows of a document (key 0: a new document; `pending` then holds the ids
    // of the rows recorded for it, and receives the rows added now).
    void prepare(qint64 documentId, qint64 amount, QList<qint64>* pending);

    void add();           // ins_btn
    void removeCurrent(); // the grid's pop-up "حذف"
    ResultSet& rows() { return m_rows; }

private:
    void updateAmount();

    Session& m_session;
    ResultSet m_rows;
    qint64 m_documentId = 0;
    QList<qint64>* m_pending = nullptr;
    QLabel* m_amount;
    QLabel* m_key;
    QLineEdit* m_nam;
    QLineEdit* m_darsad;
    TMonEdit* m_mablagh;
    QTableView* m_grid;
};

} // namespace tarvest
