#include "pricing/pricesearchscreen.h"

#include "common/errors.h"
#include "db/database.h"
#include "db/places.h"
#include "pricing/priceentry.h"
#include "pricing/prints/priceprints.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"
#include "widgets/loadprogress.h"
#include "widgets/recordchanged.h"
#include "widgets/spreadsheetexport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

namespace tarvest {

namespace {

template <typename T>
T* named(T* w, const char* name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QComboBox* filterCombo(QWidget* parent, const char* name)
{
    auto* c = named(new QComboBox(parent), name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setMinimumWidth(180);
    return c;
}

} // namespace

Tghimat_src::Tghimat_src(Session& session, QWidget* parent) : QDialog(parent, Qt::Window), m_session(session)
{
    setObjectName(QStringLiteral("Tghimat_src"));
    setWindowTitle(QStringLiteral("قيمت گذاري ها"));
    setLayoutDirection(Qt::RightToLeft);

    auto* bar = new QMenuBar(this);
    bar->setLayoutDirection(Qt::RightToLeft);
    auto item = [&](QWidget* menu, const char* name, const QString& caption, void (Tghimat_src::*run)()) {
        auto* a = new QAction(caption, menu);
        a->setObjectName(QLatin1String(name));
        menu->addAction(a);
        connect(a, &QAction::triggered, this, [this, run, a] {
            if (a->isEnabled())
                (this->*run)();
        });
        return a;
    };
    m_new = item(bar, "N1", QStringLiteral("ثبت"), &Tghimat_src::newPrice);
    m_edit = item(bar, "N2", QStringLiteral("ويرايش"), &Tghimat_src::editPrice);
    m_delete = item(bar, "N3", QStringLiteral("حذف"), &Tghimat_src::deletePrice);
    QMenu* prints = bar->addMenu(QStringLiteral("چاپ"));
    prints->setObjectName(QStringLiteral("N4"));
    prints->setLayoutDirection(Qt::RightToLeft);
    item(prints, "N7", QStringLiteral("فرم استان"), &Tghimat_src::printOstan);
    item(prints, "N8", QStringLiteral("فرم شهرستان"), &Tghimat_src::printCity);
    item(prints, "N9", QStringLiteral("فرم مسکن شهري"), &Tghimat_src::printShahri);
    auto* excel = new QAction(QStringLiteral("اکسل"), bar);
    excel->setObjectName(QStringLiteral("N5"));
    bar->addAction(excel);
    connect(excel, &QAction::triggered, this, [this] { exportList(); });
    auto* close = new QAction(QStringLiteral("بستن"), bar);
    close->setObjectName(QStringLiteral("N6"));
    bar->addAction(close);
    connect(close, &QAction::triggered, this, &QDialog::reject);

    auto* filters = new QHBoxLayout;
    auto* box1 = named(new QCheckBox(QStringLiteral("شماره نامه"), this), "CheckBox1");
    m_paperNo = named(new QLineEdit(this), "paper_no");
    auto* box2 = named(new QCheckBox(QStringLiteral("شهرستان"), this), "CheckBox2");
    m_city = filterCombo(this, "city");
    auto* box3 = named(new QCheckBox(QStringLiteral("روستا"), this), "CheckBox3");
    m_rosta = filterCombo(this, "rosta");
    bindFilter(box1, {m_paperNo});
    bindFilter(box2, {m_city});
    bindFilter(box3, {m_rosta});
    auto* searchButton = named(new QPushButton(QStringLiteral("جستجو"), this), "src_btn");
    m_count = named(new QLabel(QStringLiteral("0"), this), "cnt");
    for (QWidget* w : std::initializer_list<QWidget*>{box1, m_paperNo, box2, m_city, box3, m_rosta, searchButton})
        filters->addWidget(w);
    filters->addSpacing(20);
    filters->addWidget(new QLabel(QStringLiteral("تعداد :"), this));
    filters->addWidget(m_count);
    filters->addStretch();
    connect(searchButton, &QPushButton::clicked, this, [this] { search(); });
    auto* chain = new EnterChain(this);
    auto run = [this] { search(); };
    chain->add(m_paperNo, run).add(m_city, run).add(m_rosta, run);

    m_grid = named(new QTableView(this), "DBGrid1");
    setUpRecordGrid(m_grid);
    m_model = new ResultSetModel(&m_session.prices, this);
    QHash<QString, QString> titles;
    for (const pricing::PriceColumn& c : pricing::priceSearchColumns())
        titles.insert(QLatin1String(c.name), QString::fromUtf16(c.title));
    m_model->setTitles(titles);
    m_grid->setModel(m_model);
    TitleSort::attach(m_grid);
    connect(m_model, &QAbstractItemModel::modelReset, this, &Tghimat_src::arrangeColumns);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    m_session.prices.moveTo(current.row() + 1);
            });
    connect(&m_session.prices, &ResultSet::currentChanged, this, [this](int r) {
        if (r >= 0 && m_grid->currentIndex().row() != r)
            m_grid->setCurrentIndex(m_model->index(r, std::max(1, m_grid->currentIndex().column())));
    });
    LoadProgress::attach(this, &m_session.prices);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(bar);
    layout->addLayout(filters);
    layout->addWidget(m_grid, 1);
    resize(1000, 600);
}

Tghimat_src::~Tghimat_src() = default;

void Tghimat_src::applyRights(const PageRights& rights)
{
    m_new->setEnabled(rights.insert);
    m_edit->setEnabled(rights.edit);
    m_delete->setEnabled(rights.remove);
}

void Tghimat_src::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Database* db = m_session.db();
    if (!db)
        return;
    guarded([&] {
        for (auto [combo, values] : {std::pair{m_city, allCounties(*db)}, std::pair{m_rosta, allVillages(*db)}}) {
            const QString text = combo->currentText();
            combo->clear();
            combo->addItems(values);
            combo->setEditText(text);
        }
    });
}

