#pragma once
// The price assessment entry "ثبت/ويرايش قيمت گذاري": an assessment's village, use,
// county letter and value per square metre; the base-price coefficient, which county
// users cannot set; the base, street and service prices that follow from them as the
// user types; and the ways of price discovery as a check list. Saving writes into the
// price result set that the price search shows.
#include "db/session.h"
#include "pricing/core/derivedprices.h"
#include "pricing/core/pricing.h"

#include <optional>

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tarvest {

class DateEdit;
class PlaceLists;
class TMonEdit;
class TRealEdit;

class Tghimat_ins : public QDialog {
    Q_OBJECT
public:
    explicit Tghimat_ins(Session& session, QWidget* parent = nullptr);
    ~Tghimat_ins() override;

    // The search screen's "ثبت": empty fields, zero prices, the check list unticked.
    void prepareNew();
    // The search screen's "ويرايش" for the selected assessment; false (and the refusal
    // shown) when a county user may no longer edit it.
    bool prepareEdit();

    void saveNew();     // ins_btn
    void saveChanges(); // edit_btn

    // The reactions, as the user's typing and focus run them.
    void recomputeAll();            // all five derived prices
    void recomputeOne(TMonEdit* f); // one of them, when its field takes the focus
    void transferTypeChanged();     // the user picked or typed a transfer type

    // Refills the lists and the coefficient labels, as each showing does.
    void refreshLists();

    QStringList checkedFinders() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillFinders(const QStringList& checked);
    pricing::PriceCoefficients coefficients() const;
    // The assessment as the fields hold it; nullopt (and the refusal shown) when an
    // amount or the coefficient cannot be read.
    std::optional<pricing::Assessment> readFields() const;
    static void setComboItems(QComboBox* combo, const QStringList& items);

    Session& m_session;
    QComboBox *m_city, *m_bakhsh, *m_dehestan, *m_rosta, *m_abadiCod;
    QComboBox *m_karbari, *m_tamin, *m_vagozari;
    QLineEdit* m_sal;
    QLineEdit* m_paperNo;
    DateEdit* m_paperDat;
    TMonEdit* m_arzesh;
    TRealEdit* m_payeZarib;
    TMonEdit *m_paye, *m_mojaver12, *m_mojaver16, *m_mojaverMax, *m_khadamati;
    QLabel *m_k12, *m_k16, *m_kMax, *m_kKhadamati;
    QListWidget* m_finders;
    QPushButton* m_ins;
    QPushButton* m_edit;
    PlaceLists* m_places;
};

} // namespace tarvest
