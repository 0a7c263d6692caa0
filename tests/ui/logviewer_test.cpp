// The log viewer against a real log table: filters alone and together, order, count,
// rows without a user, literal filter texts, export, and a failing query.
#include "app/logviewer.h"
#include "common/clock.h"
#include "common/spreadsheet.h"
#include "common/workstation.h"
#include "db/activitylog.h"
#include "db/provision.h"
#include "db/session.h"
#include "fakedialogs.h"
#include "testdb.h"
#include "widgets/dateedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <functional>

using namespace tarvest;
using namespace tarvest::test;

namespace {

class LogViewer : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        // Rows as other workstations wrote them, in server-time order r1 < r2 < r3 < r4.
        add("ali", "10.0.0.1", "HOST-A", "1402/12/28", "r1 ورود موفق O'Neil", "2024-03-18 09:00:00");
        add("reza", "10.0.0.2", "host-b", "1403/01/05", "r2 ثبت کاربر جديد", "2024-03-24 10:00:00");
        add("ali", "10.0.0.12", "HOST-B", "1403/01/10", "r3 حذف آبادي 50%", "2024-03-29 11:00:00");
        add("", "10.0.0.1", "HOST-A", "1403/01/05", "r4 بدون کاربر", "2024-03-30 11:00:00");
        // And one written by this workstation now: the newest server time.
        Workstation::setFixed("192.168.5.5", "WS-LOG");
        Clock::setFixed(QDateTime(QDate(2024, 3, 20), QTime(8, 30)));
        writeLogRecord(*db, "maryam", "r5 ويرايش آبادي");

        session.setDatabase(tmp->openAnother());
        viewer = std::make_unique<Tlog>(session);
    }

    void TearDown() override
    {
        viewer.reset();
        Workstation::setFixed({}, {});
        Clock::setFixed(std::nullopt);
    }

    void add(const QString& karbar, const QString& ip, const QString& host, const QString& tarikh, const QString& cmt,
             const QString& serverTime)
    {
        db->insert("log", {{"karbar", karbar},
                           {"ip", ip},
                           {"computer_name", host},
                           {"saat", "10:00:00"},
                           {"tarikh", tarikh},
                           {"cmt", cmt},
                           {"saat_sys", serverTime}});
    }

    template <typename T>
    T* child(const char* name)
    {
        T* w = viewer->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    // The tags ("r1".."r5") of the listed rows, in the grid's order.
    QString listed()
    {
        ResultSet& rs = viewer->rows();
        QStringList tags;
        for (int r = 0; r < rs.recordCount(); ++r)
            tags << rs.textAt(r, rs.fieldIndex("cmt")).section(' ', 0, 0);
        return tags.join(',');
    }

    void tick(const char* box) { child<QCheckBox>(box)->setChecked(true); }

    Session session;
    FakeDialogs dialogs;
    std::unique_ptr<Tlog> viewer;
};

struct FilterCase {
    const char* name;
    std::function<void(Tlog&)> set;
    const char* expected;
};

template <typename T>
T* in(Tlog& v, const char* name)
{
    return v.findChild<T*>(QString::fromLatin1(name));
}

void user(Tlog& v, const QString& text)
{
    in<QCheckBox>(v, "CheckBox1")->setChecked(true);
    in<QComboBox>(v, "karbar")->setCurrentText(text);
}
void dates(Tlog& v, const QString& from, const QString& to)
{
    in<QCheckBox>(v, "CheckBox2")->setChecked(true);
    in<DateEdit>(v, "dat1")->setDateText(from);
    in<DateEdit>(v, "dat2")->setDateText(to);
}
void text(Tlog& v, const char* box, const char* field, const QString& value)
{
    in<QCheckBox>(v, box)->setChecked(true);
    in<QLineEdit>(v, field)->setText(value);
}