void Tghimat_src::prepare()
{
    search();
    m_paperNo->clear();
    m_city->setEditText(m_session.login.level == pricing::kCountyLevel ? m_session.login.userName : QString());
    m_rosta->setEditText(QString());
}

pricing::PriceFilters Tghimat_src::filters() const
{
    pricing::PriceFilters f;
    if (filterOn(m_paperNo))
        f.paperNo = m_paperNo->text();
    if (filterOn(m_city))
        f.city = m_city->currentText();
    if (filterOn(m_rosta))
        f.rosta = m_rosta->currentText();
    return f;
}

bool Tghimat_src::search()
{
    Database* db = m_session.db();
    if (!db)
        return false;
    try {
        m_lastQuery = pricing::buildPriceSearch(filters(), m_session.login, db->kind());
        m_session.prices.setDatabase(db);
        updateCount();
        m_session.prices.open(m_lastQuery.paged);
        return true;
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return false;
    }
}

void Tghimat_src::updateCount()
{
    m_count->setText(QString::number(m_session.db()->scalar(m_lastQuery.countSql, m_lastQuery.params).toLongLong()));
}

void Tghimat_src::arrangeColumns()
{
    QHeaderView* header = m_grid->horizontalHeader();
    const ResultSet& rs = m_session.prices;
    int visual = 0;
    for (const pricing::PriceColumn& c : pricing::priceSearchColumns()) {
        const int logical = rs.fieldIndex(QLatin1String(c.name));
        if (logical < 0)
            continue;
        header->moveSection(header->visualIndex(logical), visual++);
        if (c.width > 0)
            header->resizeSection(logical, c.width);
    }
    const int id = rs.fieldIndex(QStringLiteral("id"));
    if (id >= 0)
        m_grid->setColumnHidden(id, true);
}

Tghimat_ins& Tghimat_src::entryScreen()
{
    if (!m_entry)
        m_entry = std::make_unique<Tghimat_ins>(m_session, this);
    return *m_entry;
}

void Tghimat_src::newPrice()
{
    guarded([&] {
        if (!m_session.prices.isOpen())
            search();
        Tghimat_ins& entry = entryScreen();
        entry.prepareNew();
        showModal(&entry);
    });
}

void Tghimat_src::editPrice()
{
    guarded([&] {
        if (!m_session.prices.isOpen() || m_session.prices.isEmpty())
            return;
        Tghimat_ins& entry = entryScreen();
        if (entry.prepareEdit())
            showModal(&entry);
    });
}

void Tghimat_src::deletePrice()
{
    guarded([&] {
        ResultSet& rs = m_session.prices;
        if (!rs.isOpen() || rs.isEmpty())
            return;
        if (!deletePasswordGiven(*m_session.db(), QStringLiteral("لطفا رمز حذف را وارد نماييد:"),
                                 EmptyDeletePassword::MatchesEmptyText))
            return;
        pricing::deleteAssessment(rs);
        updateCount();
    });
}

QString Tghimat_src::exportList()
{
    QString written;
    guarded([&] {
        if (!m_session.prices.isOpen())
            search();
        written = exportAndOpen(m_session.prices, QStringLiteral("ghimat"), pricing::priceExportTitles());
    });
    return written;
}

void Tghimat_src::printOstan()
{
    priceprints::printProvinceForm(m_session, this);
}

void Tghimat_src::printCity()
{
    priceprints::printCountyForm(m_session, this);
}

void Tghimat_src::printShahri()
{
    priceprints::printUrbanHousingForm(m_session, this);
}

} // namespace tarvest
