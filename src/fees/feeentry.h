#pragma once
// The fee document entry screen "ثبت/ويرايش اسناد": a county's year, its two deposit
// receipts, the commission members' fee, and the distribution over the staff roles in
// four groups, computed with one click (fees/core/distribution.h) and editable by hand.
// New documents are saved under the county-and-year rule; the other experts' dialog
// opens from the underlined caption of `sayer_kar`.
#include "db/resultset.h"
#include "db/session.h"

#include <QDialog>
#include <QHash>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvest {

class DateEdit;
class TMonEdit;
class Tasnad_sayer_kar;

class Tasnad_ins : public QDialog {
    Q_OBJECT
public:
    // `documents` is the search screen's result set: a new document is appended to it,
    // an edited one is its current row.
    Tasnad_ins(Session& session, ResultSet& documents, QWidget* parent = nullptr);
    ~Tasnad_ins() override;

    void prepareNew();  // the search screen's "ثبت"
    void prepareEdit(); // the search screen's "ويرايش": the current row
    // What every showing does first: the county list, the member fee and its shares and
    // the member count from the settings.
    void applyShowingSteps();

    // hesab_chk (and fish_chk): computes the distribution into the fields; a refused
    // input shows its message and changes nothing. True when the fields were written.
    bool compute();
    void saveNew();     // ins_btn
    void saveChanges(); // edit_btn
    void openExperts(); // Label20

    bool insertMode() const;
    // The other experts' rows recorded for the new document (key 0), by id.
    const QList<qint64>& pendingExperts() const { return m_pendingExperts; }
    Tasnad_sayer_kar& expertsDialog();

    // The values a save writes, by column.
    QVariantMap savedValues() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setReceiptFields(bool enabled);
    QLineEdit* text(const QString& name) const;
    TMonEdit* amount(const QString& name) const;

    Session& m_session;
    ResultSet& m_documents;
    QComboBox* m_city;
    QLineEdit* m_sal;
    QCheckBox* m_fish;
    QCheckBox* m_hesab;
    QPushButton* m_ins;
    QPushButton* m_edit;
    QHash<QString, QLineEdit*> m_fields; // every text and amount field by column
    QHash<QString, QLabel*> m_percents;  // percentage labels by name
    QList<QWidget*> m_receiptFields;
    QList<qint64> m_pendingExperts;
    qint64 m_savedId = 0; // the document this new-document screen saved last, 0 before
    std::unique_ptr<Tasnad_sayer_kar> m_experts;
};

// The amount columns of a fee document the entry screen writes as whole rials.
const QStringList& feeAmountColumns();

} // namespace tarvest