const FilterCase kFilterCases[] = {
    {"NoFilterNewestFirstWithoutEmptyUser", [](Tlog&) {}, "r5,r3,r2,r1"},
    {"UserAnywhereAnyCase", [](Tlog& v) { user(v, "LI"); }, "r3,r1"},
    {"UserWrittenByTheLogRecord", [](Tlog& v) { user(v, "maryam"); }, "r5"},
    {"DateRange", [](Tlog& v) { dates(v, "1403/01/01", "1403/01/05"); }, "r5,r2"},
    {"BlankLowerDateAdmitsAll", [](Tlog& v) { dates(v, "", "1403/01/05"); }, "r5,r2,r1"},
    {"BlankUpperDateAdmitsNone", [](Tlog& v) { dates(v, "1402/01/01", ""); }, ""},
    {"HostAnyCase", [](Tlog& v) { text(v, "CheckBox3", "computer_name", "host-B"); }, "r3,r2"},
    {"HostFromTheWorkstation", [](Tlog& v) { text(v, "CheckBox3", "computer_name", "ws-log"); }, "r5"},
    {"Description", [](Tlog& v) { text(v, "CheckBox4", "cmt", QStringLiteral("جديد")); }, "r2"},
    {"Address", [](Tlog& v) { text(v, "CheckBox5", "ip", "10.0.0.1"); }, "r3,r1"},
    {"AddressOfTheWorkstation", [](Tlog& v) { text(v, "CheckBox5", "ip", "192.168.5.5"); }, "r5"},
    {"Combined",
     [](Tlog& v) {
         user(v, "ali");
         text(v, "CheckBox5", "ip", "0.1");
         dates(v, "1403/01/01", "1403/12/29");
     },
     "r3"},
    {"PercentIsLiteral", [](Tlog& v) { text(v, "CheckBox4", "cmt", "%"); }, "r3"},
    {"UnderscoreIsLiteral", [](Tlog& v) { text(v, "CheckBox3", "computer_name", "host_a"); }, ""},
    {"QuoteIsLiteral", [](Tlog& v) { text(v, "CheckBox4", "cmt", "o'neil"); }, "r1"},
    {"EmptyTickedFieldMatchesAll", [](Tlog& v) { text(v, "CheckBox4", "cmt", ""); }, "r5,r3,r2,r1"},
};

TEST_P(LogViewer, EachFilterAloneAndTogether)
{
    for (const FilterCase& c : kFilterCases) {
        SCOPED_TRACE(c.name);
        viewer = std::make_unique<Tlog>(session);
        c.set(*viewer);
        child<QPushButton>("BitBtn1")->click();
        EXPECT_EQ(listed(), QString::fromLatin1(c.expected));
        const int n = viewer->rows().recordCount();
        EXPECT_EQ(child<QLabel>("cnt")->text(), QString::number(n));
        EXPECT_EQ(child<QTableView>("DBGrid1")->model()->rowCount(), n);
    }
    EXPECT_EQ(dialogs.errors, QStringList());
}

TEST_P(LogViewer, FiltersStartOffAndUntickingDropsTheFilter)
{
    for (const char* field : {"karbar", "dat1", "dat2", "computer_name", "cmt", "ip"})
        EXPECT_FALSE(child<QWidget>(field)->isEnabled()) << field;

    user(*viewer, "ali");
    EXPECT_TRUE(child<QWidget>("karbar")->isEnabled());
    viewer->search();
    EXPECT_EQ(listed(), "r3,r1");

    child<QCheckBox>("CheckBox1")->setChecked(false);
    EXPECT_FALSE(child<QWidget>("karbar")->isEnabled());
    viewer->search();
    EXPECT_EQ(listed(), "r5,r3,r2,r1");
    EXPECT_EQ(child<QLabel>("cnt")->text(), "4");
}

TEST_P(LogViewer, SameServerSecondListsTheLaterRowFirst)
{
    add("zahra", "10.0.0.9", "H", "1403/02/01", "r6 first", "2030-01-01 10:00:00");
    add("zahra", "10.0.0.9", "H", "1403/02/01", "r7 second", "2030-01-01 10:00:00");
    viewer->search();
    EXPECT_TRUE(listed().startsWith("r7,r6,")) << listed().toStdString();
}

TEST_P(LogViewer, PrepareClearsTheTextFiltersAndSearches)
{
    user(*viewer, "reza");
    text(*viewer, "CheckBox4", "cmt", "nothing matches this");
    text(*viewer, "CheckBox5", "ip", "x");
    text(*viewer, "CheckBox3", "computer_name", "y");
    dates(*viewer, "1403/01/01", "1403/01/31");

    viewer->prepare();
    for (const char* field : {"computer_name", "cmt", "ip"})
        EXPECT_EQ(child<QLineEdit>(field)->text(), "") << field;
    EXPECT_EQ(child<QComboBox>("karbar")->currentText(), "");
    // The date range is kept; the emptied text filters match everything.
    EXPECT_EQ(listed(), "r5,r3,r2");
    EXPECT_EQ(child<QLabel>("cnt")->text(), "3");
}

TEST_P(LogViewer, EnterInAFilterFieldSearches)
{
    text(*viewer, "CheckBox4", "cmt", QStringLiteral("جديد"));
    QTest::keyClick(child<QLineEdit>("cmt"), Qt::Key_Return);
    EXPECT_EQ(listed(), "r2");
}

