#include "cases/casesearchscreen.h"

#include "cases/caseentry.h"
#include "cases/caseexportcommand.h"
#include "cases/casepictures.h"
#include "cases/core/casepictures.h"
#include "cases/prints/caseprints.h"
#include "cases/prints/countyprints.h"
#include "common/digits.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/resultset.h"
#include "db/settinglists.h"
#include "widgets/conventions.h"
#include "widgets/dateedit.h"
#include "widgets/dialogs.h"
#include "widgets/loadprogress.h"
#include "widgets/placechain.h"
#include "widgets/recordchanged.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tarvest {

namespace {

const QString kNoAccess = QStringLiteral("شما دسترسي به اين صفحه را نداريد");

// The case grid: rows of cases with attachments are yellow, and some titles carry
// the colours the office knows them by.
class CaseListModel : public ResultSetModel {
public:
    using ResultSetModel::ResultSetModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::BackgroundRole && index.isValid()) {
            const ResultSet* rs = resultSet();
            const int c = rs->fieldIndex(QStringLiteral("pic_count"));
            if (c >= 0 && rs->valueAt(index.row(), c).toLongLong() > 0)
                return QColor(Qt::yellow);
            return {};
        }
        return ResultSetModel::data(index, role);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::BackgroundRole) {
            static const QHash<QString, QColor> colours = {
                {"pic_count", QColor(0x00, 0x80, 0x80)},
                {"taeid_zamin", QColor(0x00, 0x80, 0x00)},
                {"malek_pardakhti", QColor(Qt::yellow)},
                {"malek_varizi", QColor(0xA6, 0xCA, 0xF0)},
                {"dabir", QColor(Qt::red)},
                {"zamin", QColor(Qt::red)},
                {"moshaver", QColor(Qt::red)},
                {"bazdid_dat", QColor(Qt::red)},
                {"ost_paper_no", QColor(Qt::red)},
                {"tasvib_result", QColor(Qt::red)},
                {"tasvib_paper_no", QColor(Qt::red)},
                {"cmt", QColor(Qt::red)},
                {"tasvib_dat", QColor(Qt::red)},
                {"tasvib_b_dat", QColor(Qt::red)},
            };
            const auto it = colours.find(resultSet()->fieldName(section).toLower());
            if (it != colours.end())
                return *it;
        }
        return ResultSetModel::headerData(section, orientation, role);
    }
};

// A number typed by the user, Persian digits included; nullopt when it is not one.
std::optional<double> typedNumber(const QString& text)
{
    bool ok = false;
    const double value = normalizeDigits(text).trimmed().toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

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
    return c;
}

} // namespace

