#include "cases/caseentry.h"

#include "cases/core/caserules.h"
#include "cases/valuationbinder.h"
#include "common/digits.h"
#include "common/errors.h"
#include "common/jalali.h"
#include "db/database.h"
#include "db/places.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "widgets/conventions.h"
#include "widgets/dateedit.h"
#include "widgets/dialogs.h"
#include "widgets/entryguard.h"
#include "widgets/linklabel.h"
#include "widgets/placechain.h"
#include "widgets/recordchanged.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace tarvest {

using namespace Qt::StringLiterals;

namespace {

// Caption and field pairs side by side in one row of the form.
constexpr int kPairsPerRow = 3;
constexpr int kCaptionWidth = 190;

// Fields a new case starts with "0" in, besides the destroyed area and the discount.
const QStringList& zeroOnNew()
{
    static const QStringList names = {u"metraj"_s, u"price_metr"_s, u"melk_arzesh"_s, u"masahat_khales"_s};
    return names;
}

// The order Enter walks through the form.
const QStringList& enterOrder()
{
    static const QStringList names = {u"paper_no"_s,
                                      u"paper_dat"_s,
                                      u"city"_s,
                                      u"rosta"_s,
                                      u"abadi_cod"_s,
                                      u"darkhast"_s,
                                      u"phone"_s,
                                      u"sanad"_s,
                                      u"karbari1"_s,
                                      u"karbari2"_s,
                                      u"m_paper_no"_s,
                                      u"m_paper_dat"_s,
                                      u"manzor"_s,
                                      u"metraj"_s,
                                      u"takhrib_masahat"_s,
                                      u"price_metr"_s,
                                      u"masahat_khales"_s,
                                      u"melk_arzesh"_s,
                                      u"malek_pardakhti"_s,
                                      u"paper_no2"_s,
                                      u"paper_dat2"_s,
                                      u"tahteposhesh"_s,
                                      u"takhfif_darsad"_s,
                                      u"malek_varizi"_s,
                                      u"dabir"_s,
                                      u"fani"_s,
                                      u"zamin"_s,
                                      u"komision_dat"_s,
                                      u"komision_idea"_s,
                                      u"ghimat_karshenasi_kh"_s,
                                      u"masahat_na"_s,
                                      u"reg_dat"_s,
                                      u"malek_sahm"_s,
                                      u"ghimat_karshenasi_d"_s,
                                      u"komision_t_k"_s,
                                      u"komision_t_k_dat"_s,
                                      u"moshaver"_s,
                                      u"m_khales_b"_s,
                                      u"bazdid_dat"_s,
                                      u"tasvib_dat"_s,
                                      u"tasvib_result"_s,
                                      u"tasvib_b_dat"_s,
                                      u"tasvib_paper_no"_s,
                                      u"tasvib_paper_dat"_s,
                                      u"cmt"_s};
    return names;
}

// The fields that turn yellow while they are worked on.
const QStringList& highlighted()
{
    static const QStringList names = {u"paper_no"_s,
                                      u"paper_dat"_s,
                                      u"city"_s,
                                      u"rosta"_s,
                                      u"darkhast"_s,
                                      u"manzor"_s,
                                      u"metraj"_s,
                                      u"price_metr"_s,
                                      u"malek_pardakhti"_s,
                                      u"melk_arzesh"_s,
                                      u"paper_no2"_s,
                                      u"paper_dat2"_s,
                                      u"fani"_s,
                                      u"zamin"_s,
                                      u"dabir"_s,
                                      u"komision_dat"_s,
                                      u"komision_idea"_s,
                                      u"ghimat_karshenasi_kh"_s,
                                      u"masahat_na"_s,
                                      u"masahat_khales"_s,
                                      u"malek_sahm"_s,
                                      u"ghimat_karshenasi_d"_s,
                                      u"komision_t_k"_s,
                                      u"komision_t_k_dat"_s,
                                      u"malek_varizi"_s};
    return names;
}

// Runs a reaction when a control loses the focus (not when its window does).
class FocusOutHook : public QObject {
public:
    FocusOutHook(QWidget* control, std::function<void()> reaction) : QObject(control), m_reaction(std::move(reaction))
    {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                m_reaction();
        }
        return false;
    }

private:
    std::function<void()> m_reaction;
};

// A list's text is set as a choice when the list offers it, as typed text otherwise.
void setComboText(QComboBox* combo, const QString& text)
{
    const int at = text.isEmpty() ? -1 : combo->findText(text, Qt::MatchExactly);
    combo->setCurrentIndex(at);
    if (at < 0)
        combo->setEditText(text);
}

// Replaces a list's choices; the text standing in the field stays.
void setChoices(QComboBox* combo, const QStringList& values)
{
    const QString text = combo->currentText();
    const QSignalBlocker quiet(combo);
    combo->clear();
    combo->addItems(values);
    setComboText(combo, text);
}

