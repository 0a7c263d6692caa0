#include "pricing/priceentry.h"

#include "common/errors.h"
#include "db/database.h"
#include "db/places.h"
#include "db/settinglists.h"
#include "widgets/conventions.h"
#include "widgets/dateedit.h"
#include "widgets/dialogs.h"
#include "widgets/entryguard.h"
#include "widgets/numericedits.h"
#include "widgets/placechain.h"
#include "widgets/recordchanged.h"

#include <QCollator>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace tarvest {

namespace {

template <typename T>
T* named(T* w, const char* name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QComboBox* editableCombo(QWidget* parent, const char* name)
{
    auto* c = named(new QComboBox(parent), name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setMinimumWidth(170);
    return c;
}

const QString kLabelMojaver12 = QStringLiteral("قطعات مجاور معبر کمتر از 12  متر از قرار هر متر مربع");
const QString kLabelMojaver16 = QStringLiteral("قطعات مجاور معبر 12 تا 16متر از قرار هر متر مربع");
const QString kLabelMojaverMax = QStringLiteral("قطعات مجاور معبر بيش از 16 متر از قرار هر متر مربع ");
const QString kLabelKhadamati = QStringLiteral("قيمت اراضي با کاربري خدماتي  از قرار هر متر مربع ");

} // namespace

Tghimat_ins::Tghimat_ins(Session& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_session(session)
{
    setObjectName(QStringLiteral("Tghimat_ins"));
    setWindowTitle(QStringLiteral("ثبت/ويرايش قيمت گذاري"));
    setLayoutDirection(Qt::RightToLeft);

    m_city = editableCombo(this, "city");
    m_bakhsh = editableCombo(this, "bakhsh");
    m_dehestan = editableCombo(this, "dehestan");
    m_rosta = editableCombo(this, "rosta");
    m_abadiCod = editableCombo(this, "abadi_cod");
    m_karbari = editableCombo(this, "karbari");
    m_tamin = editableCombo(this, "tamin");
    m_vagozari = editableCombo(this, "vagozari");
    m_sal = named(new QLineEdit(this), "sal");
    m_sal->setInputMask(QStringLiteral("0000;_"));
    m_paperNo = named(new QLineEdit(this), "paper_no");
    m_paperDat = named(new DateEdit(this), "paper_dat");
    m_arzesh = named(new TMonEdit(this), "arzesh");
    m_payeZarib = named(new TRealEdit(this), "paye_zarib");
    m_paye = named(new TMonEdit(this), "paye");
    m_mojaver12 = named(new TMonEdit(this), "mojaver12");
    m_mojaver16 = named(new TMonEdit(this), "mojaver16");
    m_mojaverMax = named(new TMonEdit(this), "mojaver_max");
    m_khadamati = named(new TMonEdit(this), "khadamati");
    m_k12 = named(new QLabel(QStringLiteral("1"), this), "mojaver12_zarib");
    m_k16 = named(new QLabel(QStringLiteral("1.1"), this), "mojaver16_zarib");
    m_kMax = named(new QLabel(QStringLiteral("1.2"), this), "mojaver_max_zarib");
    m_kKhadamati = named(new QLabel(QStringLiteral("1"), this), "khadamati_zarib");
    m_finders = named(new QListWidget(this), "kashf_list");
    m_finders->setMinimumWidth(200);
    for (QLineEdit* amount : {static_cast<QLineEdit*>(m_arzesh), static_cast<QLineEdit*>(m_paye),
                              static_cast<QLineEdit*>(m_mojaver12), static_cast<QLineEdit*>(m_mojaver16),
                              static_cast<QLineEdit*>(m_mojaverMax), static_cast<QLineEdit*>(m_khadamati)})
        amount->setMinimumWidth(170);

    // Right to left in rows; the check list at the left, spanning rows.
    auto* grid = new QGridLayout;
    auto put = [&](int row, int pair, const QString& caption, QWidget* w) {
        grid->addWidget(new QLabel(caption, this), row, pair * 2);
        grid->addWidget(w, row, pair * 2 + 1);
    };
    put(0, 0, QStringLiteral("شهرستان"), m_city);
    put(0, 1, QStringLiteral("بخش"), m_bakhsh);
    put(0, 2, QStringLiteral("دهستان"), m_dehestan);
    put(1, 0, QStringLiteral("روستا"), m_rosta);
    put(1, 1, QStringLiteral("كد آبادي"), m_abadiCod);
    put(1, 2, QStringLiteral("نوع كاربري موجود"), m_karbari);
    put(2, 0, QStringLiteral("سال تملک"), m_sal);
    put(2, 1, QStringLiteral("تامبن کننده زمين"), m_tamin);
    put(3, 0, QStringLiteral("شماره نامه شهرستان"), m_paperNo);
    put(3, 1, QStringLiteral("تاريخ نامه شهرستان"), m_paperDat);
    put(4, 0, QStringLiteral("نوع واگذاري"), m_vagozari);
    put(4, 1, QStringLiteral("ارزش هر متر مربع"), m_arzesh);
    put(5, 0, QStringLiteral("ضريب"), m_payeZarib);
    put(5, 1, QStringLiteral("قيمت پايه"), m_paye);
    grid->addWidget(new QLabel(QStringLiteral("کشف کننده قيمت"), this), 2, 4);
    grid->addWidget(m_finders, 2, 5, 4, 1);

    auto* prices = new QGridLayout;
    const struct {
        const QString& caption;
        QLabel* coefficient;
        TMonEdit* field;
    } rows[] = {{kLabelMojaver12, m_k12, m_mojaver12},
                {kLabelMojaver16, m_k16, m_mojaver16},
                {kLabelMojaverMax, m_kMax, m_mojaverMax},
                {kLabelKhadamati, m_kKhadamati, m_khadamati}};
    int r = 0;
    for (const auto& row : rows) {
        prices->addWidget(new QLabel(row.caption, this), r, 0);
        prices->addWidget(new QLabel(QStringLiteral("ضريب"), this), r, 1);
        row.coefficient->setMinimumWidth(40);
        prices->addWidget(row.coefficient, r, 2);
        prices->addWidget(row.field, r, 3);
        ++r;
    }
    prices->setColumnStretch(4, 1);

    m_ins = named(new QPushButton(QStringLiteral("ثبت"), this), "ins_btn");
    m_edit = named(new QPushButton(QStringLiteral("ويرايش"), this), "edit_btn");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ins);
    buttons->addWidget(m_edit);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(prices);
    layout->addLayout(buttons);

    m_places = new PlaceLists(
        priceEntryPlaces(), {m_city, m_bakhsh, m_dehestan, m_rosta, m_abadiCod}, [this] { return m_session.db(); },
        this);

    // Derived prices: all five as the value or the coefficient changes and when the
    // value is left; one alone when its field takes the focus.
    connect(m_arzesh, &QLineEdit::textChanged, this, &Tghimat_ins::recomputeAll);
    connect(m_payeZarib, &QLineEdit::textChanged, this, &Tghimat_ins::recomputeAll);
    m_arzesh->installEventFilter(this);
    for (TMonEdit* f : {m_paye, m_mojaver12, m_mojaver16, m_mojaverMax, m_khadamati})
        f->installEventFilter(this);
    // The transfer type reacts to the user's picking and typing only.
    connect(m_vagozari, &QComboBox::activated, this, &Tghimat_ins::transferTypeChanged);
    connect(m_vagozari->lineEdit(), &QLineEdit::textEdited, this, &Tghimat_ins::transferTypeChanged);

    connect(m_ins, &QPushButton::clicked, this, &Tghimat_ins::saveNew);
    connect(m_edit, &QPushButton::clicked, this, &Tghimat_ins::saveChanges);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_city, m_bakhsh, m_dehestan, m_rosta, m_abadiCod, m_karbari, m_sal, m_tamin,
                                         m_paperNo, m_paperDat, m_vagozari, m_arzesh, m_payeZarib})
        highlightOnFocus(w);
    limitToColumnWidths(this, QStringLiteral("ghimat"));
    keepOpenOnEscape(this);
    new EntryGuard(this, {m_ins, m_edit});
}

