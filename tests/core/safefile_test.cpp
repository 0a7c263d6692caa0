// Safe file writing: a file is replaced only by a complete one, a failure says why and leaves
// neither a partial file nor a changed earlier file. The hard cases (a full disk, a kill in
// the middle of an export) run in a child process with limits of its own.
#include "common/errors.h"
#include "common/safefile.h"
#include "common/spreadsheet.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/stat.h>

using namespace tarvest;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Files of the folder other than `keep`: what a failed or killed write left behind.
QStringList leftovers(const QDir& dir, const QStringList& keep)
{
    QStringList out;
    for (const QString& n : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        if (!keep.contains(n))
            out << n;
    return out;
}

struct Child {
    int exitCode = -1;
    QString out;
};

Child runWriter(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TARVEST_TEST_FILEWRITER_EXE), args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

class SafeFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    void put(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

} // namespace

TEST_F(SafeFileTest, ReplacesOnlyOnCommitAndKeepsThePermissions)
{
    const QString target = file("help.pdf");
    put(target, "earlier");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    {
        SafeFile f(target);
        f.write("new ");
        f.write("text");
        EXPECT_EQ(readAll(target), "earlier"); // not before the commit
        EXPECT_EQ(QFileInfo(f.tempPath()).absolutePath(), QFileInfo(target).absolutePath());
        f.commit();
    }
    EXPECT_EQ(readAll(target), "new text");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(leftovers(QDir(dir.path()), {QStringLiteral("help.pdf")}), QStringList());

    { // abandoned without commit: the earlier file stays and the temporary one goes
        SafeFile f(target);
        f.write("half");
    }
    EXPECT_EQ(readAll(target), "new text");
    EXPECT_EQ(leftovers(QDir(dir.path()), {QStringLiteral("help.pdf")}), QStringList());
}

// What a killed write left behind is cleared by the next write of the same file once it
// is an hour old; a younger one may be a write in progress and stays.
TEST_F(SafeFileTest, LeftoversOfAKilledWriteAreClearedLater)
{
    const QString target = file("rep.xlsx");
    const QString old = file(".rep.xlsx.AbC123"), young = file(".rep.xlsx.XyZ789"), other = file(".other.xlsx.AbC123");
    for (const QString& p : {old, young, other})
        put(p, "partial");
    QFile f(old);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-7200), QFileDevice::FileModificationTime));
    f.close();
    QFile g(other);
    ASSERT_TRUE(g.open(QIODevice::ReadWrite));
    ASSERT_TRUE(g.setFileTime(QDateTime::currentDateTime().addSecs(-7200), QFileDevice::FileModificationTime));
    g.close();
    writeFileSafely(target, "done");
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(young));
    EXPECT_TRUE(QFile::exists(other)); // another file's leftovers are not this write's business
    EXPECT_EQ(readAll(target), "done");
}

TEST_F(SafeFileTest, FailuresNameTheFileAndTheReason)
{
    struct Case {
        const char* name;
        QString target;
        QString reason;
    };
    const Case cases[] = {
        {"missing folder", file("no/such/folder/a.xlsx"), QStringLiteral("پوشه وجود ندارد")},
        {"a folder as the target", dir.path(), QStringLiteral("اين مسير يک پوشه است")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            writeFileSafely(c.target, "x");
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("خطا! فايل"))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(c.reason)) << e.message().toStdString();
            // The path reads left to right inside the Persian sentence.
            EXPECT_TRUE(e.message().contains(QChar(0x2066) + QDir::toNativeSeparators(c.target) + QChar(0x2069)));
        }
    }
    EXPECT_EQ(leftovers(QDir(dir.path()), {}), QStringList());
}

