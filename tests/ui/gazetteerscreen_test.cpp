// The gazetteer screens over a real database: opening, the search filters and the grid,
// new and edited villages with their messages and log records, deleting with the delete
// password, each renaming item, the export, and the replacement from a spreadsheet.
#include "admin/gazetteerscreen.h"
#include "common/spreadsheet.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "gazetteer.h"
#include "table_source.h"
#include "testdb.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

using namespace tarvest;
using namespace tarvest::test;
using namespace tarvest::test::gz;

namespace {

const QStringList Heading = {"کد آبادي", "استان", "شهرستان", "شهر", "بخش", "دهستان", "روستا"};

class GazetteerScreenTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        insertGazetteer(*db);
        addSettingValue(*db, lists::DeletePassword, "4321");
        session.setDatabase(tmp->openAnother());
        session.login = LoginState{"1", "admin", "admin"};
        setModalShower([this](QWidget* w) { modal << w->objectName(); });
        setXlsReaderProgram(QStringLiteral(TARVEST_ADMIN_EXE));
        screen = std::make_unique<Tabadiha>(session);
        screen->applyRights({true, true, true, true});
        screen->prepare();
    }
    void TearDown() override
    {
        screen.reset();
        setModalShower({});
    }
    void filter(const char* box, const char* field, const QString& text)
    {
        screen->findChild<QCheckBox*>(box)->setChecked(true);
        screen->findChild<QLineEdit*>(field)->setText(text);
    }
    QString count() { return screen->findChild<QLabel*>("cnt")->text(); }
    QStringList listed(const QString& column)
    {
        QStringList out;
        ResultSet& rs = screen->villages();
        for (int r = 0; r < rs.recordCount(); ++r)
            out << rs.textAt(r, rs.fieldIndex(column));
        return out;
    }
    void trigger(const char* action) { screen->findChild<QAction*>(action)->trigger(); }
    QComboBox* field(const char* name) { return screen->entryScreen().findChild<QComboBox*>(name); }
    QStringList logTexts()
    {
        QStringList out;
        QSqlQuery q = db->exec("select cmt from log order by id");
        while (q.next())
            out << q.value(0).toString();
        return out;
    }
    QStringList snapshot()
    {
        QStringList rows;
        QSqlQuery q = db->exec("select id,cod,ostan,shahrestan,shahr,bakhsh,dehestan,rosta from abadiha order by id");
        while (q.next()) {
            QStringList r;
            for (int c = 0; c < 8; ++c)
                r << q.value(c).toString();
            rows << r.join(u'|');
        }
        return rows;
    }
    QString xlsx(const QString& name, const QStringList& heading, const QList<QStringList>& rows)
    {
        tarvest::testing::TableSource src;
        src.names = heading;
        src.data = rows;
        const QString path = dir.filePath(name);
        writeXlsx(path, src, {});
        return path;
    }

    FakeDialogs dialogs;
    Session session;
    std::unique_ptr<Tabadiha> screen;
    QStringList modal;
    QTemporaryDir dir;
};

} // namespace

TEST_P(GazetteerScreenTest, OpensEmptyAndSearchesWithTheTickedFilters)
{
    EXPECT_EQ(count(), "0");
    EXPECT_EQ(screen->findChild<QLabel*>("cnt2")->text(), "0");
    EXPECT_FALSE(screen->villages().isOpen());
    screen->search();
    EXPECT_EQ(count(), "8");
    EXPECT_EQ(screen->villages().recordCount(), 8);
    filter("CheckBox4", "ostan", Fars);
    filter("CheckBox5", "bakhsh", "کوار");
    screen->search();
    EXPECT_EQ(count(), "2");
    EXPECT_EQ(listed("cod"), (QStringList{"102", "103"}));
    // Unticking a filter drops it.
    screen->findChild<QCheckBox*>("CheckBox5")->setChecked(false);
    screen->search();
    EXPECT_EQ(count(), "5");

    // The grid shows the seven columns in its order and nothing else.
    auto* grid = screen->findChild<QTableView*>("DBGrid1");
    QStringList titles;
    for (int v = 0; v < grid->model()->columnCount(); ++v) {
        const int logical = grid->horizontalHeader()->logicalIndex(v);
        if (!grid->isColumnHidden(logical))
            titles << grid->model()->headerData(logical, Qt::Horizontal).toString();
    }
    EXPECT_EQ(titles, Heading);
}

TEST_P(GazetteerScreenTest, MenuFollowsThePageRights)
{
    screen->applyRights({true, false, false, true});
    EXPECT_TRUE(screen->findChild<QAction*>("N1")->isEnabled());
    EXPECT_TRUE(screen->findChild<QPushButton*>("ins_btn")->isEnabled());
    EXPECT_FALSE(screen->findChild<QAction*>("N2")->isEnabled());
    EXPECT_FALSE(screen->findChild<QAction*>("N3")->isEnabled());
    screen->applyRights({false, true, true, true});
    EXPECT_FALSE(screen->findChild<QAction*>("N1")->isEnabled());
    EXPECT_FALSE(screen->findChild<QPushButton*>("ins_btn")->isEnabled());
    EXPECT_TRUE(screen->findChild<QAction*>("N3")->isEnabled());
}

