// The land screens over a real database: the entry screen's 54 inputs, insert with the
// county-and-village-code check, edit, the search filters with the county list, delete
// with the delete password, the export read back by an independent reader, the
// spreadsheet preview and replacement, and the land report rendered to PDF.
#include "common/spreadsheet.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "lands/landscreens.h"
#include "lands/prints/landprint.h"
#include "pdftext.h"
#include "pyhelpers.h"
#include "reports/reportrenderer.h"
#include "testdb.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryDir>

using namespace tarvest;
using namespace tarvest::test;

namespace {

const QString Shiraz = QStringLiteral("شيراز");
const QString ShirazNorth = QStringLiteral("شيراز شمالي");
const QString Lar = QStringLiteral("لارستان");

class LandScreenTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        addSettingValue(*db, lists::DeletePassword, "4321");
        addSettingValue(*db, lists::LandPlanKind, QStringLiteral("هادي"));
        addSettingValue(*db, lists::LandStage, QStringLiteral("فاز 1"));
        session.setDatabase(tmp->openAnother());
        session.login = LoginState{"1", "admin", "admin"};
        setModalShower([this](QWidget* w) { modal << w->objectName(); });
        setXlsReaderProgram(QStringLiteral(TARVEST_ADMIN_EXE));
        addRecord(Shiraz, "101", QStringLiteral("كوشك"), QStringLiteral("فاز 1"), QStringLiteral("هادي"),
                  QStringLiteral("تفصيلي"), QStringLiteral("منابع طبيعي"));
        addRecord(ShirazNorth, "101", QStringLiteral("دشت"), QStringLiteral("فاز 2"), QStringLiteral("هادي"),
                  QStringLiteral("اجمالي"), QStringLiteral("ملي"));
        addRecord(Lar, "301", QStringLiteral("بنارویه"), QStringLiteral("فاز 1"), QStringLiteral("بهسازي"),
                  QStringLiteral("تفصيلي"), QStringLiteral("منابع طبيعي"));
        screen = std::make_unique<Tarazi_src>(session);
        screen->applyRights({true, true, true, true});
        screen->prepare();
        screen->show();
    }
    void TearDown() override
    {
        screen.reset();
        setModalShower({});
    }
    void addRecord(const QString& county, const QString& code, const QString& village, const QString& stage,
                   const QString& plan, const QString& study, const QString& authority)
    {
        QVariantMap v = landValues({});
        v["shahrestan"] = county;
        v["abadi"] = code;
        v["rosta"] = village;
        v["marhale"] = stage;
        v["tarh"] = plan;
        v["motale"] = study;
        v["marja"] = authority;
        v["jamiyat"] = "1200";
        db->insert("arazi", v);
    }
    QString count() { return screen->findChild<QLabel*>("cnt")->text(); }
    qint64 stored(const QString& county, const QString& code)
    {
        return db->scalar("select count(*) from arazi where shahrestan=? and abadi=?", {county, code}).toLongLong();
    }
    void setInput(Tarazi_ins& entry, const QString& column, const QString& text)
    {
        QWidget* w = entry.input(column);
        ASSERT_NE(w, nullptr) << column.toStdString();
        if (auto* e = qobject_cast<QLineEdit*>(w))
            e->setText(text);
        else
            static_cast<QComboBox*>(w)->setEditText(text);
    }
    QString xlsx(const QString& name, int rows, int columns, const QString& sheet = "sh")
    {
        const QString path = dir.filePath(name);
        const auto made = tarvest::testing::runPython(R"PY(
import sys, openpyxl
path, rows, cols, sheet = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
wb = openpyxl.Workbook()
ws = wb.active
ws.title = sheet
ws.append(["h%d" % c for c in range(cols)])
for r in range(rows):
    ws.append(["ر%d'c%d" % (r, c) for c in range(cols)])
wb.save(path)
)PY",
                                                      {path, QString::number(rows), QString::number(columns), sheet});
        EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
        return path;
    }

    FakeDialogs dialogs;
    Session session;
    std::unique_ptr<Tarazi_src> screen;
    QStringList modal;
    QTemporaryDir dir;
};

} // namespace

