// Tarvest: the case register of the land-use-change office.
#include "app/login.h"
#include "app/shell.h"
#include "db/connection.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("vartalis"));
    QApplication::setApplicationName(QStringLiteral("Tarvest"));
    QApplication::setApplicationDisplayName(QStringLiteral("ترويست"));
    QApplication::setLayoutDirection(Qt::RightToLeft);

    // Qt's own Persian texts for the standard buttons of message boxes and dialogs.
    QTranslator qtFarsi;
    if (qtFarsi.load(QStringLiteral("qtbase_fa"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtFarsi);
    for (const QString& family : {QStringLiteral("Noto Naskh Arabic UI"), QStringLiteral("Nazli")}) {
        if (QFontDatabase::families().contains(family)) {
            QApplication::setFont(QFont(family, 10));
            break;
        }
    }

    tarvest::Shell shell(tarvest::userSettings());
    shell.login().show();
    return app.exec();
}
