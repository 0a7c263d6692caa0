// The case search screen on both databases: filters through the screen, the user's
// counties, the id list, delete with its password, attachments rights, row colours.
#include "cases/casesearchscreen.h"
#include "common/password.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "testdb.h"
#include "widgets/dateedit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

using namespace tarvest;
using namespace tarvest::test;

namespace {

class CaseSearchScreen : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        const QString urmia = QStringLiteral("اروميه"), khoy = QStringLiteral("خوي");
        struct Row {
            const char* no;
            QString city;
            QString applicant;
            const char* area;
        };
        const Row rows[] = {{"1", urmia, QStringLiteral("علي كريمي"), "250"},
                            {"2", urmia, QStringLiteral("رضا"), "1000"},
                            {"3", khoy, QStringLiteral("حسن"), "99"}};
        for (const Row& r : rows)
            keys << db->insert("komision", {{"paper_no", r.no},
                                            {"city", r.city},
                                            {"darkhast", r.applicant},
                                            {"masahat_khales", r.area},
                                            {"reg_dat", "1403/01/10"}});
        db->insert("komision_pic", {{"cod", keys[0]}, {"ext", ".jpg"}, {"pic", QByteArray("x")}});
        cityUser = db->insert("users", {{"us", QStringLiteral("اروميه")}, {"lev", "city"}});
        db->insert("dastrasi2", {{"user_id", cityUser}, {"cmt", urmia}});
        session.setDatabase(tmp->openAnother());
        session.login = LoginState{"1", "admin", "admin"};
        setModalShower([this](QWidget* w) { modal << w->objectName(); });
        screen = std::make_unique<Tkomision_rep>(session);
    }
    void TearDown() override
    {
        screen.reset();
        setModalShower({});
    }
    void tick(const char* box) { screen->findChild<QCheckBox*>(box)->setChecked(true); }
    QString count() { return screen->findChild<QLabel*>("cnt")->text(); }
    QStringList numbers()
    {
        QStringList out;
        for (int r = 0; r < session.cases.recordCount(); ++r)
            out << session.cases.textAt(r, session.cases.fieldIndex("paper_no"));
        return out;
    }

    FakeDialogs dialogs;
    Session session;
    std::unique_ptr<Tkomision_rep> screen;
    QList<qint64> keys;
    qint64 cityUser = 0;
    QStringList modal;
};

TEST_P(CaseSearchScreen, FiltersTakePartOnlyWhileTicked)
{
    screen->prepare();
    EXPECT_EQ(count(), "3");
    EXPECT_EQ(numbers(), QStringList({"1", "2", "3"}));

    tick("CheckBox2");
    screen->findChild<QComboBox*>("city")->setEditText(QStringLiteral("خوي"));
    ASSERT_TRUE(screen->search());
    EXPECT_EQ(numbers(), QStringList({"3"}));
    EXPECT_EQ(count(), "1");
    screen->findChild<QCheckBox*>("CheckBox2")->setChecked(false);

    tick("CheckBox4");
    auto* applicant = screen->findChild<QLineEdit*>("darkhast");
    applicant->setText(QStringLiteral("\u06A9\u0631\u064A\u0645\u064A")); // typed with the Persian keheh
    ASSERT_TRUE(screen->search());
    EXPECT_EQ(numbers(), QStringList({"1"})) << "the applicant filter matches the stored Arabic kaf";
    screen->findChild<QCheckBox*>("CheckBox4")->setChecked(false);

    tick("CheckBox6");
    auto* area = screen->findChild<QLineEdit*>("masahat_khales");
    area->setText("100");
    ASSERT_TRUE(screen->search());
    EXPECT_EQ(count(), "3") << "no comparison chosen: the area adds nothing";
    screen->findChild<QComboBox*>("m_khales")->setCurrentIndex(1);
    ASSERT_TRUE(screen->search());
    EXPECT_EQ(numbers(), QStringList({"1", "2"})) << "at least 100, as numbers";
    area->setText(QStringLiteral("صد"));
    EXPECT_FALSE(screen->search());
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("خطا! مساحت را به صورت عدد وارد نماييد"));
}

