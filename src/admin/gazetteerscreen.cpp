#include "admin/gazetteerscreen.h"

#include "common/errors.h"
#include "db/database.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"
#include "widgets/entryguard.h"
#include "widgets/placechain.h"
#include "widgets/recordchanged.h"
#include "widgets/sheetpreview.h"
#include "widgets/spreadsheetexport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

namespace tarvest {

namespace {

const QString kSelectFirst = QStringLiteral("ابتدا آبادي مورد نظر را انتخاب نماييد");
const QString kReadFailed = QStringLiteral(
    "خطا در خواندن فايل اکسل! لطفا فايل را ببنديد و يا از نام شيت آن مطمئن شويد Sheet1 ");

template <typename T>
T* named(T* w, const char* name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

// Captions of the renaming items, in menu order, with the level each renames.
struct RenameItem {
    const char* name;
    QString caption;
    GazetteerLevel level;
};

QList<RenameItem> rowRenameItems()
{
    return {{"rr_ostan", QStringLiteral("تغيير نام استان"), GazetteerLevel::Province},
            {"rr_shahrestan", QStringLiteral("تغيير نام شهرستان"), GazetteerLevel::County},
            {"rr_shahr", QStringLiteral("تغيير نام شهر"), GazetteerLevel::Town},
            {"rr_bakhsh", QStringLiteral("تغغير نام بخش"), GazetteerLevel::District},
            {"rr_dehestan", QStringLiteral("تغيير نام دهستان"), GazetteerLevel::RuralDistrict},
            {"rr_rosta", QStringLiteral("تغيير نام روستا"), GazetteerLevel::Village}};
}

QList<RenameItem> bulkRenameItems()
{
    return {{"br_ostan", QStringLiteral("تغيير نام استان"), GazetteerLevel::Province},
            {"br_shahrestan", QStringLiteral("تغيير نام شهرستان"), GazetteerLevel::County},
            {"br_shahr", QStringLiteral("تغيير نام شهر"), GazetteerLevel::Town},
            {"br_bakhsh", QStringLiteral("تغيير نام بخش"), GazetteerLevel::District},
            {"br_dehestan", QStringLiteral("تغيير نام دهستان"), GazetteerLevel::RuralDistrict},
            {"br_rosta", QStringLiteral("تغيير نام روستا"), GazetteerLevel::Village}};
}

// The Latin name of a level in the input boxes' captions.
QString latinName(GazetteerLevel level)
{
    switch (level) {
    case GazetteerLevel::Province:
        return QStringLiteral("Ostan");
    case GazetteerLevel::County:
        return QStringLiteral("Shahrestan");
    case GazetteerLevel::Town:
        return QStringLiteral("Shahr");
    case GazetteerLevel::District:
        return QStringLiteral("Bakhsh");
    case GazetteerLevel::RuralDistrict:
        return QStringLiteral("Dehestan");
    case GazetteerLevel::Village:
        return QStringLiteral("Rosta");
    }
    return {};
}

// The bulk renaming's confirmation after the count: the province item shares the
// county's text.
QString bulkQuestion(GazetteerLevel level)
{
    const QString unit = level == GazetteerLevel::Province ? levelCaption(GazetteerLevel::County) : levelCaption(level);
    return QStringLiteral("اين تعداد ") + unit + QStringLiteral(" شامل اين تغيير مي شوند، آيا از اين عمل مطمئن هستيد؟");
}

} // namespace

// ---------------------------------------------------------------------------------------
// The village entry dialog.

Tabadiha_ins::Tabadiha_ins(Session& session, Tabadiha& list, QWidget* parent)
    : QDialog(parent), m_session(session), m_list(list)
{
    setObjectName(QStringLiteral("Tabadiha_ins"));
    setWindowTitle(QStringLiteral("ثبت/ويرايش آبادي"));
    setLayoutDirection(Qt::RightToLeft);

    auto* grid = new QGridLayout;
    const struct {
        const char* name;
        QString caption;
    } fields[] = {{"ostan", QStringLiteral("استان")},     {"shahrestan", QStringLiteral("شهرستان")},
                  {"shahr", QStringLiteral("شهر")},       {"bakhsh", QStringLiteral("بخش")},
                  {"dehestan", QStringLiteral("دهستان")}, {"rosta", QStringLiteral("روستا")},
                  {"cod", QStringLiteral("کد آبادي")}};
    int row = 0;
    for (const auto& f : fields) {
        auto* combo = named(new QComboBox(this), f.name);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMinimumWidth(220);
        grid->addWidget(new QLabel(f.caption, this), row, 0);
        grid->addWidget(combo, row, 1);
        m_combos << combo;
        ++row;
    }
    m_ins = named(new QPushButton(QStringLiteral("ثبت"), this), "ins_btn");
    m_edit = named(new QPushButton(QStringLiteral("ويرايش"), this), "edit_btn");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ins);
    buttons->addWidget(m_edit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    m_places = new PlaceLists(
        gazetteerPlaces(), m_combos, [this] { return m_session.db(); }, this);
    connect(m_ins, &QPushButton::clicked, this, &Tabadiha_ins::saveNew);
    connect(m_edit, &QPushButton::clicked, this, &Tabadiha_ins::saveChanges);
    auto* chain = new EnterChain(this);
    for (QComboBox* c : m_combos) {
        highlightOnFocus(c);
        chain->add(c);
    }
    chain->add(m_ins).add(m_edit);
    limitToColumnWidths(this, QStringLiteral("abadiha"));
    keepOpenOnEscape(this);
    new EntryGuard(this, {m_ins, m_edit});
}

Tabadiha_ins::~Tabadiha_ins() = default;

void Tabadiha_ins::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The province list is the gazetteer's as it stands now; the texts are left as set.
    const Village kept = fields();
    guarded([&] { m_places->fillTop(); });
    setFields(kept);
}

Village Tabadiha_ins::fields() const
{
    auto t = [&](int i) { return m_combos[i]->currentText().trimmed(); };
    return {t(6), t(0), t(1), t(2), t(3), t(4), t(5)};
}

void Tabadiha_ins::setFields(const Village& v)
{
    const QString texts[] = {v.ostan, v.shahrestan, v.shahr, v.bakhsh, v.dehestan, v.rosta, v.cod};
    for (int i = 0; i < 7; ++i)
        m_combos[i]->setEditText(texts[i]);
}

void Tabadiha_ins::prepareNew()
{
    m_id = {};
    m_loaded.clear();
    setFields({});
    m_ins->show();
    m_edit->hide();
    EntryGuard::of(this)->markLoaded();
}

void Tabadiha_ins::prepareEdit(const QVariant& id, const QVariantMap& row)
{
    m_id = id;
    m_loaded = row;
    auto v = [&](const char* c) { return row.value(QLatin1String(c)).toString(); };
    setFields({v("cod"), v("ostan"), v("shahrestan"), v("shahr"), v("bakhsh"), v("dehestan"), v("rosta")});
    m_ins->hide();
    m_edit->show();
    EntryGuard::of(this)->markLoaded();
}

void Tabadiha_ins::saveNew()
{
    try {
        const qint64 id = saveNewVillage(*m_session.db(), fields(), m_session.login.userName);
        EntryGuard::of(this)->markSaved();
        Dialogs::instance().message(QStringLiteral("ثبت شد"));
        m_list.showOnly(id);
    } catch (const Error& e) {
        Dialogs::instance().warning(e.message());
    }
}

void Tabadiha_ins::saveChanges()
{
    try {
        saveVillageChanges(*m_session.db(), m_id, m_loaded, fields(), m_session.login.userName);
    } catch (const RecordChanged& changed) {
        if (offerReload(changed))
            m_list.villages().reloadCurrent();
        return;
    } catch (const Error& e) {
        Dialogs::instance().warning(e.message());
        return;
    }
    EntryGuard::of(this)->markSaved();
    m_list.villages().reloadCurrent();
    accept();
}

// ---------------------------------------------------------------------------------------
// The gazetteer list.

Tabadiha::Tabadiha(Session& session, QWidget* parent)
    : QDialog(parent, Qt::Window), m_session(session), m_villages(nullptr)
{
    setObjectName(QStringLiteral("Tabadiha"));
    setWindowTitle(QStringLiteral("آبادي ها"));
    setLayoutDirection(Qt::RightToLeft);

    // Filters, in the screen's order.
    auto* filters = new QGridLayout;
    const struct {
        const char* box;
        const char* field;
        QString caption;
        int row, col;
    } filterDefs[] = {
        {"CheckBox4", "ostan", QStringLiteral("استان"), 0, 0},
        {"CheckBox1", "shahrestan", QStringLiteral("شهرستان"), 0, 2},
        {"CheckBox5", "bakhsh", QStringLiteral("بخش"), 0, 4},
        {"CheckBox3", "cod", QStringLiteral("کد آبادي"), 1, 0},
        {"CheckBox6", "dehestan", QStringLiteral("دهستان"), 1, 2},
        {"CheckBox2", "rosta", QStringLiteral("روستا"), 1, 4},
    };
    QHash<QString, QLineEdit*> byName;
    auto* searchButton = named(new QPushButton(QStringLiteral("جستجو"), this), "BitBtn1");
    auto* chain = new EnterChain(this);
    for (const auto& f : filterDefs) {
        auto* box = named(new QCheckBox(f.caption, this), f.box);
        auto* field = named(new QLineEdit(this), f.field);
        bindFilter(box, {field});
        chain->add(field, [this] { search(); });
        filters->addWidget(box, f.row, f.col);
        filters->addWidget(field, f.row, f.col + 1);
        byName.insert(QLatin1String(f.field), field);
    }
    for (const char* c : {"cod", "dehestan", "ostan", "bakhsh", "shahrestan", "rosta"})
        m_filterFields << byName.value(QLatin1String(c));
    filters->addWidget(searchButton, 0, 6, 2, 1);

    m_count = named(new QLabel(QStringLiteral("0"), this), "cnt");
    auto* excel = named(new QPushButton(QStringLiteral("اکسل"), this), "Excel_btn");
    excel->setToolTip(QStringLiteral("انتقال فهرست به اکسل"));
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(QStringLiteral("تعداد:"), this));
    countRow->addWidget(m_count);
    countRow->addStretch();
    countRow->addWidget(excel);