QString nonNull(const QString& text)
{
    return text.isNull() ? u""_s : text;
}

} // namespace

struct Tkomision::Impl {
    explicit Impl(Session& s) : session(s) {}

    Session& session;
    QHash<QString, QWidget*> controls;
    QHash<QString, QLineEdit*> texts;
    QHash<QString, DateEdit*> dates;
    QHash<QString, QComboBox*> lists;
    QCheckBox* approved = nullptr;
    QPushButton* insBtn = nullptr;
    QPushButton* editBtn = nullptr;
    PlaceLists* places = nullptr;
    ValuationBinder* valuation = nullptr;
    QVariant editKey; // pk of the case being edited

    QString text(const CaseField& f) const
    {
        switch (f.kind) {
        case CaseFieldKind::Text:
            return nonNull(texts[f.name]->text());
        case CaseFieldKind::Date:
            return dates[f.name]->dateText();
        case CaseFieldKind::List:
            return nonNull(lists[f.name]->currentText());
        case CaseFieldKind::Check:
            return approved->isChecked() ? caseText::LandApproved : u""_s;
        }
        return {};
    }

    void setText(const QString& name, const QString& value)
    {
        if (QLineEdit* t = texts.value(name))
            t->setText(value);
        else if (DateEdit* d = dates.value(name))
            d->setDateText(value);
        else if (QComboBox* c = lists.value(name))
            setComboText(c, value);
        else if (name == u"taeid_zamin"_s)
            approved->setChecked(value == caseText::LandApproved);
    }

    CaseTexts collect() const
    {
        CaseTexts all;
        for (const CaseField& f : caseFields())
            all.insert(f.name, text(f));
        // A number set by a computation or loaded from an older case may still
        // carry other-script digits; it is stored with Latin ones.
        for (const QString& name : caseNumberFields())
            all.insert(name, normalizeDigits(all.value(name)));
        return all;
    }

    void applyLevel()
    {
        const std::optional<EnableSet> set = enableSetFor(session.login.level);
        if (!set)
            return;
        for (const QString& name : set->disabled)
            controls.value(name)->setEnabled(false);
        for (const QString& name : set->enabled)
            controls.value(name)->setEnabled(true);
    }

    void showMode(bool editing)
    {
        insBtn->setVisible(!editing);
        editBtn->setVisible(editing);
    }

    static void report(const QStringList& problems)
    {
        for (const QString& p : problems)
            Dialogs::instance().warning(p);
    }
};

