// Start-up on the embedded database: time from process start to the visible login
// window, and from pressing "ورود" to the visible main window.
//   bench_ui_startup [fresh|existing] [database-folder]
// "fresh" starts with no database file (the first login creates and provisions it);
// "existing" expects the folder to hold one from an earlier run.
#include "app/login.h"
#include "app/mainwindow.h"
#include "app/shell.h"
#include "widgets/appearance.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "benchsupport.h"
#include <unistd.h>

#include <cstdio>

namespace {

// Milliseconds since the kernel started this process.
double msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = stat.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble(); // field 22 of the whole line
    const double up = uptime.readAll().split(' ').value(0).toDouble();
    return (up - startTicks / double(sysconf(_SC_CLK_TCK))) * 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    tarvest::applyInterfaceLook(app);
    const bool fresh = argc < 2 || QByteArray(argv[1]) != "existing";
    QTemporaryDir scratch;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : scratch.path();
    const QString dbPath = folder + QStringLiteral("/tarvest.sqlite");
    if (fresh)
        QFile::remove(dbPath);

    tarvest::Shell shell(std::make_unique<QSettings>(folder + QStringLiteral("/bench.conf"), QSettings::IniFormat),
                         dbPath);
    shell.setQuitHandler([] {});
    tarvest::Tlogin& login = shell.login();
    login.show();
    if (!QTest::qWaitForWindowExposed(&login))
        return 1;
    const double toLogin = msSinceProcessStart();

    login.findChild<QLineEdit*>(QStringLiteral("us"))->setText(QStringLiteral("admin"));
    login.findChild<QLineEdit*>(QStringLiteral("ps"))->setText(QStringLiteral("1"));
    QElapsedTimer t;
    t.start();
    login.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    if (!QTest::qWaitForWindowExposed(&shell.main()))
        return 1;
    const double toMain = double(t.nsecsElapsed()) / 1e6;

    std::printf(
        "%s database: process start to login window %.0f ms; \"ورود\" to main window %.0f ms; peak RSS %ld MiB\n",
        fresh ? "fresh" : "existing", toLogin, toMain, peakRssMiB());
    return 0;
}
