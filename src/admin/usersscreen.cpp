#include "admin/usersscreen.h"

#include "admin/userentry.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/places.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"
#include "widgets/recordchanged.h"
#include "widgets/spreadsheetexport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tarvest {

namespace {
const QString kSaved = QStringLiteral("ثبت شد");
const QString kCountiesSaved = QStringLiteral("دسترسي ها بروز شد");
const QString kDeleted = QStringLiteral("حذف شد");
const QString kNoAdminEdit = QStringLiteral("امکان ويرايش مدير نيست");
const QString kNoAdminDelete = QStringLiteral("خطا، امكان حذف مدير نيست");
const QString kChooseUser = QStringLiteral("خطا! ابتدا کاربر را در جدول انتخاب نماييد");

QComboBox* combo(const char* name, bool editable = false)
{
    auto* c = new QComboBox;
    c->setObjectName(QLatin1String(name));
    c->setEditable(editable);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setMinimumContentsLength(10);
    return c;
}

QCheckBox* box(const QString& name, const QString& caption)
{
    auto* b = new QCheckBox(caption);
    b->setObjectName(name);
    return b;
}

void clearCombo(QComboBox* c)
{
    c->setCurrentIndex(-1);
    if (c->isEditable())
        c->setEditText(QString());
}
} // namespace

Tusers::Tusers(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Tusers"));
    setWindowTitle(QStringLiteral("كاربران"));
    setLayoutDirection(Qt::RightToLeft);
    m_users.setObjectName(QStringLiteral("adoq_user"));

    auto* bar = new QMenuBar(this);
    bar->setLayoutDirection(Qt::RightToLeft);
    const auto item = [&](const char* name, const QString& caption, void (Tusers::*slot)()) {
        QAction* a = bar->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    m_new = item("N1", QStringLiteral("ثبت"), &Tusers::newUser);
    m_edit = item("N2", QStringLiteral("ويرايش"), &Tusers::editUser);
    m_delete = item("N3", QStringLiteral("حذف"), &Tusers::deleteUser);
    item("N4", QStringLiteral("اکسل"), &Tusers::exportList);
    QAction* closeItem = bar->addAction(QStringLiteral("بستن"));
    closeItem->setObjectName(QStringLiteral("N5"));
    connect(closeItem, &QAction::triggered, this, &QDialog::close);

    m_model = new ResultSetModel(&m_users, this);
    m_model->setTitles({{QStringLiteral("nam"), QStringLiteral("نام و نام خانوادگي")},
                        {QStringLiteral("us"), QStringLiteral("نام كاربري (کد ملي)")},
                        {QStringLiteral("ver"), QStringLiteral("نسخه")},
                        {QStringLiteral("lev"), QStringLiteral("سطح")},
                        {QStringLiteral("ostan"), QStringLiteral("استان")},
                        {QStringLiteral("semat"), QStringLiteral("سمت/شرح")},
                        {QStringLiteral("mobile"), QStringLiteral("موبايل")},
                        {QStringLiteral("status"), QStringLiteral("وضعيت")}});
    m_grid = new QTableView;
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(m_model);
    setUpListGrid(m_grid);
    TitleSort::attach(m_grid);
    // Room for a page of users however small the screen is made.
    m_grid->setMinimumHeight(m_grid->verticalHeader()->defaultSectionSize() * 8);

    auto* rights = new QHBoxLayout;
    rights->addWidget(buildPageRights(), 3);
    rights->addWidget(buildCountyRights(), 2);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(bar);
    layout->addWidget(buildSearch());
    layout->addWidget(m_grid, 1);
    layout->addLayout(rights);
    resize(1000, 720);

    connect(&m_users, &ResultSet::reset, this, &Tusers::arrangeColumns);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && m_users.moveTo(current.row() + 1))
                    showRightsOfCurrent();
            });
    connect(m_grid, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && m_users.moveTo(index.row() + 1))
            showRightsOfCurrent();
    });
}

Tusers::~Tusers() = default;

