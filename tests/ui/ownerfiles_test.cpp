// Files that hold an office's data are created owner-only, whatever the umask: the
// embedded database and its journal, backups, exports (.xlsx and the HTML table) and saved
// PDFs. A file replaced keeps the permissions it had.
#include "admin/core/backup.h"
#include "cases/core/caseexport.h"
#include "db/embedded.h"
#include "db/export.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "reports/reportlayout.h"
#include "reports/reportrenderer.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

#include <sys/stat.h>

using namespace tarvest;

namespace {

// The umask of a workstation where every new file is readable by all.
class OpenUmask {
public:
    OpenUmask() : m_old(::umask(022)) {}
    ~OpenUmask() { ::umask(m_old); }
    OpenUmask(const OpenUmask&) = delete;
    OpenUmask& operator=(const OpenUmask&) = delete;

private:
    mode_t m_old;
};

// The permission bits of a file, as "600"; "missing" when there is none.
std::string modeOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return "missing";
    char text[8];
    std::snprintf(text, sizeof text, "%o", unsigned(st.st_mode & 0777));
    return text;
}

class OwnerOnlyFiles : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (db) {
            ASSERT_TRUE(provisionSucceeded(provision(*db)));
        }
    }
    QTemporaryDir dir;
};

TEST_P(OwnerOnlyFiles, BackupsAndExportsAreTheOwnersAlone)
{
    db->insert("komision", {{"city", "تبريز"}, {"abadi_cod", "050101010"}, {"malek_pardakhti", "1,250,000"}});
    ResultSet rs(db);
    rs.open("select * from komision");
    const OpenUmask umask;

    const QString backup = backupDatabase(*db, dir.path(), "1403/09/20");
    EXPECT_EQ(modeOf(backup), "600") << backup.toStdString();

    for (const char* name : {"cases.xlsx", "rep.xls"}) {
        const QString path = dir.filePath(name);
        writeCaseListHtml(rs, path);
        EXPECT_EQ(modeOf(path), "600") << name;
    }
    const QString list = dir.filePath("list.xlsx");
    exportResultSet(rs, list);
    EXPECT_EQ(modeOf(list), "600");

    // An export over a file the office shared on purpose keeps that file's permissions.
    ASSERT_TRUE(QFile::setPermissions(list, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    exportResultSet(rs, list);
    EXPECT_EQ(modeOf(list), "640");
}

TARVEST_FOR_EACH_DATABASE(OwnerOnlyFiles);

TEST(OwnerOnlyFilesOnDisk, ANewEmbeddedDatabaseAndItsJournal)
{
    QTemporaryDir dir;
    const OpenUmask umask;
    const QString path = dir.filePath("data/tarvest.sqlite");
    std::unique_ptr<Database> db = openEmbeddedDatabase(path);
    EXPECT_EQ(modeOf(path), "600");
    // The journal of a transaction in progress, and the write-ahead log in WAL mode.
    db->begin();
    db->insert("phone", {{"name", "دبيرخانه"}, {"tel", "041-1"}});
    EXPECT_EQ(modeOf(path + "-journal"), "600");
    db->commit();
    db->exec("PRAGMA journal_mode=WAL");
    db->insert("phone", {{"name", "امور اراضي"}, {"tel", "041-2"}});
    EXPECT_EQ(modeOf(path + "-wal"), "600");
}

TEST(OwnerOnlyFilesOnDisk, ASavedPdf)
{
    QTemporaryDir dir;
    const OpenUmask umask;
    const report::Layout layout = report::Layout::fromJson(
        R"({"page": {"paper": "A5", "margins": 10}, "bands": [{"kind": "detail", "height": 40, "elements": []}]})",
        QStringLiteral("t"));
    const QString pdf = dir.filePath("letter.pdf");
    report::renderToPdf(layout, nullptr, pdf);
    EXPECT_EQ(modeOf(pdf), "600");
}

} // namespace