TEST_P(CaseSearchScreen, IdListTakesOnlyWholeNumbersAddedWithPlus)
{
    screen->prepare();
    tick("CheckBox8");
    auto* pk = screen->findChild<QLineEdit*>("pk");
    pk->setText(QString::number(keys[1]));
    ASSERT_TRUE(screen->search());
    EXPECT_EQ(count(), "0") << "an id typed but not added counts for nothing";
    screen->addId();
    screen->addId();
    pk->setText("2 or 1=1");
    screen->addId();
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("خطا! شناسه بايد عدد صحيح باشد"));
    ASSERT_TRUE(screen->search());
    EXPECT_EQ(numbers(), QStringList({"2"}));
    screen->findChild<QCheckBox*>("CheckBox8")->setChecked(false);
    screen->findChild<QCheckBox*>("CheckBox8")->setChecked(true);
    ASSERT_TRUE(screen->search());
    EXPECT_EQ(count(), "0") << "toggling the filter starts a new list";
}

TEST_P(CaseSearchScreen, CountyUserSeesOwnCountiesAndNoProvincialPrints)
{
    session.login = LoginState{QString::number(cityUser), "city", QStringLiteral("اروميه")};
    screen->prepare();
    EXPECT_EQ(numbers(), QStringList({"1", "2"}));
    EXPECT_FALSE(screen->findChild<QMenu*>("N8")->isEnabled());
    session.login = LoginState{"1", "admin", "admin"};
    screen->prepare();
    EXPECT_TRUE(screen->findChild<QMenu*>("N8")->isEnabled());
}

TEST_P(CaseSearchScreen, DeleteNeedsThePasswordAndTakesThePicturesAlong)
{
    addSettingValue(*db, lists::DeletePassword, "4321");
    screen->prepare();
    ASSERT_TRUE(session.cases.locate("pk", keys[0]));
    dialogs.inputs.enqueue("1234");
    screen->deleteCase();
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("حذفي صورت نگرفت"));
    screen->deleteCase(); // cancelled: the box answers "?"
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("حذفي صورت نگرفت"));
    EXPECT_EQ(session.cases.recordCount(), 3);

    dialogs.inputs.enqueue("4321");
    screen->deleteCase();
    EXPECT_EQ(session.cases.recordCount(), 2);
    EXPECT_EQ(count(), "2") << "the count follows the delete";
    EXPECT_EQ(db->scalar("SELECT count(*) FROM komision WHERE pk = ?", {keys[0]}).toInt(), 0);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM komision_pic WHERE cod = ?", {keys[0]}).toInt(), 0);
}

TEST_P(CaseSearchScreen, ACaseChangedOnAnotherWorkstationIsNotDeletedAndReloadShowsIt)
{
    addSettingValue(*db, lists::DeletePassword, "4321");
    screen->prepare();
    ASSERT_TRUE(session.cases.locate("pk", keys[0]));
    db->exec("UPDATE komision SET darkhast = ? WHERE pk = ?", {QStringLiteral("تغيير"), keys[0]});

    dialogs.inputs.enqueue("4321");
    dialogs.answers.enqueue(Dialogs::Answer::Yes);
    screen->deleteCase();
    ASSERT_EQ(dialogs.asked.size(), 2); // the password, then the refusal with its reload question
    EXPECT_TRUE(dialogs.asked.last().startsWith(RecordChanged().message())) << dialogs.asked.last().toStdString();
    EXPECT_EQ(db->scalar("SELECT count(*) FROM komision WHERE pk = ?", {keys[0]}).toInt(), 1);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM komision_pic WHERE cod = ?", {keys[0]}).toInt(), 1)
        << "its attachments stay with it";
    EXPECT_EQ(session.cases.asString("darkhast"), QStringLiteral("تغيير"));

    dialogs.inputs.enqueue("4321"); // reloaded, the delete goes through
    screen->deleteCase();
    EXPECT_EQ(db->scalar("SELECT count(*) FROM komision WHERE pk = ?", {keys[0]}).toInt(), 0);
}

TEST_P(CaseSearchScreen, AttachmentsFollowTheirOwnPageRights)
{
    // Provisioning gave the administrator every right; this test starts without one.
    db->exec("DELETE FROM dastrasi WHERE page_name = 'kom_z'");
    screen->prepare();
    screen->attachments();
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("شما دسترسي به اين صفحه را نداريد"));
    db->insert("dastrasi",
               {{"prs_id", 1}, {"page_name", "kom_z"}, {"darj", 1}, {"virayesh", 1}, {"hazf", 1}, {"namayesh", 0}});
    screen->attachments();
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("شما دسترسي به اين صفحه را نداريد"));
    EXPECT_TRUE(modal.isEmpty());
    db->exec("UPDATE dastrasi SET namayesh = 1 WHERE page_name = 'kom_z'");
    screen->attachments();
    EXPECT_EQ(modal, QStringList{"Tkomision_pic"});
}