TEST_P(LandScreenTest, EntryScreenHasTheFiftyFourInputsUnderTheFourHeadings)
{
    screen->newRecord();
    Tarazi_ins& entry = screen->entryScreen();
    EXPECT_EQ(entry.windowTitle(), QStringLiteral("ثبت/ويرايش اراضي"));
    EXPECT_EQ(modal.last(), "Tarazi_ins");
    for (const LandField& f : landFields()) {
        QWidget* w = entry.input(f.column);
        ASSERT_NE(w, nullptr) << f.column.toStdString();
        EXPECT_EQ(w->objectName(), f.column);
        EXPECT_EQ(f.control == LandControl::Text, qobject_cast<QLineEdit*>(w) != nullptr) << f.column.toStdString();
        auto* label = entry.findChild<QLabel*>("lbl_" + f.column);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), f.caption);
    }
    QStringList headings;
    for (const QLabel* l : entry.findChildren<QLabel*>())
        if (l->objectName().startsWith("heading_"))
            headings << l->text();
    EXPECT_EQ(headings,
              (QStringList{QStringLiteral("مراحل تصويب طرح روستاها"), QStringLiteral("شناسايي اراضي سمت توسعه"),
                           QStringLiteral("مراحل تصويب طرح"), QStringLiteral("مراحل تملک اراضي")}));
    auto* cad = static_cast<QComboBox*>(entry.input("cad"));
    EXPECT_EQ(cad->count(), 2);
    EXPECT_EQ(cad->itemText(0), QStringLiteral("دارد"));
    EXPECT_EQ(cad->itemText(1), QStringLiteral("ندارد"));
    // Showing the screen fills the setting lists.
    entry.show();
    auto* tarh = static_cast<QComboBox*>(entry.input("tarh"));
    EXPECT_EQ(tarh->findText(QStringLiteral("هادي")), 0);
    EXPECT_FALSE(entry.findChild<QPushButton*>("ins_btn")->isHidden());
    EXPECT_TRUE(entry.findChild<QPushButton*>("edit_btn")->isHidden());
}

TEST_P(LandScreenTest, InsertStoresEveryInputAndRefusesATakenCountyAndCode)
{
    screen->newRecord();
    Tarazi_ins& entry = screen->entryScreen();
    QStringList texts;
    for (int i = 0; i < 54; ++i)
        texts << QStringLiteral("مقدار %1'").arg(i);
    entry.setTexts(texts);
    setInput(entry, "shahrestan", Lar);
    setInput(entry, "abadi", "777");
    texts = entry.texts();
    entry.findChild<QPushButton*>("ins_btn")->click();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    ASSERT_EQ(stored(Lar, "777"), 1);
    {
        QSqlQuery q = db->exec("select " + landColumnNames().join(',') + " from arazi where abadi='777'");
        ASSERT_TRUE(q.next());
        for (int i = 0; i < 54; ++i)
            EXPECT_EQ(q.value(i).toString(), texts[i]) << landColumnNames()[i].toStdString();
    } // a reader left open would keep the other workstation's write waiting
    // The new row belongs to the land result, and the inputs stay as they were.
    EXPECT_EQ(session.lands.asString("abadi"), "777");
    EXPECT_EQ(entry.texts(), texts);

    // The second press with the same county and code is refused.
    entry.findChild<QPushButton*>("ins_btn")->click();
    EXPECT_EQ(dialogs.shown.last(), land_msg::Duplicate);
    EXPECT_EQ(stored(Lar, "777"), 1);
    // The same code in another county is accepted.
    setInput(entry, "shahrestan", Shiraz);
    entry.saveNew();
    EXPECT_EQ(stored(Shiraz, "777"), 1);
    EXPECT_EQ(dialogs.shown.size(), 1);
}

