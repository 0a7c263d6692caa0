#include "app/mainwindow.h"

#include "admin/attachmentsscreen.h"
#include "admin/backupscreen.h"
#include "admin/gazetteerscreen.h"
#include "admin/messagesscreen.h"
#include "admin/phonebookscreen.h"
#include "admin/usersscreen.h"
#include "app/logviewer.h"
#include "app/settingscreen.h"
#include "app/shell.h"
#include "cases/calculator.h"
#include "cases/casesearchscreen.h"
#include "common/errors.h"
#include "db/connection.h"
#include "db/database.h"
#include "db/login.h"
#include "fees/feesearchscreen.h"
#include "lands/landscreens.h"
#include "pricing/pricesearchscreen.h"
#include "pricing/transfertypes.h"
#include "widgets/dialogs.h"
#include "widgets/entryguard.h"
#include "widgets/screen.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

namespace tarvest {

// Screens opened from the menu, created on first use and kept for the run.
struct Tmain::Screens {
    std::unique_ptr<Tlog> log;
    std::unique_ptr<Tsetting> settings;
    std::unique_ptr<Tkomision_rep> cases;
    std::unique_ptr<Thesab> calculator;
};

namespace {
const QString kMessages = QStringLiteral("پيام");
const QString kNoAccess = QStringLiteral("شما دسترسي به اين صفحه را نداريد");
} // namespace

Tmain::Tmain(Shell& shell, QWidget* parent)
    : QMainWindow(parent), m_shell(shell), m_screens(std::make_unique<Screens>())
{
    setObjectName(QStringLiteral("Tmain"));
    setWindowTitle(QStringLiteral("صفحه اصلي"));
    setLayoutDirection(Qt::RightToLeft);
    resize(1000, 700);

    auto* background = new QLabel(QStringLiteral("سامانه ثبت پرونده هاي تغيير كاربري اراضي روستايي"), this);
    background->setObjectName(QStringLiteral("Image1"));
    background->setAlignment(Qt::AlignCenter);
    background->setStyleSheet(
        QStringLiteral("QLabel { color: #f4f1e8; font-size: 22pt; font-weight: bold;"
                       " background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #2f5d50, stop:1 #7a9e7e); }"));
    setCentralWidget(background);

    QMenuBar* bar = menuBar();
    bar->setLayoutDirection(Qt::RightToLeft);
    addCommand(bar, "komision", QStringLiteral("كميسيون معاملات"), [this] { openCases(); });
    addCommand(bar, "asnad", QStringLiteral("اسناد"), [this] {
        // The fee document search, created on first use and kept for the run.
        auto* fees = findChild<Tasnad_src*>();
        if (!fees)
            fees = new Tasnad_src(m_shell.session(), this);
        if (!checkPageAccess(QStringLiteral("asnad"), fees))
            return;
        fees->prepare(size());
        showModal(fees);
    });
    addCommand(bar, "ghimat", QStringLiteral("قيمت گذاري"), [this] {
        auto* prices = findChild<Tghimat_src*>();
        if (!prices)
            prices = new Tghimat_src(m_shell.session(), this);
        if (!checkPageAccess(QStringLiteral("ghimat"), prices))
            return;
        fitInsideAvailableArea(prices, QSize(width() - 30, height() - 50), this);
        prices->prepare();
        showModal(prices);
    });
    addCommand(bar, "arazi", QStringLiteral("شناسايي اراضي"), [this] {
        // The land search, created on first use and kept for the run.
        auto* lands = findChild<Tarazi_src*>();
        if (!lands)
            lands = new Tarazi_src(m_shell.session(), this);
        if (!checkPageAccess(QStringLiteral("arazi"), lands))
            return;
        fitInsideAvailableArea(lands, QSize(width() - 30, height() - 50), this);
        lands->prepare();
        showModal(lands);
    });
    m_messages = addCommand(bar, "payam", kMessages, [this] {
        // No page check; closing the screen sets the caption from a fresh count.
        auto* messages = findChild<Tpayam*>();
        if (!messages) {
            messages = new Tpayam(m_shell.session(), this);
            connect(messages, &Tpayam::closedWithUnread, this, [this](int unread) {
                if (unread >= 0)
                    setUnreadMessages(unread);
            });
        }
        messages->prepare();
        showModal(messages);
    });

    QMenu* basics = bar->addMenu(QStringLiteral("اطلاعات پايه"));
    basics->setObjectName(QStringLiteral("basics"));
    basics->setLayoutDirection(Qt::RightToLeft);
    addCommand(basics, "seting", QStringLiteral("تنظيمات"), [this] { openSettings(); });
    addCommand(basics, "vagozari", QStringLiteral("انواع واگذاري و ضريب قيمت"), [this] {
        auto* types = findChild<Tghimat_typ*>();
        if (!types)
            types = new Tghimat_typ(m_shell.session(), this);
        if (!checkPageAccess(QStringLiteral("vagozari"), types))
            return;
        types->prepare();
        showModal(types);
    });
    addCommand(basics, "abadiha", QStringLiteral("فرهنگ آبادي ها"), [this] {
        // The gazetteer screen, created on first use and kept for the run.
        auto* gazetteer = findChild<Tabadiha*>();
        if (!gazetteer)
            gazetteer = new Tabadiha(m_shell.session(), this);
        if (!checkPageAccess(QStringLiteral("abadiha"), gazetteer))
            return;
        gazetteer->prepare();
        showModal(gazetteer);
    });
    addCommand(basics, "phone", QStringLiteral("دفترچه تلفن"), [this] {
        auto* phones = findChild<Tphone*>();
        if (!phones)
            phones = new Tphone(m_shell.session(), this);
        if (!checkPageAccess(QStringLiteral("phone"), phones))
            return;
        phones->prepare();
        showModal(phones);
    });
    addCommand(basics, "zamaem", QStringLiteral("ضمائم"), [this] {
        if (!m_shell.session().login.isAdministrator()) {
            Dialogs::instance().message(QStringLiteral("اين صفحه فقط توسط مدير قابل رويت است"));
            return;
        }
        auto* attachments = findChild<Tzamaem*>();
        if (!attachments)
            attachments = new Tzamaem(m_shell.session(), this);
        attachments->prepare();
        showModal(attachments);
    });
    addCommand(basics, "log", QStringLiteral("لاگ"), [this] { openLog(); });
    addCommand(basics, "karbaran", QStringLiteral("كاربران"), [this] {
        auto* users = findChild<Tusers*>();
        if (!users)
            users = new Tusers(m_shell.session(), this);
        if (!checkPageAccess(QStringLiteral("karbaran"), users))
            return;
        fitInsideAvailableArea(users, QSize(std::max(900, users->width()), std::max(500, height() - 80)), this);
        users->prepare();
        showModal(users);
    });
    addCommand(basics, "backup", QStringLiteral("پشتيبان گيري"), [this] {
        auto* backup = findChild<Tbackup*>();
        if (!backup)
            backup = new Tbackup(m_shell.session(), this);
        showModal(backup);
    });
    addCommand(basics, "hesab", QStringLiteral("محاسبه تغيير كاربري"), [this] {
        if (!m_screens->calculator)
            m_screens->calculator = std::make_unique<Thesab>(this);
        m_screens->calculator->prepare();
        showModal(m_screens->calculator.get());
    });
    addCommand(basics, "about", QStringLiteral("درباره ما"), [] {
        Dialogs::instance().message(QStringLiteral(
            "اين نرم افزار در بهار سال 1392 به درخواست معاونت عمران روستايي براي ثبت و پيگيري پرونده هاي تغيير كاربري اراضي روستايي تهيه شده است."));
    });
    addCommand(bar, "exit", QStringLiteral("خروج"), [this] { close(); });

    m_databaseInfo = new QLabel(this);
    m_databaseInfo->setObjectName(QStringLiteral("databaseInfo"));
    m_userInfo = new QLabel(this);
    m_userInfo->setObjectName(QStringLiteral("userInfo"));
    statusBar()->addWidget(m_userInfo);
    statusBar()->addPermanentWidget(m_databaseInfo);

    m_timer = new QTimer(this);
    m_timer->setInterval(5000);
    connect(m_timer, &QTimer::timeout, this, &Tmain::checkMessages);
}

Tmain::~Tmain() = default;

QAction* Tmain::addCommand(QWidget* menu, const char* name, const QString& caption, std::function<void()> run)
{
    auto* action = new QAction(caption, menu);
    action->setObjectName(QLatin1String(name));
    menu->addAction(action);
    connect(action, &QAction::triggered, this, [run = std::move(run)] {
        try {
            run();
        } catch (const Error& e) {
            Dialogs::instance().error(e.message());
        }
    });
    return action;
}

QAction* Tmain::menuAction(const QString& objectName) const
{
    return findChild<QAction*>(objectName);
}

bool Tmain::checkPageAccess(const QString& page, AccessTarget* target)
{
    const std::optional<PageRights> rights = m_shell.session().pageRights(page);
    if (!rights) {
        Dialogs::instance().message(kNoAccess);
        return false;
    }
    if (target)
        target->applyRights(*rights);
    if (!rights->view) {
        Dialogs::instance().message(kNoAccess);
        return false;
    }
    return true;
}

void Tmain::showSessionInfo()
{
    const Session& session = m_shell.session();
    m_databaseInfo->setText(session.db() ? describeDatabase(*session.db()) : QString());
    m_userInfo->setText(
        QStringLiteral("كاربر جاري: %1    سطح دسترسي: %2").arg(session.login.userName, session.login.level));
}

void Tmain::openMenuFromKeyboard()
{
    QMenuBar* bar = menuBar();
    const QList<QAction*> items = bar->actions();
    if (items.isEmpty())
        return;
    bar->setFocus(Qt::ShortcutFocusReason);
    bar->setActiveAction(items.first());
}

void Tmain::keyPressEvent(QKeyEvent* event)
{
    m_altAlone = event->key() == Qt::Key_Alt && event->modifiers() == Qt::AltModifier;
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::NoModifier) {
        openMenuFromKeyboard();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void Tmain::keyReleaseEvent(QKeyEvent* event)
{
    // Alt pressed and released alone opens the menu, unless the style does so itself.
    const bool altAlone = m_altAlone && event->key() == Qt::Key_Alt;
    m_altAlone = false;
    if (altAlone && !style()->styleHint(QStyle::SH_MenuBar_AltKeyNavigation, nullptr, this)) {
        openMenuFromKeyboard();
        event->accept();
        return;
    }
    QMainWindow::keyReleaseEvent(event);
}

void Tmain::setUnreadMessages(int count)
{
    m_lastUnread = count;
    m_messages->setText(count > 0 ? kMessages + QStringLiteral("*") : kMessages);
    m_timer->start();
}

void Tmain::checkMessages()
{
    Session& session = m_shell.session();
    if (!session.db() || !session.login.isLoggedIn())
        return;
    int count = 0;
    try {
        count = unreadMessageCount(*session.db(), session.login.userId);
    } catch (const Error&) {
        return; // a lost connection shows at the next real action, not every five seconds
    }
    m_messages->setText(count > 0 ? kMessages + QStringLiteral("*") : kMessages);
    const bool grown = count > m_lastUnread;
    m_lastUnread = count;
    if (grown)
        Dialogs::instance().message(QStringLiteral("شما اين تعداد پيام ناخوانده داريد ") + QString::number(count));
}

void Tmain::closeEvent(QCloseEvent* event)
{
    // An entry screen still open with unsaved work is asked about first.
    if (!EntryGuard::confirmCloseAll()) {
        event->ignore();
        return;
    }
    if (Dialogs::instance().question(QStringLiteral("آيا مي خواهيد از برنامه خارج شويد")) != Dialogs::Answer::Yes) {
        event->ignore();
        return;
    }
    event->accept();
    m_timer->stop();
    m_shell.quit();
}

void Tmain::openSettings()
{
    if (!m_screens->settings)
        m_screens->settings = std::make_unique<Tsetting>(m_shell.session(), this);
    if (!checkPageAccess(QStringLiteral("seting"), m_screens->settings.get()))
        return;
    m_screens->settings->prepare();
    showModal(m_screens->settings.get());
}

void Tmain::openCases()
{
    if (!m_screens->cases)
        m_screens->cases = std::make_unique<Tkomision_rep>(m_shell.session(), this);
    Tkomision_rep& cases = *m_screens->cases;
    if (!checkPageAccess(QStringLiteral("komision"), &cases))
        return;
    fitInsideAvailableArea(&cases, QSize(std::max(600, width() - 30), std::max(400, height() - 50)), this);
    cases.prepare();
    showModal(&cases);
}

void Tmain::openLog()
{
    if (!m_screens->log)
        m_screens->log = std::make_unique<Tlog>(m_shell.session(), this);
    m_screens->log->prepare();
    showModal(m_screens->log.get());
}

} // namespace tarvest