TEST_P(LogViewer, EnterInAnImpossibleEndDateShowsTheDateMessageAndDoesNotSearch)
{
    viewer->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(viewer.get()));
    viewer->search();
    const QString before = listed();
    dates(*viewer, "1403/01/02", "");
    auto* to = child<DateEdit>("dat2");
    for (const char* typed : {"14031340", "1403"}) { // impossible, then partial
        to->setFocus();
        to->selectAll();
        QTest::keyClicks(to, QString::fromLatin1(typed));
        ASSERT_TRUE(to->isModified());
        dialogs.shown.clear();
        QTest::keyClick(to, Qt::Key_Return);
        EXPECT_EQ(dialogs.shown, QStringList{DateEdit::invalidDateMessage()}) << typed;
        EXPECT_EQ(listed(), before) << typed << ": the list was not searched with it";
        EXPECT_TRUE(to->hasFocus());
    }
    // The search button refuses it too.
    dialogs.shown.clear();
    child<QPushButton>("BitBtn1")->click();
    EXPECT_EQ(dialogs.shown, QStringList{DateEdit::invalidDateMessage()});
    EXPECT_EQ(listed(), before);

    // A real date searches.
    to->selectAll();
    QTest::keyClicks(to, QStringLiteral("14030106"));
    dialogs.shown.clear();
    QTest::keyClick(to, Qt::Key_Return);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(" | ").toStdString();
    EXPECT_EQ(listed(), "r2");
    viewer->hide(); // a viewer is hidden, never destroyed, while the program runs
}

TEST_P(LogViewer, GridShowsTheTitledColumnsWithoutTheKey)
{
    viewer->search();
    auto* grid = child<QTableView>("DBGrid1");
    QStringList titles;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (!grid->isColumnHidden(c))
            titles << grid->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, QStringList({QStringLiteral("نام کاربر"), "IP", QStringLiteral("نام کامپيوتر"),
                                   QStringLiteral("ساعت"), QStringLiteral("تاريخ"), QStringLiteral("شرح عمليات"),
                                   QStringLiteral("تاريخ و ساعت سرور")}));
}

TEST_P(LogViewer, ExportsTheListedRowsWithTheirTitles)
{
    QStandardPaths::setTestModeEnabled(true);
    user(*viewer, "ali");
    viewer->search();
    const QTemporaryDir out;
    dialogs.files.enqueue(out.filePath("log.xlsx")); // where the clerk saves it
    child<QToolButton>("SpeedButton1")->click();
    ASSERT_EQ(dialogs.opened.size(), 1) << dialogs.shown.join('\n').toStdString();

    const SheetTable t = readSheet(dialogs.opened.first(), "Sheet1");
    EXPECT_EQ(t.columns, QStringList({QStringLiteral("شناسه"), QStringLiteral("نام کاربري"), QStringLiteral("آي پي"),
                                      QStringLiteral("نام کامپيوتر"), QStringLiteral("ساعت"), QStringLiteral("تاريخ"),
                                      QStringLiteral("شرح عمليات"), QStringLiteral("ساعت سرور")}));
    ASSERT_EQ(t.rows.size(), 2);
    EXPECT_EQ(t.rows[0], QStringList({"3", "ali", "10.0.0.12", "HOST-B", "10:00:00", "1403/01/10",
                                      QStringLiteral("r3 حذف آبادي 50%"), "2024-03-29 11:00:00"}));
    EXPECT_EQ(t.rows[1][6], QStringLiteral("r1 ورود موفق O'Neil"));
    QStandardPaths::setTestModeEnabled(false);
}

TEST_P(LogViewer, ADatabaseErrorIsShownAndTheViewerGoesOn)
{
    viewer->search();
    ASSERT_EQ(listed(), "r5,r3,r2,r1");
    db->exec("DROP TABLE log");
    viewer->search();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(listed(), "r5,r3,r2,r1") << "the last list stays";

    ASSERT_TRUE(provisionSucceeded(provision(*db)));
    add("nima", "10.0.0.3", "H", "1403/03/01", "r8 again", "2024-06-01 10:00:00");
    viewer->search();
    EXPECT_EQ(listed(), "r8");
    EXPECT_EQ(child<QLabel>("cnt")->text(), "1");
    EXPECT_EQ(dialogs.errors.size(), 1);
}

TARVEST_FOR_EACH_DATABASE(LogViewer);

} // namespace