TEST_P(LandScreenTest, EditShowsTheRecordAndAcceptsAnotherRecordsPair)
{
    screen->search();
    ASSERT_TRUE(session.lands.locate("shahrestan", ShirazNorth));
    screen->editRecord();
    Tarazi_ins& entry = screen->entryScreen();
    EXPECT_TRUE(entry.findChild<QPushButton*>("ins_btn")->isHidden());
    EXPECT_FALSE(entry.findChild<QPushButton*>("edit_btn")->isHidden());
    EXPECT_EQ(static_cast<QComboBox*>(entry.input("rosta"))->currentText(), QStringLiteral("دشت"));
    // A plan kind that is not in the setting list is shown and saved unchanged.
    EXPECT_EQ(static_cast<QComboBox*>(entry.input("motale"))->currentText(), QStringLiteral("اجمالي"));
    entry.show();
    EXPECT_EQ(static_cast<QComboBox*>(entry.input("motale"))->currentText(), QStringLiteral("اجمالي"));
    // Moving it onto the first record's county and code is accepted on edit.
    setInput(entry, "shahrestan", Shiraz);
    entry.saveChanges();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(stored(Shiraz, "101"), 2);
    EXPECT_EQ(db->scalar("select motale from arazi where rosta=?", {QStringLiteral("دشت")}).toString(),
              QStringLiteral("اجمالي"));
}

TEST_P(LandScreenTest, CountyListAndEachFilter)
{
    auto* countyBox = screen->findChild<QCheckBox*>("CheckBox1");
    auto* county = screen->findChild<QComboBox*>("shahrestan");
    auto* list = screen->findChild<QListWidget*>("list_shahrestan");
    auto* plus = screen->findChild<QPushButton*>("add_shahrestan");
    auto* small = screen->findChild<QCheckBox*>("show_list_shahrestan");
    EXPECT_FALSE(plus->isEnabled());
    screen->search();
    EXPECT_EQ(count(), "3");

    countyBox->setChecked(true);
    EXPECT_TRUE(plus->isEnabled());
    EXPECT_TRUE(small->isEnabled());
    // The county text alone is no filter: with no entry nothing is found.
    county->setEditText(Shiraz);
    screen->search();
    EXPECT_EQ(count(), "0");
    EXPECT_EQ(session.lands.recordCount(), 0);
    // A short entry matches several counties; entries add up.
    plus->click();
    screen->search();
    EXPECT_EQ(count(), "2");
    county->setEditText(Lar);
    plus->click();
    EXPECT_EQ(screen->countyList(), (QStringList{Shiraz, Lar}));
    screen->search();
    EXPECT_EQ(count(), "3");
    small->setChecked(true);
    EXPECT_FALSE(list->isHidden());
    EXPECT_EQ(list->height(), 56);
    list->setCurrentRow(0);
    screen->removeCounty();
    EXPECT_EQ(screen->countyList(), QStringList{Lar});
    screen->search();
    EXPECT_EQ(count(), "1");
    // Clearing the box empties and hides the list.
    countyBox->setChecked(false);
    EXPECT_TRUE(screen->countyList().isEmpty());
    EXPECT_TRUE(list->isHidden());

    const struct {
        const char* box;
        const char* field;
        QString text;
        const char* expected;
    } filters[] = {
        {"CheckBox2", "rosta", QStringLiteral("كوش"), "1"},   {"CheckBox6", "marhale", QStringLiteral("فاز 1"), "2"},
        {"CheckBox3", "tarh", QStringLiteral("هادي"), "2"},   {"CheckBox4", "motale", QStringLiteral("اجمالي"), "1"},
        {"CheckBox5", "marja", QStringLiteral("منابع"), "2"},
    };
    for (const auto& f : filters) {
        auto* box = screen->findChild<QCheckBox*>(f.box);
        box->setChecked(true);
        screen->findChild<QComboBox*>(f.field)->setEditText(f.text);
        screen->search();
        EXPECT_EQ(count(), f.expected) << f.field;
        EXPECT_EQ(QString::number(session.lands.recordCount()), f.expected) << f.field;
        box->setChecked(false);
    }
}

TEST_P(LandScreenTest, CountyUserOpensWithTheirNameButEveryRecordListed)
{
    session.login = LoginState{"7", "city", Shiraz};
    screen->prepare();
    EXPECT_EQ(screen->findChild<QComboBox*>("shahrestan")->currentText(), Shiraz);
    EXPECT_EQ(count(), "3");
}

