#include "admin/messagesscreen.h"

#include "common/errors.h"
#include "common/jalali.h"
#include "db/database.h"
#include "db/login.h"
#include "db/schema.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"
#include "widgets/entryguard.h"
#include "widgets/screen.h"

#include <QAction>
#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSet>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarvest {

namespace {
const QString kSent = QStringLiteral("ارسال انجام شد");
const QString kDeleted = QStringLiteral("حذف شد");
const QString kAdminOnly = QStringLiteral("حذف فقط توسط مدير سيستم قابل انجام است");
const QString kAskDeleteAllSeen = QStringLiteral(
    "همه پيام هاي خوانده شده همه كاربران (نه فقط پيام هاي اين فهرست) حذف مي شوند. آيا اطمينان داريد؟");
constexpr int kSubjectWidth = 100; // payamha.mozo

QLabel* label(const QString& text, const char* name = nullptr)
{
    auto* l = new QLabel(text);
    if (name)
        l->setObjectName(QLatin1String(name));
    return l;
}
} // namespace

Tpayam::Tpayam(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Tpayam"));
    setWindowTitle(QStringLiteral("تبادل پيام"));
    setLayoutDirection(Qt::RightToLeft);
    // Only a close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_messages.setObjectName(QStringLiteral("ADOQ_payam"));

    m_model = new ResultSetModel(&m_messages, this);
    m_model->setTitles({{QStringLiteral("ferestande"), QStringLiteral("فرستنده")},
                        {QStringLiteral("send_dat"), QStringLiteral("تاريخ ارسال")},
                        {QStringLiteral("show_dat"), QStringLiteral("تاريخ ملاحظه")},
                        {QStringLiteral("mozo"), QStringLiteral("موضوع")}});
    m_grid = new QTableView;
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(m_model);
    setUpListGrid(m_grid, QAbstractItemView::ExtendedSelection);
    m_grid->setMinimumHeight(m_grid->verticalHeader()->defaultSectionSize() * 8);
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto item = [&](const char* name, const QString& caption, void (Tpayam::*slot)()) {
        auto* a = new QAction(caption, m_grid);
        a->setObjectName(QLatin1String(name));
        m_grid->addAction(a);
        connect(a, &QAction::triggered, this, slot);
    };
    item("N1", QStringLiteral("خوانده شد"), &Tpayam::markSeen);
    item("N3", QStringLiteral("حذف"), &Tpayam::deleteCurrent);
    item("N2", QStringLiteral("گيرنده پيام"), &Tpayam::showRecipient);
    item("N4", QStringLiteral("حذف تمام خوانده شده ها"), &Tpayam::deleteAllSeen);
    item("N5", QStringLiteral("حذف انتخاب شده ها"), &Tpayam::deleteSelectedSeen);

    // The current message's text, to read: what is typed here is never stored.
    m_text = new QPlainTextEdit;
    m_text->setObjectName(QStringLiteral("DBMemo1"));
    m_text->setReadOnly(true);

    m_recipientFilter = new QComboBox;
    m_recipientFilter->setObjectName(QStringLiteral("girande"));
    m_recipientFilter->setEnabled(false);
    m_recipientFilter->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_recipientFilter->setMinimumContentsLength(30);

    auto* reminder = label(
        QStringLiteral("تذكر مهم: هر پيامي را كه ملاحظه كرديد تيك ملاحظه شد را با كليك راست اعمال نماييد"), "Label1");
    reminder->setStyleSheet(QStringLiteral("QLabel { color: #b00020; font-weight: bold; }"));
    reminder->setWordWrap(true);
    auto* hint = label(QStringLiteral("Press Ctrl Key for MultiSelect"), "Label6");
    hint->setLayoutDirection(Qt::LeftToRight);

    m_subject = new QComboBox;
    m_subject->setObjectName(QStringLiteral("mozo"));
    m_subject->setEditable(true);
    m_subject->setInsertPolicy(QComboBox::NoInsert);
    m_subject->setMinimumContentsLength(24);
    m_newText = new QPlainTextEdit;
    m_newText->setObjectName(QStringLiteral("cmt"));
    m_all = new QCheckBox(QStringLiteral("گروه گيرندگان پيام"));
    m_all->setObjectName(QStringLiteral("CheckBox1"));
    m_recipients = new QListWidget;
    m_recipients->setObjectName(QStringLiteral("prs_list"));
    m_send = new QToolButton;
    m_send->setObjectName(QStringLiteral("BitBtn1"));
    m_send->setText(QStringLiteral("ارسال"));
    m_send->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    m_send->setIconSize(QSize(32, 32));
    m_send->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_send->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    m_send->setMinimumWidth(80);

    // The messages: the recipient filter and the reminder, the grid beside the text.
    auto* top = new QHBoxLayout;
    top->addWidget(label(QStringLiteral("گيرنده")));
    top->addWidget(m_recipientFilter);
    top->addSpacing(16);
    top->addWidget(reminder, 1);
    // The hint sits under the grid, the current message's text beside both.
    auto* listed = new QVBoxLayout;
    listed->addWidget(m_grid, 1);
    listed->addWidget(hint, 0, Qt::AlignRight | Qt::AlignAbsolute);
    m_currentSubject = label(QString(), "current_mozo");
    m_currentSubject->setWordWrap(true);
    m_currentSubject->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; }"));
    auto* reading = new QVBoxLayout;
    reading->addWidget(m_currentSubject);
    reading->addWidget(m_text, 1);
    auto* shown = new QHBoxLayout;
    shown->addLayout(listed, 3);
    shown->addLayout(reading, 2);

    // A new message: subject and text, the recipients, the send button.
    auto* compose = new QGridLayout;
    compose->addWidget(label(QStringLiteral("موضوع")), 0, 0);
    compose->addWidget(m_subject, 0, 1);
    compose->addWidget(label(QStringLiteral("متن پيام")), 1, 0, Qt::AlignTop);
    compose->addWidget(m_newText, 1, 1);
    compose->addWidget(m_all, 0, 2);
    compose->addWidget(m_recipients, 1, 2);
    compose->addWidget(m_send, 0, 3, 2, 1);
    compose->setColumnStretch(1, 3);
    compose->setColumnStretch(2, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(shown, 3);
    layout->addLayout(compose, 2);
    resize(980, 680);

    connect(&m_messages, &ResultSet::reset, this, &Tpayam::arrangeColumns);
    connect(&m_messages, &ResultSet::currentChanged, this, &Tpayam::showCurrentText);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    m_messages.moveTo(current.row() + 1);
            });
    connect(m_recipientFilter, &QComboBox::currentIndexChanged, this, &Tpayam::filterByRecipient);
    connect(m_all, &QCheckBox::clicked, this, &Tpayam::tickAll);
    connect(m_send, &QToolButton::clicked, this, &Tpayam::send);
    // A message being written is work to keep: Escape never closes the screen, closing
    // with it asks, and Enter in the subject sends nothing.
    keepOpenOnEscape(this);
    new EntryGuard(this, {m_send}, {m_subject, m_newText});
}