Tghimat_ins::~Tghimat_ins() = default;

void Tghimat_ins::setComboItems(QComboBox* combo, const QStringList& items)
{
    const QString text = combo->currentText();
    combo->clear();
    combo->addItems(items);
    combo->setEditText(text);
}

void Tghimat_ins::refreshLists()
{
    Database* db = m_session.db();
    if (!db)
        return;
    try {
        m_places->fillTop();
        setComboItems(m_karbari, settingChoices(*db, lists::LandUseKinds));
        setComboItems(m_tamin, settingChoices(*db, lists::LandProvider));
        setComboItems(m_vagozari, pricing::transferTypeNames(*db));
        const struct {
            QLabel* label;
            const QString& list;
        } labels[] = {{m_k12, lists::PlotsUnder12Coefficient},
                      {m_k16, lists::Plots12To16Coefficient},
                      {m_kMax, lists::PlotsOver16Coefficient},
                      {m_kKhadamati, lists::ServiceLandCoefficient}};
        for (const auto& l : labels) {
            l.label->setText(QStringLiteral("0"));
            l.label->setText(settingValue(*db, l.list));
        }
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tghimat_ins::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    refreshLists();
}

bool Tghimat_ins::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && watched == m_arzesh)
        recomputeAll();
    else if (event->type() == QEvent::FocusIn && watched != m_arzesh)
        recomputeOne(static_cast<TMonEdit*>(watched));
    return QDialog::eventFilter(watched, event);
}

