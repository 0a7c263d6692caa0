// Tarvest: the case register of the land-use-change office.
#include "common/errors.h"
#include "db/database.h"
#include "db/embedded.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QLibraryInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("vartalis"));
    QApplication::setApplicationName(QStringLiteral("Tarvest"));
    QApplication::setLayoutDirection(Qt::RightToLeft);

    // Qt's own Persian texts for the standard buttons of message boxes and dialogs.
    QTranslator qtFarsi;
    if (qtFarsi.load(QStringLiteral("qtbase_fa"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtFarsi);
    for (const QString& family : {QStringLiteral("Noto Naskh Arabic UI"), QStringLiteral("Nazli")}) {
        if (QFontDatabase::families().contains(family)) {
            QFont f(family, 10);
            QApplication::setFont(f);
            break;
        }
    }

    std::unique_ptr<tarvest::Database> db;
    try {
        db = tarvest::openEmbeddedDatabase();
    } catch (const tarvest::Error& e) {
        QMessageBox::critical(nullptr, QStringLiteral("خطا"), e.message());
        return 1;
    }

    QMainWindow window;
    window.setObjectName(QStringLiteral("Tmain"));
    window.setWindowTitle(QStringLiteral("صفحه اصلي"));
    auto* label = new QLabel(QStringLiteral("ترويست"), &window);
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.statusBar()->showMessage(db->description());
    window.resize(900, 600);
    window.show();
    return app.exec();
}
