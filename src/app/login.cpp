#include "app/login.h"

#include "app/changepass.h"
#include "app/mainwindow.h"
#include "app/serversettings.h"
#include "app/shell.h"
#include "common/errors.h"
#include "common/jalali.h"
#include "common/safefile.h"
#include "db/database.h"
#include "db/login.h"
#include "widgets/dialogs.h"
#include "widgets/keyboard.h"
#include "widgets/linklabel.h"
#include "widgets/screen.h"

#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSqlQuery>
#include <QVBoxLayout>

namespace tarvest {

Tlogin::Tlogin(Shell& shell, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_shell(shell)
{
    setObjectName(QStringLiteral("Tlogin"));
    setWindowTitle(QStringLiteral("صفحه ورود"));
    setLayoutDirection(Qt::RightToLeft);

    auto* profiles = new QGroupBox(this);
    profiles->setObjectName(QStringLiteral("RadioGroup1"));
    m_internet = new QRadioButton(QStringLiteral("Internet"), profiles);
    m_internet->setObjectName(QStringLiteral("Internet"));
    m_local = new QRadioButton(QStringLiteral("Local"), profiles);
    m_local->setObjectName(QStringLiteral("Local"));
    m_local->setChecked(true);
    auto* profileRow = new QHBoxLayout(profiles);
    profileRow->addWidget(m_internet);
    profileRow->addWidget(m_local);

    // Which database a login here opens, so an office with several sees which one.
    m_database = new QLabel(this);
    m_database->setObjectName(QStringLiteral("databaseInfo"));
    m_database->setWordWrap(true);
    m_database->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont small = m_database->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_database->setFont(small);
    connect(m_internet, &QRadioButton::toggled, this, &Tlogin::showDatabase);

    m_us = new QLineEdit(this);
    m_us->setObjectName(QStringLiteral("us"));
    m_ps = new QLineEdit(this);
    m_ps->setObjectName(QStringLiteral("ps"));
    m_ps->setEchoMode(QLineEdit::Password);
    m_us->installEventFilter(this);
    m_ps->installEventFilter(this);

    auto* usLabel = new QLabel(QStringLiteral("نام كاربري") + "\n" + QStringLiteral("(کد ملي)"), this);
    auto* psLabel = new QLabel(QStringLiteral("كلمه عبور"), this);

    m_ok = new QPushButton(QStringLiteral("ورود"), this);
    m_ok->setObjectName(QStringLiteral("BitBtn1"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("انصراف"), this);
    m_cancel->setObjectName(QStringLiteral("BitBtn2"));

    auto* changePassword = new LinkLabel(QStringLiteral("<u>تغيير كلمه عبور</u>"), this);
    changePassword->setObjectName(QStringLiteral("Label3"));
    auto* changeDatabase = new LinkLabel(QStringLiteral("<u>تغيير بانك اطلاعاتي</u>"), this);
    changeDatabase->setObjectName(QStringLiteral("Label4"));

    // The font-help line reads left to right in English.
    auto* fontLine = new QWidget(this);
    fontLine->setLayoutDirection(Qt::LeftToRight);
    auto* fontRow = new QHBoxLayout(fontLine);
    fontRow->setContentsMargins(0, 0, 0, 0);
    auto addPiece = [&](const char* name, const QString& text, const QString& style) {
        QLabel* l = QLatin1String(name) == QLatin1String("Label9") ? new LinkLabel(text, fontLine)
                                                                   : new QLabel(text, fontLine);
        l->setObjectName(QLatin1String(name));
        l->setStyleSheet(style);
        fontRow->addWidget(l);
        return l;
    };
    addPiece("Label6", QStringLiteral("If your"), {});
    addPiece("Label7", QStringLiteral("Font"), QStringLiteral("color: red;"));
    addPiece("Label8", QStringLiteral("is not correct"), {});
    auto* help = static_cast<LinkLabel*>(
        addPiece("Label9", QStringLiteral("<u>click here</u>"), QStringLiteral("color: green;")));
    help->setCursor(Qt::WhatsThisCursor);
    fontRow->addStretch();

    auto* grid = new QGridLayout;
    grid->addWidget(usLabel, 0, 0);
    grid->addWidget(m_us, 0, 1);
    grid->addWidget(psLabel, 1, 0);
    grid->addWidget(m_ps, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* links = new QHBoxLayout;
    links->addWidget(changePassword);
    links->addStretch();
    links->addWidget(changeDatabase);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(profiles);
    layout->addWidget(m_database);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->addLayout(links);
    layout->addWidget(fontLine);
    m_database->setText(QStringLiteral("فايل بانک اطلاعاتي: ") + QString(40, u' '));
    setFixedSize(360, sizeHint().height());

    setTabOrder(m_ps, m_ok);
    setTabOrder(m_ok, m_cancel);
    setTabOrder(m_cancel, m_us);

    connect(m_ok, &QPushButton::clicked, this, &Tlogin::logIn);
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(changePassword, &LinkLabel::clicked, this, &Tlogin::openPasswordChange);
    connect(changeDatabase, &LinkLabel::clicked, this, &Tlogin::openConnectionSettings);
    connect(help, &LinkLabel::clicked, this, &Tlogin::fetchFontHelp);
}

int Tlogin::profileItem() const
{
    return m_internet->isChecked() ? int(Profile::Internet) : int(Profile::Local);
}

QString Tlogin::typedUserName() const
{
    return m_us->text();
}

QString Tlogin::typedPassword() const
{
    return m_ps->text();
}

void Tlogin::showDatabase()
{
    const QString text = m_shell.databaseText(Profile(profileItem()));
    m_database->setText(text);
    m_database->setToolTip(text); // a long path may not fit the window's width
}

void Tlogin::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    showDatabase();
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    const QString last = m_shell.lastUser();
    if (!last.isEmpty()) {
        m_us->setText(last);
        m_ps->setFocus();
    } else {
        m_ps->setFocus();
    }
}

void Tlogin::closeEvent(QCloseEvent* event)
{
    // The login window is the program: closing it ends the run.
    event->accept();
    m_shell.quit();
}

void Tlogin::keyPressEvent(QKeyEvent* event)
{
    // Escape quits from any control of the window (the buttons and the profile
    // choice pass it on to here), as "انصراف" does.
    if (event->key() == Qt::Key_Escape) {
        m_cancel->click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool Tlogin::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == m_us) {
                m_ps->setFocus();
                return true;
            }
            if (watched == m_ps) {
                m_ok->click();
                return true;
            }
        } else if (key->key() == Qt::Key_Escape) {
            m_cancel->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool Tlogin::connect_()
{
    const bool connected = m_shell.buildConnection(Profile(profileItem()));
    showDatabase();
    return connected;
}

void Tlogin::logIn()
{
    if (!connect_())
        return;
    Session& session = m_shell.session();
    try {
        const LoginOutcome out = tarvest::logIn(*session.db(), m_us->text(), m_ps->text());
        switch (out.result) {
        case LoginOutcome::Result::WrongPassword:
            Dialogs::instance().message(QStringLiteral("کلمه يا رمز عبور اشتباه است"));
            return;
        case LoginOutcome::Result::Inactive:
            Dialogs::instance().message(QStringLiteral("کاربر شما غير فعال شده است"));
            return;
        case LoginOutcome::Result::Outdated:
            m_shell.setLastUser(out.state.userName);
            Dialogs::instance().message(QStringLiteral("اين نسخه قديمي است و قابل اجرا نيست. جديدترين نسخه  -  ")
                                        + out.newestVersion
                                        + QStringLiteral(" در ادامه نسخه جديد را دانلود و استفاده نماييد "));
            offerNewestPackage();
            hide();
            m_shell.quit();
            return;
        case LoginOutcome::Result::LoggedIn:
            break;
        }
        m_shell.setLastUser(out.state.userName);
        session.login = out.state;
        Tmain& main = m_shell.main();
        main.setUnreadMessages(out.unreadMessages);
        main.showSessionInfo();
        main.showMaximized();
        hide();
        activatePersianKeyboard();
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

QString Tlogin::saveAttachment(const QString& title, const QString& suggestedName, const QString& caption)
{
    QSqlQuery q = m_shell.session().db()->exec(
        QStringLiteral("SELECT pic, pictype FROM zamaem WHERE cmt = ? ORDER BY id"), {title});
    if (!q.next()) {
        Dialogs::instance().message(QStringLiteral("فايل «%1» در بانک اطلاعاتي ثبت نشده است.").arg(title));
        return {};
    }
    const QString chosen = Dialogs::instance().saveFileName(caption, suggestedName, QString());
    if (chosen.isEmpty())
        return {};
    const QString path = chosen + q.value(1).toString();
    try {
        writeFileSafely(path, q.value(0).toByteArray());
    } catch (const Error& e) {
        Dialogs::instance().warning(e.message());
        return {};
    }
    return path;
}

void Tlogin::offerNewestPackage()
{
    const QString today = TodayJalali();
    const QString name = QStringLiteral("Tarvest") + today.mid(0, 4) + "_" + today.mid(5, 2) + "_" + today.mid(8, 2);
    try {
        saveAttachment(QStringLiteral("آخرين نسخه نرم افزار"), name, QStringLiteral("ذخيره نسخه جديد"));
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tlogin::openPasswordChange()
{
    if (!connect_())
        return;
    try {
        if (!findUser(*m_shell.session().db(), m_us->text(), m_ps->text())) {
            Dialogs::instance().message(QStringLiteral("كلمه و رمز عبور را در صفحه فعلي درست وارد نماييد"));
            return;
        }
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    hide();
    m_shell.changePass().show();
}

void Tlogin::openConnectionSettings()
{
    Dialogs::instance().message(QStringLiteral("مسير بانك اطلاعاتي را مي توانيد تغيير دهيد"));
    m_shell.server().prepare();
    showModal(&m_shell.server());
    showDatabase();
}

void Tlogin::fetchFontHelp()
{
    if (!connect_())
        return;
    try {
        const QString path = saveAttachment(QStringLiteral("راهنمايي حل مشکل نمايش فونت ها"),
                                            QStringLiteral("Tarvest_Language_Help"), QStringLiteral("ذخيره راهنما"));
        if (!path.isEmpty())
            Dialogs::instance().openWithSystem(path);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

} // namespace tarvest