// A disk that fills up: every file of the child stops at a size limit, as on a full disk
// (works as any user, also as root in CI). The earlier file stays whole and the reason is said.
TEST_F(SafeFileTest, FullDiskIsAnErrorAndKeepsTheEarlierFile)
{
    const QString target = file("font-help.pdf");
    put(target, "the earlier help file");
    const Child c = runWriter({QStringLiteral("bytes"), target, QStringLiteral("1048576"), QStringLiteral("--fsize"),
                               QStringLiteral("118784")});
    EXPECT_EQ(c.exitCode, 1) << c.out.toStdString();
    EXPECT_TRUE(c.out.contains(QStringLiteral("فايل از اندازه مجاز بزرگ‌تر است")))
        << c.out.toStdString();
    EXPECT_EQ(readAll(target), "the earlier help file");
    EXPECT_EQ(leftovers(QDir(dir.path()), {QStringLiteral("font-help.pdf")}), QStringList());
}

// libxlsxwriter writes each part to a temporary file first and does not notice when those
// writes fail: a full temporary folder gave a "successful" workbook no reader could open.
// Here the parts' temporary files hit the limit while the compressed workbook stays under it.
TEST_F(SafeFileTest, FullTemporaryFolderFailsTheExport)
{
    const QString target = file("list.xlsx");
    put(target, "earlier workbook");
    const Child c = runWriter({QStringLiteral("xlsx"), target, QStringLiteral("20000"), QStringLiteral("--fsize"),
                               QStringLiteral("1000000")});
    EXPECT_EQ(c.exitCode, 1) << c.out.toStdString();
    EXPECT_TRUE(c.out.startsWith(QStringLiteral("خطا! فايل"))) << c.out.toStdString();
    EXPECT_EQ(readAll(target), "earlier workbook");
    EXPECT_EQ(leftovers(QDir(dir.path()), {QStringLiteral("list.xlsx")}), QStringList());

    // Without the limit the same export succeeds and reads back whole.
    const Child ok = runWriter({QStringLiteral("xlsx"), target, QStringLiteral("20000")});
    ASSERT_EQ(ok.exitCode, 0) << ok.out.toStdString();
    EXPECT_EQ(readSheet(target, QStringLiteral("Sheet1")).rows.size(), 20000);
}

// kill -9 while an export runs over an earlier workbook: in the middle of the rows, and at
// moments spread over the whole export (the zipping included).
TEST_F(SafeFileTest, KilledExportLeavesTheEarlierWorkbook)
{
    const QString target = file("rep.xlsx");
    const Child first = runWriter({QStringLiteral("xlsx"), target, QStringLiteral("3")});
    ASSERT_EQ(first.exitCode, 0) << first.out.toStdString();
    QByteArray earlier = readAll(target);

    auto expectEarlier = [&] {
        EXPECT_EQ(readAll(target), earlier);
        EXPECT_EQ(readSheet(target, QStringLiteral("Sheet1")).rows.size(), 3);
    };
    { // paused half way through the rows
        QProcess p;
        p.start(QStringLiteral(TARVEST_TEST_FILEWRITER_EXE), {QStringLiteral("xlsx"), target, QStringLiteral("5000"),
                                                              QStringLiteral("--signal-at"), QStringLiteral("2500")});
        ASSERT_TRUE(p.waitForReadyRead(60000));
        EXPECT_EQ(p.readLine().trimmed(), "writing");
        ::kill(pid_t(p.processId()), SIGKILL);
        p.waitForFinished();
        expectEarlier();
    }
    QRandomGenerator rng(11);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        QProcess p;
        p.start(QStringLiteral(TARVEST_TEST_FILEWRITER_EXE), {QStringLiteral("xlsx"), target, QStringLiteral("20000")});
        ASSERT_TRUE(p.waitForStarted());
        bool finished = p.waitForFinished(int(rng.bounded(50, 900)));
        if (!finished) {
            ::kill(pid_t(p.processId()), SIGKILL);
            p.waitForFinished();
            // The kill may land after the rename and before the exit: then the new workbook
            // is in place, whole. Either way never a mixture of the two.
            finished = readAll(target) != earlier;
            if (!finished)
                expectEarlier();
        }
        if (finished) { // the new workbook is whole
            EXPECT_EQ(readSheet(target, QStringLiteral("Sheet1")).rows.size(), 20000);
            const Child again = runWriter({QStringLiteral("xlsx"), target, QStringLiteral("3")});
            ASSERT_EQ(again.exitCode, 0);
            earlier = readAll(target);
        }
    }
}
