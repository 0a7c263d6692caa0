#include "fees/feesearchscreen.h"

#include "common/errors.h"
#include "common/jalali.h"
#include "db/database.h"
#include "db/places.h"
#include "fees/feeentry.h"
#include "fees/prints/feeprints.h"
#include "reports/reportpreview.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"
#include "widgets/recordchanged.h"
#include "widgets/spreadsheetexport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
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

struct GridColumn {
    const char* column;
    QString title;
    QColor colour; // of the title; invalid for none
    int width;     // 0: the grid's default
};

const QColor kSkyBlue(0xA6, 0xCA, 0xF0);
const QColor kMedGray(0xA0, 0xA0, 0xA4);
const QColor kActiveBorder(0xB4, 0xB4, 0xB4);
const QColor kCream(0xFF, 0xFB, 0xF0);
const QColor kSilver(0xC0, 0xC0, 0xC0);

const QList<GridColumn>& gridColumns()
{
    static const QList<GridColumn> cols{
        {"city", QStringLiteral("شهرستان"), {}, 80},
        {"sal", QStringLiteral("سال"), {}, 50},
        {"rosta_cnt", QStringLiteral("تعداد اسند روستايي"), {}, 100},
        {"shahr_cnt", QStringLiteral("تعداد سند شهري"), {}, 90},
        {"fish", QStringLiteral("فيش ثبت"), kSkyBlue, 50},
        {"fish_name", QStringLiteral("نام مدير"), kMedGray, 80},
        {"fish_no", QStringLiteral("شماره فيش"), kMedGray, 80},
        {"fish_dat", QStringLiteral("تاريخ فيش"), kMedGray, 80},
        {"fish_mablagh", QStringLiteral("مبلغ فيش"), kMedGray, 80},
        {"fish_name2", QStringLiteral("نام کارشناس"), kActiveBorder, 80},
        {"fish_no2", QStringLiteral("شماره فيش"), kActiveBorder, 80},
        {"fish_dat2", QStringLiteral("تاريخ فيش"), kActiveBorder, 80},
        {"fish_mablagh2", QStringLiteral("مبلغ فيش"), kActiveBorder, 80},
        {"ozv_mablagh", QStringLiteral("حق الزحمه پايه هر عضو"), {}, 80},
        {"vartalis_sahm", QStringLiteral("سهم ورتاليس از حق الزحمه عضو"), {}, 80},
        {"sabt_sahm", QStringLiteral("سهم ثبت از حق الزحمه عضو"), {}, 80},
        {"ozv_cnt", QStringLiteral("تعداد اعضاء"), {}, 80},
        {"ozv_mablagh_kol", QStringLiteral("حق الزحمه هر عضو"), {}, 80},
        {"sahm_vartalis", QStringLiteral("سهم ورتاليس از حق الزحمه اعضا"), {}, 80},
        {"sahm_sabt", QStringLiteral("سهم ثبت از حق الزحمه اعضا"), {}, 80},
        {"band3", QStringLiteral("موضوع بند 3 جلسه 8 هيات مرکزي ماده 14 قانون الحاق"), kCream, 80},
        {"modirkol2", QStringLiteral("مدير کل"), kCream, 80},
        {"moaven2", QStringLiteral("معاون عمران روستايي"), kCream, 80},
        {"masol_zamin2", QStringLiteral("کارشناس مسئول عمران زمين و سند"), kCream, 80},
        {"sanad_kar2", QStringLiteral("کارشناس سند"), kCream, 80},
        {"naghshe_kar2", QStringLiteral("کارشناس نقشه برداري"), kCream, 80},
        {"daftar2", QStringLiteral("رييس دفتر مديرکل"), kCream, 80},
        {"hesabdari2", QStringLiteral("رييس حسابداري"), kCream, 80},
        {"hesab_kar2", QStringLiteral("کارشناس حسابداري"), kCream, 0},
        {"shahr_kar", QStringLiteral("حق الزحمه کارشناس شهرستان"), {}, 80},
        {"shahr_modir", QStringLiteral("حق الزحمه مدير شهرستان"), {}, 80},
        {"moaven", QStringLiteral("حق الزحمه معاون عمران روستايي"), {}, 80},
        {"ostan_kar", QStringLiteral("حق الزحمه کارشناس استان"), {}, 80},
        {"sayer_kar", QStringLiteral("حق الزحمه ساير کارشناسان"), {}, 80},
        {"ostan_mas", QStringLiteral("کارشناس مسئول زمين"), {}, 80},
        {"odat_modir", QStringLiteral("عودت واريزي مدير"), {}, 80},
        {"odat_kar", QStringLiteral("عودت واريزي کارشناس"), {}, 80},
        {"modirkol1", QStringLiteral("مدير کل"), kSilver, 80},
        {"moaven1", QStringLiteral("معاون عمران روستايي"), kSilver, 80},
        {"masol_zamin1", QStringLiteral("کارشناس مسئول عمران زمين و سند"), kSilver, 80},
        {"sanad_kar1", QStringLiteral("کارشناس سند"), kSilver, 80},
        {"naghshe_kar1", QStringLiteral("کارشناس نقشه برداري"), kSilver, 80},
        {"daftar1", QStringLiteral("رييس دفتر مديرکل"), kSilver, 80},
        {"hesabdari1", QStringLiteral("رييس حسابداري"), kSilver, 80},
        {"hesab_kar1", QStringLiteral("کارشناس حسابداري"), kSilver, 80},
    };
    return cols;
}