    m_grid = named(new QTableView(this), "DBGrid1");
    m_model = new ResultSetModel(&m_villages, this);
    QHash<QString, QString> titles;
    for (const GazetteerColumn& c : gazetteerColumns())
        titles.insert(c.column, c.caption);
    m_model->setTitles(titles);
    m_grid->setModel(m_model);
    setUpRecordGrid(m_grid);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    TitleSort::attach(m_grid);
    connect(&m_villages, &ResultSet::reset, this, [this] { arrangeColumns(); });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() + 1 != m_villages.recNo())
                    m_villages.moveTo(current.row() + 1);
            });

    // The grid's pop-up menu.
    auto* popup = new QMenu(this);
    popup->setLayoutDirection(Qt::RightToLeft);
    m_new = named(popup->addAction(QStringLiteral("ثبت")), "N1");
    m_edit = named(popup->addAction(QStringLiteral("ويرايش")), "N2");
    m_delete = named(popup->addAction(QStringLiteral("حذف")), "N3");
    connect(m_new, &QAction::triggered, this, [this] { guarded([this] { newVillage(); }); });
    connect(m_edit, &QAction::triggered, this, [this] { guarded([this] { editVillage(); }); });
    connect(m_delete, &QAction::triggered, this, [this] { guarded([this] { deleteVillage(); }); });
    m_rowRenames = named(popup->addMenu(QStringLiteral("تغيير نام موردي")), "rename_rows");
    for (const RenameItem& item : rowRenameItems()) {
        QAction* a = named(m_rowRenames->addAction(item.caption), item.name);
        connect(a, &QAction::triggered, this, [this, level = item.level] { guarded([&] { renameRows(level); }); });
    }
    m_bulkRenames = named(popup->addMenu(QStringLiteral("تغيير نام دسته جمعي")), "rename_bulk");
    for (const RenameItem& item : bulkRenameItems()) {
        QAction* a = named(m_bulkRenames->addAction(item.caption), item.name);
        connect(a, &QAction::triggered, this, [this, level = item.level] { guarded([&] { renameBulk(level); }); });
    }
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint& at) { popup->popup(m_grid->viewport()->mapToGlobal(at)); });

    // The spreadsheet replacement.
    m_preview = named(new QTableView(this), "DBGrid2");
    m_previewModel = new SheetPreviewModel(this);
    m_preview->setModel(m_previewModel);
    m_preview->horizontalHeader()->setDefaultSectionSize(100);
    m_preview->horizontalHeader()->setStretchLastSection(true);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* browseButton = named(new QPushButton(QStringLiteral("Browse Excel..."), this), "BitBtn2");
    browseButton->setMinimumWidth(browseButton->fontMetrics().horizontalAdvance(browseButton->text()) + 24);
    m_sheetCount = named(new QLabel(QStringLiteral("0"), this), "cnt2");
    m_progress = named(new QProgressBar(this), "ProgressBar1");
    m_progress->setValue(0);
    m_replace = named(new QPushButton(QStringLiteral("جايگزيني اکسل با وضع موجود"), this), "ins_btn");
    auto* note = named(
        new QLabel(QStringLiteral("تذکر: فايل اکسل مي بايست دقيقا داراي 7 ستون به ترتيب فوق باشد"), this), "note");
    note->setStyleSheet(QStringLiteral("color: #a00000"));
    auto* sheetRow = new QHBoxLayout;
    sheetRow->addWidget(browseButton);
    sheetRow->addWidget(new QLabel(QStringLiteral("تعداد رديف هاي اکسل:"), this));
    sheetRow->addWidget(m_sheetCount);
    sheetRow->addWidget(m_progress, 1);
    sheetRow->addWidget(m_replace);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addLayout(countRow);
    layout->addWidget(m_grid, 3);
    layout->addWidget(note);
    layout->addLayout(sheetRow);
    layout->addWidget(m_preview, 2);

    connect(searchButton, &QPushButton::clicked, this, [this] { guarded([this] { search(); }); });
    connect(excel, &QPushButton::clicked, this, [this] { guarded([this] { exportList(); }); });
    connect(browseButton, &QPushButton::clicked, this, [this] { browse(); });
    connect(m_replace, &QPushButton::clicked, this, [this] { guarded([this] { replace(); }); });
    resize(900, 680);
}

