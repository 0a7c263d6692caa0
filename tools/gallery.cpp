// Renders the program's screens and shared fields to PNG files for review:
//   tarvest-gallery [output-folder]
// Run it offscreen (QT_QPA_PLATFORM=offscreen) or under xvfb-run.
#include "app/settingscreen.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "widgets/dateedit.h"
#include "widgets/numericedits.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QComboBox>
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

    // The settings screen on a throwaway database with a few lists filled, one chosen.
    QTemporaryDir dbDir;
    Session session;
    session.setDatabase(Database::openSqlite(dbDir.filePath(QStringLiteral("gallery.sqlite"))));
    provision(*session.db());
    const QList<QPair<QString, QString>> sample = {
        {lists::Consultant, QStringLiteral("مهندسین مشاور آبادگران")},
        {lists::Consultant, QStringLiteral("مهندسین مشاور طرح و توسعه")},
        {lists::Consultant, QStringLiteral("دفتر فنی استان")},
        {lists::DirectorGeneral, QStringLiteral("مهندس احمدی")},
        {lists::DeletePassword, QStringLiteral("1234")},
    };
    for (const auto& [list, value] : sample)
        addSettingValue(*session.db(), list, value);
    Tsetting settings(session);
    settings.prepare();
    auto* component = settings.findChild<QComboBox*>(QStringLiteral("component"));
    component->setCurrentIndex(component->findText(lists::Consultant));
    save(settings, out, "setting");
    return 0;
}
