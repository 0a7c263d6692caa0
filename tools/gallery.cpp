// Renders the program's screens and shared fields to PNG files for review:
//   tarvest-gallery [output-folder]
// Run it offscreen (QT_QPA_PLATFORM=offscreen) or under xvfb-run.
#include "app/changepass.h"
#include "app/login.h"
#include "app/mainwindow.h"
#include "app/serversettings.h"
#include "app/shell.h"
#include "widgets/dateedit.h"
#include "widgets/numericedits.h"
#include "widgets/screen.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVBoxLayout>

using namespace tarvest;

namespace {

void save(QWidget& w, const QDir& dir, const QString& name)
{
    w.adjustSize();
    w.show();
    QApplication::processEvents();
    const QString path = dir.filePath(name + ".png");
    w.grab().save(path);
    QTextStream(stdout) << path << '\n';
}

// The start-up screens on a new embedded database: login, connection settings,
// password change and the main window after logging in as admin.
void renderShell(const QDir& out)
{
    QTemporaryDir scratch;
    Shell shell(std::make_unique<QSettings>(scratch.filePath("gallery.conf"), QSettings::IniFormat),
                scratch.filePath("tarvest.sqlite"));
    shell.setQuitHandler([] {});
    setModalShower([](QWidget*) {});

    Tlogin& login = shell.login();
    login.findChild<QLineEdit*>("us")->setText("admin");
    login.findChild<QLineEdit*>("ps")->setText("1");
    save(login, out, "login");

    shell.server().prepare();
    save(shell.server(), out, "server");
    shell.server().hide();

    save(shell.changePass(), out, "changepass");
    shell.changePass().hide();

    login.show();
    login.findChild<QPushButton*>("BitBtn1")->click();
    Tmain& main = shell.main();
    main.showNormal();
    main.resize(1000, 640);
    QApplication::processEvents();
    main.grab().save(out.filePath("main.png"));
    QTextStream(stdout) << out.filePath("main.png") << '\n';
    setModalShower({});
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setLayoutDirection(Qt::RightToLeft);
    if (QFontDatabase::families().contains(QStringLiteral("Noto Naskh Arabic UI")))
        QApplication::setFont(QFont(QStringLiteral("Noto Naskh Arabic UI"), 10));
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery"));
    QDir().mkpath(out.path());

    // The shared input fields, blank and filled, as the entry screens show them.
    QWidget fields;
    fields.setWindowTitle(QStringLiteral("فیلدهای ورودی"));
    auto* form = new QFormLayout(&fields);
    auto* blankDate = new DateEdit;
    auto* date = new DateEdit;
    date->setDateText(QStringLiteral("1403/01/05"));
    auto* amount = new TMonEdit;
    amount->setText(QStringLiteral("14175000.5"));
    auto* area = new TRealEdit;
    area->setText(QStringLiteral("1250.75"));
    form->addRow(QStringLiteral("تاريخ نامه شهرستان :"), blankDate);
    form->addRow(QStringLiteral("تاريخ كميسيون :"), date);
    form->addRow(QStringLiteral("حق الزحمه پايه هر عضو :"), amount);
    form->addRow(QStringLiteral("مساحت :"), area);
    fields.resize(420, 180);
    save(fields, out, "fields");

    renderShell(out);
    return 0;
}
