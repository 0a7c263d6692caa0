// Renders the program's screens and shared fields to PNG files for review:
//   tarvest-gallery [output-folder]
// Run it offscreen (QT_QPA_PLATFORM=offscreen) or under xvfb-run.
#include "app/logviewer.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "widgets/dateedit.h"
#include "widgets/numericedits.h"

#include <QCheckBox>
#include <QTemporaryDir>

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
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

// The log viewer over a few sample rows, with the user and date filters ticked.
void renderLogViewer(const QDir& out)
{
    QTemporaryDir dir;
    Session session;
    session.setDatabase(Database::openSqlite(dir.filePath(QStringLiteral("gallery.sqlite"))));
    Database& db = *session.db();
    provision(db);
    struct Row {
        const char* karbar;
        const char* ip;
        const char* host;
        const char* saat;
        const char* tarikh;
        QString cmt;
        const char* server;
    };
    const Row rows[] = {
        {"admin", "192.168.1.10", "PC-ADMIN", "08:15:02", "1403/01/15",
         QStringLiteral("  ورود موفق به نرم افزار  admin مدير سيستم"), "2024-04-03 08:15:02"},
        {"admin", "192.168.1.10", "PC-ADMIN", "08:20:40", "1403/01/15",
         QStringLiteral(" ثبت کاربر جديد 2960012345 آذربايجان شرقي"), "2024-04-03 08:20:40"},
        {"2960012345", "192.168.1.23", "KARSHENAS-2", "09:02:11", "1403/01/16",
         QStringLiteral(" ثبت کدآبادي جديد  1203045 2960012345"), "2024-04-04 09:02:11"},
        {"2960012345", "192.168.1.23", "KARSHENAS-2", "09:05:37", "1403/01/16",
         QStringLiteral(" ويرايش آبادي  1203045 2960012345"), "2024-04-04 09:05:37"},
        {"admin", "192.168.1.10", "PC-ADMIN", "11:47:09", "1403/01/17",
         QStringLiteral("  ورود ناموفق به نرم افزار بدليل استفاده از نسخه قديمي   12 admin"), "2024-04-05 11:47:09"},
    };
    for (const Row& r : rows)
        db.insert(QStringLiteral("log"), {{"karbar", r.karbar}, {"ip", r.ip}, {"computer_name", r.host},
                                          {"saat", r.saat}, {"tarikh", r.tarikh}, {"cmt", r.cmt},
                                          {"saat_sys", r.server}});
    Tlog viewer(session);
    viewer.findChild<QCheckBox*>(QStringLiteral("CheckBox2"))->setChecked(true);
    viewer.findChild<DateEdit*>(QStringLiteral("dat1"))->setDateText(QStringLiteral("1403/01/01"));
    viewer.findChild<DateEdit*>(QStringLiteral("dat2"))->setDateText(QStringLiteral("1403/01/31"));
    viewer.prepare();
    viewer.resize(1000, 420);
    viewer.show();
    QApplication::processEvents();
    const QString path = out.filePath(QStringLiteral("log.png"));
    viewer.grab().save(path);
    QTextStream(stdout) << path << '\n';
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

    try {
        renderLogViewer(out);
    } catch (const Error& e) {
        QTextStream(stderr) << e.message() << '\n';
        return 1;
    }
    return 0;
}