// The grid's model: the titles above, some of them coloured.
class FeeGridModel : public ResultSetModel {
public:
    FeeGridModel(ResultSet* rs, QObject* parent) : ResultSetModel(rs, parent)
    {
        QHash<QString, QString> titles;
        for (const GridColumn& c : gridColumns()) {
            titles.insert(QLatin1String(c.column), c.title);
            if (c.colour.isValid())
                m_colours.insert(QLatin1String(c.column), c.colour);
        }
        setTitles(titles);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::BackgroundRole) {
            const QColor c = m_colours.value(resultSet()->fieldName(section).toLower());
            return c.isValid() ? QVariant(QBrush(c)) : QVariant();
        }
        return ResultSetModel::headerData(section, orientation, role);
    }

private:
    QHash<QString, QColor> m_colours;
};

} // namespace

QHash<QString, QString> feeExportTitles()
{
    return {{"id", QStringLiteral("شناسه")},
            {"city", QStringLiteral("شهرستان")},
            {"sal", QStringLiteral("سال")},
            {"rosta_cnt", QStringLiteral("تعداد اسناد روستايي")},
            {"shahr_cnt", QStringLiteral("تعداد اسناد شهري")},
            {"fish", QStringLiteral("داراي فيش ثبت")}};
}

Tasnad_src::Tasnad_src(Session& session, QWidget* parent)
    : QDialog(parent, Qt::Window), m_session(session), m_documents(nullptr)
{
    setObjectName(QStringLiteral("Tasnad_src"));
    setWindowTitle(QStringLiteral("اسناد"));
    setLayoutDirection(Qt::RightToLeft);

    auto* cityBox = new QCheckBox(QStringLiteral("شهرستان"), this);
    cityBox->setObjectName(QStringLiteral("CheckBox2"));
    m_city = new QComboBox(this);
    m_city->setObjectName(QStringLiteral("city"));
    m_city->setEditable(true);
    m_city->setInsertPolicy(QComboBox::NoInsert);
    m_city->setMinimumWidth(180);
    auto* salBox = new QCheckBox(QStringLiteral("سال"), this);
    salBox->setObjectName(QStringLiteral("CheckBox1"));
    m_sal = new QLineEdit(this);
    m_sal->setObjectName(QStringLiteral("sal"));
    m_sal->setInputMask(QStringLiteral("0000;_"));
    m_sal->setMaximumWidth(70);
    auto* fishBox = new QCheckBox(QStringLiteral("فيش ثبت"), this);
    fishBox->setObjectName(QStringLiteral("CheckBox3"));
    m_fish = new QLineEdit(this);
    m_fish->setObjectName(QStringLiteral("fish"));
    m_fish->setInputMask(QStringLiteral("0;_"));
    m_fish->setText(QStringLiteral("0"));
    m_fish->setMaximumWidth(40);
    bindFilter(cityBox, {m_city});
    bindFilter(salBox, {m_sal});
    bindFilter(fishBox, {m_fish});
    auto* searchButton = new QPushButton(QStringLiteral("جستجو"), this);
    searchButton->setObjectName(QStringLiteral("src_btn"));
    m_count = new QLabel(QStringLiteral("0"), this);
    m_count->setObjectName(QStringLiteral("cnt"));

    auto* filters = new QHBoxLayout;
    filters->addWidget(cityBox);
    filters->addWidget(m_city);
    filters->addSpacing(12);
    filters->addWidget(salBox);
    filters->addWidget(m_sal);
    filters->addSpacing(12);
    filters->addWidget(fishBox);
    filters->addWidget(m_fish);
    filters->addSpacing(12);
    filters->addWidget(searchButton);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("تعداد:"), this));
    filters->addWidget(m_count);
    filters->addStretch();

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(new FeeGridModel(&m_documents, this));
    setUpRecordGrid(m_grid);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    TitleSort::attach(m_grid);
    connect(&m_documents, &ResultSet::reset, this, [this] { arrangeColumns(); });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() + 1 != m_documents.recNo())
                    m_documents.moveTo(current.row() + 1);
            });

    auto* bar = new QMenuBar(this);
    bar->setLayoutDirection(Qt::RightToLeft);
    auto item = [&](QWidget* menu, const char* name, const QString& caption, auto action) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        menu->addAction(a);
        connect(a, &QAction::triggered, this, [this, action] { guarded([&] { (this->*action)(); }); });
        return a;
    };
    m_new = item(bar, "N1", QStringLiteral("ثبت"), &Tasnad_src::newDocument);
    m_edit = item(bar, "N2", QStringLiteral("ويرايش"), &Tasnad_src::editDocument);
    m_delete = item(bar, "N3", QStringLiteral("حذف"), &Tasnad_src::deleteDocument);
    item(bar, "N4", QStringLiteral("اكسل"), &Tasnad_src::exportList);
    QMenu* prints = bar->addMenu(QStringLiteral("چاپ"));
    prints->setObjectName(QStringLiteral("N8"));
    prints->setLayoutDirection(Qt::RightToLeft);
    item(prints, "N5", QStringLiteral("تفکيک شهرستان"), &Tasnad_src::printDocumentList);
    item(prints, "N6", QStringLiteral("تفکيک منبع"), &Tasnad_src::printBySource);
    item(prints, "N7", QStringLiteral("تفکيک سمت - A5"), &Tasnad_src::printByPost);
    item(prints, "N9", QStringLiteral("تفکيک منابع"), &Tasnad_src::printTables);
    auto* close = new QAction(QStringLiteral("خروج"), this);
    close->setObjectName(QStringLiteral("N11"));
    bar->addAction(close);
    connect(close, &QAction::triggered, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(bar);
    layout->addLayout(filters);
    layout->addWidget(m_grid, 1);

    connect(searchButton, &QPushButton::clicked, this, [this] { guarded([this] { search(); }); });
    resize(1000, 600);
}