QWidget* Tusers::buildSearch()
{
    auto* group = new QGroupBox(QStringLiteral("جستجو"));
    auto* grid = new QGridLayout(group);
    m_usBox = box(QStringLiteral("CheckBox1"), QStringLiteral("نام کاربري"));
    m_ostanBox = box(QStringLiteral("CheckBox2"), QStringLiteral("استان"));
    m_namBox = box(QStringLiteral("CheckBox3"), QStringLiteral("نام و نام خانوادگي"));
    m_levBox = box(QStringLiteral("CheckBox4"), QStringLiteral("سطح"));
    m_us = new QLineEdit;
    m_us->setObjectName(QStringLiteral("us"));
    m_ostan2 = combo("ostan2", true);
    m_nam = new QLineEdit;
    m_nam->setObjectName(QStringLiteral("nam"));
    m_lev2 = combo("lev2", true);
    m_lev2->addItems(userLevels());
    bindFilter(m_usBox, {m_us});
    bindFilter(m_ostanBox, {m_ostan2});
    bindFilter(m_namBox, {m_nam});
    bindFilter(m_levBox, {m_lev2});
    m_search = new QPushButton(QStringLiteral("جستجو"));
    m_search->setObjectName(QStringLiteral("src_btn"));
    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("cnt"));
    m_count->setMinimumWidth(40);

    grid->addWidget(m_usBox, 0, 0);
    grid->addWidget(m_us, 0, 1);
    grid->addWidget(m_ostanBox, 0, 2);
    grid->addWidget(m_ostan2, 0, 3);
    grid->addWidget(m_search, 0, 4);
    grid->addWidget(m_namBox, 1, 0);
    grid->addWidget(m_nam, 1, 1);
    grid->addWidget(m_levBox, 1, 2);
    grid->addWidget(m_lev2, 1, 3);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(QStringLiteral("تعداد:")));
    countRow->addWidget(m_count);
    grid->addLayout(countRow, 1, 4);

    // The login state: the current user's name, and hidden, the level and the id.
    auto* current = new QHBoxLayout;
    current->addWidget(new QLabel(QStringLiteral("كاربر جاري")));
    m_karbar = new QLabel;
    m_karbar->setObjectName(QStringLiteral("karbar"));
    current->addWidget(m_karbar);
    m_level = new QLabel;
    m_level->setObjectName(QStringLiteral("level"));
    m_level->hide();
    m_prsId = new QLabel;
    m_prsId->setObjectName(QStringLiteral("prs_id"));
    m_prsId->hide();
    current->addWidget(m_level);
    current->addWidget(m_prsId);
    current->addStretch();
    grid->addLayout(current, 0, 5, 2, 1);
    grid->setColumnStretch(5, 1);

    auto* chain = new EnterChain(this);
    chain->add(m_us, m_search).add(m_ostan2, m_search).add(m_nam, m_search).add(m_lev2, m_search);
    connect(m_search, &QPushButton::clicked, this, &Tusers::search);
    return group;
}

QWidget* Tusers::buildPageRights()
{
    auto* group = new QGroupBox(QStringLiteral("تعيين سطوح دسترسي به صفحات مختلف برنامه"));
    auto* grid = new QGridLayout(group);
    grid->setVerticalSpacing(2);
    const QStringList captions{QStringLiteral("ثبت"), QStringLiteral("ويرايش"), QStringLiteral("حذف"),
                               QStringLiteral("مشاهده")};
    // Two columns of pages, so the eleven rows fit beside the county rights.
    const int half = (int(rightsPages().size()) + 1) / 2;
    for (int i = 0; i < rightsPages().size(); ++i) {
        const RightsPage& p = rightsPages().at(i);
        const int row = i % half;
        const int col = (i / half) * 6;
        auto* label = new QLabel(p.label);
        label->setObjectName(p.prefix + QStringLiteral("_label"));
        grid->addWidget(label, row, col);
        PageBoxes b{
            box(p.prefix + QStringLiteral("_ins"), captions[0]), box(p.prefix + QStringLiteral("_edit"), captions[1]),
            box(p.prefix + QStringLiteral("_del"), captions[2]), box(p.prefix + QStringLiteral("_show"), captions[3])};
        grid->addWidget(b.insert, row, col + 1);
        grid->addWidget(b.edit, row, col + 2);
        grid->addWidget(b.remove, row, col + 3);
        grid->addWidget(b.view, row, col + 4);
        m_boxes << b;
    }
    grid->setColumnMinimumWidth(5, 16);

    m_lev = combo("lev");
    m_lev->addItems(userLevels());
    m_semat = combo("semat");
    m_savePages = new QPushButton(QStringLiteral("ثبت"));
    m_savePages->setObjectName(QStringLiteral("ins_btn2"));
    auto* defaults = new QHBoxLayout;
    defaults->addWidget(new QLabel(QStringLiteral("سطوح پيشفرض دسترسي:")));
    defaults->addWidget(m_lev);
    defaults->addWidget(new QLabel(QStringLiteral("گروه کاربري:")));
    defaults->addWidget(m_semat);
    defaults->addStretch();
    defaults->addWidget(m_savePages);
    grid->addLayout(defaults, half, 0, 1, 11);

    connect(m_lev, &QComboBox::currentIndexChanged, this, [this] { clearRights(); });
    connect(m_semat, &QComboBox::currentIndexChanged, this, &Tusers::applyDefaultProfile);
    connect(m_savePages, &QPushButton::clicked, this, &Tusers::savePageRights);
    return group;
}

