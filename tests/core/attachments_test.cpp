// The program's stored files on both databases: the title list, one file per title, the
// bytes of a stored file coming back unchanged, and passwords kept as hashes that the
// declaration form's signature lookup verifies.
#include "admin/core/attachments.h"
#include "cases/prints/core/countyprint.h"
#include "common/openedcopies.h"
#include "common/password.h"
#include "db/blobio.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/uniquekey.h"
#include "testdb.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

using namespace tarvest;

namespace {

class AttachmentsTest : public test::DbTest {
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
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    QString storedPassword(qint64 id) { return db->scalar("SELECT ramz FROM zamaem WHERE id = ?", {id}).toString(); }
    QTemporaryDir dir;
};

TEST_P(AttachmentsTest, TitlesAreTheProgramFilesAndOneSignaturePerCounty)
{
    for (const char* county : {"مياندوآب", "اروميه", "خوي", "اروميه", ""})
        db->insert("abadiha", {{"shahrestan", QString::fromUtf8(county)}, {"rosta", "x"}});
    const QStringList titles = attachmentTitles(*db);
    const QString sign = QStringLiteral("تصوير امضا مدير شهرستان ");
    QStringList expected{QStringLiteral("آخرين نسخه نرم افزار"), QStringLiteral("راهنمايي حل مشکل نمايش فونت ها"),
                         sign + QStringLiteral("اروميه"), sign + QStringLiteral("خوي"),
                         sign + QStringLiteral("مياندوآب")};
    const QCollator persian(QLocale(QLocale::Persian, QLocale::Iran));
    std::stable_sort(expected.begin(), expected.end(), persian);
    EXPECT_EQ(titles, expected);
    // The county forms build the same title from a case's county.
    EXPECT_EQ(caseprint::signatureTitle(QStringLiteral("خوي")), sign + QStringLiteral("خوي"));
}

TEST_P(AttachmentsTest, OneFilePerTitleAndItsBytesComeBackUnchanged)
{
    QByteArray bytes;
    for (int i = 0; i < 300000; ++i)
        bytes.append(char(i * 7 % 256)); // every byte value, NULs included
    const QString title = attachment::NewestPackage;
    const qint64 id = storeAttachment(*db, title, QString(), file("tarvest_1.2.deb", bytes));
    EXPECT_TRUE(attachmentTitleTaken(*db, title));
    EXPECT_THROW(storeAttachment(*db, title, "x", file("other.jpg", "other")), DuplicateKey);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM zamaem").toInt(), 1);
    EXPECT_EQ(db->scalar("SELECT pictype FROM zamaem WHERE id = ?", {id}).toString(), ".deb");

    // Each opening writes its own new file with the stored extension.
    const QString first = saveAttachmentToTemp(*db, id);
    const QString second = saveAttachmentToTemp(*db, id);
    EXPECT_NE(first, second);
    for (const QString& path : {first, second}) {
        EXPECT_TRUE(path.endsWith(".deb")) << path.toStdString();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), bytes);
        QFile::remove(path);
    }

    // Refusals: no title, a long extension, an unreadable file; nothing is written.
    EXPECT_THROW(storeAttachment(*db, "", "", file("a.jpg", "a")), Error);
    EXPECT_THROW(storeAttachment(*db, attachment::FontHelp, "", file("a.jpeg2", "a")), Error);
    EXPECT_THROW(storeAttachment(*db, attachment::FontHelp, "", dir.filePath("missing.pdf")), Error);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM zamaem").toInt(), 1);

    EXPECT_TRUE(deleteAttachment(*db, id));
    EXPECT_FALSE(deleteAttachment(*db, id));
    EXPECT_THROW(saveAttachmentToTemp(*db, id), Error);
    // Once deleted, the title takes a new file.
    EXPECT_GT(storeAttachment(*db, title, QString(), file("tarvest_1.3.deb", "new")), id);
}

TEST_P(AttachmentsTest, AFileOfManyPiecesGoesInAndComesOutWholeIntoAnOwnerOnlyFolder)
{
    // Three and a half pieces, every byte value; and an empty file.
    QByteArray bytes(qsizetype(3.5 * kBlobPiece), '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 131 + i / 4099) % 256);
    const auto largeObjects = [&] {
        return GetParam() == test::Backend::Postgres
                   ? db->scalar("SELECT count(*) FROM pg_largeobject_metadata").toInt()
                   : 0;
    };
    const int objectsBefore = largeObjects();
    QList<qint64> told;
    const qint64 id = storeAttachment(*db, attachment::NewestPackage, QString(), file("plan.pdf", bytes),
                                      [&](qint64 done, qint64 total) {
                                          EXPECT_EQ(total, bytes.size());
                                          told << done;
                                      });
    EXPECT_EQ(told.first(), 0);
    EXPECT_EQ(told.last(), bytes.size());
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_EQ(db->scalar("SELECT length(pic) FROM zamaem WHERE id = ?", {id}).toLongLong(), bytes.size());
    EXPECT_EQ(db->scalar("SELECT pic FROM zamaem WHERE id = ?", {id}).toByteArray(), bytes);
    const QString opened = saveAttachmentToTemp(*db, id);
    {
        QFile f(opened);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), bytes);
    }
    // The copy is in this run's folder, which only the user may enter.
    const QFileInfo folder(QFileInfo(opened).absolutePath());
    EXPECT_EQ(folder.absoluteFilePath(), QFileInfo(openedCopiesFolder()).absoluteFilePath());
    EXPECT_EQ(folder.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::ExeOther), 0);
    const qint64 empty = storeAttachment(*db, attachment::FontHelp, QString(), file("empty.txt", {}));
    const QString openedEmpty = saveAttachmentToTemp(*db, empty);
    EXPECT_EQ(QFileInfo(openedEmpty).size(), 0);
    EXPECT_EQ(largeObjects(), objectsBefore) << "no large object is left behind";

    // A store that fails half way (the title taken meanwhile) leaves nothing.
    EXPECT_THROW(storeAttachment(*db, attachment::NewestPackage, QString(), file("again.pdf", bytes)), DuplicateKey);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM zamaem").toInt(), 2);
    EXPECT_EQ(largeObjects(), objectsBefore);

    // The copies go with the run.
    removeOpenedCopies();
    EXPECT_FALSE(QFileInfo::exists(opened));
    EXPECT_FALSE(QFileInfo::exists(folder.absoluteFilePath()));
}

