// Tarvest: the case register of the land-use-change office.
#include "app/login.h"
#include "app/shell.h"
#include "db/connection.h"
#include "widgets/appearance.h"

#include <QApplication>
#include <QSettings>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("vartalis"));
    QApplication::setApplicationName(QStringLiteral("Tarvest"));
    QApplication::setApplicationDisplayName(QStringLiteral("ترويست"));
    tarvest::applyInterfaceLook(app);

    tarvest::Shell shell(tarvest::userSettings());
    shell.login().show();
    return app.exec();
}