TEST_P(CaseSearchScreen, RowsWithAttachmentsAreYellowAndRightsDriveTheMenu)
{
    screen->prepare();
    auto* grid = screen->findChild<QTableView*>("DBGrid1");
    QAbstractItemModel* model = grid->model();
    ASSERT_TRUE(session.cases.locate("pk", keys[0]));
    const int withPictures = session.cases.recNo() - 1;
    EXPECT_EQ(model->data(model->index(withPictures, 0), Qt::BackgroundRole).value<QColor>(), QColor(Qt::yellow));
    EXPECT_FALSE(model->data(model->index((withPictures + 1) % 3, 0), Qt::BackgroundRole).isValid());
    const int pkColumn = session.cases.fieldIndex("pk");
    EXPECT_EQ(grid->horizontalHeader()->visualIndex(pkColumn), 0) << "the case id is the first column";
    EXPECT_EQ(model->headerData(pkColumn, Qt::Horizontal).toString(), QStringLiteral("شناسه"));

    screen->applyRights(PageRights{false, true, false, true});
    EXPECT_FALSE(screen->findChild<QAction*>("N1")->isEnabled());
    EXPECT_TRUE(screen->findChild<QAction*>("N2")->isEnabled());
    EXPECT_FALSE(screen->findChild<QAction*>("N3")->isEnabled());
}

TEST_P(CaseSearchScreen, ExportWritesTheResultAndOpensIt)
{
    screen->prepare();
    ASSERT_TRUE(session.cases.locate("pk", keys[1]));
    QTemporaryDir out;
    const QString path = out.filePath("rep.xls");
    dialogs.files.enqueue(path);
    screen->findChild<QAction*>("N4")->trigger();
    EXPECT_EQ(dialogs.opened, QStringList{path});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(html.contains(QStringLiteral("علي كريمي")));
    EXPECT_EQ(session.cases.asInteger("pk"), keys[1]) << "the selected case stays selected";
}

TEST_P(CaseSearchScreen, EveryProvincialPrintOpensItsPreview)
{
    screen->prepare();
    session.cases.moveTo(2);
    QMenu* menu = screen->findChild<QMenu*>("N8");
    ASSERT_TRUE(menu);
    QStringList captions;
    for (QAction* a : menu->actions())
        captions << a->text();
    EXPECT_EQ(
        captions,
        (QStringList{QStringLiteral("فرم مشروط -A4"), QStringLiteral("فرم مختلط -A4"), QStringLiteral("فرم ريالي -A4"),
                     QStringLiteral("فرم سهمي -A4"), QStringLiteral("برگه کميسيون معاملات جديد-A5"),
                     QStringLiteral("چاپ برگه كميسيون معاملات"), QStringLiteral("چاپ نامه پيش نويس ريالي"),
                     QStringLiteral("چاپ نامه پيش نويس سهمي"), QStringLiteral("چاپ نامه گروه زمين"),
                     QStringLiteral("فرم شماره 12"), QStringLiteral("کاربري مختلط"), QStringLiteral("کاربري مشروط"),
                     QStringLiteral("چاپ برگه کميسيون تغيير کاربري")}));
    // The A4 sheet asks for the date and the font size, the minutes for the start time.
    dialogs.inputs << "1403/05/01"
                   << "10"
                   << "10:30";
    for (QAction* a : menu->actions())
        a->trigger();
    EXPECT_EQ(modal, QStringList(13, "report_preview"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(" | ").toStdString();
    EXPECT_EQ(session.cases.recNo(), 2);
}

TEST_P(CaseSearchScreen, LongSearchKeepsTheWindowAnsweringAndCanBeCancelled)
{
    screen->show();
    ASSERT_TRUE(screen->search());
    // Another workstation holds the cases table, so the search has to wait for it.
    auto other = tmp->openAnother();
    const bool pg = other->kind() == DbKind::Postgres;
    auto hold = [&] {
        if (pg) {
            other->begin();
            other->exec("LOCK TABLE komision IN ACCESS EXCLUSIVE MODE");
        } else {
            other->exec("BEGIN EXCLUSIVE");
        }
    };
    auto release = [&] { pg ? other->commit() : void(other->exec("COMMIT")); };

    hold();
    int ticks = 0;
    bool loadingMeanwhile = false, paintedMeanwhile = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (++ticks == 3) {
            loadingMeanwhile = session.cases.isLoading();
            screen->findChild<QTableView*>("DBGrid1")->repaint();
            paintedMeanwhile = true;
            release();
        }
    });
    ticker.start(30);
    ASSERT_TRUE(screen->search());
    ticker.stop();
    EXPECT_GE(ticks, 3) << "the event loop ran during the search";
    EXPECT_TRUE(loadingMeanwhile);
    EXPECT_TRUE(paintedMeanwhile);
    EXPECT_TRUE(session.cases.isComplete());
    EXPECT_EQ(numbers(), QStringList({"1", "2", "3"}));
    EXPECT_EQ(count(), "3");

    // Held long enough, the progress window comes up; its cancel ends the wait.
    hold();
    bool sawProgress = false;
    QTimer::singleShot(900, [&] {
        for (QProgressDialog* d : screen->findChildren<QProgressDialog*>("load_progress")) {
            auto* cancel = d->findChild<QPushButton*>();
            if (d->isVisible() && cancel) {
                sawProgress = cancel->text() == QStringLiteral("انصراف");
                cancel->click();
            }
        }
        if (!sawProgress)
            session.cases.cancelLoad();
    });
    screen->search();
    EXPECT_TRUE(sawProgress);
    EXPECT_FALSE(session.cases.isComplete());
    EXPECT_FALSE(session.cases.isLoading());
    release();

    // The next search runs in full.
    ASSERT_TRUE(screen->search());
    EXPECT_TRUE(session.cases.isComplete());
    EXPECT_EQ(numbers(), QStringList({"1", "2", "3"}));
}