Tabadiha::~Tabadiha() = default;

void Tabadiha::applyRights(const PageRights& rights)
{
    m_new->setEnabled(rights.insert);
    m_replace->setEnabled(rights.insert);
    m_edit->setEnabled(rights.edit);
    m_rowRenames->setEnabled(rights.edit);
    m_bulkRenames->setEnabled(rights.edit);
    m_delete->setEnabled(rights.remove);
}

void Tabadiha::prepare()
{
    m_villages.setDatabase(m_session.db());
    for (QLineEdit* f : m_filterFields)
        f->clear();
    m_villages.close();
    m_count->setText(QStringLiteral("0"));
    m_sheetCount->setText(QStringLiteral("0"));
    m_progress->setValue(0);
}

GazetteerFilters Tabadiha::filters() const
{
    auto value = [&](int i) -> std::optional<QString> {
        QLineEdit* f = m_filterFields[i];
        return filterOn(f) ? std::optional<QString>(f->text()) : std::nullopt;
    };
    return {value(0), value(1), value(2), value(3), value(4), value(5)};
}

void Tabadiha::search()
{
    m_villages.setDatabase(m_session.db());
    m_lastFilters = filters();
    const SqlWithParams list = gazetteerListQuery(*m_session.db(), m_lastFilters);
    updateCount();
    m_villages.open(list.sql, list.params, QStringLiteral("abadiha"));
}

