// Case attachments: a file goes in and comes back byte for byte, its extension is
// taken from the file's own name, other workstations' stores never mix with ours.
#include "cases/core/casepictures.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace tarvest;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class CasePicturesTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
    }
    QString file(const QString& name, const QByteArray& bytes)
    {
        const QString path = files.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir files;
};

TEST(PictureExtension, FromTheLastDotOfTheFileName)
{
    const struct {
        const char* path;
        const char* ext;
    } cases[] = {
        {"/scans/plan.final.jpg", ".jpg"},
        {"/scans/map", ""},
        {"/scans.2024/map", ""}, // a dot of the folder is not the file's
        {"/scans/map.", "."},
        {"C:/scans/letter.PDF", ".PDF"},
        {"/scans/archive.tar.gz", ".gz"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pictureExtension(c.path), QString(c.ext)) << c.path;
}

TEST_P(CasePicturesTest, BinaryFileComesBackUnchanged)
{
    QByteArray bytes(200 * 1024, '\0');
    auto* rng = QRandomGenerator::global();
    for (qsizetype i = 0; i < bytes.size(); i += 3) // every third byte random, the rest zero
        bytes[i] = char(rng->bounded(256));
    bytes[0] = '\0';
    const qint64 pk = storeCasePicture(*db, 7, file("plan.final.jpg", bytes), "نقشه زمين");

    const QList<CasePicture> listed = casePictures(*db, 7);
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed[0].pk, pk);
    EXPECT_EQ(listed[0].cod, 7);
    EXPECT_EQ(listed[0].ext, ".jpg");
    EXPECT_EQ(listed[0].cmt, "نقشه زمين");

    const QString saved = saveCasePicture(*db, pk, files.filePath("map"));
    EXPECT_EQ(saved, files.filePath("map.jpg"));
    EXPECT_EQ(readAll(saved), bytes);

    const QString temp1 = saveCasePictureToTemp(*db, pk);
    const QString temp2 = saveCasePictureToTemp(*db, pk);
    EXPECT_NE(temp1, temp2); // each opening has its own file
    EXPECT_TRUE(temp1.endsWith(".jpg")) << temp1.toStdString();
    EXPECT_EQ(readAll(temp1), bytes);
    QFile::remove(temp1);
    QFile::remove(temp2);

    EXPECT_TRUE(deleteCasePicture(*db, pk));
    EXPECT_FALSE(deleteCasePicture(*db, pk));
    EXPECT_TRUE(casePictures(*db, 7).isEmpty());
    EXPECT_THROW(saveCasePicture(*db, pk, files.filePath("gone")), Error);
}

TEST_P(CasePicturesTest, FileWithoutExtensionIsSavedUnderExactlyTheChosenName)
{
    const qint64 pk = storeCasePicture(*db, 3, file("scan", "abc"), "نامه");
    EXPECT_EQ(casePictures(*db, 3).value(0).ext, "");
    const QString saved = saveCasePicture(*db, pk, files.filePath("letter"));
    EXPECT_EQ(saved, files.filePath("letter"));
    EXPECT_EQ(readAll(saved), "abc");
}

TEST_P(CasePicturesTest, SameDescriptionTwiceKeepsBothAndOnlyTheirCaseListsThem)
{
    storeCasePicture(*db, 1, file("a.png", "A"), "عکس");
    storeCasePicture(*db, 1, file("b.png", "B"), "عکس");
    storeCasePicture(*db, 2, file("c.png", "C"), "عکس");
    const QList<CasePicture> listed = casePictures(*db, 1);
    ASSERT_EQ(listed.size(), 2);
    EXPECT_LT(listed[0].pk, listed[1].pk);
    EXPECT_EQ(listed[0].cmt, listed[1].cmt);
    EXPECT_EQ(casePictures(*db, 2).size(), 1);
}

TEST_P(CasePicturesTest, RefusedFilesStoreNothing)
{
    const QString ok = file("ok.jpeg", "x");
    const struct {
        QString path;
        QString description;
    } refused[] = {
        {file("drawing.dwgxyz", "x"), "نقشه"},   // extension of 7 characters
        {files.filePath("missing.jpg"), "نقشه"}, // no such file
        {files.path(), "نقشه"},                  // a folder
        {ok, "   "},                             // no description
        {ok, QString(151, QChar(0x0646))},       // description wider than its column
    };
    for (const auto& r : refused) {
        try {
            storeCasePicture(*db, 5, r.path, r.description);
            ADD_FAILURE() << "stored " << r.path.toStdString();
        } catch (const Error& e) {
            EXPECT_FALSE(e.message().isEmpty());
        }
    }
    EXPECT_TRUE(casePictures(*db, 5).isEmpty());
    EXPECT_GT(storeCasePicture(*db, 5, ok, "نقشه"), 0); // five characters with the dot fit
}

TEST_P(CasePicturesTest, TwoWorkstationsStoringAtOnceEachKeepTheirOwnFile)
{
    auto other = tmp->openAnother();
    // The other workstation is half-way through a store of the older kind: its row
    // waits in the staging table. Our store must neither take nor empty it.
    other->insert("pic_new", {{"cod", 2}, {"ext", ".tif"}, {"pic", QByteArray("staged")}, {"cmt", "قديمي"}});
    const qint64 mine = storeCasePicture(*db, 1, file("one.jpg", "ONE"), "اول");
    const qint64 theirs = storeCasePicture(*other, 2, file("two.pdf", "TWO"), "دوم");
    EXPECT_NE(mine, theirs);
    EXPECT_EQ(db->scalar("select count(*) from pic_new").toInt(), 1);

    const QList<CasePicture> one = casePictures(*other, 1), two = casePictures(*db, 2);
    ASSERT_EQ(one.size(), 1);
    ASSERT_EQ(two.size(), 1);
    EXPECT_EQ(readAll(saveCasePicture(*db, one[0].pk, files.filePath("r1"))), "ONE");
    EXPECT_EQ(readAll(saveCasePicture(*db, two[0].pk, files.filePath("r2"))), "TWO");
    EXPECT_EQ(two[0].ext, ".pdf");
}

TEST_P(CasePicturesTest, DeletingACaseDeletesExactlyItsPictures)
{
    storeCasePicture(*db, 10, file("a.jpg", "A"), "الف");
    storeCasePicture(*db, 10, file("b.jpg", "B"), "ب");
    storeCasePicture(*db, 11, file("c.jpg", "C"), "ج");
    EXPECT_EQ(deleteCasePictures(*db, 10), 2);
    EXPECT_EQ(deleteCasePictures(*db, 10), 0);
    EXPECT_TRUE(casePictures(*db, 10).isEmpty());
    EXPECT_EQ(casePictures(*db, 11).size(), 1);
}

TEST_P(CasePicturesTest, UnwritableSavePathIsRefused)
{
    const qint64 pk = storeCasePicture(*db, 1, file("a.jpg", "A"), "الف");
    EXPECT_THROW(saveCasePicture(*db, pk, files.filePath("no/such/folder/x")), Error);
    EXPECT_THROW(saveCasePicture(*db, pk, "/proc/tarvest-cannot-write"), Error);
}

TARVEST_FOR_EACH_DATABASE(CasePicturesTest);

} // namespace
