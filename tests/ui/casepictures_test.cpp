// The attachments screen: storing with its status light, save-and-open of a clicked
// row, the delete flow with its password, and the rights it follows.
#include "cases/casepictures.h"
#include "cases/core/casepictures.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "testdb.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

using namespace tarvest;

namespace {

const QString kAskDescription = "ابتدا شرح ضميمه را وارد نماييد";
const QString kWrongPassword = "كلمه عبور را اشتباه وارد نموديد";
const QString kConfirm = "آيا ضميمه حذف شود؟";
const QString kDeleted = "حذف شد";
const PageRights kAll{true, true, true, true};

class CasePicturesScreenTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        db->insert("setting", {{"component", lists::DeletePassword}, {"cmt", "1234"}});
        db->insert("setting", {{"component", lists::CommissionAttachments}, {"cmt", "نقشه"}});
        db->insert("setting", {{"component", lists::CommissionAttachments}, {"cmt", "نامه"}});
        session.setDatabase(tmp->openAnother());
        screen = std::make_unique<Tkomision_pic>(session);
        screen->openFor(casePk, kAll);
    }
    template <typename T>
    T* control(const char* name)
    {
        T* w = screen->findChild<T*>(name);
        EXPECT_TRUE(w) << name;
        return w;
    }
    QString file(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    void store(const QString& description, const QString& path)
    {
        control<QComboBox>("cmt")->setEditText(description);
        dialogs.files.enqueue(path);
        screen->storeFile();
    }
    QColor light()
    {
        auto* shape = control<QWidget>("Shape1");
        return shape->grab().toImage().pixelColor(shape->width() / 2, shape->height() / 2);
    }
    int listed() { return control<QTableView>("DBGrid1")->model()->rowCount(); }
    QList<CasePicture> stored() { return casePictures(*db, casePk); }

    const qint64 casePk = 42;
    Session session;
    test::FakeDialogs dialogs;
    QTemporaryDir dir;
    std::unique_ptr<Tkomision_pic> screen;
};

TEST_P(CasePicturesScreenTest, LayoutAndDescriptionChoices)
{
    EXPECT_EQ(screen->windowTitle(), "ضمائم");
    EXPECT_EQ(control<QPushButton>("ins_btn")->text(), "ثبت");
    EXPECT_EQ(control<QCheckBox>("CheckBox1")->text(), "پس از ذخيره باز شود");
    EXPECT_TRUE(control<QCheckBox>("CheckBox1")->isChecked());

    auto* cmt = control<QComboBox>("cmt");
    EXPECT_TRUE(cmt->isEditable());
    screen->show();
    ASSERT_EQ(cmt->count(), 2);
    EXPECT_EQ(cmt->itemText(0), "نقشه");
    db->insert("setting", {{"component", lists::CommissionAttachments}, {"cmt", "عکس"}});
    screen->hide();
    cmt->setEditText("در حال نوشتن");
    screen->show(); // refilled on every showing; what was typed stays
    EXPECT_EQ(cmt->count(), 3);
    EXPECT_EQ(cmt->currentText(), "در حال نوشتن");

    store("نقشه", file("plan.final.jpg", "JPG"));
    auto* grid = control<QTableView>("DBGrid1");
    auto* model = grid->model();
    QStringList visible;
    for (int c = 0; c < model->columnCount(); ++c)
        if (!grid->isColumnHidden(c))
            visible << model->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(visible, (QStringList{"شرح ضميمه", "فرمت"}));
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == "شرح ضميمه") {
            EXPECT_EQ(grid->columnWidth(c), 200);
        }
    screen->hide();
}

TEST_P(CasePicturesScreenTest, StoringLightsGreenAndListsTheFile)
{
    screen->show();
    EXPECT_EQ(light(), QColor(Qt::white));
    store("نقشه", file("plan.final.jpg", "JPG"));
    EXPECT_EQ(light(), QColor(Qt::green));
    ASSERT_EQ(listed(), 1);
    ASSERT_EQ(stored().size(), 1);
    EXPECT_EQ(stored()[0].ext, ".jpg");

    store("نقشه", file("drawing.dwgxyz", "X")); // extension too long
    EXPECT_EQ(light(), QColor(Qt::white));      // the last file was not stored
    EXPECT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(stored().size(), 1);

    store("نقشه", file("second.jpg", "J2")); // same description again: both kept
    EXPECT_EQ(listed(), 2);
    screen->hide();
}

TEST_P(CasePicturesScreenTest, NoDescriptionAsksForOneAndOpensNoDialog)
{
    const QString path = file("a.jpg", "A");
    store("  ", path);
    EXPECT_EQ(dialogs.shown, QStringList{kAskDescription});
    EXPECT_EQ(dialogs.files.size(), 1); // the file chooser was never asked
    EXPECT_TRUE(stored().isEmpty());
}