pricing::PriceCoefficients Tghimat_ins::coefficients() const
{
    return {m_k12->text(), m_k16->text(), m_kMax->text(), m_kKhadamati->text()};
}

namespace {
qint64 amountOrZero(const TMonEdit* f)
{
    try {
        return f->asInteger();
    } catch (const Error&) {
        return 0;
    }
}
} // namespace

void Tghimat_ins::recomputeAll()
{
    const pricing::DerivedPrices p = pricing::derivePrices(amountOrZero(m_arzesh), m_payeZarib->text(), coefficients());
    m_paye->setText(QString::number(p.paye));
    m_mojaver12->setText(QString::number(p.mojaver12));
    m_mojaver16->setText(QString::number(p.mojaver16));
    m_mojaverMax->setText(QString::number(p.mojaverMax));
    m_khadamati->setText(QString::number(p.khadamati));
}

void Tghimat_ins::recomputeOne(TMonEdit* f)
{
    const qint64 a = amountOrZero(m_arzesh);
    const pricing::PriceCoefficients k = coefficients();
    qint64 v = 0;
    if (f == m_paye)
        v = pricing::derivedPrice(a, m_payeZarib->text());
    else if (f == m_khadamati)
        v = pricing::derivedPrice(a, k.khadamati);
    else {
        const qint64 p = amountOrZero(m_paye);
        v = pricing::derivedPrice(p, f == m_mojaver12 ? k.mojaver12 : f == m_mojaver16 ? k.mojaver16 : k.mojaverMax);
    }
    f->setText(QString::number(v));
}

void Tghimat_ins::transferTypeChanged()
{
    if (m_session.login.level != pricing::kCountyLevel)
        return;
    m_payeZarib->setText(QStringLiteral("0"));
    for (QLabel* l : {m_k12, m_k16, m_kMax, m_kKhadamati})
        l->setText(QStringLiteral("0"));
    recomputeAll();
}

void Tghimat_ins::fillFinders(const QStringList& checked)
{
    m_finders->clear();
    QStringList ways;
    if (Database* db = m_session.db())
        ways = settingChoices(*db, lists::PriceFinders);
    // In Persian alphabetical order, whatever the database's collation.
    const QCollator persian(QLocale(QLocale::Persian, QLocale::Iran));
    std::stable_sort(ways.begin(), ways.end(),
                     [&](const QString& a, const QString& b) { return persian.compare(a, b) < 0; });
    for (const QString& way : ways) {
        auto* item = new QListWidgetItem(way, m_finders);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(checked.contains(way) ? Qt::Checked : Qt::Unchecked);
    }
}

QStringList Tghimat_ins::checkedFinders() const
{
    QStringList out;
    for (int i = 0; i < m_finders->count(); ++i)
        if (m_finders->item(i)->checkState() == Qt::Checked)
            out << m_finders->item(i)->text();
    return out;
}

void Tghimat_ins::prepareNew()
{
    m_payeZarib->setEnabled(m_session.login.level != pricing::kCountyLevel);
    fillFinders({});
    m_payeZarib->setText(QStringLiteral("0"));
    for (QComboBox* c : {m_city, m_bakhsh, m_dehestan, m_rosta, m_abadiCod, m_karbari, m_tamin, m_vagozari})
        c->setEditText(QString());
    m_sal->clear();
    m_paperNo->clear();
    m_paperDat->setDateText(QString());
    for (TMonEdit* f : {m_arzesh, m_paye, m_mojaver12, m_mojaver16, m_mojaverMax, m_khadamati})
        f->setText(QStringLiteral("0"));
    m_city->setFocus();
    m_ins->show();
    m_edit->hide();
    EntryGuard::of(this)->markLoaded();
}