Tkomision_rep::Tkomision_rep(Session& session, QWidget* parent) : QDialog(parent, Qt::Window), m_session(session)
{
    setObjectName(QStringLiteral("Tkomision_rep"));
    setWindowTitle(QStringLiteral("گزارشات"));
    setLayoutDirection(Qt::RightToLeft);

    // Menu, in the order the office knows.
    auto* bar = new QMenuBar(this);
    bar->setLayoutDirection(Qt::RightToLeft);
    m_new = addMenuItem(nullptr, "N1", QStringLiteral("ثبت"), &Tkomision_rep::newCase);
    m_edit = addMenuItem(nullptr, "N2", QStringLiteral("ويرايش"), &Tkomision_rep::editCase);
    m_delete = addMenuItem(nullptr, "N3", QStringLiteral("حذف"), &Tkomision_rep::deleteCase);
    QAction* pictures = addMenuItem(nullptr, "N17", QStringLiteral("ضمائم"), &Tkomision_rep::attachments);
    QAction* excel = addMenuItem(nullptr, "N4", QStringLiteral("اكسل"), &Tkomision_rep::exportList);
    for (QAction* a : {m_new, m_edit, m_delete, pictures, excel})
        bar->addAction(a);
    // The print menus, caption by caption in the order the office knows.
    struct PrintCommand {
        const char16_t* caption;
        void (*print)(Session&, QWidget*);
    };
    const PrintCommand provincial[] = {
        {u"فرم مشروط -A4", &caseprints::printConditionalForm},
        {u"فرم مختلط -A4", &caseprints::printMixedForm},
        {u"فرم ريالي -A4", &caseprints::printMoneyForm},
        {u"فرم سهمي -A4", &caseprints::printShareForm},
        {u"برگه کميسيون معاملات جديد-A5", &caseprints::printCommissionSheetA5},
        {u"چاپ برگه كميسيون معاملات", &caseprints::printCommissionSheetA4},
        {u"چاپ نامه پيش نويس ريالي", &caseprints::printMoneyLetter},
        {u"چاپ نامه پيش نويس سهمي", &caseprints::printShareLetter},
        {u"چاپ نامه گروه زمين", &caseprints::printLandGroupLetter},
        {u"فرم شماره 12", &caseprints::printRegister},
        {u"کاربري مختلط", &caseprints::printMixedUseLetter},
        {u"کاربري مشروط", &caseprints::printConditionalUseLetter},
        {u"چاپ برگه کميسيون تغيير کاربري", &caseprints::printMinutes},
    };
    const PrintCommand county[] = {
        {u"فرم بررسي", &countyprints::printReviewForm},
        {u"فرم اعلام نظر", &countyprints::printDeclarationForm},
        {u"فرم حسابداري-A5", &countyprints::printAccountingForm},
    };
    auto addPrints = [this](QMenu* menu, const auto& commands) {
        for (const PrintCommand& c : commands)
            menu->addAction(QString::fromUtf16(c.caption), this, [this, print = c.print] { print(m_session, this); });
    };
    m_provincialPrints = named(bar->addMenu(QStringLiteral("چاپ استان")), "N8");
    addPrints(m_provincialPrints, provincial);
    addPrints(named(bar->addMenu(QStringLiteral("چاپ شهرستان")), "N16"), county);
    QAction* exit = named(bar->addAction(QStringLiteral("خروج")), "N11");
    connect(exit, &QAction::triggered, this, &QWidget::close);

    // Filters: a check box and its fields on each line, in two columns.
    m_ostan = editableCombo(this, "ostan");
    m_city = editableCombo(this, "city");
    m_rosta = editableCombo(this, "rosta");
    m_darkhast = named(new QLineEdit(this), "darkhast");
    m_areaComparison = named(new QComboBox(this), "m_khales");
    m_areaComparison->addItems({QStringLiteral("="), QStringLiteral(">"), QStringLiteral("<")});
    m_areaComparison->setCurrentIndex(-1);
    m_area = named(new QLineEdit(this), "masahat_khales");
    m_meeting1 = named(new DateEdit(this), "komision_t_k_dat1");
    m_meeting2 = named(new DateEdit(this), "komision_t_k_dat2");
    m_reg1 = named(new DateEdit(this), "reg_dat1");
    m_reg2 = named(new DateEdit(this), "reg_dat2");
    m_pk = named(new QLineEdit(this), "pk");
    m_addPk = named(new QPushButton(QStringLiteral("+"), this), "add_pk");
    m_showIds = named(new QCheckBox(this), "show_pk_list");
    m_ids = named(new QListWidget(this), "pk_list");
    m_ids->setVisible(false);
    m_ids->setMaximumHeight(80);
    m_taeid = named(new QComboBox(this), "taeid_zamin");
    m_taeid->setEditable(true);
    m_taeid->addItems({QStringLiteral("تاييد امور زمين"), QStringLiteral("تاييد کميسيون")});
    m_manzor = editableCombo(this, "manzor");
    m_paperNo = named(new QLineEdit(this), "paper_no");

    auto* filters = new QGridLayout;
    int row = 0, col = 0;
    auto addFilter = [&](const char* boxName, const QString& caption, const QList<QWidget*>& fields,
                         QWidget* between = nullptr) {
        auto* box = named(new QCheckBox(caption, this), boxName);
        auto* line = new QHBoxLayout;
        for (int i = 0; i < fields.size(); ++i) {
            line->addWidget(fields[i], 1);
            if (i == 0 && between)
                line->addWidget(between);
        }
        filters->addWidget(box, row, col * 2);
        filters->addLayout(line, row, col * 2 + 1);
        if (++col == 2) {
            col = 0;
            ++row;
        }
        return box;
    };
    bindFilter(addFilter("CheckBox11", QStringLiteral("استان"), {m_ostan}), {m_ostan});
    bindFilter(addFilter("CheckBox2", QStringLiteral("شهرستان"), {m_city}), {m_city});
    bindFilter(addFilter("CheckBox3", QStringLiteral("روستا"), {m_rosta}), {m_rosta});
    bindFilter(addFilter("CheckBox4", QStringLiteral("درخواست كننده"), {m_darkhast}), {m_darkhast});
    bindFilter(addFilter("CheckBox6", QStringLiteral("مساحت معادل خالص مسکوني(مترمربع)"), {m_areaComparison, m_area}),
               {m_area, m_areaComparison});
    bindFilter(addFilter("CheckBox5", QStringLiteral("تاريخ جلسه كميسيون تغيير كاربري"), {m_meeting1, m_meeting2},
                         new QLabel(QStringLiteral("تـــــــآ"), this)),
               {m_meeting1, m_meeting2});
    bindFilter(addFilter("CheckBox7", QStringLiteral("تاريخ جلسه كميسيون ثبت"), {m_reg1, m_reg2},
                         new QLabel(QStringLiteral("تـــــــا"), this)),
               {m_reg1, m_reg2});
    m_idBox = addFilter("CheckBox8", QStringLiteral("شناسه"), {m_pk, m_addPk, m_showIds});
    bindFilter(addFilter("CheckBox9", QStringLiteral("تاييد امور زمين"), {m_taeid}), {m_taeid});
    bindFilter(addFilter("CheckBox10", QStringLiteral("نوع درخواست"), {m_manzor}), {m_manzor});
    bindFilter(addFilter("CheckBox1", QStringLiteral("شماره نامه"), {m_paperNo}), {m_paperNo});
    // The id filter switches its three controls together, without colour, and starts
    // a new list each time.
    for (QWidget* w : {static_cast<QWidget*>(m_pk), static_cast<QWidget*>(m_addPk), static_cast<QWidget*>(m_showIds)})
        w->setEnabled(false);
    connect(m_idBox, &QCheckBox::toggled, this, [this](bool on) {
        m_pk->setEnabled(on);
        m_addPk->setEnabled(on);
        m_showIds->setEnabled(on);
        m_ids->clear();
        m_ids->setVisible(false);
        m_showIds->setChecked(false);
    });
    connect(m_showIds, &QCheckBox::toggled, m_ids, &QWidget::setVisible);
    connect(m_addPk, &QPushButton::clicked, this, &Tkomision_rep::addId);

    auto* searchButton = named(new QPushButton(QStringLiteral("جستجو"), this), "src_btn");
    connect(searchButton, &QPushButton::clicked, this, [this] { search(); });
    m_count = named(new QLabel(QStringLiteral("0"), this), "cnt");
    auto* actions = new QHBoxLayout;
    actions->addWidget(searchButton);
    actions->addWidget(new QLabel(QStringLiteral("تعداد :"), this));
    actions->addWidget(m_count);
    actions->addStretch();
    actions->addWidget(m_ids);

    m_grid = named(new QTableView(this), "DBGrid1");
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_model = new CaseListModel(&m_session.cases, this);
    QHash<QString, QString> titles;
    for (const CaseColumn& c : caseSearchColumns())
        titles.insert(QLatin1String(c.name), QString::fromUtf16(c.title));
    m_model->setTitles(titles);
    m_grid->setModel(m_model);
    TitleSort::attach(m_grid);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, &Tkomision_rep::keepColumnWidths);
    connect(m_model, &QAbstractItemModel::modelReset, this, &Tkomision_rep::arrangeColumns);
    // The clicked row is the selected case every command works on.
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    m_session.cases.moveTo(current.row() + 1);
            });
    // The count shows as soon as the database has it, before the rows come in.
    connect(&m_session.cases, &ResultSet::counted, this, [this](qint64 n) {
        if (m_searching)
            m_count->setText(QString::number(n));
    });
    LoadProgress::attach(this, &m_session.cases);
    connect(&m_session.cases, &ResultSet::currentChanged, this, [this](int r) {
        if (r >= 0 && m_grid->currentIndex().row() != r)
            m_grid->setCurrentIndex(m_model->index(r, std::max(0, m_grid->currentIndex().column())));
    });

    auto* hint = named(new QLabel(QStringLiteral("*براي انتخاب چندتايي از کليد Ctrl استفاده نماييد"), this), "Label3");

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(bar);
    layout->addLayout(filters);
    layout->addLayout(actions);
    layout->addWidget(m_grid, 1);
    layout->addWidget(hint);

    m_places = new PlaceLists(
        caseSearchPlaces(), {m_ostan, m_city}, [this] { return m_session.db(); }, this);

    // Enter: the text filters and the second dates search; a first date moves on.
    auto* chain = new EnterChain(this);
    auto run = [this] { search(); };
    chain->add(m_paperNo, run).add(m_city, run).add(m_rosta, run).add(m_darkhast, run).add(m_area, run);
    chain->addRange(m_meeting1, m_meeting2).add(m_meeting2, run);
    chain->addRange(m_reg1, m_reg2).add(m_reg2, run);
    connect(m_darkhast, &QLineEdit::editingFinished, this,
            [this] { m_darkhast->setText(toArabicKaf(m_darkhast->text())); });
    resize(1100, 700);
}

