#include "app/serversettings.h"

#include "app/login.h"
#include "app/shell.h"
#include "common/errors.h"
#include "db/connection.h"
#include "db/provision.h"
#include "widgets/dialogs.h"
#include "widgets/linklabel.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QVBoxLayout>

namespace tarvest {

namespace {
// What the field labels put into their fields when clicked.
const char16_t* const kPresetServer = u"localhost";
const char16_t* const kPresetDatabase = u"Tarvest";
const char16_t* const kPresetUser = u"sa";
const char16_t* const kPresetPassword = u"korvex@*#";
} // namespace

Tserver::Tserver(Shell& shell, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_shell(shell)
{
    setObjectName(QStringLiteral("Tserver"));
    setWindowTitle(QStringLiteral("تنظيمات اتصال به بانک"));
    setLayoutDirection(Qt::RightToLeft);

    auto field = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setMinimumWidth(220);
        return e;
    };
    m_server = field("SqlServerName");
    m_database = field("DataBase");
    m_user = field("UserName");
    m_password = field("Password");
    m_password->setEchoMode(QLineEdit::Password);
    m_server->setText(QString::fromUtf16(kPresetServer));
    m_database->setText(QString::fromUtf16(kPresetDatabase));
    m_user->setText(QString::fromUtf16(kPresetUser));
    m_password->setText(QString::fromUtf16(kPresetPassword));

    auto* form = new QFormLayout;
    auto addRow = [&](const char* labelName, const QString& caption, QLineEdit* edit, const char16_t* preset) {
        auto* label = new LinkLabel(caption, this);
        label->setObjectName(QLatin1String(labelName));
        connect(label, &LinkLabel::clicked, edit, [edit, preset] { edit->setText(QString::fromUtf16(preset)); });
        form->addRow(label, edit);
    };
    addRow("LabelSqlServerName", QStringLiteral("نام سرور SQL :"), m_server, kPresetServer);
    addRow("LabelDataBase", QStringLiteral("نام ديتابيس :"), m_database, kPresetDatabase);
    addRow("LabelUserName", QStringLiteral("کلمه کاربري SQL Server :"), m_user, kPresetUser);
    addRow("LabelPassword", QStringLiteral("رمز عبور SQL Server :"), m_password, kPresetPassword);

    auto* group = new QGroupBox(QStringLiteral("نحوه اتصال به سرور: "), this);
    group->setObjectName(QStringLiteral("RadioGroup1"));
    m_windows = new QRadioButton(QStringLiteral("Windows Authentication"), group);
    m_windows->setObjectName(QStringLiteral("rbWindows"));
    m_sql = new QRadioButton(QStringLiteral("SQL Server Authentication"), group);
    m_sql->setObjectName(QStringLiteral("rbSQL"));
    m_sql->setChecked(true);
    // A single database file: the server field then holds the file's path.
    m_file = new QRadioButton(QStringLiteral("Access (فايل بانک اطلاعاتي)"), group);
    m_file->setObjectName(QStringLiteral("rbAccess"));
    auto* radios = new QVBoxLayout(group);
    radios->addWidget(m_windows);
    radios->addWidget(m_sql);
    radios->addWidget(m_file);

    auto* ok = new QPushButton(QStringLiteral("تاييد"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    auto* end = new QPushButton(QStringLiteral("خاتمه"), this);
    end->setObjectName(QStringLiteral("Button2"));
    auto* provisionLabel = new LinkLabel(QStringLiteral("- - -"), this);
    provisionLabel->setObjectName(QStringLiteral("Label1"));
    provisionLabel->setToolTip(QStringLiteral("ساخت جدول هاي بانک اطلاعاتي"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(end);
    buttons->addStretch();
    buttons->addWidget(provisionLabel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(group);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &Tserver::save);
    connect(end, &QPushButton::clicked, this, [this] { m_shell.quit(); });
    connect(provisionLabel, &LinkLabel::clicked, this, &Tserver::provision);
}

void Tserver::prepare()
{
    QSettings& store = m_shell.store();
    if (!ConnectionSettings::exist(store))
        return; // every field keeps its text
    const ConnectionSettings s = ConnectionSettings::read(store);
    m_server->setText(s.server);
    m_database->setText(s.database);
    m_user->setText(s.userName);
    if (s.authentication == QLatin1String("SQL Server")) {
        m_sql->setChecked(true);
        m_password->setText(s.password);
    } else if (s.authentication == QLatin1String("Access")) {
        m_file->setChecked(true);
    } else {
        m_windows->setChecked(true);
    }
}

void Tserver::save()
{
    struct Check { QLineEdit* field; const char16_t* message; };
    const bool file = m_file->isChecked();
    const Check checks[] = {
        {m_server, u"نام سرور را وارد نمائيد"},
        {m_database, u"نام ديتابيس را وارد نمائيد"},
        {m_user, u"کلمه کاربري را وارد نمائيد"},
        {m_password, u"رمز عبور را وارد نمائيد"},
    };
    // A database file needs only its path.
    for (const Check& c : checks) {
        if (file && c.field != m_server)
            continue;
        if (c.field->text().isEmpty()) {
            Dialogs::instance().message(QString::fromUtf16(c.message));
            c.field->setFocus();
            return;
        }
    }
    ConnectionSettings s;
    s.server = m_server->text();
    s.database = m_database->text();
    s.authentication = file ? QStringLiteral("Access")
                            : (m_windows->isChecked() ? QStringLiteral("Windows") : QStringLiteral("SQL Server"));
    s.userName = m_user->text();
    s.password = m_password->text();
    QSettings& store = m_shell.store();
    s.write(store);
    if (store.status() != QSettings::NoError)
        Dialogs::instance().warning(QStringLiteral("عمليات ثبت با خطا مواجه گرديد، لطفا دوباره سعي نماييد"));
    close();
}

void Tserver::provision()
{
    if (!m_shell.buildConnection(Profile(m_shell.login().profileItem()), true))
        return;
    const QList<ProvisionStep> steps = tarvest::provision(*m_shell.session().db());
    if (provisionSucceeded(steps)) {
        Dialogs::instance().message(QStringLiteral("همه تنظيمات انجام شد"));
        return;
    }
    QStringList failed;
    for (const ProvisionStep& s : steps)
        if (s.outcome == ProvisionStep::Outcome::Failed)
            failed << describe(s);
    Dialogs::instance().warning(QStringLiteral("خطا! ساخت اين جدول ها انجام نشد:\n") + failed.join(u'\n'));
}

} // namespace tarvest
