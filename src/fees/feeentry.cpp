#include "fees/feeentry.h"

#include "common/errors.h"
#include "common/jalali.h"
#include "db/database.h"
#include "db/places.h"
#include "db/settinglists.h"
#include "fees/core/distribution.h"
#include "fees/core/feedocs.h"
#include "fees/otherexperts.h"
#include "widgets/conventions.h"
#include "widgets/dateedit.h"
#include "widgets/dialogs.h"
#include "widgets/entryguard.h"
#include "widgets/linklabel.h"
#include "widgets/numericedits.h"
#include "widgets/recordchanged.h"
#include "widgets/screen.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tarvest {

using namespace fees;

namespace {

const QStringList kTextColumns = {"city",    "sal",           "rosta_cnt",  "shahr_cnt", "fish_name",
                                  "fish_no", "fish_dat",      "fish_name2", "fish_no2",  "fish_dat2",
                                  "ozv_cnt", "sahm_vartalis", "sahm_sabt"};

// The fields a preparation for editing loads, in its order.
const QStringList kLoadedColumns = {
    "fish_no",    "fish_dat",      "fish_mablagh", "fish_name",       "fish_no2",      "fish_dat2",   "fish_mablagh2",
    "fish_name2", "sahm_vartalis", "sahm_sabt",    "ozv_mablagh_kol", "shahr_kar",     "shahr_modir", "moaven",
    "ostan_kar",  "sayer_kar",     "ostan_mas",    "sabt_sahm",       "vartalis_sahm", "odat_modir",  "odat_kar",
    "modirkol1",  "moaven1",       "masol_zamin1", "sanad_kar1",      "naghshe_kar1",  "daftar1",     "hesabdari1",
    "hesab_kar1", "band3",         "modirkol2",    "moaven2",         "masol_zamin2",  "sanad_kar2",  "naghshe_kar2",
    "daftar2",    "hesabdari2",    "hesab_kar2"};

QLabel* bold(QLabel* l)
{
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

// The caption of an amount field, for the messages that name it.
QString amountCaption(const QString& column)
{
    static const QHash<QString, QString> fixed{
        {"fish_mablagh", QStringLiteral("مبلغ واريز")},
        {"fish_mablagh2", QStringLiteral("مبلغ واريز")},
        {"ozv_mablagh", QStringLiteral("حق الزحمه پايه هر عضو")},
        {"vartalis_sahm", QStringLiteral("سهم ورتاليس از حق الزحمه عضو")},
        {"sabt_sahm", QStringLiteral("سهم ثبت از حق الزحمه عضو")},
        {"ozv_mablagh_kol", QStringLiteral("حق الزحمه هر عضو")},
        {"band3", QStringLiteral("موضوع بند 3 جلسه 8 هيات مرکزي ماده 14 قانون الحاق")},
    };
    if (fixed.contains(column))
        return fixed.value(column);
    for (const FeeRole* r : {&refundManager(), &refundExpert()})
        if (r->column == column)
            return r->caption;
    for (const auto* group : {&groupA(), &groupB(), &groupC(), &groupD()})
        for (const FeeRole& r : *group)
            if (r.column == column)
                return r.caption;
    return column;
}

} // namespace

const QStringList& feeAmountColumns()
{
    static const QStringList cols = [] {
        QStringList c{"fish_mablagh",    "fish_mablagh2", "ozv_mablagh", "vartalis_sahm", "sabt_sahm",
                      "ozv_mablagh_kol", "band3",         "odat_modir",  "odat_kar"};
        for (const auto* group : {&groupA(), &groupB(), &groupC(), &groupD()})
            for (const FeeRole& r : *group)
                c << r.column;
        return c;
    }();
    return cols;
}

Tasnad_ins::Tasnad_ins(Session& session, ResultSet& documents, QWidget* parent)
    : QDialog(parent), m_session(session), m_documents(documents)
{
    setObjectName(QStringLiteral("Tasnad_ins"));
    setWindowTitle(QStringLiteral("ثبت/ويرايش اسناد"));
    setLayoutDirection(Qt::RightToLeft);
    setWindowFlags((windowFlags() | Qt::WindowCloseButtonHint) & ~Qt::WindowContextHelpButtonHint);

    auto named = [](QWidget* w, const QString& name) {
        w->setObjectName(name);
        return w;
    };
    auto lineEdit = [&](const QString& name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        m_fields.insert(name, e);
        return e;
    };
    auto money = [&](const QString& name) {
        auto* e = new TMonEdit(this);
        e->setObjectName(name);
        e->setMinimumWidth(150);
        m_fields.insert(name, e);
        return e;
    };
    auto caption = [&](const QString& text) { return new QLabel(text, this); };

    // County and year.
    m_city = static_cast<QComboBox*>(named(new QComboBox(this), QStringLiteral("city")));
    m_city->setEditable(true);
    m_city->setInsertPolicy(QComboBox::NoInsert);
    m_city->setMinimumWidth(200);
    m_sal = lineEdit(QStringLiteral("sal"));
    m_sal->setInputMask(QStringLiteral("0000;_"));
    m_sal->setMaximumWidth(70);
    QLineEdit* rosta = lineEdit(QStringLiteral("rosta_cnt"));
    QLineEdit* shahr = lineEdit(QStringLiteral("shahr_cnt"));
    acceptDigitKeysOnly(rosta);
    acceptDigitKeysOnly(shahr);
    auto* county = new QGridLayout;
    county->addWidget(bold(caption(QStringLiteral("اطلاعات شهرستان"))), 0, 0, 1, 8);
    county->addWidget(caption(QStringLiteral("شهرستان")), 1, 0);
    county->addWidget(m_city, 1, 1);
    county->addWidget(caption(QStringLiteral("سال")), 1, 2);
    county->addWidget(m_sal, 1, 3);
    county->addWidget(caption(QStringLiteral("تعداد سند روستايي")), 1, 4);
    county->addWidget(rosta, 1, 5);
    county->addWidget(caption(QStringLiteral("تعداد سند شهري")), 1, 6);
    county->addWidget(shahr, 1, 7);

    // The deposit receipts.
    m_fish = static_cast<QCheckBox*>(named(new QCheckBox(QStringLiteral("فيش واريزي ثبت"), this), "fish_chk"));
    QFont boldFont = m_fish->font();
    boldFont.setBold(true);
    m_fish->setFont(boldFont);
    auto* receipts = new QGridLayout;
    const QString rowCaptions[] = {QStringLiteral("فيش مدير\nشهرستان"), QStringLiteral("فيش کارشناس\nشهرستان")};
    for (int i = 0; i < 2; ++i) {
        const QString suffix = i == 0 ? QString() : QStringLiteral("2");
        receipts->addWidget(bold(caption(rowCaptions[i])), i * 2, 0, 2, 1);
        const QString labels[] = {QStringLiteral("نام واريز شونده"), QStringLiteral("شماره فيش"),
                                  QStringLiteral("تاريخ فيش"), QStringLiteral("مبلغ واريز")};
        for (int c = 0; c < 4; ++c)
            receipts->addWidget(caption(labels[c]), i * 2, c + 1);
        QLineEdit* name = lineEdit(QStringLiteral("fish_name") + suffix);
        QLineEdit* no = lineEdit(QStringLiteral("fish_no") + suffix);
        auto* dat = new DateEdit(this);
        dat->setObjectName(QStringLiteral("fish_dat") + suffix);
        m_fields.insert(dat->objectName(), dat);
        TMonEdit* mablagh = money(QStringLiteral("fish_mablagh") + suffix);
        name->setMinimumWidth(180);
        receipts->addWidget(name, i * 2 + 1, 1);
        receipts->addWidget(no, i * 2 + 1, 2);
        receipts->addWidget(dat, i * 2 + 1, 3);
        receipts->addWidget(mablagh, i * 2 + 1, 4);
        m_receiptFields << name << no << dat << mablagh;
    }

    m_hesab = static_cast<QCheckBox*>(named(new QCheckBox(QStringLiteral("محاسبات انجام شده"), this), "hesab_chk"));
    m_hesab->setFont(boldFont);

    // The members' fee.
    auto* members = new QGridLayout;
    const struct {
        const char* column;
        QString label;
        bool amount;
        int row, col;
    } memberFields[] = {
        {"ozv_mablagh", QStringLiteral("حق الزحمه پايه هر عضو"), true, 0, 0},
        {"vartalis_sahm", QStringLiteral("سهم ورتاليس از حق الزحمه عضو"), true, 0, 2},
        {"sabt_sahm", QStringLiteral("سهم ثبت از حق الزحمه عضو"), true, 0, 4},
        {"ozv_cnt", QStringLiteral("تعداد اعضاء"), false, 1, 0},
        {"ozv_mablagh_kol", QStringLiteral("حق الزحمه هر عضو"), true, 3, 0},
        {"sahm_vartalis", QStringLiteral("سهم ورتاليس از حق الزحمه اعضا"), false, 3, 2},
        {"sahm_sabt", QStringLiteral("سهم ثبت از حق الزحمه اعضا"), false, 3, 4},
    };
    for (const auto& f : memberFields) {
        QLineEdit* e = f.amount ? money(QLatin1String(f.column)) : lineEdit(QLatin1String(f.column));
        if (!f.amount)
            e->setMinimumWidth(f.column == QLatin1String("ozv_cnt") ? 60 : 150);
        members->addWidget(caption(f.label), f.row, f.col);
        members->addWidget(e, f.row, f.col + 1);
    }
    members->addWidget(caption(QStringLiteral("با توجه به تعداد اسناد:")), 2, 0, 1, 6);

    // A group's roles: caption, amount, percentage label and "%", `columns` roles a line.
    auto roleGrid = [&](QGridLayout* grid, const QList<FeeRole>& roles, int firstRow, int perLine) {
        for (int i = 0; i < roles.size(); ++i) {
            const FeeRole& r = roles[i];
            const int row = firstRow + i / perLine;
            const int col = (i % perLine) * 4;
            QLabel* label = r.column == QLatin1String("sayer_kar") ? new LinkLabel(r.caption, this)
                                                                   : new QLabel(r.caption, this);
            if (r.column == QLatin1String("sayer_kar")) {
                label->setObjectName(QStringLiteral("Label20"));
                connect(static_cast<LinkLabel*>(label), &LinkLabel::clicked, this, &Tasnad_ins::openExperts);
            }
            grid->addWidget(label, row, col);
            grid->addWidget(money(r.column), row, col + 1);
            auto* percent = new QLabel(QString::number(r.percent), this);
            percent->setObjectName(r.percentLabel);
            m_percents.insert(r.percentLabel, percent);
            grid->addWidget(percent, row, col + 2);
            grid->addWidget(new QLabel(QStringLiteral("%"), this), row, col + 3);
        }
    };
    auto refundRow = [&](QGridLayout* grid, const FeeRole& r) {
        grid->addWidget(bold(new QLabel(r.caption, this)), 0, 0);
        grid->addWidget(money(r.column), 0, 1);
        auto* percent = new QLabel(QString::number(r.percent), this);
        percent->setObjectName(r.percentLabel);
        m_percents.insert(r.percentLabel, percent);
        grid->addWidget(percent, 0, 2);
        grid->addWidget(new QLabel(QStringLiteral("%"), this), 0, 3);
    };

    auto* groupCBox = new QGroupBox(this);
    groupCBox->setObjectName(QStringLiteral("groupC"));
    auto* cBox = new QVBoxLayout(groupCBox);
    auto* cHead = new QHBoxLayout;
    cHead->addWidget(bold(caption(QStringLiteral("موضوع بند 3 جلسه 8 هيات مرکزي ماده 14 قانون الحاق"))));
    cHead->addWidget(money(QStringLiteral("band3")));
    cHead->addStretch();
    cBox->addLayout(cHead);
    auto* c = new QGridLayout;
    cBox->addLayout(c);
    roleGrid(c, groupC(), 0, 2);

    auto* groupDBox = new QGroupBox(
        QStringLiteral("بند 1 جلسه 13 هيئت مرکزي ماده 14 ابلاغي نامه شماره د/28040 مورخ 6/6/97 معاونت عمران روستايي"),
        this);
    groupDBox->setObjectName(QStringLiteral("groupD"));
    auto* d = new QGridLayout(groupDBox);
    roleGrid(d, groupD(), 0, 2);

    auto* groupABox = new QGroupBox(QStringLiteral("سهم 35 درصد هيات مطابق بند \" ب \" بخشنامه 1386/8-8/م"), this);
    groupABox->setObjectName(QStringLiteral("groupA"));
    auto* a = new QGridLayout(groupABox);
    refundRow(a, refundManager());
    roleGrid(a, groupA(), 1, 1);
    a->setRowStretch(7, 1);
    auto* groupBBox = new QGroupBox(
        QStringLiteral("سهم 20 درصد حق کارشناسي مطابق بند \" ج \" بخشنامه 1386/8-8/م (توزيع بين عوامل مرتبط)"), this);
    groupBBox->setObjectName(QStringLiteral("groupB"));
    auto* b = new QGridLayout(groupBBox);
    refundRow(b, refundExpert());
    roleGrid(b, groupB(), 1, 1);
    auto* ab = new QHBoxLayout;
    ab->addWidget(groupABox); // first in a right-to-left row: at the right
    ab->addWidget(groupBBox);

    m_ins = static_cast<QPushButton*>(named(new QPushButton(QStringLiteral("ثبت"), this), "ins_btn"));
    m_edit = static_cast<QPushButton*>(named(new QPushButton(QStringLiteral("ويرايش"), this), "edit_btn"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ins);
    buttons->addWidget(m_edit);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(county);
    layout->addWidget(m_fish);
    layout->addLayout(receipts);
    layout->addWidget(m_hesab);
    layout->addLayout(members);
    layout->addWidget(groupCBox);
    layout->addWidget(bold(caption(QStringLiteral("عدم وجود فيش واريزي ثبت"))));
    layout->addWidget(groupDBox);
    layout->addLayout(ab);
    layout->addLayout(buttons);

    connect(m_fish, &QCheckBox::clicked, this, [this] {
        setReceiptFields(m_fish->isChecked());
        compute();
    });
    connect(m_hesab, &QCheckBox::clicked, this, [this] { compute(); });
    connect(m_ins, &QPushButton::clicked, this, &Tasnad_ins::saveNew);
    connect(m_edit, &QPushButton::clicked, this, &Tasnad_ins::saveChanges);

    auto* chain = new EnterChain(this);
    chain->add(m_city).add(m_sal).add(rosta).add(shahr);
    QList<QWidget*> order{m_city, m_sal, rosta, shahr, m_fish};
    order << m_receiptFields << m_hesab << m_ins << m_edit;
    for (const QString& col : feeAmountColumns())
        if (QWidget* w = m_fields.value(col); w && !order.contains(w))
            order << w;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    limitToColumnWidths(this, QStringLiteral("asnad"));
    keepOpenOnEscape(this);
    setReceiptFields(false);
    new EntryGuard(this, {m_ins, m_edit});
}

Tasnad_ins::~Tasnad_ins() = default;

QLineEdit* Tasnad_ins::text(const QString& name) const
{
    return m_fields.value(name);
}

TMonEdit* Tasnad_ins::amount(const QString& name) const
{
    return static_cast<TMonEdit*>(m_fields.value(name));
}

bool Tasnad_ins::insertMode() const
{
    return !m_ins->isHidden();
}

void Tasnad_ins::setReceiptFields(bool enabled)
{
    for (QWidget* w : m_receiptFields) {
        w->setEnabled(enabled);
        QPalette p = w->palette();
        p.setColor(QPalette::Base,
                   enabled ? palette().color(QPalette::ToolTipBase) : palette().color(QPalette::Window));
        w->setPalette(p);
    }
}

void Tasnad_ins::prepareNew()
{
    m_hesab->setChecked(false);
    m_city->setEditText(QString());
    m_sal->setText(TodayJalali().left(4));
    text("rosta_cnt")->setText(QStringLiteral("0"));
    text("shahr_cnt")->setText(QStringLiteral("0"));
    m_fish->setChecked(false);
    for (const char* c : {"fish_no", "fish_name", "fish_no2", "fish_name2"})
        text(QLatin1String(c))->clear();
    static_cast<DateEdit*>(text("fish_dat"))->setDateText({});
    static_cast<DateEdit*>(text("fish_dat2"))->setDateText({});
    for (const QString& col : feeAmountColumns())
        if (col != QLatin1String("ozv_mablagh"))
            text(col)->setText(QStringLiteral("0"));
    text("sahm_vartalis")->setText(QStringLiteral("0"));
    text("sahm_sabt")->setText(QStringLiteral("0"));
    setReceiptFields(false);
    m_pendingExperts.clear();
    m_savedId = 0;
    m_ins->show();
    m_edit->hide();
    m_city->setFocus();
    EntryGuard::of(this)->markLoaded();
}

void Tasnad_ins::prepareEdit()
{
    const ResultSet& rs = m_documents;
    m_city->setEditText(rs.asString("city"));
    m_sal->setText(rs.asString("sal"));
    text("rosta_cnt")->setText(rs.asString("rosta_cnt"));
    text("shahr_cnt")->setText(rs.asString("shahr_cnt"));
    const bool receipts = rs.asInteger("fish") == 1;
    m_fish->setChecked(receipts);
    setReceiptFields(receipts);
    for (const QString& col : kLoadedColumns) {
        if (auto* date = qobject_cast<DateEdit*>(text(col)))
            date->setDateText(rs.asString(col));
        else
            text(col)->setText(rs.asString(col));
    }
    m_pendingExperts.clear();
    m_savedId = 0;
    m_ins->hide();
    m_edit->show();
    m_city->setFocus();
    EntryGuard::of(this)->markLoaded();
}

void Tasnad_ins::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    applyShowingSteps();
}

void Tasnad_ins::applyShowingSteps()
{
    try {
        Database& db = *m_session.db();
        const QString kept = m_city->currentText();
        m_city->clear();
        m_city->addItems(placeValues(db, place::County, {}, PlaceOrder::Sorted));
        m_city->setEditText(kept);
        amount("ozv_mablagh")->setText(settingValue(db, lists::FeePerMember));
        const qint64 half = memberShareOfFee(amount("ozv_mablagh")->asInteger());
        amount("vartalis_sahm")->setText(QString::number(half));
        amount("sabt_sahm")->setText(QString::number(half));
        text("ozv_cnt")->setText(settingValue(db, lists::MemberCount));
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

bool Tasnad_ins::compute()
{
    FeeInputs in;
    in.receipts = m_fish->isChecked();
    in.rostaCnt = text("rosta_cnt")->text();
    in.shahrCnt = text("shahr_cnt")->text();
    in.ozvCnt = text("ozv_cnt")->text();
    for (auto it = m_percents.cbegin(); it != m_percents.cend(); ++it)
        in.percentTexts.insert(it.key(), it.value()->text());
    FieldTexts out;
    try {
        in.fishMablagh = amount("fish_mablagh")->asInteger();
        in.fishMablagh2 = amount("fish_mablagh2")->asInteger();
        in.ozvMablagh = amount("ozv_mablagh")->asInteger();
        in.vartalisSahm = amount("vartalis_sahm")->asInteger();
        in.sabtSahm = amount("sabt_sahm")->asInteger();
        out = distribute(in);
    } catch (const Error& e) {
        Dialogs::instance().warning(e.message());
        return false;
    }
    for (const auto& [column, value] : out)
        text(column)->setText(value);
    return true;
}

QVariantMap Tasnad_ins::savedValues() const
{
    QVariantMap row;
    row.insert(QStringLiteral("city"), m_city->currentText());
    for (const QString& col : kTextColumns) {
        if (col == QLatin1String("city"))
            continue;
        if (auto* date = qobject_cast<DateEdit*>(text(col)))
            row.insert(col, date->dateText());
        else
            row.insert(col, text(col)->text());
    }
    // Empty counts are stored as no value.
    for (const char* c : {"rosta_cnt", "shahr_cnt", "ozv_cnt"})
        if (row.value(QLatin1String(c)).toString().trimmed().isEmpty())
            row.insert(QLatin1String(c), QVariant());
    row.insert(QStringLiteral("fish"), m_fish->isChecked() ? 1 : 0);
    for (const QString& col : feeAmountColumns()) {
        const qint64 v = amount(col)->asInteger();
        if (v > kMaxAmount || v < -kMaxAmount)
            throw FeeInputError(QStringLiteral("خطا! مبلغ «%1» بيش از 15 رقم است").arg(amountCaption(col)));
        row.insert(col, v);
    }
    return row;
}

void Tasnad_ins::saveNew()
{
    try {
        const QVariantMap row = savedValues();
        m_documents.setDatabase(m_session.db());
        if (!m_documents.isOpen())
            m_documents.open(QStringLiteral("select * from asnad where id=-1"));
        m_savedId = saveNewFeeDocument(m_documents, row, m_pendingExperts);
        m_pendingExperts.clear();
        EntryGuard::of(this)->markSaved();
    } catch (const DuplicateKey&) {
        Dialogs::instance().warning(kDuplicateDocument);
    } catch (const FeeInputError& e) {
        Dialogs::instance().warning(e.message());
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tasnad_ins::saveChanges()
{
    try {
        m_documents.edit(savedValues());
        EntryGuard::of(this)->markSaved();
    } catch (const RecordChanged& changed) {
        if (offerReload(changed))
            m_documents.reloadCurrent();
    } catch (const FeeInputError& e) {
        Dialogs::instance().warning(e.message());
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

Tasnad_sayer_kar& Tasnad_ins::expertsDialog()
{
    if (!m_experts)
        m_experts = std::make_unique<Tasnad_sayer_kar>(m_session, this);
    return *m_experts;
}

void Tasnad_ins::openExperts()
{
    try {
        // A new document's rows wait under key 0 until its first save attaches them; once it
        // is saved (the screen stays for the next one), rows go under its id at once.
        const qint64 key = insertMode() ? m_savedId : m_documents.value(QStringLiteral("id")).toLongLong();
        expertsDialog().prepare(key, amount("sayer_kar")->asInteger(), key == 0 ? &m_pendingExperts : nullptr);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    showModal(m_experts.get());
}

} // namespace tarvest