void Tpayam::prepare()
{
    m_messages.setDatabase(m_session.db());
    const bool admin = m_session.login.isAdministrator();
    // The user's own messages; every message for the administrator.
    m_shownRecipient = admin ? std::nullopt : std::optional<qint64>(m_session.login.userId.toLongLong());
    m_newText->clear();
    fillLists();
    {
        const QSignalBlocker quiet(m_recipientFilter);
        m_recipientFilter->setCurrentIndex(0);
    }
    m_subject->setCurrentIndex(-1);
    m_subject->setEditText(QString());
    m_recipientFilter->setEnabled(admin);
    fitInsideAvailableArea(this, size());
    EntryGuard::of(this)->markLoaded();
    reopen();
}

void Tpayam::fillLists()
{
    Database* db = m_session.db();
    if (!db)
        return;
    QStringList subjects;
    QList<UserEntry> entries;
    try {
        subjects = settingChoices(*db, lists::MessageSubject);
        entries = userEntries(*db);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    const QString typed = m_subject->currentText();
    m_subject->clear();
    m_subject->addItems(subjects);
    m_subject->setCurrentIndex(-1);
    m_subject->setEditText(typed);

    // The filter: an empty first choice for every message, then the users as listed.
    {
        const QSignalBlocker quiet(m_recipientFilter);
        const QVariant chosen = m_recipientFilter->currentData();
        m_recipientFilter->clear();
        m_recipientFilter->addItem(QString(), QVariant());
        for (const UserEntry& e : entries)
            m_recipientFilter->addItem(e.text, e.id);
        const int again = chosen.isValid() ? m_recipientFilter->findData(chosen) : 0;
        m_recipientFilter->setCurrentIndex(std::max(0, again));
    }

    // The recipients in Persian alphabetical order, each carrying its user's id; the
    // users ticked before stay ticked.
    const QSet<qint64> ticked = [this] {
        const QList<qint64> ids = tickedRecipients();
        return QSet<qint64>(ids.begin(), ids.end());
    }();
    const QCollator persian(QLocale(QLocale::Persian, QLocale::Iran));
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const UserEntry& a, const UserEntry& b) { return persian.compare(a.text, b.text) < 0; });
    m_recipients->clear();
    for (const UserEntry& e : entries) {
        auto* row = new QListWidgetItem(e.text, m_recipients);
        row->setData(Qt::UserRole, e.id);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(ticked.contains(e.id) ? Qt::Checked : Qt::Unchecked);
    }
}