void Tabadiha::updateCount()
{
    m_count->setText(QString::number(countVillages(*m_session.db(), m_lastFilters)));
}

void Tabadiha::showOnly(qint64 id)
{
    m_villages.setDatabase(m_session.db());
    m_villages.open(QStringLiteral("select * from abadiha where id=?"), {id}, QStringLiteral("abadiha"));
}

void Tabadiha::arrangeColumns()
{
    // The seven columns in the grid's order; the table's other columns stay hidden.
    QList<ShownColumn> shown;
    for (const GazetteerColumn& col : gazetteerColumns())
        shown.append({col.column, 110});
    showColumnsInOrder(m_grid, m_villages, shown);
}

QList<ListedVillage> Tabadiha::listedRows() const
{
    QList<ListedVillage> rows;
    if (!m_villages.isOpen())
        return rows;
    const int id = m_villages.fieldIndex(QStringLiteral("id"));
    const int cod = m_villages.fieldIndex(QStringLiteral("cod"));
    for (int r = 0; r < m_villages.recordCount(); ++r)
        rows << ListedVillage{m_villages.valueAt(r, id), m_villages.textAt(r, cod)};
    return rows;
}

Tabadiha_ins& Tabadiha::entryScreen()
{
    if (!m_entry)
        m_entry = std::make_unique<Tabadiha_ins>(m_session, *this, this);
    return *m_entry;
}

void Tabadiha::newVillage()
{
    entryScreen().prepareNew();
    showModal(m_entry.get());
}

void Tabadiha::editVillage()
{
    if (!m_villages.isOpen() || m_villages.isEmpty()) {
        Dialogs::instance().message(kSelectFirst);
        return;
    }
    QVariantMap row;
    for (const QString& f : m_villages.fieldNames())
        row.insert(f.toLower(), m_villages.value(f));
    entryScreen().prepareEdit(m_villages.value(QStringLiteral("id")), row);
    showModal(m_entry.get());
}