Tasnad_src::~Tasnad_src() = default;

void Tasnad_src::applyRights(const PageRights& rights)
{
    m_new->setEnabled(rights.insert);
    m_edit->setEnabled(rights.edit);
    m_delete->setEnabled(rights.remove);
}

void Tasnad_src::prepare(QSize mainWindowSize)
{
    if (mainWindowSize.isValid())
        resize(mainWindowSize.width() - 30, mainWindowSize.height() - 50);
    m_documents.setDatabase(m_session.db());
    guarded([this] { search(); });
    m_city->setEditText(m_session.login.level == QLatin1String("city") ? m_session.login.userName : QString());
}

void Tasnad_src::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    guarded([this] {
        const QString kept = m_city->currentText();
        m_city->clear();
        m_city->addItems(placeValues(*m_session.db(), place::County, {}, PlaceOrder::Sorted));
        m_city->setEditText(kept);
    });
}

fees::FeeFilters Tasnad_src::filters() const
{
    fees::FeeFilters f;
    if (filterOn(m_city))
        f.city = m_city->currentText();
    if (filterOn(m_sal))
        f.sal = m_sal->text();
    if (filterOn(m_fish))
        f.fish = m_fish->text();
    return f;
}

void Tasnad_src::search()
{
    Database& db = *m_session.db();
    m_documents.setDatabase(&db);
    m_lastFilters = filters();
    m_totals = fees::feeTotals(db, m_lastFilters);
    m_count->setText(m_totals.value(QStringLiteral("c")));
    m_documents.open(fees::feeSearchQuery(db, m_lastFilters));
}