TEST_P(CaseSearchScreen, TitleClickSortsInTheDatabaseAndKeepsTheCase)
{
    screen->prepare();
    ASSERT_TRUE(session.cases.locate("paper_no", "2"));
    auto* grid = screen->findChild<QTableView*>("DBGrid1");
    const int applicant = session.cases.fieldIndex("darkhast");
    grid->horizontalHeader()->sectionClicked(applicant);
    EXPECT_EQ(session.cases.sortField().toLower(), "darkhast");
    // حسن, رضا, علي كريمي in character order.
    EXPECT_EQ(numbers(), QStringList({"3", "2", "1"}));
    EXPECT_EQ(session.cases.asString("paper_no"), "2") << "the chosen case stays chosen";
    EXPECT_EQ(grid->currentIndex().row(), 1);
    grid->horizontalHeader()->sectionClicked(applicant);
    EXPECT_EQ(numbers(), QStringList({"1", "2", "3"}));
}

TEST_P(CaseSearchScreen, ColumnWidthsFitTheFirstRowsFoundAndStayAcrossSearches)
{
    auto* grid = screen->findChild<QTableView*>("DBGrid1");
    QHeaderView* header = grid->horizontalHeader();
    db->exec("UPDATE komision SET darkhast = ? WHERE pk = ?",
             {QStringLiteral("سيد محمدرضا حسيني فيروزآبادي فرزند سيد ابوالقاسم"), keys[2]});

    // The first search finds nothing: the columns fit their titles only.
    tick("CheckBox8");
    ASSERT_TRUE(screen->search());
    ASSERT_EQ(count(), "0");
    const int applicant = session.cases.fieldIndex("darkhast");
    const int pk = session.cases.fieldIndex("pk");
    ASSERT_GE(applicant, 0);
    const int titleOnly = header->sectionSize(applicant);

    // The first rows found widen the column to the long name, within the limit.
    screen->findChild<QCheckBox*>("CheckBox8")->setChecked(false);
    ASSERT_TRUE(screen->search());
    ASSERT_EQ(count(), "3");
    const int fitted = header->sectionSize(applicant);
    EXPECT_GT(fitted, titleOnly);
    EXPECT_LE(fitted, 260);
    EXPECT_EQ(header->visualIndex(pk), 0);

    // A width the clerk dragged stays through a narrower search, a sort and a refresh.
    header->resizeSection(applicant, 333);
    tick("CheckBox2");
    screen->findChild<QComboBox*>("city")->setEditText(QStringLiteral("اروميه"));
    ASSERT_TRUE(screen->search());
    EXPECT_EQ(count(), "2");
    EXPECT_EQ(header->sectionSize(applicant), 333);
    header->sectionClicked(applicant);
    EXPECT_EQ(session.cases.sortField().toLower(), "darkhast");
    EXPECT_EQ(header->sectionSize(applicant), 333);
    session.cases.refresh();
    EXPECT_EQ(header->sectionSize(applicant), 333);
    EXPECT_EQ(header->visualIndex(pk), 0) << "the columns keep their order too";
}

TARVEST_FOR_EACH_DATABASE(CaseSearchScreen);

} // namespace