TEST_P(LandScreenTest, DeleteAsksTheDeletePassword)
{
    screen->search();
    ASSERT_TRUE(session.lands.locate("shahrestan", Lar));
    dialogs.inputs.enqueue("wrong");
    screen->findChild<QAction*>("N3")->trigger();
    EXPECT_EQ(dialogs.asked.last(),
              QStringLiteral("Delete Password |  لطفا رمز حذف را وارد نماييد: ") + Lar + QStringLiteral(" 301"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(stored(Lar, "301"), 1);
    dialogs.inputs.enqueue("4321");
    screen->deleteRecord();
    EXPECT_EQ(stored(Lar, "301"), 0);
    EXPECT_EQ(db->scalar("select count(*) from arazi").toInt(), 2);
}

TEST_P(LandScreenTest, ExportWritesTheListWithItsHeadersReadBackIndependently)
{
    screen->search();
    const QTemporaryDir out;
    dialogs.files.enqueue(out.filePath("arazi.xlsx")); // where the clerk saves it
    screen->findChild<QAction*>("N5")->trigger();
    ASSERT_EQ(dialogs.opened.size(), 1) << dialogs.shown.join('\n').toStdString();
    const QJsonValue rows = tarvest::testing::runPythonJson(R"PY(
import sys, json, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
print(json.dumps([[("" if c.value is None else str(c.value)) for c in row] for row in ws.iter_rows()]))
)PY",
                                                            {dialogs.opened[0]});
    const QJsonArray sheet = rows.toArray();
    ASSERT_EQ(sheet.size(), 4); // the header and three records
    QStringList header;
    for (const QJsonValue& v : sheet[0].toArray())
        header << v.toString();
    QStringList expected{QStringLiteral("شناسه")};
    for (const QString& c : landColumnNames())
        expected << (c == "shahrestan" ? QStringLiteral("شهرستان") : c == "jamiyat" ? QStringLiteral("جمعيت") : c);
    EXPECT_EQ(header, expected);
    QStringList counties;
    for (int r = 1; r < 4; ++r)
        counties << sheet[r].toArray()[1].toString();
    EXPECT_EQ(counties, (QStringList{Shiraz, ShirazNorth, Lar}));
}

TEST_P(LandScreenTest, PreviewAndReplacementFromTheSheet)
{
    auto* sheetCount = screen->findChild<QLabel*>("cnt2");
    auto* status = screen->findChild<QLabel*>("payam");
    auto* bar = screen->findChild<QProgressBar*>("ProgressBar1");
    auto* preview = screen->findChild<QTableView*>("DBGrid2");

    // A file without a sheet "sh" shows the message and leaves the preview empty.
    EXPECT_FALSE(screen->loadSheet(xlsx("other.xlsx", 4, 58, "Sheet1")));
    EXPECT_TRUE(dialogs.shown.last().startsWith(land_msg::ReadFailed));
    EXPECT_EQ(sheetCount->text(), "0");
    EXPECT_EQ(preview->model()->rowCount(), 0);

    // 57 columns: previewed, but the replacement is refused and nothing changes.
    ASSERT_TRUE(screen->loadSheet(xlsx("narrow.xlsx", 20, 57)));
    EXPECT_EQ(sheetCount->text(), "20");
    screen->findChild<QPushButton*>("ghghgh")->click();
    EXPECT_EQ(dialogs.shown.last(), columnCountMessage(land_msg::ColumnCount, 57, 58, true));
    EXPECT_EQ(db->scalar("select count(*) from arazi").toInt(), 3);

    // 300 rows of 58 columns: the bar ends at the last row and the grid shows the new data.
    dialogs.files.enqueue(xlsx("good.xlsx", 300, 58));
    screen->findChild<QPushButton*>("Button1")->click();
    EXPECT_EQ(sheetCount->text(), "300");
    EXPECT_EQ(preview->model()->rowCount(), 300);
    EXPECT_EQ(preview->model()->columnCount(), 58);
    EXPECT_EQ(preview->columnWidth(0), 80);
    // The preview keeps the sheet's order until a title is clicked; then it sorts.
    EXPECT_EQ(preview->model()->index(1, 0).data().toString(), QStringLiteral("ر1'c0"));
    preview->sortByColumn(0, Qt::DescendingOrder);
    EXPECT_EQ(preview->model()->index(0, 0).data().toString(), QStringLiteral("ر99'c0"));
    dialogs.answers << Dialogs::Answer::Yes;
    screen->replace();
    EXPECT_EQ(bar->maximum(), 300);
    EXPECT_EQ(bar->value(), 300);
    EXPECT_EQ(status->text(), land_msg::Moved);
    EXPECT_EQ(db->scalar("select count(*) from arazi").toInt(), 300);
    EXPECT_EQ(db->scalar("select count(*) from sh").toInt(), 300);
    EXPECT_EQ(db->scalar("select count(*) from arazi where shahrestan=?", {QStringLiteral("ر7'c2")}).toInt(), 1);
    EXPECT_EQ(session.lands.recordCount(), 300);
}

TEST_P(LandScreenTest, ReplacementAsksWhatGoesAndWhatComesAndNeedsTheDeleteRight)
{
    auto* replaceButton = screen->findChild<QPushButton*>("ghghgh");
    ASSERT_TRUE(screen->loadSheet(xlsx("county.xlsx", 60, 58)));

    // A county user who may insert but not delete cannot replace the province's records.
    screen->applyRights({true, true, false, true});
    EXPECT_FALSE(replaceButton->isEnabled());
    screen->replace();
    EXPECT_EQ(dialogs.shown.last(), land_msg::ReplaceNeedsDeleteRight);
    EXPECT_TRUE(dialogs.asked.isEmpty());
    EXPECT_EQ(db->scalar("select count(*) from arazi").toInt(), 3);

    // With both rights it asks first, naming the records that go and the rows that come;
    // only Yes replaces.
    screen->applyRights({true, true, true, true});
    EXPECT_TRUE(replaceButton->isEnabled());
    for (Dialogs::Answer answer : {Dialogs::Answer::No, Dialogs::Answer::Cancel}) {
        dialogs.answers << answer;
        replaceButton->click();
        EXPECT_EQ(db->scalar("select count(*) from arazi").toInt(), 3);
    }
    ASSERT_EQ(dialogs.asked.size(), 2);
    EXPECT_EQ(dialogs.asked[0], land_msg::replaceQuestion(3, 60));
    EXPECT_TRUE(dialogs.asked[0].startsWith(QStringLiteral("3 رکورد اراضي همه شهرستان ها حذف و 60 رديف")));
    dialogs.answers << Dialogs::Answer::Yes;
    replaceButton->click();
    EXPECT_EQ(db->scalar("select count(*) from arazi").toInt(), 60);
}

TEST_P(LandScreenTest, LandReportPrintsEveryRecordWithTheDateAndTheTotal)
{
    screen->search();
    const report::Layout layout = landprints::prepareLandReport(session.lands, "1404/02/09");
    EXPECT_TRUE(layout.loadProblem().isEmpty()) << layout.loadProblem().toStdString();
    const QString pdf = dir.filePath("lands.pdf");
    EXPECT_EQ(report::renderToPdf(layout, &session.lands, pdf), 1);
    const QString text = foldPrintedText(pdfToText(pdf));
    for (const QString& expected :
         {QStringLiteral("مراحل تصويب طرح روستاها"), QStringLiteral("تاريخ:"), QStringLiteral("1404/02/09"),
          QStringLiteral("شناسايي اراضي سمت توسعه"), QStringLiteral("مراحل تملک اراضي"), QStringLiteral("رديف"),
          QStringLiteral("نوع مطالعه"), QStringLiteral("جمع کل:"), Shiraz, ShirazNorth, Lar,
          QStringLiteral("منابع طبيعي")})
        EXPECT_TRUE(text.contains(foldPrintedText(expected))) << expected.toStdString() << "\n" << text.toStdString();
    EXPECT_TRUE(report::fitProblems(layout, &session.lands).empty());
}

TARVEST_FOR_EACH_DATABASE(LandScreenTest);