void Tasnad_src::arrangeColumns()
{
    QList<ShownColumn> shown;
    for (const GridColumn& col : gridColumns())
        shown.append({QLatin1String(col.column), col.width});
    showColumnsInOrder(m_grid, m_documents, shown);
}

Tasnad_ins& Tasnad_src::entryScreen()
{
    if (!m_entry)
        m_entry = std::make_unique<Tasnad_ins>(m_session, m_documents, this);
    return *m_entry;
}

void Tasnad_src::newDocument()
{
    entryScreen().prepareNew();
    showModal(m_entry.get());
}

void Tasnad_src::editDocument()
{
    if (!m_documents.isOpen() || m_documents.isEmpty())
        return;
    entryScreen().prepareEdit();
    showModal(m_entry.get());
}

void Tasnad_src::deleteDocument()
{
    if (!m_documents.isOpen() || m_documents.isEmpty())
        return;
    Database& db = *m_session.db();
    const QString prompt = QStringLiteral(" لطفا رمز حذف را وارد نماييد: ")
                           + m_documents.asString(QStringLiteral("city")) + QStringLiteral(" ")
                           + m_documents.asString(QStringLiteral("sal"));
    if (!deletePasswordGiven(db, prompt, EmptyDeletePassword::MatchesEmptyText))
        return;
    fees::deleteFeeDocument(db, m_documents);
}

QString Tasnad_src::exportList()
{
    if (!m_documents.isOpen())
        search();
    return exportAndOpen(m_documents, QStringLiteral("asnad"), feeExportTitles());
}

void Tasnad_src::printDocumentList()
{
    // The totals of the last search's filters as the documents stand now.
    Database& db = *m_session.db();
    const fees::FeeTotals totals = fees::feeTotals(db, m_lastFilters);
    if (m_documents.isOpen())
        m_documents.refresh();
    else
        m_documents.open(fees::feeSearchQuery(db, m_lastFilters));
    report::previewReport(feeprints::documentList(totals, TodayJalali()), &m_documents, this);
}

void Tasnad_src::printBySource()
{
    const feeprints::PreparedStatement p = feeprints::statementBySource(*m_session.db());
    report::previewReport(p.layout, p.rows.get(), this);
}

void Tasnad_src::printByPost()
{
    const feeprints::PreparedStatement p = feeprints::statementByPost(*m_session.db());
    report::previewReport(p.layout, p.rows.get(), this);
}

void Tasnad_src::printTables()
{
    report::previewReport(feeprints::distributionTables(fees::feeTotals(*m_session.db(), m_lastFilters)), nullptr,
                          this);
}

} // namespace tarvest