TEST(StoredFileLimit, ALargerFileThanTheDatabaseTakesIsNamedWithItsSize)
{
    const QString message = fileTooLargeMessage("/home/clerk/plan.pdf", qint64(1536) * 1024 * 1024,
                                                qint64(1024) * 1024 * 1024);
    EXPECT_TRUE(message.startsWith(QStringLiteral("خطا!")));
    EXPECT_TRUE(message.contains(QStringLiteral("1536.0 مگابايت"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("حداکثر 1024.0 مگابايت"))) << message.toStdString();
}

TEST_P(AttachmentsTest, PasswordIsHashedAndVerifiedByTheSignatureLookup)
{
    const QString county = QStringLiteral("اروميه");
    const qint64 id = storeAttachment(*db, attachment::signatureTitle(county), QStringLiteral("رمز۱۲۳"),
                                      file("emza.jpg", "JPEG"));
    const QString stored = storedPassword(id);
    EXPECT_TRUE(isPasswordHash(stored)) << stored.toStdString();
    EXPECT_FALSE(stored.contains(QStringLiteral("رمز۱۲۳")));

    EXPECT_EQ(caseprint::signaturePicture(*db, county, QStringLiteral("رمز۱۲۳")), QByteArray("JPEG"));
    for (const char* wrong : {"", "?", "رمز", "رمز۱۲۳ "})
        EXPECT_FALSE(caseprint::signaturePicture(*db, county, QString::fromUtf8(wrong))) << wrong;
    EXPECT_FALSE(caseprint::signaturePicture(*db, QStringLiteral("خوي"), QStringLiteral("رمز۱۲۳")));

    // A changed password replaces the old one, again as a hash.
    changeAttachmentPassword(*db, id, "new");
    EXPECT_TRUE(isPasswordHash(storedPassword(id)));
    EXPECT_FALSE(caseprint::signaturePicture(*db, county, QStringLiteral("رمز۱۲۳")));
    EXPECT_EQ(caseprint::signaturePicture(*db, county, "new"), QByteArray("JPEG"));
    EXPECT_THROW(changeAttachmentPassword(*db, id + 100, "x"), Error);
}

TEST_P(AttachmentsTest, WithoutPasswordOnlyAnEmptyAnswerFindsThePicture)
{
    const QString county = QStringLiteral("خوي");
    const qint64 id = storeAttachment(*db, attachment::signatureTitle(county), QString(), file("e.jpg", "PIC"));
    EXPECT_EQ(storedPassword(id), "");
    EXPECT_FALSE(caseprint::signaturePicture(*db, county, "?"));
    EXPECT_EQ(caseprint::signaturePicture(*db, county, ""), QByteArray("PIC"));
    EXPECT_EQ(storedPassword(id), ""); // still no password
}

TEST_P(AttachmentsTest, APlainPasswordIsAcceptedOnceAndStoredAsAHash)
{
    const QString county = QStringLiteral("مياندوآب");
    const qint64 id = db->insert("zamaem", {{"cmt", attachment::signatureTitle(county)},
                                            {"ramz", "1234"},
                                            {"pictype", ".jpg"},
                                            {"pic", QByteArray("OLD")}});
    EXPECT_FALSE(caseprint::signaturePicture(*db, county, "4321"));
    EXPECT_EQ(storedPassword(id), "1234"); // a wrong answer changes nothing
    EXPECT_EQ(caseprint::signaturePicture(*db, county, "1234"), QByteArray("OLD"));
    const QString hashed = storedPassword(id);
    EXPECT_TRUE(isPasswordHash(hashed)) << hashed.toStdString();
    EXPECT_TRUE(verifyPassword(hashed, "1234"));
    // From now on the hash answers, the same way.
    EXPECT_EQ(caseprint::signaturePicture(*db, county, "1234"), QByteArray("OLD"));
    EXPECT_FALSE(caseprint::signaturePicture(*db, county, "12345"));
    EXPECT_EQ(storedPassword(id), hashed);
}

TARVEST_FOR_EACH_DATABASE(AttachmentsTest);

} // namespace
