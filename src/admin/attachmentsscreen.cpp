#include "admin/attachmentsscreen.h"

#include "admin/core/attachments.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/resultset.h"
#include "db/uniquekey.h"
#include "widgets/background.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QVBoxLayout>

namespace tarvest {

namespace {
const QString kAskTitle = QStringLiteral("خطا، ابتدا شرح ضميمه را وارد نماييد");
const QString kStored = QStringLiteral("ثبت شد");
const QString kDeleted = QStringLiteral("حذف شد");
const QString kFilter = QStringLiteral("Jpeg Files (*.jpg *.jpeg);;All Files (*)");
} // namespace

Tzamaem::Tzamaem(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Tzamaem"));
    setWindowTitle(QStringLiteral("ضمائم برنامه"));
    setLayoutDirection(Qt::RightToLeft);
    m_list.setObjectName(QStringLiteral("ADOQ_zamaem"));

    m_title = new QComboBox;
    m_title->setObjectName(QStringLiteral("Combo_type"));
    m_title->setEditable(false);
    m_title->setMinimumWidth(320);
    m_title->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    m_password = new QLineEdit;
    m_password->setObjectName(QStringLiteral("ramz"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaxLength(64);

    m_store = new QPushButton(QStringLiteral("انتخاب و ثبت ضميمه (Browse)"));
    m_store->setObjectName(QStringLiteral("image1_btn"));

    m_model = new ResultSetModel(&m_list, this);
    m_model->setTitles({{QStringLiteral("ramz"), QStringLiteral("رمز")},
                        {QStringLiteral("cmt"), QStringLiteral("شرح مدرک")},
                        {QStringLiteral("pictype"), QStringLiteral("فرمت تصوير")}});
    m_grid = new QTableView;
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(m_model);
    setUpListGrid(m_grid);
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_changePassword = new QAction(QStringLiteral("تغيير رمز"), m_grid);
    m_changePassword->setObjectName(QStringLiteral("change_password"));
    m_delete = new QAction(QStringLiteral("حذف"), m_grid);
    m_delete->setObjectName(QStringLiteral("delete_row"));
    m_grid->addAction(m_changePassword);
    m_grid->addAction(m_delete);

    auto* titleLabel = new QLabel(QStringLiteral("شرح ضميمه"));
    titleLabel->setBuddy(m_title);
    auto* passwordLabel = new QLabel(QStringLiteral("رمز ضميمه جهت دسترسي"));
    passwordLabel->setBuddy(m_password);
    auto* deleteHint = new QLabel(QStringLiteral("*جهت حذف هر مورد بر روي آن کليک راست نماييد."));
    deleteHint->setObjectName(QStringLiteral("Label4"));
    auto* openHint = new QLabel(QStringLiteral("*جهت ذخيره هر تصوير بر روي آن كليك نماييد"));
    openHint->setObjectName(QStringLiteral("Label2"));
    for (QLabel* hint : {deleteHint, openHint})
        hint->setStyleSheet(QStringLiteral("color: #8b1a1a;"));

    auto* form = new QGridLayout;
    form->addWidget(titleLabel, 0, 0);
    form->addWidget(m_title, 0, 1);
    form->addWidget(passwordLabel, 1, 0);
    form->addWidget(m_password, 1, 1);
    form->addWidget(m_store, 2, 1, Qt::AlignLeft);
    form->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_grid, 1);
    layout->addWidget(deleteHint);
    layout->addWidget(openHint);
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setTextVisible(false);
    m_progress->hide();
    layout->addWidget(m_progress);
    resize(640, 420);

    connect(m_title, &QComboBox::activated, this, [this] { titleChosen(); });
    connect(m_store, &QPushButton::clicked, this, &Tzamaem::storeFile);
    connect(m_changePassword, &QAction::triggered, this, &Tzamaem::changePasswordOfRow);
    connect(m_delete, &QAction::triggered, this, &Tzamaem::deleteRow);
    connect(m_grid, &QTableView::clicked, this, [this](const QModelIndex& index) { openRow(index.row()); });
    connect(&m_list, &ResultSet::reset, this, [this] {
        for (int i = 0; i < m_list.fieldCount(); ++i) {
            const QString name = m_list.fieldName(i).toLower();
            m_grid->setColumnHidden(i, name == QLatin1String("id") || name == QLatin1String("pic"));
        }
        m_grid->resizeColumnsToContents();
    });
}

Tzamaem::~Tzamaem() = default;

void Tzamaem::prepare()
{
    m_password->clear();
    m_title->clear();
    if (Database* db = m_session.db()) {
        try {
            m_title->addItems(attachmentTitles(*db));
        } catch (const Error& e) {
            Dialogs::instance().error(e.message());
        }
    }
    m_title->setCurrentIndex(-1);
    listAll();
}

void Tzamaem::listAll()
{
    m_list.setDatabase(m_session.db());
    if (!m_session.db())
        return;
    try {
        m_list.open(attachmentListQuery(false), {kHasPassword, kNoPassword}, QStringLiteral("zamaem"));
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tzamaem::listTitle(const QString& title)
{
    m_list.setDatabase(m_session.db());
    if (!m_session.db())
        return;
    try {
        m_list.open(attachmentListQuery(true), {kHasPassword, kNoPassword, title}, QStringLiteral("zamaem"));
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tzamaem::titleChosen()
{
    listTitle(m_title->currentText());
}

void Tzamaem::storeFile()
{
    Database* db = m_session.db();
    if (!db)
        return;
    const QString title = m_title->currentIndex() < 0 ? QString() : m_title->currentText();
    bool refused = false;
    try {
        listTitle(title);
        if (!title.isEmpty() && attachmentTitleTaken(*db, title)) {
            Dialogs::instance().message(duplicateAttachmentMessage());
            refused = true;
        }
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    if (title.isEmpty()) {
        Dialogs::instance().message(kAskTitle);
        refused = true;
    }
    // The file dialog comes in every case; after a refusal nothing is stored.
    const QString path = Dialogs::instance().openFileName(QStringLiteral("انتخاب ضميمه"), kFilter);
    if (path.isEmpty() || refused)
        return;
    try {
        // A file of tens of megabytes goes in pieces through a connection of its own, off
        // the window's thread; the window shows how far it is and takes no commands meanwhile.
        const QString password = m_password->text();
        setEnabled(false);
        const auto enable = qScopeGuard([this] { setEnabled(true); });
        runOffTheWindowThread(m_progress, [&](const WorkProgress& progress) {
            const std::unique_ptr<Database> own = db->openAnother();
            storeAttachment(*own, title, password, path, progress);
        });
    } catch (const DuplicateKey&) {
        // Stored from another workstation after our check.
        Dialogs::instance().message(duplicateAttachmentMessage());
        return;
    } catch (const Error& e) {
        Dialogs::instance().warning(e.message());
        return;
    }
    Dialogs::instance().message(kStored);
    listAll();
}

bool Tzamaem::selectCurrent()
{
    const QModelIndex current = m_grid->currentIndex();
    if (current.isValid())
        return m_list.moveTo(current.row() + 1);
    return !m_list.isEmpty() && m_list.recNo() > 0;
}

void Tzamaem::openRow(int row)
{
    Database* db = m_session.db();
    if (!db || row < 0 || row >= m_list.recordCount() || !m_list.moveTo(row + 1))
        return;
    QString written;
    try {
        const qint64 id = m_list.asInteger(QStringLiteral("id"));
        setEnabled(false);
        const auto enable = qScopeGuard([this] { setEnabled(true); });
        runOffTheWindowThread(m_progress, [&](const WorkProgress& progress) {
            const std::unique_ptr<Database> own = db->openAnother();
            written = saveAttachmentToTemp(*own, id, progress);
        });
    } catch (const Error& e) {
        Dialogs::instance().warning(e.message());
        return;
    }
    if (!Dialogs::instance().openWithSystem(written))
        Dialogs::instance().warning(
            QStringLiteral(
                "فایل %1 ذخیره شد، اما برنامه‌ای برای باز کردن آن پیدا نشد.")
                .arg(written));
}

void Tzamaem::changePasswordOfRow()
{
    Database* db = m_session.db();
    if (!db || !selectCurrent())
        return;
    const qint64 id = m_list.asInteger(QStringLiteral("id"));
    // The stored password is a hash and is never shown: the box starts empty, and an empty
    // answer (or cancelling) leaves the password as it is.
    const QString answer = Dialogs::instance().input(QStringLiteral("Password"), QStringLiteral("تغيير رمز"), QString(),
                                                     true);
    if (answer.isEmpty())
        return;
    try {
        changeAttachmentPassword(*db, id, answer);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
    m_list.refresh();
}

void Tzamaem::deleteRow()
{
    Database* db = m_session.db();
    if (!db || !selectCurrent())
        return;
    try {
        deleteAttachment(*db, m_list.asInteger(QStringLiteral("id")));
        Dialogs::instance().message(kDeleted);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
    listAll();
}

} // namespace tarvest
