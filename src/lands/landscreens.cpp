#include "lands/landscreens.h"

#include "common/errors.h"
#include "db/database.h"
#include "db/places.h"
#include "db/resultset.h"
#include "db/settinglists.h"
#include "lands/prints/landprint.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"
#include "widgets/entryguard.h"
#include "widgets/placechain.h"
#include "widgets/recordchanged.h"
#include "widgets/sheetpreview.h"
#include "widgets/spreadsheetexport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace tarvest {

namespace {

const QString kSelectFirst = QStringLiteral("ابتدا رکورد مورد نظر را انتخاب نماييد");

template <typename T>
T* named(T* w, const QString& name)
{
    w->setObjectName(name);
    return w;
}

QComboBox* editableCombo(QWidget* parent, const QString& name)
{
    auto* combo = named(new QComboBox(parent), name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

void refill(QComboBox* combo, const QStringList& values)
{
    const QString text = combo->currentText();
    const QSignalBlocker blocker(combo);
    combo->clear();
    combo->addItems(values);
    combo->setEditText(text);
}

} // namespace

// ---------------------------------------------------------------------------------------
// The land record entry.

Tarazi_ins::Tarazi_ins(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Tarazi_ins"));
    setWindowTitle(QStringLiteral("ثبت/ويرايش اراضي"));
    setLayoutDirection(Qt::RightToLeft);

    auto* body = new QWidget;
    auto* grid = new QGridLayout(body);
    grid->setHorizontalSpacing(8);
    constexpr int PerRow = 3; // label + input pairs on one row, right to left
    int row = 0, col = 0;
    std::optional<LandSection> section;
    auto* chain = new EnterChain(this);
    QList<QComboBox*> places;
    QHBoxLayout* lastRow = nullptr;
    for (const LandField& f : landFields()) {
        if (section != f.section) {
            if (col > 0) {
                ++row;
                col = 0;
            }
            auto* heading = named(new QLabel(sectionCaption(f.section), body), QStringLiteral("heading_") + f.column);
            QFont bold = heading->font();
            bold.setBold(true);
            bold.setPointSizeF(bold.pointSizeF() + 1);
            heading->setFont(bold);
            grid->addWidget(heading, row++, 0, 1, PerRow * 2);
            section = f.section;
        }
        QWidget* input = nullptr;
        switch (f.control) {
        case LandControl::Text:
            input = named(new QLineEdit(body), f.column);
            break;
        case LandControl::Combo:
            input = editableCombo(body, f.column);
            break;
        case LandControl::YesNo: {
            QComboBox* combo = editableCombo(body, f.column);
            combo->addItems({QStringLiteral("دارد"), QStringLiteral("ندارد")});
            combo->setEditText({});
            input = combo;
            break;
        }
        }
        input->setMinimumWidth(170);
        auto* label = named(new QLabel(f.caption, body), QStringLiteral("lbl_") + f.column);
        // Long labels wrap in their column; the last row's two short ones stay whole.
        label->setWordWrap(!f.lastRow);
        label->setMinimumWidth(f.lastRow ? label->sizeHint().width() : 150);
        label->setMaximumWidth(f.lastRow ? QWIDGETSIZE_MAX : 240);
        label->setBuddy(input);
        if (f.lastRow) {
            if (!lastRow) {
                if (col > 0)
                    ++row;
                col = 0;
                lastRow = new QHBoxLayout;
                grid->addLayout(lastRow, row++, 0, 1, PerRow * 2);
            }
            lastRow->addWidget(label);
            lastRow->addWidget(input);
        } else {
            grid->addWidget(label, row, col * 2);
            grid->addWidget(input, row, col * 2 + 1);
            if (++col == PerRow) {
                col = 0;
                ++row;
            }
        }
        if (auto* combo = qobject_cast<QComboBox*>(input);
            combo && f.settingList.isEmpty() && f.control == LandControl::Combo)
            places << combo;
        highlightOnFocus(input);
        chain->add(input);
        m_inputs << input;
    }
    m_ins = named(new QPushButton(QStringLiteral("ثبت"), body), QStringLiteral("ins_btn"));
    m_edit = named(new QPushButton(QStringLiteral("ويرايش"), body), QStringLiteral("edit_btn"));
    lastRow->addStretch();
    lastRow->addWidget(m_ins);
    lastRow->addWidget(m_edit);
    chain->add(m_ins).add(m_edit);

    auto* scroll = new QScrollArea(this);
    scroll->setWidget(body);
    scroll->setWidgetResizable(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll);

    m_places = new PlaceLists(
        landEntryPlaces(), places, [this] { return m_session.db(); }, this);
    connect(m_ins, &QPushButton::clicked, this, [this] { saveNew(); });
    connect(m_edit, &QPushButton::clicked, this, [this] { saveChanges(); });
    keepOpenOnEscape(this);
    new EntryGuard(this, {m_ins, m_edit});
    resize(1100, 720);
}

Tarazi_ins::~Tarazi_ins() = default;

QWidget* Tarazi_ins::input(const QString& column) const
{
    const qsizetype i = landColumnNames().indexOf(column);
    return i < 0 ? nullptr : m_inputs.value(i);
}

QString Tarazi_ins::textOf(int i) const
{
    if (auto* edit = qobject_cast<QLineEdit*>(m_inputs[i]))
        return edit->text();
    return static_cast<QComboBox*>(m_inputs[i])->currentText();
}

void Tarazi_ins::setTextOf(int i, const QString& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(m_inputs[i]))
        edit->setText(text);
    else
        static_cast<QComboBox*>(m_inputs[i])->setEditText(text);
}

QStringList Tarazi_ins::texts() const
{
    QStringList out;
    for (int i = 0; i < m_inputs.size(); ++i)
        out << textOf(i);
    return out;
}

void Tarazi_ins::setTexts(const QStringList& texts)
{
    for (int i = 0; i < m_inputs.size(); ++i)
        setTextOf(i, texts.value(i));
}

void Tarazi_ins::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The county list and the four setting lists are read afresh; the texts stay.
    const QStringList kept = texts();
    guarded([&] {
        m_places->fillTop();
        Database& db = *m_session.db();
        const QList<LandField>& fields = landFields();
        for (int i = 0; i < fields.size(); ++i)
            if (!fields[i].settingList.isEmpty())
                refill(static_cast<QComboBox*>(m_inputs[i]), settingChoices(db, fields[i].settingList));
    });
    setTexts(kept);
}