Tkomision_rep::~Tkomision_rep() = default;

QAction* Tkomision_rep::addMenuItem(QMenu* menu, const char* name, const QString& caption,
                                    void (Tkomision_rep::*slot)())
{
    auto* action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    if (menu)
        menu->addAction(action);
    connect(action, &QAction::triggered, this, [this, slot] {
        try {
            (this->*slot)();
        } catch (const Error& e) {
            Dialogs::instance().error(e.message());
        }
    });
    return action;
}

void Tkomision_rep::applyRights(const PageRights& rights)
{
    m_new->setEnabled(rights.insert);
    m_edit->setEnabled(rights.edit);
    m_delete->setEnabled(rights.remove);
}

void Tkomision_rep::prepare()
{
    m_paperNo->clear();
    m_provincialPrints->setEnabled(m_session.login.level != QLatin1String("city"));
    for (QComboBox* c : {m_city, m_rosta, m_taeid, m_manzor, m_ostan, m_areaComparison})
        c->setCurrentIndex(-1);
    for (QComboBox* c : {m_city, m_rosta, m_taeid, m_manzor, m_ostan})
        c->clearEditText();
    m_darkhast->clear();
    m_meeting1->setDateText(QString());
    m_meeting2->setDateText(QString());
    m_pk->clear();
    m_area->clear();
    search();
}