Tkomision::Tkomision(Session& session, QWidget* parent) : QDialog(parent), d(std::make_unique<Impl>(session))
{
    setObjectName(u"Tkomision"_s);
    setWindowTitle(u"ثبت اطلاعات برگه كميسيون معاملات"_s);
    setLayoutDirection(Qt::RightToLeft);

    auto* form = new QGridLayout;
    form->setHorizontalSpacing(8);
    form->setVerticalSpacing(4);
    auto* hiddenBox = new QWidget(this);
    hiddenBox->setObjectName(u"hidden_fields"_s);
    auto* hiddenForm = new QFormLayout(hiddenBox);
    hiddenBox->hide();

    QHash<QString, QLabel*> captions;
    int row = 0;
    int pair = 0;
    for (const CaseField& f : caseFields()) {
        QWidget* control = nullptr;
        switch (f.kind) {
        case CaseFieldKind::Text: {
            auto* t = new QLineEdit;
            d->texts.insert(f.name, t);
            control = t;
            break;
        }
        case CaseFieldKind::Date: {
            auto* t = new DateEdit;
            d->dates.insert(f.name, t);
            control = t;
            break;
        }
        case CaseFieldKind::List: {
            auto* c = new QComboBox;
            c->setEditable(true);
            c->setInsertPolicy(QComboBox::NoInsert);
            c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            c->setMinimumContentsLength(12);
            d->lists.insert(f.name, c);
            control = c;
            break;
        }
        case CaseFieldKind::Check:
            d->approved = new QCheckBox(f.caption);
            control = d->approved;
            break;
        }
        control->setObjectName(f.name);
        d->controls.insert(f.name, control);

        // Captions that act: today's date, the village names, the fee.
        QLabel* caption = nullptr;
        if (f.kind != CaseFieldKind::Check) {
            const bool acts = f.todayCaption() || f.name == u"rosta"_s || f.name == u"malek_varizi"_s;
            caption = acts ? new LinkLabel(f.caption) : new QLabel(f.caption);
            caption->setObjectName(f.name + u"_caption"_s);
            caption->setWordWrap(true);
            caption->setBuddy(control);
            if (acts) {
                QFont font = caption->font();
                font.setUnderline(true);
                caption->setFont(font);
            }
            // Long captions wrap within their column and keep the height of all their lines.
            caption->setFixedWidth(kCaptionWidth);
            caption->setMinimumHeight(caption->heightForWidth(kCaptionWidth));
            captions.insert(f.name, caption);
        }

        if (!f.visible()) {
            hiddenForm->addRow(caption, control);
            continue;
        }
        if (f.wide() || f.kind == CaseFieldKind::Check) {
            if (pair > 0) {
                ++row;
                pair = 0;
            }
            if (caption)
                form->addWidget(caption, row, 0);
            form->addWidget(control, row, caption ? 1 : 0, 1, caption ? 2 * kPairsPerRow - 1 : 2 * kPairsPerRow);
            ++row;
            continue;
        }
        form->addWidget(caption, row, 2 * pair);
        form->addWidget(control, row, 2 * pair + 1);
        if (++pair == kPairsPerRow) {
            ++row;
            pair = 0;
        }
    }
    for (int c = 0; c < kPairsPerRow; ++c) {
        form->setColumnStretch(2 * c + 1, 1);
    }

    // "ثبت" and "ويرايش" share one place; one of them is shown.
    d->insBtn = new QPushButton(u"ثبت"_s);
    d->insBtn->setObjectName(u"ins_btn"_s);
    d->editBtn = new QPushButton(u"ويرايش"_s);
    d->editBtn->setObjectName(u"edit_btn"_s);
    auto* commands = new QHBoxLayout;
    for (QPushButton* b : {d->insBtn, d->editBtn}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setMinimumWidth(120);
        commands->addWidget(b);
    }
    commands->addStretch();
    d->editBtn->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(commands);
    layout->addWidget(hiddenBox);

    d->lists[u"manzor"_s]->addItems({u"تغيير كاربري"_s, u"افزايش محدوده"_s});
    d->lists[u"manzor"_s]->setCurrentIndex(-1);

    QList<QComboBox*> placeCombos;
    const PlaceChain chain = caseEntryPlaces();
    for (const PlaceLevel& level : chain.levels)
        placeCombos << d->lists.value(level.control);
    d->places = new PlaceLists(
        chain, placeCombos, [this] { return d->session.db(); }, this);

    ValuationFields v;
    v.metraj = d->texts[u"metraj"_s];
    v.takhrib_masahat = d->texts[u"takhrib_masahat"_s];
    v.masahat_na = d->texts[u"masahat_na"_s];
    v.masahat_khales = d->texts[u"masahat_khales"_s];
    v.price_metr = d->texts[u"price_metr"_s];
    v.ghimat_karshenasi_d = d->texts[u"ghimat_karshenasi_d"_s];
    v.melk_arzesh = d->texts[u"melk_arzesh"_s];
    v.malek_pardakhti = d->texts[u"malek_pardakhti"_s];
    v.tahteposhesh = d->lists[u"tahteposhesh"_s];
    v.takhfif_darsad = d->texts[u"takhfif_darsad"_s];
    v.malek_varizi = d->texts[u"malek_varizi"_s];
    v.feeCaption = captions[u"malek_varizi"_s];
    d->valuation = new ValuationBinder(v, this);
    for (const QString& name : caseNumberFields())
        showLatinDigits(d->texts.value(name));
    limitToColumnWidths(this, u"komision"_s);
    keepOpenOnEscape(this);

    auto* enter = new EnterChain(this);
    for (const QString& name : enterOrder())
        enter->add(d->controls.value(name));
    // The chain ends on the save button; Enter there saves nothing (a click or Ctrl+S does).
    enter->add(d->insBtn).add(d->editBtn);
    new EntryGuard(this, {d->insBtn, d->editBtn});
    for (const QString& name : highlighted())
        highlightOnFocus(d->controls.value(name));

    // Leaving the applicant's name writes its keheh as kaf.
    QLineEdit* applicant = d->texts[u"darkhast"_s];
    new FocusOutHook(applicant, [applicant] {
        const QString normalised = arabicKaf(applicant->text());
        if (normalised != applicant->text())
            applicant->setText(normalised);
    });

    for (const CaseField& f : caseFields()) {
        if (!f.todayCaption())
            continue;
        DateEdit* date = d->dates[f.name];
        connect(static_cast<LinkLabel*>(captions[f.name]), &LinkLabel::clicked, date,
                [date] { date->setDateText(TodayJalali()); });
    }
    connect(static_cast<LinkLabel*>(captions[u"rosta"_s]), &LinkLabel::clicked, this, [this] {
        try {
            if (Database* db = d->session.db())
                normaliseVillageNames(*db);
        } catch (const Error& e) {
            Dialogs::instance().error(e.message());
        }
    });

    connect(d->insBtn, &QPushButton::clicked, this, &Tkomision::saveNew);
    connect(d->editBtn, &QPushButton::clicked, this, &Tkomision::saveEdit);
}

