#include "widgets/appearance.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

namespace tarvest {

void applyInterfaceLook(QApplication& app)
{
    QApplication::setLayoutDirection(Qt::RightToLeft);
    static QTranslator qtFarsi;
    if (qtFarsi.load(QStringLiteral("qtbase_fa"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtFarsi);
    const QStringList families = QFontDatabase::families();
    for (const QString& family : {QStringLiteral("Noto Naskh Arabic UI"), QStringLiteral("Nazli")}) {
        if (families.contains(family)) {
            QApplication::setFont(QFont(family, 10));
            break;
        }
    }
}

} // namespace tarvest