QList<qint64> Tpayam::tickedRecipients() const
{
    QList<qint64> ids;
    for (int i = 0; i < m_recipients->count(); ++i) {
        const QListWidgetItem* row = m_recipients->item(i);
        if (row->checkState() == Qt::Checked)
            ids << row->data(Qt::UserRole).toLongLong();
    }
    return ids;
}

void Tpayam::tickAll(bool checked)
{
    for (int i = 0; i < m_recipients->count(); ++i)
        m_recipients->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void Tpayam::reopen()
{
    Database* db = m_session.db();
    if (!db)
        return;
    const qint64 currentId = m_messages.isOpen() && !m_messages.isEmpty() ? m_messages.asInteger(QStringLiteral("id"))
                                                                          : 0;
    try {
        m_messages.setDatabase(db);
        m_messages.open(messageQuery(*db, m_shownRecipient));
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    fitColumns();
    // The message that was current stays current when it is still listed.
    if (!m_messages.isEmpty()) {
        if (!currentId || !m_messages.locate(QStringLiteral("id"), currentId))
            m_messages.first();
        const int row = m_messages.recNo() - 1;
        const int column = std::max(0, m_messages.fieldIndex(QStringLiteral("mozo")));
        m_grid->setCurrentIndex(m_model->index(row, column));
    }
    showCurrentText();
}

void Tpayam::filterByRecipient()
{
    if (!m_session.login.isAdministrator())
        return;
    const QVariant id = m_recipientFilter->currentData();
    m_shownRecipient = id.isValid() ? std::optional<qint64>(id.toLongLong()) : std::nullopt;
    reopen();
}

void Tpayam::showCurrentText()
{
    const bool any = m_messages.isOpen() && !m_messages.isEmpty();
    m_currentSubject->setText(any ? m_messages.asString(QStringLiteral("mozo")) : QString());
    m_text->setPlainText(any ? messageText(m_messages.value(QStringLiteral("cmt"))) : QString());
}

void Tpayam::arrangeColumns()
{
    static const QSet<QString> shown{QStringLiteral("ferestande"), QStringLiteral("send_dat"),
                                     QStringLiteral("show_dat"), QStringLiteral("mozo")};
    for (int i = 0; i < m_messages.fieldCount(); ++i)
        m_grid->setColumnHidden(i, !shown.contains(m_messages.fieldName(i).toLower()));
    // The subject column is the one that stretches, after the dates.
    const int mozo = m_messages.fieldIndex(QStringLiteral("mozo"));
    const int last = m_messages.fieldCount() - 1;
    if (mozo >= 0 && mozo != last)
        m_grid->horizontalHeader()->moveSection(m_grid->horizontalHeader()->visualIndex(mozo), last);
}

void Tpayam::fitColumns()
{
    // Each shown column as wide as its title and the rows in view (the sender at least
    // 80); the subject 250, last, so that it takes the room left. A long subject reads
    // whole above the message's text.
    for (int i = 0; i < m_messages.fieldCount(); ++i) {
        if (m_grid->isColumnHidden(i))
            continue;
        const QString name = m_messages.fieldName(i).toLower();
        if (name == QLatin1String("mozo")) {
            m_grid->setColumnWidth(i, 250);
            continue;
        }
        m_grid->resizeColumnToContents(i);
        if (name == QLatin1String("ferestande"))
            m_grid->setColumnWidth(i, std::max(80, m_grid->columnWidth(i)));
    }
}

bool Tpayam::currentMessage(qint64* id)
{
    // The grid's current row is the current message.
    const QModelIndex current = m_grid->currentIndex();
    if (current.isValid())
        m_messages.moveTo(current.row() + 1);
    if (!m_messages.isOpen() || m_messages.isEmpty() || m_messages.isGone(m_messages.recNo() - 1))
        return false;
    *id = m_messages.asInteger(QStringLiteral("id"));
    return *id != 0;
}

bool Tpayam::mayDelete()
{
    if (m_session.login.isAdministrator())
        return true;
    Dialogs::instance().message(kAdminOnly);
    return false;
}

void Tpayam::send()
{
    Database* db = m_session.db();
    if (!db)
        return;
    const QString subject = m_subject->currentText();
    if (subject.size() > kSubjectWidth) {
        Dialogs::instance().warning(tooLongMessage(QStringLiteral("موضوع"), kSubjectWidth));
        return;
    }
    try {
        sendMessage(*db, m_session.login.userId.toLongLong(), tickedRecipients(), subject, m_newText->toPlainText(),
                    TodayJalali());
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    EntryGuard::of(this)->markSaved();
    reopen();
    Dialogs::instance().message(kSent);
}

void Tpayam::markSeen()
{
    Database* db = m_session.db();
    qint64 id = 0;
    if (!db || !currentMessage(&id))
        return;
    try {
        markMessageSeen(*db, id, TodayJalali());
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    reopen();
}

void Tpayam::deleteCurrent()
{
    Database* db = m_session.db();
    if (!db || !mayDelete())
        return;
    qint64 id = 0;
    if (!currentMessage(&id))
        return;
    try {
        deleteMessage(*db, id);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    Dialogs::instance().message(kDeleted);
    reopen();
}

void Tpayam::showRecipient()
{
    Database* db = m_session.db();
    qint64 id = 0;
    if (!db || !currentMessage(&id))
        return;
    try {
        Dialogs::instance().message(recipientName(*db, id));
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tpayam::deleteAllSeen()
{
    Database* db = m_session.db();
    if (!db || !mayDelete())
        return;
    // It removes the seen messages of every user, not only those listed: asked first.
    if (Dialogs::instance().question(kAskDeleteAllSeen) != Dialogs::Answer::Yes)
        return;
    try {
        deleteSeenMessages(*db);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    Dialogs::instance().message(kDeleted);
    reopen();
}

void Tpayam::deleteSelectedSeen()
{
    Database* db = m_session.db();
    if (!db || !mayDelete())
        return;
    // The selected messages the grid shows as seen; the database deletes only those
    // that are stored as seen.
    QList<qint64> ids;
    const int seen = m_messages.fieldIndex(QStringLiteral("show_dat"));
    const int key = m_messages.fieldIndex(QStringLiteral("id"));
    if (m_messages.isOpen() && seen >= 0 && key >= 0)
        for (const QModelIndex& row : m_grid->selectionModel()->selectedRows())
            if (!m_messages.isGone(row.row()) && !m_messages.textAt(row.row(), seen).isEmpty())
                ids << m_messages.valueAt(row.row(), key).toLongLong();
    try {
        deleteSeenMessages(*db, ids);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    Dialogs::instance().message(kDeleted);
    reopen();
}

void Tpayam::done(int result)
{
    QDialog::done(result);
    // The main menu's "پيام" caption follows a fresh count of the unread messages.
    int unread = -1;
    if (Database* db = m_session.db()) {
        try {
            unread = unreadMessageCount(*db, m_session.login.userId);
        } catch (const Error&) {
            unread = -1;
        }
    }
    emit closedWithUnread(unread);
}

} // namespace tarvest