void Tkomision_rep::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_session.db())
        return;
    try {
        if (!m_provincesFilled) {
            m_places->fillTop();
            m_provincesFilled = true;
        }
        const QString text = m_manzor->currentText();
        m_manzor->clear();
        m_manzor->addItems(settingChoices(*m_session.db(), lists::RequestKind));
        m_manzor->setCurrentIndex(-1);
        m_manzor->setEditText(text);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

std::optional<CaseFilters> Tkomision_rep::filters()
{
    CaseFilters f;
    auto text = [](QWidget* w) -> QString {
        if (auto* c = qobject_cast<QComboBox*>(w))
            return c->currentText();
        return static_cast<QLineEdit*>(w)->text();
    };
    if (filterOn(m_ostan))
        f.ostan = text(m_ostan);
    if (filterOn(m_paperNo))
        f.paperNo = text(m_paperNo);
    if (filterOn(m_city))
        f.city = text(m_city);
    if (filterOn(m_rosta))
        f.rosta = text(m_rosta);
    if (filterOn(m_darkhast))
        f.darkhast = toArabicKaf(m_darkhast->text());
    if (filterOn(m_area) && m_areaComparison->currentIndex() >= 0) {
        const std::optional<double> area = typedNumber(m_area->text());
        if (!area) {
            Dialogs::instance().message(QStringLiteral("خطا! مساحت را به صورت عدد وارد نماييد"));
            m_area->setFocus();
            return std::nullopt;
        }
        f.areaComparison = AreaComparison(m_areaComparison->currentIndex());
        f.area = *area;
    }
    if (filterOn(m_meeting1))
        f.meetingDates = {{m_meeting1->dateText(), m_meeting2->dateText()}};
    if (filterOn(m_reg1))
        f.registrationDates = {{m_reg1->dateText(), m_reg2->dateText()}};
    if (m_pk->isEnabled()) {
        QList<qint64> ids;
        for (int i = 0; i < m_ids->count(); ++i)
            ids << m_ids->item(i)->text().toLongLong();
        f.ids = ids;
    }
    if (filterOn(m_taeid))
        f.taeidZamin = m_taeid->currentText();
    if (filterOn(m_manzor))
        f.manzor = m_manzor->currentText();
    return f;
}

bool Tkomision_rep::search()
{
    Database* db = m_session.db();
    if (!db)
        return false;
    if (!DateEdit::acceptAll(this)) // the date ranges are read as they stand
        return false;
    const std::optional<CaseFilters> f = filters();
    if (!f)
        return false;
    try {
        const CaseQuery q = buildCaseSearch(*f, m_session.login, db->kind());
        m_lastQuery = q;
        m_searching = true;
        m_session.cases.open(q.paged);
        m_searching = false;
        return true;
    } catch (const Error& e) {
        m_searching = false;
        Dialogs::instance().error(e.message());
        return false;
    }
}

void Tkomision_rep::updateCount(const CaseQuery& q)
{
    m_count->setText(QString::number(m_session.db()->scalar(q.countSql, q.params).toLongLong()));
}

void Tkomision_rep::keepColumnWidths()
{
    if (m_columnWidths.isEmpty())
        return;
    const QHeaderView* header = m_grid->horizontalHeader();
    for (int c = 0; c < header->count() && c < m_gridFields.size(); ++c)
        m_columnWidths.insert(m_gridFields[c], header->sectionSize(c));
}

void Tkomision_rep::arrangeColumns()
{
    QHeaderView* header = m_grid->horizontalHeader();
    const ResultSet& rs = m_session.cases;
    m_gridFields = rs.fieldNames();
    int visual = 0;
    for (const CaseColumn& c : caseSearchColumns()) {
        const int logical = rs.fieldIndex(QLatin1String(c.name));
        if (logical < 0)
            continue;
        header->moveSection(header->visualIndex(logical), visual++);
    }
    // The widths found before, when every column has one: measuring the texts of the
    // first rows of 61 columns costs more than the search itself.
    bool known = rs.fieldCount() > 0;
    for (int c = 0; known && c < rs.fieldCount(); ++c)
        known = m_columnWidths.contains(rs.fieldName(c));
    if (known) {
        for (int c = 0; c < rs.fieldCount(); ++c)
            header->resizeSection(c, m_columnWidths.value(rs.fieldName(c)));
        return;
    }
    // Columns as wide as their titles and the first rows need, within reason.
    header->setResizeContentsPrecision(40);
    m_grid->resizeColumnsToContents();
    for (int c = 0; c < header->count(); ++c)
        header->resizeSection(c, std::clamp(header->sectionSize(c), 50, 260));
    // Kept once they are fitted to rows; an empty result fits the titles only.
    if (rs.recordCount() > 0) {
        for (int c = 0; c < rs.fieldCount(); ++c)
            m_columnWidths.insert(rs.fieldName(c), header->sectionSize(c));
    }
}

void Tkomision_rep::addId()
{
    bool ok = false;
    const qint64 id = normalizeDigits(m_pk->text()).trimmed().toLongLong(&ok);
    if (!ok || id <= 0) {
        Dialogs::instance().message(QStringLiteral("خطا! شناسه بايد عدد صحيح باشد"));
        return;
    }
    m_ids->addItem(QString::number(id));
}

Tkomision& Tkomision_rep::entryScreen()
{
    if (!m_entry)
        m_entry = std::make_unique<Tkomision>(m_session, this);
    return *m_entry;
}

Tkomision_pic& Tkomision_rep::picturesScreen()
{
    if (!m_pictures)
        m_pictures = std::make_unique<Tkomision_pic>(m_session, this);
    return *m_pictures;
}

void Tkomision_rep::newCase()
{
    Tkomision& entry = entryScreen();
    entry.prepareNew();
    showModal(&entry);
}

void Tkomision_rep::editCase()
{
    if (m_session.cases.isEmpty()) {
        Dialogs::instance().message(QStringLiteral("ابتدا پرونده مورد نظر را انتخاب نماييد"));
        return;
    }
    Tkomision& entry = entryScreen();
    if (entry.prepareEdit())
        showModal(&entry);
}

void Tkomision_rep::deleteCase()
{
    ResultSet& cases = m_session.cases;
    if (cases.isEmpty()) {
        Dialogs::instance().message(QStringLiteral("ابتدا پرونده مورد نظر را انتخاب نماييد"));
        return;
    }
    Database& db = *m_session.db();
    const QString password = settingValue(db, lists::DeletePassword);
    const QString typed = Dialogs::instance().input(
        QStringLiteral("Delete Password"), QStringLiteral("لطفا رمز حذف را وارد نماييد:"), QStringLiteral("?"), true);
    if (typed != password) {
        Dialogs::instance().message(QStringLiteral("حذفي صورت نگرفت"));
        return;
    }
    // The case and its attachments go together.
    const qint64 pk = cases.asInteger(QStringLiteral("pk"));
    db.begin();
    try {
        deleteCasePictures(db, pk);
        cases.remove();
        db.commit();
    } catch (const RecordChanged& changed) {
        // Changed on another workstation since the search: nothing is deleted.
        db.rollback();
        if (offerReload(changed))
            cases.reloadCurrent();
        return;
    } catch (const Error&) {
        db.rollback();
        throw;
    }
    updateCount(m_lastQuery);
}

void Tkomision_rep::attachments()
{
    if (m_session.cases.isEmpty()) {
        Dialogs::instance().message(QStringLiteral("ابتدا پرونده مورد نظر را انتخاب نماييد"));
        return;
    }
    const std::optional<PageRights> rights = m_session.pageRights(QStringLiteral("kom_z"));
    if (!rights) {
        Dialogs::instance().message(kNoAccess);
        return;
    }
    Tkomision_pic& pictures = picturesScreen();
    if (!rights->view) {
        pictures.openFor(-1, *rights);
        Dialogs::instance().message(kNoAccess);
        return;
    }
    pictures.openFor(m_session.cases.asInteger(QStringLiteral("pk")), *rights);
    showModal(&pictures);
}

void Tkomision_rep::exportList()
{
    exportCasesWithDialog(m_session.cases);
}

} // namespace tarvest