TEST_P(GazetteerScreenTest, NewVillageShowsBothDuplicateMessagesThenSaves)
{
    trigger("N1");
    EXPECT_EQ(modal, QStringList{"Tabadiha_ins"});
    Tabadiha_ins& entry = screen->entryScreen();
    EXPECT_FALSE(entry.findChild<QPushButton*>("ins_btn")->isHidden());
    EXPECT_TRUE(entry.findChild<QPushButton*>("edit_btn")->isHidden());
    entry.setFields({"101", Fars, Markazi, "", "", "", "آبباریک"});
    entry.saveNew();
    entry.setFields({"101", Fars, Markazi, "", "", "", "دیگر"});
    entry.saveNew();
    EXPECT_EQ(dialogs.shown,
              (QStringList{"خطا! شهرستان و روستا و استان و کدآبادي تکراري است", "خطا! کد آبادي تکراريست"}));
    entry.setFields({"0999", Fars, Larestan, "لار", "ب", "د", "ده نو"});
    entry.saveNew();
    EXPECT_EQ(dialogs.shown.last(), "ثبت شد");
    EXPECT_EQ(listed("cod"), QStringList{"0999"});
    EXPECT_EQ(logTexts(), QStringList{" ثبت کدآبادي جديد  0999 admin"});
}

TEST_P(GazetteerScreenTest, EditKeepsOrChangesTheCodeWithItsChecks)
{
    filter("CheckBox3", "cod", "301");
    screen->search();
    trigger("N2");
    Tabadiha_ins& entry = screen->entryScreen();
    EXPECT_TRUE(entry.findChild<QPushButton*>("ins_btn")->isHidden());
    EXPECT_EQ(field("rosta")->currentText(), "بنارویه");
    EXPECT_EQ(field("shahr")->currentText(), "لار");
    field("rosta")->setEditText("بنارویه نو");
    entry.saveChanges();
    EXPECT_EQ(listed("rosta"), QStringList{"بنارویه نو"});
    trigger("N2");
    field("cod")->setEditText("401");
    entry.saveChanges();
    EXPECT_EQ(dialogs.shown.last(), "خطا! کد آبادي تکراري است");
    EXPECT_EQ(logTexts(), QStringList{" ويرايش آبادي  301 admin"});
}

TEST_P(GazetteerScreenTest, DeleteAsksThePasswordAndRefreshesEitherWay)
{
    filter("CheckBox3", "cod", "50");
    screen->search();
    ASSERT_EQ(screen->villages().recordCount(), 1);
    db->insert("abadiha", {{"ostan", Fars}, {"cod", "5077"}}); // a new match appears on refresh
    dialogs.inputs << "wrong";
    trigger("N3");
    EXPECT_EQ(db->scalar("select count(*) from abadiha where cod='501'").toInt(), 1);
    EXPECT_EQ(screen->villages().recordCount(), 2);
    EXPECT_TRUE(dialogs.masked.contains("Delete Password | رمز حذف"));
    screen->villages().locate("cod", "501");
    dialogs.inputs << "4321";
    trigger("N3");
    EXPECT_EQ(dialogs.shown.last(), "حذف شد");
    EXPECT_EQ(db->scalar("select count(*) from abadiha where cod='501'").toInt(), 0);
    EXPECT_EQ(listed("cod"), QStringList{"5077"});
    EXPECT_EQ(count(), "1");
    EXPECT_EQ(logTexts(), QStringList{" حذف آبادي  501 admin"});
}

TEST_P(GazetteerScreenTest, EachRowRenameItemRenamesItsOwnLevel)
{
    const struct {
        const char* item;
        const char* column;
    } items[] = {{"rr_ostan", "ostan"},   {"rr_shahrestan", "shahrestan"}, {"rr_shahr", "shahr"},
                 {"rr_bakhsh", "bakhsh"}, {"rr_dehestan", "dehestan"},     {"rr_rosta", "rosta"}};
    filter("CheckBox3", "cod", "10");
    for (const auto& i : items) {
        screen->search();
        ASSERT_EQ(screen->villages().recordCount(), 4);
        dialogs.answers << Dialogs::Answer::Yes;
        dialogs.inputs << QStringLiteral("نو");
        trigger(i.item);
        EXPECT_EQ(db->scalar(QStringLiteral("select count(*) from abadiha where %1='نو'").arg(i.column)).toInt(), 4)
            << i.column;
        EXPECT_EQ(db->scalar("select count(*) from abadiha where ostan='نو' or shahrestan='نو' or shahr='نو' or "
                             "bakhsh='نو' or dehestan='نو' or rosta='نو'")
                      .toInt(),
                  4);
        db->exec("delete from abadiha");
        insertGazetteer(*db);
    }
    EXPECT_EQ(dialogs.asked[0], "4 اين تعداد رکورد ويرايش مي شود.آيا ادامه مي دهيد؟");
    EXPECT_EQ(logTexts().size(), 24);
    // A No changes nothing.
    screen->search();
    dialogs.answers << Dialogs::Answer::No;
    trigger("rr_ostan");
    EXPECT_EQ(db->scalar("select count(*) from abadiha where ostan='نو'").toInt(), 0);
}

