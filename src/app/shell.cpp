#include "app/shell.h"

#include "app/changepass.h"
#include "app/login.h"
#include "app/mainwindow.h"
#include "app/serversettings.h"
#include "db/database.h"
#include "widgets/dialogs.h"
#include "widgets/screen.h"

#include <QApplication>
#include <QSettings>

namespace tarvest {

namespace {
const char* const kLastUser = "LastUser";
}

Shell::Shell(std::unique_ptr<QSettings> store, QString embeddedPath)
    : m_store(std::move(store)), m_embeddedPath(std::move(embeddedPath))
{
}

Shell::~Shell()
{
    // Screens go before the session whose result sets they show.
    m_changePass.reset();
    m_main.reset();
    m_server.reset();
    m_login.reset();
}

Tlogin& Shell::login()
{
    if (!m_login)
        m_login = std::make_unique<Tlogin>(*this);
    return *m_login;
}

Tserver& Shell::server()
{
    if (!m_server)
        m_server = std::make_unique<Tserver>(*this);
    return *m_server;
}

Tmain& Shell::main()
{
    if (!m_main)
        m_main = std::make_unique<Tmain>(*this);
    return *m_main;
}

Tchange_pass& Shell::changePass()
{
    if (!m_changePass)
        m_changePass = std::make_unique<Tchange_pass>(*this);
    return *m_changePass;
}

bool Shell::buildConnection(Profile profile, bool fromSettingsScreen)
{
    try {
        // The old connection closes first, so a failed attempt never works on as if
        // it were connected.
        m_session.setDatabase(nullptr);
        m_session.setDatabase(openProfile(profile, *m_store, m_embeddedPath));
        return true;
    } catch (const ConnectionFailure& failure) {
        if (failure.kind == ConnectionFailure::Kind::InternetUnreachable
            || failure.kind == ConnectionFailure::Kind::CentralSettingsExposed) {
            Dialogs::instance().message(failure.message());
            return false;
        }
        Dialogs::instance().warning(failure.message());
        if (!fromSettingsScreen) {
            server().prepare();
            showModal(&server());
        }
        return false;
    }
}

QString Shell::databaseText(Profile profile)
{
    if (m_session.db())
        return describeDatabase(*m_session.db());
    return describeProfile(profile, *m_store, m_embeddedPath);
}

void Shell::quit()
{
    if (m_quit)
        m_quit();
    else
        QApplication::exit(0);
}

QString Shell::lastUser() const
{
    return m_store->value(kLastUser).toString();
}

void Shell::setLastUser(const QString& name)
{
    m_store->setValue(kLastUser, name);
    m_store->sync();
    restrictToOwner(*m_store);
}

} // namespace tarvest