QWidget* Tusers::buildCountyRights()
{
    auto* group = new QGroupBox(QStringLiteral("تعيين دسترسي به شهرستان ها"));
    auto* grid = new QGridLayout(group);
    m_ostan = combo("ostan", true);
    m_shahrestan = combo("shahrestan", true);
    m_addAll = new QPushButton(QStringLiteral("+"));
    m_addAll->setObjectName(QStringLiteral("SpeedButton2"));
    m_addAll->setToolTip(QStringLiteral("همه شهرستان هاي استان"));
    m_addOne = new QPushButton(QStringLiteral("+"));
    m_addOne->setObjectName(QStringLiteral("SpeedButton3"));
    m_addOne->setToolTip(QStringLiteral("شهرستان انتخاب شده"));
    for (QPushButton* b : {m_addAll, m_addOne})
        b->setFixedWidth(b->fontMetrics().height() * 2);
    m_counties = new QListWidget;
    m_counties->setObjectName(QStringLiteral("list_loc"));
    m_counties->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* removeOne = new QAction(QStringLiteral("حذف"), m_counties);
    removeOne->setObjectName(QStringLiteral("remove_county"));
    auto* removeAll = new QAction(QStringLiteral("حذف همه"), m_counties);
    removeAll->setObjectName(QStringLiteral("remove_all_counties"));
    m_counties->addAction(removeOne);
    m_counties->addAction(removeAll);
    m_saveCounties = new QPushButton(QStringLiteral("ثبت"));
    m_saveCounties->setObjectName(QStringLiteral("ins_btn"));

    grid->addWidget(new QLabel(QStringLiteral("استان")), 0, 0);
    grid->addWidget(m_ostan, 0, 1);
    grid->addWidget(m_addAll, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("شهرستان")), 1, 0);
    grid->addWidget(m_shahrestan, 1, 1);
    grid->addWidget(m_addOne, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("دسترسي به چندين شهرستان")), 2, 0, 1, 3);
    grid->addWidget(m_counties, 3, 0, 1, 3);
    grid->addWidget(m_saveCounties, 4, 0, 1, 3, Qt::AlignLeft);

    connect(m_ostan, &QComboBox::currentTextChanged, this, [this] { fillCounties(); });
    connect(m_addAll, &QPushButton::clicked, this, &Tusers::addAllCounties);
    connect(m_addOne, &QPushButton::clicked, this, &Tusers::addCounty);
    connect(removeOne, &QAction::triggered, this, [this] { delete m_counties->currentItem(); });
    connect(removeAll, &QAction::triggered, m_counties, &QListWidget::clear);
    connect(m_saveCounties, &QPushButton::clicked, this, &Tusers::saveCounties);
    return group;
}

Tusers_ins& Tusers::entryScreen()
{
    if (!m_entry) {
        // A window of its own (not a child), so its fields never mix with this screen's.
        m_entry = std::make_unique<Tusers_ins>(m_session);
        connect(m_entry.get(), &Tusers_ins::saved, this, &Tusers::reopen);
    }
    return *m_entry;
}