TEST_P(CasePicturesScreenTest, ClickedRowIsSavedUnderTheChosenNameAndOpened)
{
    store("نقشه زمين", file("plan.final.jpg", QByteArray("\0JPEG\0", 6)));
    store("نامه", file("scan", "LETTER"));
    dialogs.files.enqueue(dir.filePath("map"));
    screen->saveAndOpen(0);
    EXPECT_EQ(dialogs.suggestedNames, QStringList{"نقشه زمين"});
    EXPECT_EQ(dialogs.opened, QStringList{dir.filePath("map.jpg")});
    QFile saved(dir.filePath("map.jpg"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("\0JPEG\0", 6));

    control<QCheckBox>("CheckBox1")->setChecked(false);
    dialogs.files.enqueue(dir.filePath("letter"));
    screen->saveAndOpen(1);
    EXPECT_TRUE(QFile::exists(dir.filePath("letter"))); // no extension: exactly the chosen name
    EXPECT_EQ(dialogs.opened.size(), 1);                // not opened when unticked

    control<QCheckBox>("CheckBox1")->setChecked(true);
    screen->saveAndOpen(1); // the save dialog cancelled: nothing to open
    EXPECT_EQ(dialogs.opened.size(), 1);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_P(CasePicturesScreenTest, DeleteNeedsThePasswordAndAYes)
{
    store("نقشه", file("a.jpg", "A"));
    store("نامه", file("b.jpg", "B"));
    auto* grid = control<QTableView>("DBGrid1");
    grid->setCurrentIndex(grid->model()->index(1, 0));

    const struct {
        const char* password;
        QList<Dialogs::Answer> answers;
        QStringList shown;
        int left;
    } steps[] = {
        {"12345", {}, {kWrongPassword}, 2},
        {"?", {}, {kWrongPassword}, 2}, // a cancelled input box answers "?"
        {"1234", {Dialogs::Answer::No}, {}, 2},
        {"1234", {Dialogs::Answer::Cancel}, {}, 2},
        {"1234", {Dialogs::Answer::Yes}, {kDeleted}, 1},
    };
    for (const auto& s : steps) {
        dialogs.shown.clear();
        dialogs.asked.clear();
        dialogs.inputs.enqueue(s.password);
        for (auto a : s.answers)
            dialogs.answers.enqueue(a);
        grid->setCurrentIndex(grid->model()->index(grid->model()->rowCount() - 1, 0));
        screen->deleteSelected();
        EXPECT_EQ(dialogs.asked.value(0), "Password | کلمه عبور") << s.password;
        if (!s.answers.isEmpty()) {
            EXPECT_EQ(dialogs.asked.value(1), kConfirm);
        }
        EXPECT_EQ(dialogs.shown, s.shown) << s.password;
        EXPECT_EQ(stored().size(), s.left) << s.password;
    }
    ASSERT_EQ(stored().size(), 1);
    EXPECT_EQ(stored()[0].cmt, "نقشه"); // the selected row went, not the first
    EXPECT_EQ(listed(), 1);
}

TEST_P(CasePicturesScreenTest, RightsHideStoringAndDisableDeleting)
{
    store("نقشه", file("a.jpg", "A"));
    screen->show();
    screen->openFor(casePk, PageRights{false, true, false, true});
    EXPECT_FALSE(control<QPushButton>("ins_btn")->isVisible());
    QAction* remove = nullptr;
    for (QAction* a : control<QTableView>("DBGrid1")->actions())
        if (a->text() == "حذف")
            remove = a;
    ASSERT_TRUE(remove);
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_EQ(control<QComboBox>("cmt")->currentText(), ""); // emptied on opening
    EXPECT_EQ(listed(), 1);

    dialogs.inputs.enqueue("1234");
    dialogs.answers.enqueue(Dialogs::Answer::Yes);
    screen->deleteSelected();
    store("نامه", file("b.jpg", "B"));
    EXPECT_EQ(stored().size(), 1);
    EXPECT_TRUE(dialogs.asked.isEmpty());

    screen->openFor(casePk, kAll);
    EXPECT_TRUE(control<QPushButton>("ins_btn")->isVisible());
    EXPECT_TRUE(remove->isEnabled());
    screen->hide();
}

TEST_P(CasePicturesScreenTest, EachCaseListsOnlyItsOwnAttachments)
{
    store("نقشه", file("a.jpg", "A"));
    screen->openFor(casePk + 1, kAll);
    EXPECT_EQ(listed(), 0);
    store("نامه", file("b.jpg", "B"));
    EXPECT_EQ(casePictures(*db, casePk + 1).size(), 1);
    EXPECT_EQ(stored().size(), 1);
}

TARVEST_FOR_EACH_DATABASE(CasePicturesScreenTest);

} // namespace