void Tabadiha::deleteVillage()
{
    if (!m_villages.isOpen() || m_villages.isEmpty()) {
        Dialogs::instance().message(kSelectFirst);
        return;
    }
    Database& db = *m_session.db();
    if (deletePasswordGiven(db, QStringLiteral("رمز حذف"))) {
        QVariantMap row;
        for (const QString& f : m_villages.fieldNames())
            row.insert(f.toLower(), m_villages.value(f));
        try {
            tarvest::deleteVillage(db, m_villages.value(QStringLiteral("id")), row, m_session.login.userName);
            Dialogs::instance().message(QStringLiteral("حذف شد"));
        } catch (const RecordChanged& changed) {
            offerReload(changed);
        }
    }
    // Either way the list is read again.
    m_villages.refresh();
    updateCount();
}

void Tabadiha::renameRows(GazetteerLevel level)
{
    if (!m_villages.isOpen() || m_villages.isEmpty()) {
        Dialogs::instance().message(kSelectFirst);
        return;
    }
    Dialogs& d = Dialogs::instance();
    if (d.question(QString::number(m_villages.recordCount()) + QStringLiteral(" ")
                   + QStringLiteral("اين تعداد رکورد ويرايش مي شود.آيا ادامه مي دهيد؟"))
        != Dialogs::Answer::Yes)
        return;
    const QString current = m_villages.asString(levelColumn(level));
    const QString name = d.input(latinName(level) + QStringLiteral(" Name"),
                                 QStringLiteral("نام ") + levelCaption(level), current);
    if (name == current) // cancelled, or nothing to change
        return;
    renameListedRows(*m_session.db(), level, name, listedRows(), m_session.login.userName);
    search();
}

void Tabadiha::renameBulk(GazetteerLevel level)
{
    if (!m_villages.isOpen() || m_villages.isEmpty()) {
        Dialogs::instance().message(kSelectFirst);
        return;
    }
    Dialogs& d = Dialogs::instance();
    if (d.question(m_count->text() + bulkQuestion(level)) != Dialogs::Answer::Yes)
        return;
    const QString name = d.input(latinName(level) + QStringLiteral(" Name:"),
                                 QStringLiteral("نام جديد ") + levelCaption(level) + QStringLiteral(" را وارد نماييد"),
                                 QStringLiteral("?"));
    if (name == QLatin1String("?"))
        return;
    renameByCodes(*m_session.db(), level, name, listedRows());
    m_villages.refresh();
    updateCount();
    d.message(QStringLiteral(" اين تعداد تغيير يافتند ") + QString::number(m_villages.recordCount()));
}

void Tabadiha::exportList()
{
    if (!m_villages.isOpen())
        search();
    exportAndOpen(m_villages, QStringLiteral("abadiha"), gazetteerExportTitles());
}

void Tabadiha::browse()
{
    const QString path = chooseSheetFile(QStringLiteral("Browse Excel..."));
    if (!path.isEmpty())
        loadSheet(path);
}

bool Tabadiha::loadSheet(const QString& path)
{
    m_progress->setValue(0);
    m_sheetLoaded = false;
    m_sheetCount->setText(QStringLiteral("0"));
    if (!loadSheetPreview(m_previewModel, m_sheet, path, QStringLiteral("Sheet1"), kReadFailed))
        return false;
    m_sheetLoaded = true;
    m_sheetCount->setText(QString::number(m_sheet.rows.size()));
    return true;
}

void Tabadiha::replace()
{
    Dialogs& d = Dialogs::instance();
    if (!m_sheetLoaded) {
        d.message(QStringLiteral("ابتدا فايل اکسل را با Browse Excel... انتخاب نماييد"));
        return;
    }
    // The sheet is checked whole before anything is asked or changed.
    QList<Village> villages;
    qint64 stored = 0;
    try {
        villages = gazetteerFromSheet(m_sheet);
        stored = countVillages(*m_session.db(), {});
    } catch (const Error& e) {
        d.warning(e.message());
        return;
    }
    // The question names what goes and what comes in its place.
    if (d.question(QStringLiteral("اين عمل ممکن است دقايقي بطول انجامد و %1 آبادي ثبت شده حذف و %2 رديف اين فايل اکسل "
                                  "جايگزين مي گردد. آيا براي ادامه عمليات اطمينان داريد؟")
                       .arg(stored)
                       .arg(villages.size()))
        != Dialogs::Answer::Yes)
        return;
    m_progress->setRange(0, std::max<qsizetype>(1, villages.size()));
    m_progress->setValue(0);
    try {
        replaceGazetteer(*m_session.db(), villages, repaintingProgress(m_progress));
    } catch (const Error& e) {
        m_progress->setValue(0);
        d.warning(QStringLiteral("خطا! آبادي ها تغييري نکرد: ") + e.message());
        return;
    }
    d.message(QStringLiteral("انتقال انجام شد"));
    search();
}

} // namespace tarvest