TEST_P(GazetteerScreenTest, BulkRenameAfterFilteringOnTheRenamedColumnReportsNone)
{
    filter("CheckBox2", "rosta", "کوشک");
    screen->search();
    dialogs.answers << Dialogs::Answer::Yes;
    dialogs.inputs << "ده نو";
    trigger("br_rosta");
    EXPECT_EQ(dialogs.asked[0], "2اين تعداد روستا شامل اين تغيير مي شوند، آيا از اين عمل مطمئن هستيد؟");
    EXPECT_EQ(dialogs.shown.last(), " اين تعداد تغيير يافتند 0");
    EXPECT_EQ(db->scalar("select count(*) from abadiha where rosta='ده نو'").toInt(), 2);
    // The town item renames the town.
    screen->findChild<QCheckBox*>("CheckBox2")->setChecked(false);
    filter("CheckBox3", "cod", "101");
    screen->search();
    dialogs.answers << Dialogs::Answer::Yes;
    dialogs.inputs << "شهر نو";
    trigger("br_shahr");
    EXPECT_EQ(db->scalar("select count(*) from abadiha where shahr='شهر نو'").toInt(), 2);
    EXPECT_EQ(dialogs.shown.last(), " اين تعداد تغيير يافتند 2");
}

TEST_P(GazetteerScreenTest, ExportWritesTheListWithItsHeadings)
{
    screen->search();
    const QTemporaryDir out;
    dialogs.files.enqueue(out.filePath("abadiha.xlsx")); // where the clerk saves it
    screen->exportList();
    ASSERT_EQ(dialogs.opened.size(), 1);
    const SheetTable sheet = readSheet(dialogs.opened[0], "Sheet1");
    EXPECT_TRUE(sheet.columns.contains("کد آبادي"));
    EXPECT_TRUE(sheet.columns.contains("شناسه"));
    EXPECT_EQ(sheet.rows.size(), 8);
}

TEST_P(GazetteerScreenTest, ReplacementFromASpreadsheetAllOrNothing)
{
    const QStringList before = snapshot();
    // Six columns: refused before anything is asked or changed.
    ASSERT_TRUE(screen->loadSheet(xlsx("six.xlsx", Heading.mid(0, 6), {{"1", "2", "3", "4", "5", "6"}})));
    screen->findChild<QPushButton*>("ins_btn")->click();
    EXPECT_EQ(dialogs.shown.last(), "خطا! تعداد ستون ها برابر نيست: فايل اکسل 6 ستون دارد و 7 ستون لازم است");
    EXPECT_TRUE(dialogs.asked.isEmpty());
    // A repeated code is named.
    ASSERT_TRUE(screen->loadSheet(
        xlsx("twice.xlsx", Heading, {{"77", "", "", "", "", "", "a"}, {"77", "", "", "", "", "", "b"}})));
    screen->replace();
    EXPECT_TRUE(dialogs.shown.last().contains("77"));
    EXPECT_EQ(snapshot(), before);
    // A good sheet, after the confirmation.
    QList<QStringList> rows;
    for (int i = 0; i < 250; ++i)
        rows << QStringList{QStringLiteral("0%1").arg(i), Fars, Larestan, "", "ب", "د", QStringLiteral("ده %1").arg(i)};
    ASSERT_TRUE(screen->loadSheet(xlsx("good.xlsx", Heading, rows)));
    EXPECT_EQ(screen->findChild<QLabel*>("cnt2")->text(), "250");
    const int stored = db->scalar("select count(*) from abadiha").toInt();
    dialogs.answers << Dialogs::Answer::No;
    screen->replace();
    EXPECT_EQ(snapshot(), before);
    // The question names what goes and what comes.
    ASSERT_FALSE(dialogs.asked.isEmpty());
    EXPECT_TRUE(dialogs.asked.last().contains(QStringLiteral(" %1 آبادي ثبت شده حذف").arg(stored)))
        << dialogs.asked.last().toStdString();
    EXPECT_TRUE(dialogs.asked.last().contains(QStringLiteral(" 250 رديف"))) << dialogs.asked.last().toStdString();
    dialogs.answers << Dialogs::Answer::Yes;
    screen->replace();
    EXPECT_EQ(dialogs.shown.last(), "انتقال انجام شد");
    EXPECT_EQ(screen->findChild<QProgressBar*>("ProgressBar1")->value(), 250);
    EXPECT_EQ(db->scalar("select count(*) from abadiha").toInt(), 250);
    EXPECT_EQ(db->scalar("select rosta from abadiha where cod='07'").toString(), "ده 7");
    // An unreadable file gives the screen's message.
    EXPECT_FALSE(screen->loadSheet(dir.filePath("missing.xlsx")));
    EXPECT_TRUE(dialogs.shown.last().startsWith("خطا در خواندن فايل اکسل!"));
}

TARVEST_FOR_EACH_DATABASE(GazetteerScreenTest);