void Tarazi_ins::prepareNew()
{
    setTexts({});
    m_ins->show();
    m_edit->hide();
    EntryGuard::of(this)->markLoaded();
}

void Tarazi_ins::prepareEdit()
{
    ResultSet& lands = m_session.lands;
    QStringList values;
    for (const QString& column : landColumnNames())
        values << lands.asString(column);
    setTexts(values);
    m_ins->hide();
    m_edit->show();
    EntryGuard::of(this)->markLoaded();
}

void Tarazi_ins::saveNew()
{
    ResultSet& lands = m_session.lands;
    try {
        if (!lands.isOpen())
            lands.open(QStringLiteral("select * from arazi where id<>-1 and 1=0"), {}, QStringLiteral("arazi"));
        // The check and the insert run under the lock of the county and village code.
        lands.append(landValues(texts()), &landKeyRule());
        EntryGuard::of(this)->markSaved();
    } catch (const DuplicateKey&) {
        Dialogs::instance().warning(land_msg::Duplicate);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tarazi_ins::saveChanges()
{
    ResultSet& lands = m_session.lands;
    try {
        lands.edit(landValues(texts()));
    } catch (const RecordChanged& changed) {
        if (offerReload(changed))
            lands.reloadCurrent();
        return;
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    EntryGuard::of(this)->markSaved();
    accept();
}

// ---------------------------------------------------------------------------------------
// The land search.

Tarazi_src::Tarazi_src(Session& session, QWidget* parent) : QDialog(parent, Qt::Window), m_session(session)
{
    setObjectName(QStringLiteral("Tarazi_src"));
    setWindowTitle(QStringLiteral("اراضي"));
    setLayoutDirection(Qt::RightToLeft);

    // The menu.
    auto* bar = new QMenuBar(this);
    bar->setLayoutDirection(Qt::RightToLeft);
    m_new = named(bar->addAction(QStringLiteral("ثبت")), QStringLiteral("N1"));
    m_edit = named(bar->addAction(QStringLiteral("ويرايش")), QStringLiteral("N2"));
    m_delete = named(bar->addAction(QStringLiteral("حذف")), QStringLiteral("N3"));
    QMenu* reports = named(bar->addMenu(QStringLiteral("گزارشات")), QStringLiteral("N4"));
    QAction* excel = named(reports->addAction(QStringLiteral("اکسل")), QStringLiteral("N5"));
    QAction* print = named(bar->addAction(QStringLiteral("چاپ")), QStringLiteral("N6"));
    QAction* close = named(bar->addAction(QStringLiteral("بستن")), QStringLiteral("N7"));
    connect(m_new, &QAction::triggered, this, [this] { guarded([this] { newRecord(); }); });
    connect(m_edit, &QAction::triggered, this, [this] { guarded([this] { editRecord(); }); });
    connect(m_delete, &QAction::triggered, this, [this] { guarded([this] { deleteRecord(); }); });
    connect(excel, &QAction::triggered, this, [this] { guarded([this] { exportList(); }); });
    connect(print, &QAction::triggered, this, [this] { guarded([this] { printReport(); }); });
    connect(close, &QAction::triggered, this, &QDialog::reject);

    // Filters.
    auto* filters = new QGridLayout;
    auto* countyBox = named(new QCheckBox(QStringLiteral("شهرستان"), this), QStringLiteral("CheckBox1"));
    m_county = editableCombo(this, QStringLiteral("shahrestan"));
    m_addCounty = named(new QPushButton(QStringLiteral("+"), this), QStringLiteral("add_shahrestan"));
    m_addCounty->setFixedWidth(28);
    m_showList = named(new QCheckBox(this), QStringLiteral("show_list_shahrestan"));
    m_countyList = named(new QListWidget(this), QStringLiteral("list_shahrestan"));
    m_countyList->setFixedHeight(56);
    m_countyList->hide();
    m_countyList->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* listMenu = new QMenu(this);
    QAction* removeCounty = named(listMenu->addAction(QStringLiteral("حذف شهرستان")), QStringLiteral("N8"));
    connect(removeCounty, &QAction::triggered, this, [this] { this->removeCounty(); });
    connect(m_countyList, &QWidget::customContextMenuRequested, this,
            [this, listMenu](const QPoint& at) { listMenu->popup(m_countyList->viewport()->mapToGlobal(at)); });
    bindFilter(countyBox, {m_county, m_addCounty, m_showList});
    connect(countyBox, &QCheckBox::toggled, this, [this] {
        m_countyList->clear();
        m_countyList->hide();
        m_showList->setChecked(false);
    });
    connect(m_showList, &QCheckBox::toggled, m_countyList, &QWidget::setVisible);
    connect(m_addCounty, &QPushButton::clicked, this, [this] { addCounty(); });
    connect(m_county, &QComboBox::textActivated, this, [this] { refillLists(); });
    auto* countyRow = new QHBoxLayout;
    countyRow->addWidget(m_county, 1);
    countyRow->addWidget(m_addCounty);
    countyRow->addWidget(m_showList);
    filters->addWidget(countyBox, 0, 0);
    filters->addLayout(countyRow, 0, 1);
    filters->addWidget(m_countyList, 1, 1);

    const struct {
        const char* box;
        const char* field;
        QString caption;
        int row, col;
    } defs[] = {
        {"CheckBox2", "rosta", QStringLiteral("روستا"), 0, 2},
        {"CheckBox6", "marhale", QStringLiteral("فاز-مرحله"), 0, 4},
        {"CheckBox3", "tarh", QStringLiteral("نوع طرح"), 2, 0},
        {"CheckBox4", "motale", QStringLiteral("نوع مطالعه"), 2, 2},
        {"CheckBox5", "marja", QStringLiteral("مرجع تملک"), 2, 4},
    };
    for (const auto& d : defs) {
        auto* box = named(new QCheckBox(d.caption, this), QLatin1String(d.box));
        QComboBox* field = editableCombo(this, QLatin1String(d.field));
        field->setMinimumWidth(150);
        bindFilter(box, {field});
        filters->addWidget(box, d.row, d.col);
        filters->addWidget(field, d.row, d.col + 1);
        m_filterFields << field;
    }
    auto* searchButton = named(new QPushButton(QStringLiteral("جستجو"), this), QStringLiteral("src_btn"));
    filters->addWidget(searchButton, 0, 6, 3, 1);
    connect(searchButton, &QPushButton::clicked, this, [this] { guarded([this] { search(); }); });

    m_count = named(new QLabel(QStringLiteral("0"), this), QStringLiteral("cnt"));
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(QStringLiteral("تعداد:"), this));
    countRow->addWidget(m_count);
    countRow->addStretch();

    m_grid = named(new QTableView(this), QStringLiteral("dbgrid1"));
    m_model = new ResultSetModel(&m_session.lands, this);
    QHash<QString, QString> titles;
    for (const LandGridColumn& c : landGridColumns())
        titles.insert(c.column, c.title);
    m_model->setTitles(titles);
    m_grid->setModel(m_model);
    setUpRecordGrid(m_grid);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    TitleSort::attach(m_grid);
    connect(&m_session.lands, &ResultSet::reset, this, [this] { arrangeColumns(); });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() + 1 != m_session.lands.recNo())
                    m_session.lands.moveTo(current.row() + 1);
            });

    // The spreadsheet preview and the replacement.
    auto* browseButton = named(new QPushButton(QStringLiteral("Browse"), this), QStringLiteral("Button1"));
    auto* sheetName = named(new QLabel(QStringLiteral("نام شيت: sh"), this), QStringLiteral("Label1"));
    m_sheetCount = named(new QLabel(QStringLiteral("0"), this), QStringLiteral("cnt2"));
    m_replace = named(new QPushButton(QStringLiteral("جايگزيني اکسل با وضع موجود"), this), QStringLiteral("ghghgh"));
    m_replace->setMinimumWidth(m_replace->fontMetrics().horizontalAdvance(m_replace->text()) + 24);
    m_progress = named(new QProgressBar(this), QStringLiteral("ProgressBar1"));
    m_progress->setValue(0);
    m_status = named(new QLabel(this), QStringLiteral("payam"));
    auto* sheetRow = new QHBoxLayout;
    sheetRow->addWidget(browseButton);
    sheetRow->addWidget(sheetName);
    sheetRow->addWidget(new QLabel(QStringLiteral("تعداد رديف هاي اکسل:"), this));
    sheetRow->addWidget(m_sheetCount);
    sheetRow->addWidget(m_replace);
    sheetRow->addWidget(m_progress, 1);
    sheetRow->addWidget(m_status);
    m_preview = named(new QTableView(this), QStringLiteral("DBGrid2"));
    m_previewModel = new SheetPreviewModel(this);
    // A title click sorts the preview by that column; the sheet itself keeps its order.
    auto* sortedPreview = new QSortFilterProxyModel(this);
    sortedPreview->setSourceModel(m_previewModel);
    m_preview->setModel(sortedPreview);
    m_preview->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_preview->setSortingEnabled(true);
    m_preview->horizontalHeader()->setDefaultSectionSize(80);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(browseButton, &QPushButton::clicked, this, [this] { browse(); });
    connect(m_replace, &QPushButton::clicked, this, [this] { guarded([this] { replace(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(bar);
    layout->addLayout(filters);
    layout->addLayout(countRow);
    layout->addWidget(m_grid, 3);
    layout->addLayout(sheetRow);
    layout->addWidget(m_preview, 2);
    resize(1100, 720);
}

Tarazi_src::~Tarazi_src()
{
    // The preview reads the sheet, a member that is gone before the window closes.
    m_previewModel->setSheet(nullptr);
}

ResultSet& Tarazi_src::lands()
{
    return m_session.lands;
}

void Tarazi_src::applyRights(const PageRights& rights)
{
    m_new->setEnabled(rights.insert);
    // The replacement deletes every record before it writes the sheet's: it takes both rights.
    m_canReplace = rights.insert && rights.remove;
    m_replace->setEnabled(m_canReplace);
    m_edit->setEnabled(rights.edit);
    m_delete->setEnabled(rights.remove);
}

void Tarazi_src::prepare()
{
    guarded([this] { search(); });
    m_county->setEditText({});
    for (QComboBox* f : m_filterFields)
        f->setEditText({});
    if (m_session.login.level == QLatin1String("city"))
        m_county->setEditText(m_session.login.userName);
}

void Tarazi_src::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    guarded([this] {
        Database& db = *m_session.db();
        refill(m_county, allCounties(db));
        refillLists();
        const QString names[] = {lists::LandStage, lists::LandPlanKind, lists::LandStudyKind,
                                 lists::LandAcquisitionAuthority};
        for (int i = 0; i < 4; ++i)
            refill(m_filterFields[i + 1], settingChoices(db, names[i]));
    });
}

void Tarazi_src::refillLists()
{
    if (!m_session.db())
        return;
    const std::optional<QString> county = filterOn(m_county) ? std::optional<QString>(m_county->currentText())
                                                             : std::nullopt;
    refill(m_filterFields[0], landSearchVillages(*m_session.db(), county));
}

LandFilters Tarazi_src::filters() const
{
    LandFilters f;
    if (filterOn(m_county))
        f.counties = countyList();
    auto value = [&](int i) -> std::optional<QString> {
        QComboBox* field = m_filterFields[i];
        return filterOn(field) ? std::optional<QString>(field->currentText()) : std::nullopt;
    };
    f.rosta = value(0);
    f.marhale = value(1);
    f.tarh = value(2);
    f.motale = value(3);
    f.marja = value(4);
    return f;
}

QStringList Tarazi_src::countyList() const
{
    QStringList out;
    for (int i = 0; i < m_countyList->count(); ++i)
        out << m_countyList->item(i)->text();
    return out;
}

void Tarazi_src::addCounty()
{
    m_countyList->addItem(m_county->currentText());
}

void Tarazi_src::removeCounty()
{
    if (QListWidgetItem* item = m_countyList->currentItem())
        delete m_countyList->takeItem(m_countyList->row(item));
}

void Tarazi_src::search()
{
    Database& db = *m_session.db();
    m_session.lands.setDatabase(&db);
    const LandFilters f = filters();
    m_count->setText(QString::number(countLands(db, f)));
    const LandQuery list = landListQuery(db, f);
    m_session.lands.open(list.sql, list.params, QStringLiteral("arazi"));
}

void Tarazi_src::arrangeColumns()
{
    // The grid's columns in their order; `id` stays hidden.
    QList<ShownColumn> shown;
    for (const LandGridColumn& col : landGridColumns())
        shown.append({col.column, 100});
    showColumnsInOrder(m_grid, m_session.lands, shown);
}

Tarazi_ins& Tarazi_src::entryScreen()
{
    if (!m_entry)
        m_entry = std::make_unique<Tarazi_ins>(m_session, this);
    return *m_entry;
}

void Tarazi_src::newRecord()
{
    entryScreen().prepareNew();
    showModal(m_entry.get());
}

void Tarazi_src::editRecord()
{
    if (!m_session.lands.isOpen() || m_session.lands.isEmpty()) {
        Dialogs::instance().message(kSelectFirst);
        return;
    }
    entryScreen().prepareEdit();
    showModal(m_entry.get());
}

void Tarazi_src::deleteRecord()
{
    ResultSet& lands = m_session.lands;
    if (!lands.isOpen() || lands.isEmpty()) {
        Dialogs::instance().message(kSelectFirst);
        return;
    }
    const QString prompt = QStringLiteral(" لطفا رمز حذف را وارد نماييد: ")
                           + lands.asString(QStringLiteral("shahrestan")) + u' '
                           + lands.asString(QStringLiteral("abadi"));
    // A wrong password does nothing and says nothing.
    if (!deletePasswordGiven(*m_session.db(), prompt))
        return;
    lands.remove();
}

void Tarazi_src::exportList()
{
    if (!m_session.lands.isOpen())
        search();
    m_session.lands.first();
    exportAndOpen(m_session.lands, QStringLiteral("arazi"), landExportTitles());
}

void Tarazi_src::printReport()
{
    if (!m_session.lands.isOpen())
        search();
    landprints::printLandReport(m_session, this);
}

void Tarazi_src::browse()
{
    const QString path = chooseSheetFile(QStringLiteral("Browse"));
    if (!path.isEmpty())
        loadSheet(path);
}

bool Tarazi_src::loadSheet(const QString& path)
{
    m_sheetLoaded = false;
    m_sheetCount->setText(QStringLiteral("0"));
    m_progress->setValue(0);
    m_status->clear();
    if (!loadSheetPreview(
            m_previewModel, m_sheet, [&] { return readLandSheet(path); }, land_msg::ReadFailed))
        return false;
    m_sheetLoaded = true;
    m_sheetCount->setText(QString::number(m_sheet.rows.size()));
    m_preview->horizontalHeader()->setDefaultSectionSize(80);
    return true;
}

void Tarazi_src::replace()
{
    Dialogs& d = Dialogs::instance();
    if (!m_sheetLoaded) {
        d.message(QStringLiteral("ابتدا فايل اکسل را با Browse انتخاب نماييد"));
        return;
    }
    if (!m_canReplace) {
        d.warning(land_msg::ReplaceNeedsDeleteRight);
        return;
    }
    // The sheet is checked whole before anything is asked or changed.
    QList<QStringList> rows;
    qint64 stored = 0;
    try {
        rows = landRowsFromSheet(m_sheet);
        stored = countLands(*m_session.db(), {});
    } catch (const Error& e) {
        d.warning(e.message());
        return;
    }
    if (d.question(land_msg::replaceQuestion(stored, rows.size())) != Dialogs::Answer::Yes)
        return;
    m_status->setText(land_msg::Moving);
    m_progress->setRange(0, std::max<qsizetype>(1, rows.size()));
    m_progress->setValue(0);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    try {
        replaceLands(*m_session.db(), rows, repaintingProgress(m_progress));
    } catch (const Error& e) {
        m_progress->setValue(0);
        m_status->clear();
        d.warning(QStringLiteral("خطا! اطلاعات اراضي تغييري نکرد: ") + e.message());
        return;
    }
    m_status->setText(land_msg::Moved);
    m_preview->horizontalHeader()->setDefaultSectionSize(80);
    search();
}

} // namespace tarvest