Tkomision::~Tkomision() = default;

void Tkomision::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    d->places->fillTop();
    Database* db = d->session.db();
    if (!db)
        return;
    try {
        QHash<QString, QStringList> loaded;
        for (const CaseField& f : caseFields()) {
            if (f.list.isEmpty())
                continue;
            if (!loaded.contains(f.list))
                loaded.insert(f.list, settingChoices(*db, f.list));
            setChoices(d->lists[f.name], loaded.value(f.list));
        }
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tkomision::prepareNew()
{
    // The presets run the valuation reactions over what the last case left; they
    // remind of nothing on a blank case.
    d->valuation->setQuiet(true);
    const auto loud = qScopeGuard([this] { d->valuation->setQuiet(false); });
    d->setText(u"ostan"_s, {});
    d->applyLevel();
    d->approved->setChecked(false);
    d->setText(u"takhrib_masahat"_s, u"0"_s);
    d->setText(u"takhfif_darsad"_s, u"0"_s);
    for (const CaseField& f : caseFields()) {
        if (f.kind == CaseFieldKind::Check || f.name == u"ostan"_s || f.name == u"takhrib_masahat"_s
            || f.name == u"takhfif_darsad"_s)
            continue;
        d->setText(f.name, zeroOnNew().contains(f.name) ? u"0"_s : QString());
    }
    d->setText(u"reg_dat"_s, TodayJalali());
    d->editKey = {};
    d->showMode(false);
    EntryGuard::of(this)->markLoaded();
}

bool Tkomision::prepareEdit()
{
    ResultSet& cases = d->session.cases;
    if (!cases.isOpen() || cases.isEmpty())
        return false;
    try {
        const QStringList refusals = editRefusals(d->session.login.level, cases.asString(u"taeid_zamin"_s),
                                                  cases.asString(u"ost_paper_no"_s));
        if (!refusals.isEmpty()) {
            Impl::report(refusals);
            return false;
        }
        d->applyLevel();
        for (const QString& column : caseLoadOrder()) {
            QString value = cases.asString(column);
            if (column == u"takhfif_darsad"_s && value.isEmpty())
                value = u"0"_s;
            d->setText(column, value);
        }
        d->setText(u"taeid_zamin"_s, cases.asString(u"taeid_zamin"_s));
        d->editKey = cases.value(u"pk"_s);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return false;
    }
    d->showMode(true);
    EntryGuard::of(this)->markLoaded();
    return true;
}

void Tkomision::saveNew()
{
    Database* db = d->session.db();
    if (!db || !DateEdit::acceptAll(this)) // the dates are stored as they stand
        return;
    const CaseTexts all = d->collect();
    if (const QStringList tooLong = caseWidthProblems(all); !tooLong.isEmpty()) {
        Impl::report(tooLong);
        return;
    }
    try {
        ResultSet& cases = d->session.cases;
        // Saving before any search ran: the cases start as an empty list.
        if (!cases.isOpen())
            cases.open(u"SELECT * FROM komision WHERE 1 = 0"_s);
        const QStringList problems = saveNewCase(cases, all, d->session.login.userName);
        if (!problems.isEmpty()) {
            Impl::report(problems);
            return;
        }
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    EntryGuard::of(this)->markSaved();
    Dialogs::instance().message(caseText::Saved);
}

void Tkomision::saveEdit()
{
    Database* db = d->session.db();
    ResultSet& cases = d->session.cases;
    if (!db || !d->editKey.isValid() || !DateEdit::acceptAll(this))
        return;
    const CaseTexts all = d->collect();
    if (const QStringList tooLong = caseWidthProblems(all); !tooLong.isEmpty()) {
        Impl::report(tooLong);
        return;
    }
    try {
        if (!cases.locate(u"pk"_s, d->editKey))
            throw Error(u"این رکورد در این فاصله توسط کاربر دیگری حذف شده است."_s);
        const QStringList problems = saveCaseChanges(cases, all, d->session.login.userName);
        if (!problems.isEmpty()) {
            Impl::report(problems);
            return;
        }
    } catch (const RecordChanged& changed) {
        // Nothing was written; on request the fields show the stored case instead.
        if (offerReload(changed)) {
            try {
                if (cases.reloadCurrent())
                    prepareEdit();
                else
                    Dialogs::instance().error(u"این رکورد در این فاصله توسط کاربر دیگری حذف شده است."_s);
            } catch (const Error& e) {
                Dialogs::instance().error(e.message());
            }
        }
        return;
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    EntryGuard::of(this)->markSaved();
    accept();
    cases.locate(u"pk"_s, d->editKey);
}

} // namespace tarvest
