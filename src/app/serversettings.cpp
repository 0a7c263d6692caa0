#include "app/serversettings.h"

#include "app/login.h"
#include "app/shell.h"
#include "common/bidi.h"
#include "common/errors.h"
#include "db/connection.h"
#include "db/database.h"
#include "db/provision.h"
#include "widgets/dialogs.h"
#include "widgets/linklabel.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QToolButton>
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
    auto addRow = [&](const char* labelName, const QString& caption, QWidget* field, QLineEdit* edit,
                      const char16_t* preset) {
        auto* label = new LinkLabel(caption, this);
        label->setObjectName(QLatin1String(labelName));
        connect(label, &LinkLabel::clicked, edit, [edit, preset] { edit->setText(QString::fromUtf16(preset)); });
        form->addRow(label, field);
        return label;
    };
    // The server field: a PostgreSQL server's host and port, or a database file's path
    // with a chooser beside it.
    auto* serverRow = new QWidget(this);
    auto* serverLine = new QHBoxLayout(serverRow);
    serverLine->setContentsMargins(0, 0, 0, 0);
    serverLine->addWidget(m_server, 1);
    m_chooseFile = new QToolButton(serverRow);
    m_chooseFile->setObjectName(QStringLiteral("chooseFile"));
    m_chooseFile->setText(QStringLiteral("..."));
    m_chooseFile->setToolTip(QStringLiteral("انتخاب فايل بانک اطلاعاتي"));
    serverLine->addWidget(m_chooseFile);
    m_serverHint = new QLabel(serverRow);
    m_serverHint->setObjectName(QStringLiteral("serverHint"));
    serverLine->addWidget(m_serverHint);
    m_serverLabel = addRow("LabelSqlServerName", QString(), serverRow, m_server, kPresetServer);
    addRow("LabelDataBase", QStringLiteral("نام ديتابيس :"), m_database, m_database, kPresetDatabase);
    addRow("LabelUserName", QStringLiteral("کلمه کاربري PostgreSQL :"), m_user, m_user, kPresetUser);
    addRow("LabelPassword", QStringLiteral("رمز عبور PostgreSQL :"), m_password, m_password, kPresetPassword);

    auto* group = new QGroupBox(QStringLiteral("نحوه اتصال به سرور: "), this);
    group->setObjectName(QStringLiteral("RadioGroup1"));
    m_windows = new QRadioButton(QStringLiteral("سرور PostgreSQL، با احراز هويت سيستم عامل (Windows Authentication)"),
                                 group);
    m_windows->setObjectName(QStringLiteral("rbWindows"));
    m_sql = new QRadioButton(QStringLiteral("سرور PostgreSQL، با نام کاربري و رمز عبور (SQL Server Authentication)"),
                             group);
    m_sql->setObjectName(QStringLiteral("rbSQL"));
    m_sql->setChecked(true);
    // A single database file: the server field then holds the file's path.
    m_file = new QRadioButton(QStringLiteral("فايل بانک اطلاعاتي (Access)"), group);
    m_file->setObjectName(QStringLiteral("rbAccess"));
    auto* radios = new QVBoxLayout(group);
    radios->addWidget(m_windows);
    radios->addWidget(m_sql);
    radios->addWidget(m_file);
    for (QRadioButton* kind : {m_windows, m_sql, m_file})
        connect(kind, &QRadioButton::toggled, this, &Tserver::showKind);
    connect(m_chooseFile, &QToolButton::clicked, this, [this] {
        const QString chosen = Dialogs::instance().openFileName(
            QStringLiteral("فايل بانک اطلاعاتي"), QStringLiteral("بانک اطلاعاتي (*.sqlite *.db);;همه فايل ها (*)"));
        if (!chosen.isEmpty())
            m_server->setText(chosen);
    });

    auto* ok = new QPushButton(QStringLiteral("تاييد"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    auto* end = new QPushButton(QStringLiteral("خاتمه"), this);
    end->setObjectName(QStringLiteral("Button2"));
    auto* provisionLabel = new LinkLabel(QStringLiteral("- - -"), this);
    provisionLabel->setObjectName(QStringLiteral("Label1"));
    provisionLabel->setToolTip(QStringLiteral("ساخت جدول هاي بانک اطلاعاتي"));

    auto* test = new QPushButton(QStringLiteral("آزمايش اتصال"), this);
    test->setObjectName(QStringLiteral("testConnection"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(test);
    buttons->addWidget(end);
    buttons->addStretch();
    buttons->addWidget(provisionLabel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(group);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &Tserver::save);
    connect(test, &QPushButton::clicked, this, &Tserver::testConnection);
    showKind();
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

ConnectionSettings Tserver::typedSettings() const
{
    ConnectionSettings s;
    s.server = m_server->text();
    s.database = m_database->text();
    s.authentication = m_file->isChecked()
                           ? QStringLiteral("Access")
                           : (m_windows->isChecked() ? QStringLiteral("Windows") : QStringLiteral("SQL Server"));
    s.userName = m_user->text();
    s.password = m_password->text();
    return s;
}

void Tserver::showKind()
{
    const bool file = m_file->isChecked();
    m_serverLabel->setText(file ? QStringLiteral("فايل بانک اطلاعاتي :") : QStringLiteral("نام سرور PostgreSQL :"));
    m_serverHint->setText(file ? QString()
                               : QStringLiteral("(نام يا نشاني سرور و درگاه، مانند %1)")
                                     .arg(isolateLeftToRight(QStringLiteral("192.168.1.10:5432"))));
    m_serverHint->setVisible(!file);
    m_chooseFile->setVisible(file);
    // A file needs only its path.
    for (QWidget* serverOnly :
         {static_cast<QWidget*>(m_database), static_cast<QWidget*>(m_user), static_cast<QWidget*>(m_password)})
        serverOnly->setEnabled(!file);
}

bool Tserver::testConnection()
{
    try {
        const std::unique_ptr<Database> db = openSettings(typedSettings());
        Dialogs::instance().message(QStringLiteral("اتصال برقرار شد: ") + describeDatabase(*db));
        return true;
    } catch (const ConnectionFailure& failure) {
        Dialogs::instance().warning(QStringLiteral("خطا! ") + connectionProblem(failure));
        return false;
    }
}

void Tserver::save()
{
    struct Check {
        QLineEdit* field;
        const char16_t* message;
    };
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
    const ConnectionSettings s = typedSettings();
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
            failed << describeInPersian(s);
    Dialogs::instance().warning(QStringLiteral("خطا! آماده سازي بانک اطلاعاتي كامل نشد:\n") + failed.join(u'\n'));
}

} // namespace tarvest