bool Tghimat_ins::prepareEdit()
{
    ResultSet& rs = m_session.prices;
    if (!rs.isOpen() || rs.isEmpty())
        return false;
    m_payeZarib->setEnabled(m_session.login.level != pricing::kCountyLevel);
    if (!pricing::countyUserMayEdit(m_session.login.level, rs.asString(QStringLiteral("paye")))) {
        Dialogs::instance().message(pricing::text::ProvinceRegistered);
        return false;
    }
    auto s = [&](const char* c) { return rs.asString(QLatin1String(c)); };
    fillFinders(pricing::priceFinders(*m_session.db(), rs.asInteger(QStringLiteral("id"))));
    m_payeZarib->setText(QStringLiteral("0"));
    m_city->setEditText(s("city"));
    m_bakhsh->setEditText(s("bakhsh"));
    m_dehestan->setEditText(s("dehestan"));
    m_rosta->setEditText(s("rosta"));
    m_abadiCod->setEditText(s("abadi_cod"));
    m_karbari->setEditText(s("karbari"));
    m_sal->setText(s("sal"));
    m_tamin->setEditText(s("tamin"));
    m_paperNo->setText(s("paper_no"));
    m_paperDat->setDateText(s("paper_dat"));
    m_arzesh->setText(s("arzesh"));
    m_vagozari->setEditText(s("vagozari"));
    transferTypeChanged();
    // The stored prices are what the screen shows.
    m_payeZarib->setText(s("paye_zarib"));
    m_paye->setText(s("paye"));
    m_mojaver12->setText(s("mojaver12"));
    m_mojaver16->setText(s("mojaver16"));
    m_mojaverMax->setText(s("mojaver_max"));
    m_khadamati->setText(s("khadamati"));
    m_city->setFocus();
    m_ins->hide();
    m_edit->show();
    EntryGuard::of(this)->markLoaded();
    return true;
}

std::optional<pricing::Assessment> Tghimat_ins::readFields() const
{
    pricing::Assessment a;
    a.city = m_city->currentText();
    a.bakhsh = m_bakhsh->currentText();
    a.dehestan = m_dehestan->currentText();
    a.rosta = m_rosta->currentText();
    a.abadiCod = m_abadiCod->currentText();
    a.karbari = m_karbari->currentText();
    a.sal = m_sal->text();
    a.tamin = m_tamin->currentText();
    a.paperNo = m_paperNo->text();
    a.paperDat = m_paperDat->dateText();
    a.vagozari = m_vagozari->currentText();
    const struct {
        TMonEdit* field;
        QString caption;
        qint64* target;
    } amounts[] = {{m_arzesh, QStringLiteral("ارزش هر متر مربع"), &a.arzesh},
                   {m_paye, QStringLiteral("قيمت پايه"), &a.paye},
                   {m_mojaver12, kLabelMojaver12.trimmed(), &a.mojaver12},
                   {m_mojaver16, kLabelMojaver16.trimmed(), &a.mojaver16},
                   {m_mojaverMax, kLabelMojaverMax.trimmed(), &a.mojaverMax},
                   {m_khadamati, kLabelKhadamati.trimmed(), &a.khadamati}};
    for (const auto& m : amounts) {
        try {
            *m.target = m.field->asInteger();
        } catch (const Error&) {
            Dialogs::instance().warning(pricing::text::AmountTooLarge.arg(m.caption));
            return std::nullopt;
        }
    }
    const QString k = m_payeZarib->text().trimmed();
    if (!k.isEmpty()) {
        const std::optional<QString> n = pricing::normalisedCoefficient(k);
        if (!n) {
            Dialogs::instance().warning(pricing::text::CoefficientNotNumber);
            return std::nullopt;
        }
        a.payeZarib = n->toDouble();
    }
    a.kashf = checkedFinders();
    return a;
}

void Tghimat_ins::saveNew()
{
    if (!DateEdit::acceptAll(this))
        return;
    const std::optional<pricing::Assessment> a = readFields();
    if (!a)
        return;
    try {
        const QStringList problems = pricing::saveNewAssessment(m_session.prices, *a);
        for (const QString& p : problems)
            Dialogs::instance().warning(p);
        if (problems.isEmpty()) {
            EntryGuard::of(this)->markSaved();
            accept();
        }
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tghimat_ins::saveChanges()
{
    if (!DateEdit::acceptAll(this))
        return;
    const std::optional<pricing::Assessment> a = readFields();
    if (!a)
        return;
    try {
        const QStringList problems = pricing::saveAssessmentChanges(m_session.prices, *a);
        for (const QString& p : problems)
            Dialogs::instance().warning(p);
        if (problems.isEmpty()) {
            EntryGuard::of(this)->markSaved();
            accept();
        }
    } catch (const RecordChanged& changed) {
        if (offerReload(changed))
            m_session.prices.reloadCurrent();
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

} // namespace tarvest
