// Renders the program's screens and shared fields to PNG files for review:
//   tarvest-gallery [output-folder]
// Run it offscreen (QT_QPA_PLATFORM=offscreen) or under xvfb-run.
#include "admin/attachmentsscreen.h"
#include "admin/backupscreen.h"
#include "admin/core/attachments.h"
#include "admin/core/sampledata.h"
#include "admin/gazetteerscreen.h"
#include "admin/userentry.h"
#include "admin/usersscreen.h"
#include "common/spreadsheet.h"

#include "admin/messagesscreen.h"
#include "admin/phonebookscreen.h"
#include "lands/landscreens.h"
#include "lands/prints/landprint.h"
#include <QListWidget>
#include <QPlainTextEdit>

#include "app/changepass.h"
#include "app/login.h"
#include "app/logviewer.h"
#include "app/mainwindow.h"
#include "app/serversettings.h"
#include "app/settingscreen.h"
#include "app/shell.h"
#include "cases/calculator.h"
#include "cases/caseentry.h"
#include "cases/casepictures.h"
#include "cases/casesearchscreen.h"
#include "cases/core/casepictures.h"
#include "cases/prints/caseprints.h"
#include "cases/prints/core/countyprint.h"
#include "cases/prints/countyprints.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/places.h"
#include "db/provision.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fees/core/distribution.h"
#include "fees/feeentry.h"
#include "fees/feesearchscreen.h"
#include "fees/otherexperts.h"
#include "fees/prints/core/statement.h"
#include "fees/prints/feeprints.h"
#include "pricing/core/derivedprices.h"
#include "pricing/priceentry.h"
#include "pricing/pricesearchscreen.h"
#include "pricing/prints/priceprints.h"
#include "pricing/transfertypes.h"
#include "reports/reportrenderer.h"
#include "widgets/appearance.h"
#include "widgets/dateedit.h"
#include "widgets/numericedits.h"
#include "widgets/screen.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

#include <QTableView>

#include <QTemporaryDir>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
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

// A throwaway database made ready for a rendering, with the session the screens use.
struct SampleDatabase {
    QTemporaryDir dir;
    Session session;
    SampleDatabase()
    {
        session.setDatabase(Database::openSqlite(dir.filePath(QStringLiteral("gallery.sqlite"))));
        provision(*session.db());
    }
    Database& db() { return *session.db(); }
};