void Tusers::applyRights(const PageRights& rights)
{
    for (QAction* a : {m_new})
        a->setEnabled(rights.insert);
    for (QPushButton* b : {m_savePages, m_saveCounties, m_addAll, m_addOne})
        b->setEnabled(rights.insert);
    m_edit->setEnabled(rights.edit);
    m_delete->setEnabled(rights.remove);
}

void Tusers::prepare()
{
    m_users.setDatabase(m_session.db());
    m_karbar->setText(m_session.login.userName);
    m_level->setText(m_session.login.level);
    m_prsId->setText(m_session.login.userId);
    fillLists();
    for (QComboBox* c : {m_ostan, m_shahrestan, m_ostan2, m_lev, m_lev2, m_semat})
        clearCombo(c);
    m_us->clear();
    m_nam->clear();
    m_count->clear();
    m_counties->clear();
    clearRights();
    search();
}

void Tusers::fillLists()
{
    Database* db = m_session.db();
    if (!db)
        return;
    try {
        const QStringList provinces = placeValues(*db, QStringLiteral("ostan"));
        for (QComboBox* c : {m_ostan, m_ostan2}) {
            QSignalBlocker quiet(c);
            c->clear();
            c->addItems(provinces);
        }
        QSignalBlocker quiet(m_semat);
        m_semat->clear();
        m_semat->addItems(settingChoices(*db, lists::UserGroup));
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tusers::fillCounties()
{
    Database* db = m_session.db();
    if (!db)
        return;
    const QString province = m_ostan->currentText();
    try {
        const QStringList counties = province.isEmpty() ? QStringList()
                                                        : placeValues(*db, QStringLiteral("shahrestan"),
                                                                      {{QStringLiteral("ostan"), province}});
        m_shahrestan->clear();
        m_shahrestan->addItems(counties);
        clearCombo(m_shahrestan);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tusers::search()
{
    Database* db = m_session.db();
    if (!db)
        return;
    UserFilters f;
    if (filterOn(m_us))
        f.us = m_us->text();
    if (filterOn(m_ostan2))
        f.ostan = m_ostan2->currentText();
    if (filterOn(m_nam))
        f.nam = m_nam->text();
    if (filterOn(m_lev2))
        f.lev = m_lev2->currentText();
    m_lastQuery = userQuery(*db, f);
    try {
        m_count->setText(QString::number(countUsers(*db, m_lastQuery)));
        m_users.setDatabase(db);
        m_users.open(userListSql(m_lastQuery), m_lastQuery.params, QStringLiteral("users"));
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tusers::reopen()
{
    const qint64 current = m_users.isOpen() && !m_users.isEmpty() ? m_users.asInteger(QStringLiteral("id")) : 0;
    search();
    if (current && m_users.locate(QStringLiteral("id"), current))
        m_grid->selectRow(m_users.recNo() - 1);
}

void Tusers::arrangeColumns()
{
    for (int i = 0; i < m_users.fieldCount(); ++i)
        m_grid->setColumnHidden(i, m_users.fieldName(i).compare(QLatin1String("id"), Qt::CaseInsensitive) == 0);
    m_grid->resizeColumnsToContents();
}

bool Tusers::currentUser(qint64* id) const
{
    if (!m_users.isOpen() || m_users.isEmpty())
        return false;
    *id = m_users.asInteger(QStringLiteral("id"));
    return *id != 0;
}

// The current row as the screen read it, for the checks of an edit or a delete.
static QVariantMap loadedRow(const ResultSet& rs)
{
    QVariantMap row;
    for (const QString& field : rs.fieldNames())
        row.insert(field.toLower(), rs.value(field));
    return row;
}

void Tusers::clearRights()
{
    for (const PageBoxes& b : m_boxes)
        for (QCheckBox* c : {b.insert, b.edit, b.remove, b.view})
            c->setChecked(false);
}

void Tusers::applyDefaultProfile()
{
    showRights(defaultRights(m_lev->currentText(), m_semat->currentText()));
}

RightsByPage Tusers::shownRights() const
{
    RightsByPage rights;
    for (int i = 0; i < m_boxes.size(); ++i) {
        const PageBoxes& b = m_boxes[i];
        rights.insert(rightsPages()[i].page, PageRights{b.insert->isChecked(), b.edit->isChecked(),
                                                        b.remove->isChecked(), b.view->isChecked()});
    }
    return rights;
}

void Tusers::showRights(const RightsByPage& rights)
{
    for (int i = 0; i < m_boxes.size(); ++i) {
        const PageRights r = rights.value(rightsPages()[i].page);
        m_boxes[i].insert->setChecked(r.insert);
        m_boxes[i].edit->setChecked(r.edit);
        m_boxes[i].remove->setChecked(r.remove);
        m_boxes[i].view->setChecked(r.view);
    }
}

void Tusers::showRightsOfCurrent()
{
    clearRights();
    m_counties->clear();
    clearCombo(m_ostan);
    clearCombo(m_shahrestan);
    qint64 id = 0;
    Database* db = m_session.db();
    if (!db || !currentUser(&id))
        return;
    try {
        showRights(loadPageRights(*db, id));
        m_counties->addItems(loadCounties(*db, id));
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tusers::savePageRights()
{
    qint64 id = 0;
    Database* db = m_session.db();
    if (!db || !m_savePages->isEnabled())
        return;
    if (!currentUser(&id)) {
        Dialogs::instance().warning(kChooseUser);
        return;
    }
    try {
        tarvest::savePageRights(*db, id, shownRights());
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    Dialogs::instance().message(kSaved);
}

void Tusers::saveCounties()
{
    qint64 id = 0;
    Database* db = m_session.db();
    if (!db || !m_saveCounties->isEnabled())
        return;
    if (!currentUser(&id)) {
        Dialogs::instance().warning(kChooseUser);
        return;
    }
    QStringList counties;
    for (int i = 0; i < m_counties->count(); ++i)
        counties << m_counties->item(i)->text();
    try {
        tarvest::saveCounties(*db, id, counties);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    Dialogs::instance().message(kCountiesSaved);
}

void Tusers::addAllCounties()
{
    for (int i = 0; i < m_shahrestan->count(); ++i)
        m_counties->addItem(m_shahrestan->itemText(i));
}

void Tusers::addCounty()
{
    const QString county = m_shahrestan->currentText().trimmed();
    if (!county.isEmpty())
        m_counties->addItem(county);
}

void Tusers::newUser()
{
    if (!m_new->isEnabled())
        return;
    Tusers_ins& entry = entryScreen();
    entry.prepareNew();
    showModal(&entry);
}

void Tusers::editUser()
{
    qint64 id = 0;
    if (!m_edit->isEnabled() || !currentUser(&id))
        return;
    const QVariantMap row = loadedRow(m_users);
    Tusers_ins& entry = entryScreen();
    entry.prepareEdit(id, row);
    if (isAdministratorName(row.value(QStringLiteral("us")).toString())) {
        Dialogs::instance().message(kNoAdminEdit);
        return;
    }
    showModal(&entry);
}

void Tusers::deleteUser()
{
    qint64 id = 0;
    Database* db = m_session.db();
    if (!db || !m_delete->isEnabled() || !currentUser(&id))
        return;
    const QVariantMap row = loadedRow(m_users);
    const auto text = [&](const char* column) { return row.value(QLatin1String(column)).toString(); };
    if (isAdministratorName(text("us"))) {
        Dialogs::instance().warning(kNoAdminDelete);
        return;
    }
    if (Dialogs::instance().question(QStringLiteral("آيا از حذف اين کاربر اطمينان داريد؟") + text("us")
                                     + QLatin1Char(' ') + text("nam") + QLatin1Char(' ') + text("ostan"))
        != Dialogs::Answer::Yes)
        return;
    try {
        tarvest::deleteUser(*db, id, row, m_session.login.userName);
    } catch (const RecordChanged& changed) {
        offerReload(changed);
        search();
        return;
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    Dialogs::instance().message(kDeleted);
    search();
}

void Tusers::exportList()
{
    Database* db = m_session.db();
    if (!db)
        return;
    // A list of its own, with the same filters and the texts trimmed, that never reads
    // the password column.
    ResultSet list(db);
    try {
        list.open(userExportSql(m_lastQuery), m_lastQuery.params, QStringLiteral("users"));
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    m_lastExport = exportAndOpen(list, QStringLiteral("karbaran"), userExportTitles());
}

} // namespace tarvest