// The log viewer over a few sample rows, with the user and date filters ticked.
void renderLogViewer(const QDir& out)
{
    SampleDatabase sample;
    Session& session = sample.session;
    Database& db = sample.db();
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
        db.insert(QStringLiteral("log"), {{"karbar", r.karbar},
                                          {"ip", r.ip},
                                          {"computer_name", r.host},
                                          {"saat", r.saat},
                                          {"tarikh", r.tarikh},
                                          {"cmt", r.cmt},
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

// The settings screen on a throwaway database with a few lists filled, one chosen.
void renderSettings(const QDir& out)
{
    SampleDatabase sample;
    Session& session = sample.session;
    const QList<QPair<QString, QString>> values = {
        {lists::Consultant, QStringLiteral("مهندسین مشاور آبادگران")},
        {lists::Consultant, QStringLiteral("مهندسین مشاور طرح و توسعه")},
        {lists::Consultant, QStringLiteral("دفتر فنی استان")},
        {lists::DirectorGeneral, QStringLiteral("مهندس احمدی")},
        {lists::DeletePassword, QStringLiteral("1234")},
    };
    for (const auto& [list, value] : values)
        addSettingValue(*session.db(), list, value);
    Tsetting settings(session);
    settings.prepare();
    auto* component = settings.findChild<QComboBox*>(QStringLiteral("component"));
    component->setCurrentIndex(component->findText(lists::Consultant));
    save(settings, out, "setting");
}

// The users screen over the sample office, a county user selected with the rights
// and counties, and the entry dialog editing that user.
void renderUsers(const QDir& out)
{
    SampleDatabase sample;
    fillSampleData(sample.db());
    Session& session = sample.session;
    session.login = LoginState{QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("admin")};
    Tusers users(session);
    users.prepare();
    auto* grid = users.findChild<QTableView*>(QStringLiteral("DBGrid1"));
    if (users.users().recordCount() > 2) {
        grid->selectRow(2);
        users.showRightsOfCurrent();
    }
    users.resize(1100, 760);
    save(users, out, "users");
    users.entryScreen().prepareNew();
    save(users.entryScreen(), out, "users_ins");
}

// The attachments of one case: two stored files, the light green after the last store.
void renderCasePictures(const QDir& out)
{
    SampleDatabase sample;
    Session& session = sample.session;
    Database& db = sample.db();
    for (const char* text : {"نقشه زمين", "نامه شهرستان", "عکس محل"})
        addSettingValue(db, lists::CommissionAttachments, QString::fromUtf8(text));
    const struct {
        const char* name;
        const char* description;
    } files[] = {{"plan.final.jpg", "نقشه زمين"}, {"nameh.pdf", "نامه شهرستان"}};
    for (const auto& f : files) {
        QFile file(sample.dir.filePath(QString::fromUtf8(f.name)));
        file.open(QIODevice::WriteOnly);
        file.write("sample");
        file.close();
        storeCasePicture(db, 1, file.fileName(), QString::fromUtf8(f.description));
    }
    Tkomision_pic screen(session);
    screen.openFor(1, PageRights{true, true, true, true});
    screen.show();
    screen.findChild<QComboBox*>(QStringLiteral("cmt"))->setEditText(QStringLiteral("عکس محل"));
    QApplication::processEvents();
    const QString path = out.filePath(QStringLiteral("casepictures.png"));
    screen.grab().save(path);
    QTextStream(stdout) << path << '\n';
}

// The case entry screen over a throwaway database: a few gazetteer rows and setting
// values, and one stored case opened for editing.
void renderCaseEntry(const QDir& out)
{
    SampleDatabase sample;
    Session& session = sample.session;
    Database& db = sample.db();
    const QStringList places[] = {
        {QStringLiteral("فارس"), QStringLiteral("شيراز"), QStringLiteral("زرقان"), QStringLiteral("رحمت"),
         QStringLiteral("كوشك"), QStringLiteral("1203045")},
        {QStringLiteral("فارس"), QStringLiteral("شيراز"), QStringLiteral("زرقان"), QStringLiteral("رحمت"),
         QStringLiteral("آبباريك"), QStringLiteral("1203046")},
        {QStringLiteral("فارس"), QStringLiteral("لارستان"), QStringLiteral("بنارويه"), QStringLiteral("بنارويه"),
         QStringLiteral("بنارويه"), QStringLiteral("1301001")},
    };
    for (const QStringList& p : places)
        db.insert(QStringLiteral("abadiha"), {{"ostan", p[0]},
                                              {"shahrestan", p[1]},
                                              {"bakhsh", p[2]},
                                              {"dehestan", p[3]},
                                              {"rosta", p[4]},
                                              {"cod", p[5]}});
    addSettingValue(db, lists::DocumentKinds, QStringLiteral("ششدانگ"));
    addSettingValue(db, lists::LandUseKinds, QStringLiteral("زراعي"));
    addSettingValue(db, lists::LandUseKinds, QStringLiteral("مسكوني"));
    addSettingValue(db, lists::RequestKind, QStringLiteral("تغيير كاربري"));
    addSettingValue(db, lists::TechnicalAffairs, QStringLiteral("طرح هادي مصوب دارد و در محدوده است"));
    db.insert(QStringLiteral("komision"), {{"ostan", QStringLiteral("فارس")},
                                           {"city", QStringLiteral("شيراز")},
                                           {"bakhsh", QStringLiteral("زرقان")},
                                           {"dehestan", QStringLiteral("رحمت")},
                                           {"rosta", QStringLiteral("كوشك")},
                                           {"abadi_cod", "1203045"},
                                           {"paper_no", "4521/12"},
                                           {"paper_dat", "1403/02/10"},
                                           {"darkhast", QStringLiteral("علي كريمي")},
                                           {"phone", "09171234567"},
                                           {"sanad", QStringLiteral("ششدانگ")},
                                           {"karbari1", QStringLiteral("زراعي")},
                                           {"karbari2", QStringLiteral("مسكوني")},
                                           {"manzor", QStringLiteral("تغيير كاربري")},
                                           {"metraj", "450"},
                                           {"takhrib_masahat", "25"},
                                           {"masahat_na", "450"},
                                           {"masahat_khales", "400"},
                                           {"price_metr", "2500000"},
                                           {"melk_arzesh", "1000000000"},
                                           {"takhfif_darsad", "0"},
                                           {"malek_varizi", "1250000"},
                                           {"reg_dat", "1403/02/12"},
                                           {"fish_dat", "    /  /  "},
                                           {"fani", QStringLiteral("طرح هادي مصوب دارد و در محدوده است")},
                                           {"cmt", QStringLiteral("بازديد انجام شد")},
                                           {"karbar", "admin"}});
    session.login = {QStringLiteral("1"), QStringLiteral("ostan"), QStringLiteral("admin")};
    session.cases.open(QStringLiteral("SELECT * FROM komision"));
    Tkomision entry(session);
    entry.prepareEdit();
    entry.show();
    QApplication::processEvents();
    entry.adjustSize();
    QApplication::processEvents();
    const QString path = out.filePath(QStringLiteral("caseentry.png"));
    entry.grab().save(path);
    QTextStream(stdout) << path << '\n';
}

// The case search with a small result: three counties, one case with attachments.
void renderCaseSearch(const QDir& out)
{
    SampleDatabase sample;
    Session& session = sample.session;
    Database& db = sample.db();
    const QString province = QStringLiteral("آذربايجان غربي");
    const struct {
        const char* no;
        const char* date;
        const char* city;
        const char* village;
        const char* applicant;
        const char* share;
        const char* fee;
    } rows[] = {
        {"4521/12", "1403/02/10", "اروميه", "قره حسنلو", "علي كريمي", "28350000", "14175000"},
        {"4533/12", "1403/02/18", "اروميه", "باراندوز", "رضا احمدي", "فقط هزينه كارشناسي", "0"},
        {"118/5", "1403/03/02", "خوي", "قطور", "حسن محمدي", "9450000", "4725000"},
        {"207", "1403/03/15", "مياندوآب", "گل تپه", "زهرا رسولي", "60000000", "30000000"},
    };
    qint64 first = 0;
    for (const auto& r : rows) {
        const qint64 pk = db.insert(QStringLiteral("komision"), {{"paper_no", QString::fromUtf8(r.no)},
                                                                 {"paper_dat", QString::fromUtf8(r.date)},
                                                                 {"city", QString::fromUtf8(r.city)},
                                                                 {"rosta", QString::fromUtf8(r.village)},
                                                                 {"darkhast", QString::fromUtf8(r.applicant)},
                                                                 {"ostan", province},
                                                                 {"malek_pardakhti", QString::fromUtf8(r.share)},
                                                                 {"malek_varizi", QString::fromUtf8(r.fee)},
                                                                 {"manzor", QStringLiteral("تغيير كاربري")},
                                                                 {"reg_dat", QString::fromUtf8(r.date)}});
        if (!first)
            first = pk;
    }
    db.insert(QStringLiteral("komision_pic"), {{"cod", first}, {"ext", ".jpg"}, {"cmt", QStringLiteral("نقشه زمين")}});
    session.login = LoginState{QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("admin")};
    Tkomision_rep screen(session);
    screen.resize(1100, 560);
    screen.prepare();
    save(screen, out, "casesearch");
}

// The gazetteer list over the sample province, searched by county, with a small sheet in
// the preview; and the village entry dialog editing the first village.
void renderGazetteer(const QDir& out)
{
    SampleDatabase sample;
    fillSampleData(sample.db());
    sample.session.login = LoginState{QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("admin")};
    Tabadiha screen(sample.session);
    screen.applyRights({true, true, true, true});
    screen.prepare();
    screen.search();
    struct Rows : SheetSource {
        int columnCount() const override { return 7; }
        QString columnName(int c) const override { return gazetteerColumns()[c].caption; }
        int rowCount() const override { return 3; }
        QString text(int r, int c) const override
        {
            const QStringList row[] = {{"0101", "فارس", "لارستان", "لار", "مرکزي", "حومه", "بنارويه"},
                                       {"0102", "فارس", "لارستان", "لار", "مرکزي", "حومه", "خور"},
                                       {"0103", "فارس", "لارستان", "", "جويم", "جويم", "بيرم"}};
            return row[r][c];
        }
    } rows;
    const QString sheet = sample.dir.filePath(QStringLiteral("gazetteer.xlsx"));
    writeXlsx(sheet, rows, {});
    screen.loadSheet(sheet);
    screen.adjustSize();
    screen.resize(960, 720);
    screen.show();
    QApplication::processEvents();
    screen.grab().save(out.filePath(QStringLiteral("gazetteer.png")));
    QTextStream(stdout) << out.filePath(QStringLiteral("gazetteer.png")) << '\n';

    Tabadiha_ins& entry = screen.entryScreen();
    QVariantMap row;
    for (const QString& f : screen.villages().fieldNames())
        row.insert(f.toLower(), screen.villages().value(f));
    entry.prepareEdit(screen.villages().value(QStringLiteral("id")), row);
    save(entry, out, "gazetteer-entry");
}

// The message screen of the administrator over the sample office's messages (a long
// subject and a text of several lines, two recipients ticked), and the phone book with
// long names and a search by name.
void renderMessagesAndPhoneBook(const QDir& out)
{
    SampleDatabase sample;
    fillSampleData(sample.db());
    Database& db = sample.db();
    sample.session.login = LoginState{QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("admin")};
    for (const QString& subject : {QStringLiteral("اداري"), QStringLiteral("فوري"), QStringLiteral("جلسه")})
        db.insert(QStringLiteral("setting"),
                  {{QStringLiteral("component"), lists::MessageSubject}, {QStringLiteral("cmt"), subject}});
    const qint64 someone = db.scalar(QStringLiteral("SELECT max(id) FROM users")).toLongLong();
    db.insert(
        QStringLiteral("payamha"),
        {{QStringLiteral("send_prs_id"), someone},
         {QStringLiteral("rec_prs_id"), 1},
         {QStringLiteral("send_dat"), QStringLiteral("1403/12/29")},
         {QStringLiteral("show_dat"), QStringLiteral("")},
         {QStringLiteral("mozo"),
          QStringLiteral("درخواست بررسي مجدد پرونده هاي تغيير كاربري اراضي روستايي شهرستان در كميسيون ماه آينده")},
         {QStringLiteral("cmt"), QStringLiteral("با سلام\nپرونده هاي شماره 1403/125 و 1403/126 براي بررسي مجدد "
                                                "ارسال شد. لطفا تا پايان هفته نتيجه را اعلام فرماييد.\nبا سپاس")
                                     .toUtf8()}});
    Tpayam messages(sample.session);
    messages.prepare();
    messages.findChild<QComboBox*>(QStringLiteral("mozo"))->setEditText(QStringLiteral("فوري"));
    messages.findChild<QPlainTextEdit*>(QStringLiteral("cmt"))
        ->setPlainText(QStringLiteral("جلسه كميسيون روز شنبه ساعت 10 در دبيرخانه استان برگزار مي شود."));
    auto* recipients = messages.findChild<QListWidget*>(QStringLiteral("prs_list"));
    for (int i = 0; i < recipients->count() && i < 2; ++i)
        recipients->item(i)->setCheckState(Qt::Checked);
    messages.resize(1000, 700);
    messages.show();
    QApplication::processEvents();
    messages.grab().save(out.filePath(QStringLiteral("messages.png")));
    QTextStream(stdout) << out.filePath(QStringLiteral("messages.png")) << '\n';

    db.insert(
        QStringLiteral("phone"),
        {{QStringLiteral("name"), QStringLiteral("اداره كل امور اراضي و منابع طبيعي و آبخيزداري استان - دفتر مديركل")},
         {QStringLiteral("tel"), QStringLiteral("031-33221100 داخلي 2145")},
         {QStringLiteral("cmt"), QStringLiteral("ساختمان شماره دو، طبقه سوم، روبروي دبيرخانه كميسيون")}});
    Tphone phones(sample.session);
    phones.applyRights({true, false, true, true});
    phones.prepare();
    phones.findChild<QLineEdit*>(QStringLiteral("src"))->setText(QStringLiteral("اداره"));
    phones.resize(820, 460);
    phones.show();
    QApplication::processEvents();
    phones.grab().save(out.filePath(QStringLiteral("phone.png")));
    QTextStream(stdout) << out.filePath(QStringLiteral("phone.png")) << '\n';
}

// The program attachments and the database backup (administration).
void renderAttachmentsAndBackup(const QDir& out)
{
    SampleDatabase sample;
    fillSampleData(sample.db());
    Session& session = sample.session;
    session.login = LoginState{QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("admin")};
    Database& db = sample.db();
    const QStringList counties = allCounties(db);
    const struct {
        QString title;
        const char* name;
        const char* password;
    } files[] = {
        {attachment::NewestPackage, "tarvest_1403.10.deb", ""},
        {attachment::FontHelp, "font-help.pdf", ""},
        {attachment::signatureTitle(counties.value(0)), "emza.jpeg", "s3cret"},
        {attachment::signatureTitle(counties.value(1)), "emza2.jpg", "1234"},
    };
    for (const auto& f : files) {
        QFile file(sample.dir.filePath(QString::fromUtf8(f.name)));
        file.open(QIODevice::WriteOnly);
        file.write("sample");
        file.close();
        storeAttachment(db, f.title, QString::fromUtf8(f.password), file.fileName());
    }
    Tzamaem attachments(session);
    attachments.prepare();
    attachments.findChild<QLineEdit*>(QStringLiteral("ramz"))->setText(QStringLiteral("secret"));
    auto* titles = attachments.findChild<QComboBox*>(QStringLiteral("Combo_type"));
    titles->setCurrentIndex(titles->count() - 1);
    attachments.resize(700, 420);
    attachments.show();
    QApplication::processEvents();
    attachments.grab().save(out.filePath(QStringLiteral("zamaem.png")));
    QTextStream(stdout) << out.filePath(QStringLiteral("zamaem.png")) << '\n';

    Tbackup backup(session);
    backup.setFolder(QDir::homePath());
    backup.resize(420, 460);
    backup.show();
    QApplication::processEvents();
    backup.grab().save(out.filePath(QStringLiteral("backup.png")));
    QTextStream(stdout) << out.filePath(QStringLiteral("backup.png")) << '\n';
}
} // namespace

// The case prints with sample cases: the A4 and A5 commission sheets of one case, the
// decision letters and combined forms of a case with a fee and of one without, the
// register of every case (two pages) and the minutes of one meeting; PDF and PNG.
void renderCasePrints(const QDir& out)
{
    SampleDatabase sample;
    Session& session = sample.session;
    Database& db = sample.db();
    const std::pair<const QString&, const char*> settings[] = {
        {lists::DirectorGeneral, "محمد رضايي"},  {lists::RuralDeputy, "علي اكبري"},
        {lists::SupportDeputy, "حسين موسوي"},    {lists::SecurityHead, "مهدي كاظمي"},
        {lists::LegalExpert, "زهرا نوري"},       {lists::RuralDeputyPostTitle, "سرپرست محترم عمران روستايي"},
        {lists::TransactionsLetterNo, "5210/ص"}, {lists::TransactionsLetterDate, "1403/01/20"}};
    for (const auto& [list, value] : settings)
        addSettingValue(db, list, QString::fromUtf8(value));
    const char* villages[] = {"قره حسنلو", "باراندوز", "قطور", "گل تپه", "سيلوانا", "نازلو"};
    const char* counties[] = {"اروميه", "اروميه", "خوي", "مياندوآب", "اروميه", "اروميه"};
    // The first case carries long values: a full name of 70 characters and a fee of ten
    // digits, to show that nothing is cut.
    const QString longName = QStringLiteral("سيد محمدحسين موسوي نژاد فرزند علي اكبر ساكن روستاي قره آغاج، بخش مركزي");
    for (int i = 0; i < 16; ++i) {
        const QString fee = i == 0       ? QStringLiteral("1234567890")
                            : i % 4 == 1 ? QString()
                                         : QString::number(12500000 + i * 1375000);
        const QString applicant = i == 0   ? longName
                                  : i == 2 ? QStringLiteral("سيد محمدحسين موسوي نژاد")
                                           : QString::fromUtf8(i % 2 ? "رضا احمدي" : "علي كريمي");
        db.insert(
            QStringLiteral("komision"),
            {{"paper_no", QStringLiteral("%1/12").arg(4521 + i)},
             {"paper_dat", QStringLiteral("1403/02/%1").arg(10 + i % 9, 2, 10, QChar(u'0'))},
             {"city", QString::fromUtf8(counties[i % 6])},
             {"rosta", QString::fromUtf8(villages[i % 6])},
             {"darkhast", applicant},
             {"phone", QStringLiteral("0914%1").arg(3412000 + i)},
             {"manzor", QStringLiteral("تغيير كاربري")},
             {"abadi_cod", QStringLiteral("%1").arg(230114 + i)},
             {"moshaver", QStringLiteral("طرح و انديشه")},
             {"tasvib_dat", QStringLiteral("1399/08/14")},
             {"m_paper_no", QStringLiteral("%1").arg(880 + i)},
             {"m_paper_dat", QStringLiteral("1403/01/25")},
             {"sanad", QStringLiteral("شش دانگ")},
             {"karbari1", QStringLiteral("باغ")},
             {"karbari2", QStringLiteral("مسكوني")},
             {"metraj", QStringLiteral("%1.5").arg(480 + 20 * i)},
             {"takhrib_masahat", QStringLiteral("20")},
             {"bazdid_dat", QStringLiteral("1403/02/01")},
             {"reg_dat", QStringLiteral("1403/02/25")},
             {"komision_t_k_dat", QStringLiteral("1403/04/11")},
             {"komision_t_k", QStringLiteral("موافقت شد")},
             {"tasvib_b_dat", QStringLiteral("1403/05/02")},
             {"tasvib_result", QStringLiteral("تصويب شد")},
             {"tasvib_paper_no", QStringLiteral("%1/ص").arg(7710 + i)},
             {"tasvib_paper_dat", QStringLiteral("1403/05/09")},
             {"cmt", QStringLiteral("پرونده كامل است")},
             {"masahat_na", QStringLiteral("%1").arg(500 + 20 * i)},
             {"masahat_khales", QStringLiteral("%1").arg(410 + 16 * i)},
             {"melk_arzesh", QStringLiteral("%1").arg(250000000 + i * 1000000)},
             {"ghimat_karshenasi_kh", QStringLiteral("500000")},
             {"ghimat_karshenasi_d", QStringLiteral("1500000")},
             {"malek_sahm", QStringLiteral("20")},
             {"malek_varizi", fee},
             {"komision_dat", QStringLiteral("1403/03/21")},
             {"malek_pardakhti", QStringLiteral("%1").arg(14500000 + i * 250000)},
             {"paper_no2", QStringLiteral("%1/ص").arg(6120 + i)},
             {"paper_dat2", QStringLiteral("1403/04/15")},
             {"mashmol",
              QStringLiteral(
                  "مشمول بند (د) شيوه نامه توافق با مالكين اراضي روستايي بوده و هزينه خدمات فني به ميزان مقرر پرداخت مي شود")},
             {"fani",
              QStringLiteral(
                  "طرح موضوع در كميسيون با رعايت ضوابط طرح هادي مصوب و حفظ حريم معابر و رعايت عقب نشيني به ميزان دو متر از بر گذر اصلي بلامانع است")},
             {"zamin",
              QStringLiteral(
                  "با توجه به مدارك پيوست و ارزيابي كارشناس رسمي، قيمت روز زمين تعيين و سهم ورتاليس بر اساس جدول فوق محاسبه گرديد")},
             {"dabir", QStringLiteral("جهت طرح در جلسه آتي كميسيون معاملات")},
             {"komision_idea",
              QStringLiteral(
                  "با درخواست متقاضي موافقت و مقرر گرديد مبلغ تعيين شده ظرف مدت يك ماه به حساب ورتاليس واريز گردد")}});
    }
    session.cases.open(QStringLiteral("select * from komision order by pk"));
    const caseprint::PrintSettings s = caseprint::PrintSettings::read(db);

    auto write = [&](const QString& name, const caseprints::PreparedPrint& p) {
        report::renderToPdf(p.layout, p.data, out.filePath(name + QStringLiteral(".pdf")));
        const QList<QImage> pages = report::renderToImages(p.layout, p.data, 110);
        for (int i = 0; i < pages.size(); ++i) {
            const QString path = out.filePath(QStringLiteral("%1-%2.png").arg(name).arg(i + 1));
            pages[i].save(path);
            QTextStream(stdout) << path << '\n';
        }
    };
    auto filled = [](const QString& layout, const caseprint::FormFill& fill, const ResultSet* data = nullptr) {
        caseprints::PreparedPrint p{report::Layout::load(layout), data};
        caseprints::apply(p.layout, fill);
        return p;
    };
    session.cases.moveTo(1);
    const caseprint::CaseRow c = caseprint::currentRow(session.cases);
    write(QStringLiteral("print-commission-sheet-a4"),
          filled(caseprints::CommissionSheetA4, caseprint::commissionSheetA4(c, s, QStringLiteral("1403/04/02"), 10)));
    write(QStringLiteral("print-commission-sheet-a5"),
          filled(caseprints::CommissionSheetA5, caseprint::commissionSheetA5(c, s, QStringLiteral("1403/04/02"))));
    // The decision letters and the combined forms of the same case, and of the next one,
    // which has no fee.
    using caseprint::DecisionLetter;
    const std::pair<DecisionLetter, const char*> letters[] = {{DecisionLetter::Money, "money"},
                                                              {DecisionLetter::Share, "share"},
                                                              {DecisionLetter::LandGroup, "land-group"},
                                                              {DecisionLetter::MixedUse, "mixed-use"},
                                                              {DecisionLetter::ConditionalUse, "conditional-use"}};
    for (int row : {1, 2}) {
        session.cases.moveTo(row);
        const QString suffix = row == 1 ? QString() : QStringLiteral("-no-fee");
        for (const auto& [letter, name] : letters) {
            write(QStringLiteral("print-letter-%1%2").arg(QLatin1String(name), suffix),
                  caseprints::prepareDecisionLetter(session, letter));
            if (letter != DecisionLetter::LandGroup)
                write(QStringLiteral("print-form-%1%2").arg(QLatin1String(name), suffix),
                      caseprints::prepareCombinedForm(session, letter));
        }
    }
    session.cases.moveTo(2);
    write(QStringLiteral("print-commission-sheet-a4-share"),
          filled(caseprints::CommissionSheetA4,
                 caseprint::commissionSheetA4(caseprint::currentRow(session.cases), s, QString(), 10)));
    write(QStringLiteral("print-register"), caseprints::prepareRegister(session));
    session.cases.open(QStringLiteral("select * from komision where pk <= 4 order by pk"));
    write(QStringLiteral("print-minutes"),
          filled(caseprints::Minutes,
                 caseprint::minutesSheet(caseprint::villagesOf(session.cases),
                                         caseprint::rowAt(session.cases, session.cases.recordCount() - 1),
                                         QStringLiteral("10:30")),
                 &session.cases));

    // The county forms of the first case, with the values only they print.
    caseprint::CaseRow county = c;
    county.insert(QStringLiteral("bakhsh"), QStringLiteral("مركزي"));
    county.insert(QStringLiteral("dehestan"), QStringLiteral("باراندوز چاي"));
    county.insert(QStringLiteral("kharej"), QStringLiteral("450000"));
    county.insert(QStringLiteral("price_metr"), QStringLiteral("1500000"));
    county.insert(QStringLiteral("fish_no"), QStringLiteral("778812"));
    county.insert(QStringLiteral("fish_mablagh"), QStringLiteral("2500000"));
    write(QStringLiteral("print-review-form"), filled(countyprints::ReviewForm, caseprint::reviewForm(county)));
    const QStringList answers = {QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("0"),
                                 QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
                                 QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("0"),
                                 QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("1")};
    caseprints::PreparedPrint declaration = filled(countyprints::DeclarationForm,
                                                   caseprint::declarationForm(county, answers));
    write(QStringLiteral("print-declaration-form"), declaration);
    // Signed: a stand-in signature over the title lines.
    QImage signature(600, 200, QImage::Format_RGB32);
    signature.fill(QColor(0xf4, 0xf4, 0xff));
    {
        QPainter painter(&signature);
        painter.setPen(QPen(QColor(0x20, 0x30, 0x90), 6));
        painter.drawEllipse(QRect(150, 40, 300, 120));
        painter.drawLine(100, 150, 500, 60);
    }
    declaration.layout.bringToFront(caseprint::labels::Signature);
    declaration.layout.setPicture(caseprint::labels::Signature, signature);
    write(QStringLiteral("print-declaration-form-signed"), declaration);
    write(QStringLiteral("print-accounting-form"),
          filled(countyprints::AccountingForm, caseprint::accountingForm(county)));
}

// The land-pricing screens and forms: the transfer types, the price search over a few
// assessments (long Persian names, 15-digit amounts), the entry editing one of them,
// and the province, county and urban-housing forms as PDF and PNG.
void renderPricing(const QDir& out)
{
    SampleDatabase sample;
    Session& session = sample.session;
    Database& db = sample.db();
    session.login = LoginState{QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("admin")};
    const std::pair<const QString&, const char*> settings[] = {{lists::PlotsUnder12Coefficient, "1"},
                                                               {lists::Plots12To16Coefficient, "1.1"},
                                                               {lists::PlotsOver16Coefficient, "1.2"},
                                                               {lists::ServiceLandCoefficient, "1"},
                                                               {lists::PriceFinders, "قولنامه هاي معاملات"},
                                                               {lists::PriceFinders, "کارشناس رسمي دادگستري"},
                                                               {lists::PriceFinders, "مسئولين محلي"},
                                                               {lists::LandUseKinds, "مسكوني"},
                                                               {lists::LandUseKinds, "تجاري"},
                                                               {lists::LandProvider, "منابع طبيعي"}};
    for (const auto& [list, value] : settings)
        addSettingValue(db, list, QString::fromUtf8(value));
    for (const auto& [name, k] :
         {std::pair{"عادي", 1.0}, std::pair{"متقاضيان غيربومي", 1.5}, std::pair{"مسکن شهري", 0.8}})
        db.insert(QStringLiteral("vagozarityp"), {{"vagozari", QString::fromUtf8(name)}, {"zarib", k}});
    struct Sample {
        const char *city, *rosta, *karbari, *paper;
        qint64 arzesh;
    };
    const Sample rows[] = {
        {"اروميه", "قره حسنلو عليا و سفلي (باراندوز چاي جنوبي)", "مسكوني", "4662/ص", 1000000},
        {"خوي", "قطور", "تجاري", "4663/ص", 850000},
        {"مياندوآب", "گل تپه", "مسكوني", "4701/12", 999999999999999},
    };
    for (const Sample& r : rows) {
        const pricing::DerivedPrices p = pricing::derivePrices(r.arzesh, u"1.5", {"1", "1.1", "1.2", "1"});
        db.insert(QStringLiteral("ghimat"), {{"city", QString::fromUtf8(r.city)},
                                             {"bakhsh", QStringLiteral("مركزي")},
                                             {"dehestan", QStringLiteral("باراندوز چاي")},
                                             {"rosta", QString::fromUtf8(r.rosta)},
                                             {"abadi_cod", QStringLiteral("0230114")},
                                             {"karbari", QString::fromUtf8(r.karbari)},
                                             {"sal", QStringLiteral("1402")},
                                             {"tamin", QStringLiteral("منابع طبيعي")},
                                             {"paper_no", QString::fromUtf8(r.paper)},
                                             {"paper_dat", QStringLiteral("1403/02/10")},
                                             {"arzesh", r.arzesh},
                                             {"vagozari", QStringLiteral("متقاضيان غيربومي")},
                                             {"paye_zarib", 1.5},
                                             {"paye", p.paye},
                                             {"mojaver12", p.mojaver12},
                                             {"mojaver16", p.mojaver16},
                                             {"mojaver_max", p.mojaverMax},
                                             {"khadamati", p.khadamati}});
    }

    Tghimat_typ types(session);
    types.applyRights({true, true, true, true});
    types.prepare();
    save(types, out, "transfer-types");

    Tghimat_src search(session);
    search.applyRights({true, true, true, true});
    search.prepare();
    search.resize(1200, 420);
    search.show();
    QApplication::processEvents();
    search.grab().save(out.filePath(QStringLiteral("price-search.png")));
    QTextStream(stdout) << out.filePath(QStringLiteral("price-search.png")) << '\n';

    session.prices.first();
    Tghimat_ins& entry = search.entryScreen();
    entry.show();
    entry.prepareEdit();
    save(entry, out, "price-entry");
    entry.hide();

    auto write = [&](const QString& name, const std::optional<priceprints::PreparedPriceForm>& form) {
        if (!form)
            return;
        const QString pdf = out.filePath(name + ".pdf");
        report::renderToPdf(form->layout, form->data.get(), pdf);
        const QList<QImage> pages = report::renderToImages(form->layout, form->data.get(), 110);
        for (int i = 0; i < pages.size(); ++i)
            pages[i].save(out.filePath(QStringLiteral("%1-%2.png").arg(name).arg(i + 1)));
        QTextStream(stdout) << pdf << '\n';
    };
    session.prices.first();
    write(QStringLiteral("print-price-province"), priceprints::prepareProvinceForm(session));
    write(QStringLiteral("print-price-county"), priceprints::prepareCountyForm(session));
    write(QStringLiteral("print-price-urban"), priceprints::prepareUrbanHousingForm(session));
    session.prices.next();
    write(QStringLiteral("print-price-province-commercial"), priceprints::prepareProvinceForm(session));
}

// The calculator after a calculation with a fractional property value and payment.
// The fee documents: the search with sample documents of long county names and
// fifteen-digit amounts, the entry screen computed, the other experts' dialog, and the
// four prints as PDF and PNG.
void renderFees(const QDir& out)
{
    SampleDatabase sample;
    Database& db = sample.db();
    sample.session.login = LoginState{QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("admin")};
    addSettingValue(db, lists::FeePerMember, QStringLiteral("2500000"));
    addSettingValue(db, lists::MemberCount, QStringLiteral("5"));
    addSettingValue(db, fees::holderListName(QStringLiteral("مدير کل")),
                    QStringLiteral("دکتر محمدرضا حسيني فيروزآبادي"));
    addSettingValue(db, fees::holderListName(QStringLiteral("معاون عمران روستايي")), QStringLiteral("مهندس علي اکبري"));
    const QStringList counties = {QStringLiteral("چهارمحال و بختياري - شهرکرد"), QStringLiteral("لارستان"),
                                  QStringLiteral("نجف آباد"), QStringLiteral("مرودشت")};
    int n = 0;
    for (const QString& county : counties) {
        for (int year : {1401, 1402}) {
            ++n;
            const bool receipts = n % 3 == 0;
            fees::FeeInputs in;
            in.receipts = receipts;
            in.rostaCnt = QString::number(120 + n * 7);
            in.shahrCnt = QString::number(35 + n);
            in.ozvCnt = QStringLiteral("5");
            in.ozvMablagh = 2500000;
            in.vartalisSahm = in.sabtSahm = 1250000;
            in.fishMablagh = receipts ? 987654321012345 : 0;
            in.fishMablagh2 = receipts ? 123456789012345 : 0;
            in.percentTexts = fees::defaultPercentTexts();
            QVariantMap row{{"city", county},
                            {"sal", QString::number(year)},
                            {"fish", receipts ? 1 : 0},
                            {"rosta_cnt", in.rostaCnt},
                            {"shahr_cnt", in.shahrCnt},
                            {"ozv_cnt", 5},
                            {"ozv_mablagh", in.ozvMablagh},
                            {"vartalis_sahm", in.vartalisSahm},
                            {"sabt_sahm", in.sabtSahm},
                            {"fish_mablagh", in.fishMablagh},
                            {"fish_mablagh2", in.fishMablagh2},
                            {"fish_name", receipts ? QStringLiteral("سيد محمدحسين موسوي نژاد") : QString()},
                            {"fish_name2", receipts ? QStringLiteral("زهرا قاسمي") : QString()}};
            for (const auto& [column, text] : fees::distribute(in))
                row.insert(column, text);
            const qint64 id = db.insert(QStringLiteral("asnad"), row);
            db.insert(QStringLiteral("sayerkar"),
                      {{"asnad_id", id},
                       {"nam", n % 2 ? QStringLiteral("فاطمه محمدي") : QStringLiteral("رضا کريمي")},
                       {"darsad", 50},
                       {"mablagh", row.value("sayer_kar").toLongLong() / 2}});
        }
    }
    Tasnad_src screen(sample.session);
    screen.applyRights({true, true, true, true});
    screen.prepare(QSize(1200, 700));
    screen.show();
    QApplication::processEvents();
    screen.grab().save(out.filePath(QStringLiteral("fees-search.png")));
    QTextStream(stdout) << out.filePath(QStringLiteral("fees-search.png")) << '\n';

    Tasnad_ins& entry = screen.entryScreen();
    screen.documents().moveTo(3);
    entry.prepareEdit();
    entry.show();
    entry.applyShowingSteps();
    save(entry, out, "fees-entry");
    Tasnad_sayer_kar& experts = entry.expertsDialog();
    experts.prepare(screen.documents().value(QStringLiteral("id")).toLongLong(), 1234567890, nullptr);
    save(experts, out, "fees-experts");

    auto print = [&](const report::Layout& layout, const ResultSet* data, const QString& name) {
        report::renderToPdf(layout, data, out.filePath(name + ".pdf"));
        const QList<QImage> pages = report::renderToImages(layout, data, 110);
        for (int i = 0; i < pages.size(); ++i) {
            const QString path = out.filePath(QStringLiteral("%1-%2.png").arg(name).arg(i + 1));
            pages[i].save(path);
            QTextStream(stdout) << path << '\n';
        }
    };
    print(feeprints::documentList(screen.totals(), QStringLiteral("1403/05/01")), &screen.documents(),
          "fees-asnad_rep");
    print(feeprints::distributionTables(screen.totals()), nullptr, "fees-asnad_rep4");
    {
        feeprints::PreparedStatement p = feeprints::statementBySource(db);
        print(p.layout, p.rows.get(), "fees-asnad_rep2");
    }
    {
        feeprints::PreparedStatement p = feeprints::statementByPost(db);
        print(p.layout, p.rows.get(), "fees-asnad_rep3");
    }
}

void renderCalculator(const QDir& out)
{
    Thesab calc;
    calc.prepare();
    calc.findChild<QLineEdit*>(QStringLiteral("metraj2"))->setText(QStringLiteral("250.5"));
    calc.findChild<QLineEdit*>(QStringLiteral("price_metr2"))->setText(QStringLiteral("1000001"));
    calc.calculate();
    save(calc, out, "calculator");
}

// Land identification: the land search over records with long Persian texts, the entry
// screen editing one of them, and the land report (PDF and PNG).
namespace {

void renderLands(const QDir& out)
{
    SampleDatabase sample;
    fillSampleData(sample.db());
    Session& session = sample.session;
    session.login = LoginState{QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("admin")};
    const QStringList counties = {QStringLiteral("آبشار"), QStringLiteral("شهرستان نمونه شمالي"),
                                  QStringLiteral("كوهستان")};
    for (int i = 0; i < 14; ++i) {
        QVariantMap v = landValues({});
        v[QStringLiteral("shahrestan")] = counties[i % 3];
        v[QStringLiteral("bakhsh")] = QStringLiteral("مرکزي");
        v[QStringLiteral("dehestan")] = QStringLiteral("دهستان حومه غربي");
        v[QStringLiteral("rosta")] = i == 0 ? QStringLiteral("قلعه نو عليا و سفلي (ده بالا)")
                                            : QStringLiteral("روستاي %1").arg(i + 1);
        v[QStringLiteral("abadi")] = QStringLiteral("0%1").arg(2301001 + i);
        v[QStringLiteral("khanevar")] = QString::number(120 + i * 17);
        v[QStringLiteral("jamiyat")] = QString::number(480 + i * 61);
        v[QStringLiteral("utm_x")] = QStringLiteral("512345.67");
        v[QStringLiteral("utm_y")] = QStringLiteral("3987654.21");
        v[QStringLiteral("marhale")] = i % 2 ? QStringLiteral("فاز دوم - بازنگري") : QStringLiteral("فاز اول");
        v[QStringLiteral("tarh")] = QStringLiteral("طرح هادي");
        v[QStringLiteral("motale")] = i % 3 ? QStringLiteral("تفصيلي") : QStringLiteral("اجمالي");
        v[QStringLiteral("marja")] = QStringLiteral("اداره كل منابع طبيعي و آبخيزداري");
        v[QStringLiteral("cad")] = QStringLiteral("دارد");
        v[QStringLiteral("kmz")] = QStringLiteral("ندارد");
        v[QStringLiteral("meli")] = QStringLiteral("12.5");
        v[QStringLiteral("oghaf")] = QStringLiteral("3.25");
        v[QStringLiteral("moshaver")] = QStringLiteral("مهندسين مشاور طرح و كاوش پارس");
        v[QStringLiteral("far_cmt")] = QStringLiteral("مكاتبه با فرمانداري انجام شد و پاسخ آن در پرونده است");
        v[QStringLiteral("far_dat")] = QStringLiteral("1403/02/15");
        v[QStringLiteral("manabe_no")] = QStringLiteral("4662/ص/1403");
        v[QStringLiteral("mas")] = QStringLiteral("123456789012345");
        sample.db().insert(QStringLiteral("arazi"), v);
    }
    Tarazi_src screen(session);
    screen.applyRights({true, true, true, true});
    screen.prepare();
    screen.resize(1200, 720);
    screen.show();
    QApplication::processEvents();
    screen.grab().save(out.filePath(QStringLiteral("lands.png")));
    QTextStream(stdout) << out.filePath(QStringLiteral("lands.png")) << '\n';

    session.lands.first();
    screen.entryScreen().prepareEdit();
    Tarazi_ins& entry = screen.entryScreen();
    entry.resize(1150, 900);
    entry.show();
    QApplication::processEvents();
    entry.grab().save(out.filePath(QStringLiteral("lands-entry.png")));
    QTextStream(stdout) << out.filePath(QStringLiteral("lands-entry.png")) << '\n';

    const report::Layout layout = landprints::prepareLandReport(session.lands, QStringLiteral("1404/02/09"));
    report::renderToPdf(layout, &session.lands, out.filePath(QStringLiteral("print-lands.pdf")));
    const QList<QImage> pages = report::renderToImages(layout, &session.lands, 110);
    for (int i = 0; i < pages.size(); ++i) {
        const QString path = out.filePath(QStringLiteral("print-lands-%1.png").arg(i + 1));
        pages[i].save(path);
        QTextStream(stdout) << path << '\n';
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    applyInterfaceLook(app);
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
        renderShell(out);
        renderSettings(out);
        renderUsers(out);
        renderCalculator(out);
        renderCasePictures(out);
        renderCaseEntry(out);
        renderCaseSearch(out);
        renderGazetteer(out);
        renderMessagesAndPhoneBook(out);
        renderCasePrints(out);
        renderPricing(out);
        renderFees(out);
        renderAttachmentsAndBackup(out);
        renderLands(out);
    } catch (const Error& e) {
        QTextStream(stderr) << e.message() << '\n';
        return 1;
    }
    return 0;
}
