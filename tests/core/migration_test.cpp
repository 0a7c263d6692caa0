// Moving an office from the old program: Management Studio's data scripts of a filled
// database (every encoding, with and without the schema) migrate into both kinds of
// database row for row; passwords arrive as hashes that take the old password; a script
// cut short, a value that does not fit or a key given twice is reported and leaves the
// target as it was.
#include "admin/core/legacyscript.h"
#include "admin/core/migration.h"
#include "admin/core/sampledata.h"
#include "common/password.h"
#include "db/database.h"
#include "db/login.h"
#include "db/provision.h"
#include "db/schema.h"
#include "legacyscriptwriter.h"
#include "testdb.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStringConverter>
#include <QTemporaryDir>

using namespace tarvest;
using namespace tarvest::test;

namespace {

const QString kUserPassword = QStringLiteral("Sib-e-Sorkh#1403");
const QString kClerkPassword = QStringLiteral("رمز بهار 1402");
const QString kAttachmentPassword = QStringLiteral("Emza-ye-Modir-77");

QByteArray utf16(const QString& text)
{
    return QStringEncoder(QStringConverter::Utf16LE).encode(text);
}

// A picture of 5 MB whose bytes cover every value.
QByteArray bigPicture()
{
    QByteArray b(5 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator gen(1403);
    for (qsizetype i = 0; i < b.size(); ++i)
        b[i] = char(gen.bounded(256));
    b.replace(0, 4, "\x89PNG");
    return b;
}

// Rows an office's years leave behind, beyond the sample: the widest texts, quotes and
// line breaks (one holding a GO line), 15-digit amounts, NULLs, fractions, pictures,
// messages, passwords. With arabicLetters only letters Windows-1256 has (Arabic yeh).
void addRealisticRows(Database& db, bool arabicLetters)
{
    auto persian = [&](QString s) {
        if (arabicLetters) {
            s.replace(QChar(0x06CC), QChar(0x064A));
            for (char16_t d = 0x06F0; d <= 0x06F9; ++d)
                s.replace(QChar(d), QChar(u'0' + (d - 0x06F0)));
        }
        return s;
    };
    db.insert(
        "users",
        {{"us", "0012345678"},
         {"ps", hashPassword(kUserPassword)},
         {"lev", "city"},
         {"ver", "1"},
         {"nam", persian(QStringLiteral(
                     "سیده فاطمه‌زهرا حسینی‌نژاد کلانتری فیروزآبادی"))},
         {"ostan", QStringLiteral("استان نمونه")},
         {"semat", QStringLiteral("كارشناس")},
         {"mobile", QVariant()},
         {"status", QStringLiteral("فعال")}});
    db.insert("users", {{"us", "clerk"},
                        {"ps", hashPassword(kClerkPassword)},
                        {"lev", "ostan"},
                        {"ver", "1"},
                        {"status", QStringLiteral("فعال")}});
    const QString applicant =
        persian(QString(QStringLiteral("محمدعلی کریمی‌پور اصفهانی 'ابن' ")).repeated(3))
            .left(70);
    const qint64 caseKey = db.insert(
        "komision",
        {{"paper_no", persian(QStringLiteral("۱۲۳۴/ص/۱۴۰۲"))},
         {"paper_dat", "1402/07/15"},
         {"city", QStringLiteral("آبشار")},
         {"rosta", QStringLiteral("گل آباد")},
         {"darkhast", applicant},
         {"manzor", QStringLiteral("تغيير كاربري")},
         {"masahat_na", "1250.75"},
         {"price_metr", "999999999999999"},
         {"komision_dat", "    /  /  "},
         {"cmt", persian(QStringLiteral("سطر اول\r\nGO\r\nسطر 'سوم'\nپایان"))},
         {"fani", QString()},
         {"mashmol", QVariant()},
         {"ostan", persian(QStringLiteral("استان نمونه با نامی بلند که از صد نویسه هم بیشتر است و هیچ حدی ندارد "
                                          "چون ستون متن آزاد است"))}});
    db.insert("komision_pic", {{"cod", caseKey}, {"ext", ".png"}, {"pic", bigPicture()}, {"cmt", "نقشه"}});
    db.insert("komision_pic", {{"cod", caseKey}, {"ext", ".jpg"}, {"pic", QByteArray()}, {"cmt", QVariant()}});
    const qint64 doc = db.insert("asnad", {{"city", QStringLiteral("آبشار")},
                                           {"sal", "1402"},
                                           {"rosta_cnt", 2147483647},
                                           {"fish_mablagh", qint64(999999999999999)},
                                           {"fish_mablagh2", qint64(-125000)},
                                           {"ozv_mablagh", qint64(0)},
                                           {"sayer_kar", QVariant()},
                                           {"fish_name", persian(QStringLiteral("حسین"))}});
    db.insert("sayerkar",
              {{"asnad_id", doc}, {"nam", "x"}, {"darsad", 100.0 / 3.0}, {"mablagh", qint64(333333333333333)}});
    db.insert("sayerkar", {{"asnad_id", doc}, {"nam", "y"}, {"darsad", 12.5}, {"mablagh", qint64(1)}});
    db.insert("sayerkar", {{"asnad_id", doc}, {"nam", "z"}, {"darsad", 1e-7}, {"mablagh", QVariant()}});
    db.insert("vagozarityp", {{"vagozari", QStringLiteral("اجاره")}, {"zarib", 0.7}});
    db.insert("ghimat", {{"city", QStringLiteral("آبشار")}, {"paye_zarib", 1.15}, {"arzesh", qint64(250000000)}});
    for (int i = 0; i < 6; ++i)
        db.insert(
            "payamha",
            {{"send_prs_id", 1},
             {"rec_prs_id", 2},
             {"send_dat", "1402/01/0" + QString::number(i + 1)},
             {"show_dat", i % 2 ? QString() : QStringLiteral("1402/02/01")},
             {"mozo", QStringLiteral("جلسه")},
             {"cmt",
              (i == 5 ? QStringLiteral("Hello")
                      : persian(QStringLiteral("سلام، جلسه فردا\r\nساعت ۱۰ در اتاق «۲۰۴» است؛ لطفاً بیایید %1").arg(i)))
                  .toUtf8()}});
    db.insert("zamaem", {{"cmt", QStringLiteral("امضاي مدير")},
                         {"ramz", hashPassword(kAttachmentPassword)},
                         {"pictype", ".jpg"},
                         {"pic", QByteArray("\xFF\xD8\xFF\xE0 signature", 15)}});
    db.insert("zamaem",
              {{"cmt", QStringLiteral("راهنما")}, {"ramz", ""}, {"pictype", ".pdf"}, {"pic", QByteArray("%PDF")}});
    db.exec("INSERT INTO log (karbar, cmt, saat_sys) VALUES (?, ?, ?)",
            {"admin", QStringLiteral("ورود به برنامه"), "2019-03-04 10:20:30"});
    db.insert("log", {{"karbar", "admin"}, {"cmt", QStringLiteral("ثبت پرونده")}, {"saat_sys", QVariant()}});
    db.insert("arazi",
              {{"shahrestan", QStringLiteral("آبشار")}, {"abadi", "0101"}, {"far_cmt", QString(2000, QChar(0x0628))}});
    db.insert("dastrasi2", {{"user_id", 2}, {"cmt", QStringLiteral("آبشار")}});
}

// Every row of every table as comparable text, in key order: numbers by value, server
// times to the second, stored files by checksum, passwords left out (checked on their own).
QMap<QString, QStringList> comparableRows(Database& db)
{
    QMap<QString, QStringList> out;
    for (const Table& table : schemaTables()) {
        QStringList names;
        for (const Column& c : table.columns)
            names << c.name;
        QSqlQuery q = db.exec("SELECT " + names.join(", ") + " FROM " + table.name + " ORDER BY " + names.join(", "));
        QStringList rows;
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < names.size(); ++i) {
                const Column& c = table.columns[i];
                const QVariant v = q.value(i);
                if ((table.name == "users" && c.name == "ps") || (table.name == "zamaem" && c.name == "ramz")) {
                    values << (v.toString().isEmpty() ? "<none>" : "<password>");
                    continue;
                }
                if (v.isNull()) {
                    values << "<null>";
                    continue;
                }
                switch (c.type) {
                case ColType::Blob:
                    values << QString::fromLatin1(
                        QCryptographicHash::hash(v.toByteArray(), QCryptographicHash::Sha256).toHex());
                    break;
                case ColType::Float:
                    values << QString::number(v.toDouble(), 'g', 17);
                    break;
                case ColType::DateTime:
                    values << (v.typeId() == QMetaType::QDateTime ? v.toDateTime().toString("yyyy-MM-dd HH:mm:ss")
                                                                  : v.toString());
                    break;
                case ColType::Int:
                case ColType::BigInt:
                case ColType::Bit:
                case ColType::Money:
                    values << QString::number(v.toLongLong());
                    break;
                default:
                    values << v.toString();
                }
            }
            rows << values.join(QChar(0x1f));
        }
        rows.sort(); // the kinds of database order texts differently
        out[table.name] = rows;
    }
    return out;
}

// A source database, filled once per kind of letters and kept for the whole run.
Database& source(bool arabicLetters)
{
    static QTemporaryDir dir;
    static std::unique_ptr<Database> dbs[2];
    std::unique_ptr<Database>& db = dbs[arabicLetters ? 1 : 0];
    if (!db) {
        db = Database::openSqlite(dir.filePath(arabicLetters ? "ansi.sqlite" : "unicode.sqlite"));
        fillSampleData(*db);
        addRealisticRows(*db, arabicLetters);
    }
    return *db;
}

LegacyScriptShape shapeWithPasswords()
{
    LegacyScriptShape s;
    s.userPasswords = {{"0012345678", kUserPassword}, {"clerk", kClerkPassword}};
    s.attachmentPasswords = {{QStringLiteral("امضاي مدير"), kAttachmentPassword}};
    s.defaultPassword = kSamplePassword;
    return s;
}

class MigrationTest : public DbTest {
protected:
    // Runs the migration into this test's database: a new SQLite file beside it, or the
    // PostgreSQL database itself.
    MigrationReport migrate(const QString& script, const MigrationOptions& options = {})
    {
        if (GetParam() == Backend::Sqlite)
            return migrateScriptToSqliteFile(script, target(), options);
        return migrateScript(script, options.checkOnly ? nullptr : db, options);
    }
    QString target() const { return dir.filePath("migrated.sqlite"); }
    std::unique_ptr<Database> openTarget()
    {
        return GetParam() == Backend::Sqlite ? Database::openSqlite(target(), false) : tmp->openAnother();
    }
    // The target holds nothing: no file, or a server database without tables.
    void expectUntouched()
    {
        if (GetParam() == Backend::Sqlite)
            EXPECT_FALSE(QFileInfo::exists(target()));
        else
            EXPECT_TRUE(tmp->openAnother()->tableNames().isEmpty());
    }
    QTemporaryDir dir;
};

struct Shape {
    const char* name;
    LegacyScriptShape::Encoding encoding;
    bool bom, schema, insertInto, goEach;
    qint64 spill; // stored files above this go through a temporary file
};

TEST_P(MigrationTest, ScriptsOfEveryShapeMigrateEveryRow)
{
    const Shape shapes[] = {
        {"utf16-schema", LegacyScriptShape::Encoding::Utf16, true, true, false, true, 1024 * 1024},
        {"utf8-data", LegacyScriptShape::Encoding::Utf8, true, false, true, false, 8 * 1024 * 1024},
        {"cp1256-schema", LegacyScriptShape::Encoding::Windows1256, false, true, false, false, 1024 * 1024},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const bool ansi = shape.encoding == LegacyScriptShape::Encoding::Windows1256;
        Database& from = source(ansi);
        LegacyScriptShape s = shapeWithPasswords();
        s.encoding = shape.encoding;
        s.byteOrderMark = shape.bom;
        s.withSchema = shape.schema;
        s.insertInto = shape.insertInto;
        s.goAfterEachRow = shape.goEach;
        const QString script = dir.filePath(QString::fromLatin1(shape.name) + ".sql");
        writeLegacyScript(from, script, s);

        // A fresh target for each shape.
        TempDatabase fresh(GetParam());
        QFile::remove(target());
        MigrationOptions options;
        options.spillBytes = shape.spill;
        const MigrationReport report = GetParam() == Backend::Sqlite
                                           ? migrateScriptToSqliteFile(script, target(), options)
                                           : migrateScript(script, fresh.db(), options);
        ASSERT_FALSE(report.refused()) << report.problems.join('\n').toStdString();
        EXPECT_TRUE(report.written);
        EXPECT_TRUE(report.unknownTables.isEmpty());
        EXPECT_TRUE(report.unknownColumns.isEmpty());
        std::unique_ptr<Database> to = GetParam() == Backend::Sqlite ? Database::openSqlite(target(), false)
                                                                     : fresh.openAnother();
        const auto expected = comparableRows(from);
        const auto migrated = comparableRows(*to);
        for (auto it = expected.begin(); it != expected.end(); ++it)
            EXPECT_EQ(migrated.value(it.key()), it.value()) << it.key().toStdString();
        for (const MigratedTable& t : report.tables)
            EXPECT_EQ(t.read, t.written) << t.table.toStdString();

        // Every user logs in with the old password; no plain password is stored anywhere.
        for (const auto& [user, password] : {std::pair{QStringLiteral("0012345678"), kUserPassword},
                                             std::pair{QStringLiteral("clerk"), kClerkPassword},
                                             std::pair{QStringLiteral("admin"), kSamplePassword}}) {
            const QString stored = to->scalar("SELECT ps FROM users WHERE us = ?", {user}).toString();
            EXPECT_TRUE(isPasswordHash(stored)) << user.toStdString();
            EXPECT_TRUE(verifyPassword(stored, password)) << user.toStdString();
            EXPECT_TRUE(findUser(*to, user, password).has_value()) << user.toStdString();
        }
        const QString ramz = to->scalar(QStringLiteral("SELECT ramz FROM zamaem WHERE cmt = ?"),
                                        {QStringLiteral("امضاي مدير")})
                                 .toString();
        EXPECT_TRUE(verifyPassword(ramz, kAttachmentPassword));
        EXPECT_EQ(
            to->scalar(QStringLiteral("SELECT ramz FROM zamaem WHERE cmt = ?"), {QStringLiteral("راهنما")}).toString(),
            QString());
        for (const QStringList& rows : migrated)
            for (const QString& row : rows)
                for (const QString& plain : {kUserPassword, kClerkPassword, kAttachmentPassword})
                    EXPECT_FALSE(row.contains(plain));

        // New records follow the old keys.
        const qint64 largest = to->scalar("SELECT max(pk) FROM komision").toLongLong();
        EXPECT_GT(to->insert("komision", {{"paper_no", "new"}}), largest);
        const qint64 largestUser = to->scalar("SELECT max(id) FROM users").toLongLong();
        EXPECT_GT(to->insert("users", {{"us", "new"}}), largestUser);
    }
}

TEST_P(MigrationTest, MessagesArriveAsTheTextsTheMessagesScreenReads)
{
    LegacyScriptShape s;
    s.encoding = LegacyScriptShape::Encoding::Utf8;
    const QString script = dir.filePath("messages.sql");
    LegacyScriptWriter w(script, s);
    w.beginRows("payamha", {"id", "mozo", "cmt"}, true);
    const QString persian = QStringLiteral(
        "گزارش ماهانه\r\nبا «نقل قول» و یک‌نیم‌فاصله");
    const QString arabic = QStringLiteral("گزارش ماهانه كاربر ي");
    const QList<QByteArray> stored = {
        QStringEncoder(QStringConverter::Utf16LE).encode(persian),
        QByteArray("\xFF\xFE", 2) + QStringEncoder(QStringConverter::Utf16LE).encode(persian),
        QByteArray("\xFE\xFF", 2) + QStringEncoder(QStringConverter::Utf16BE).encode(persian),
        QByteArray("\xEF\xBB\xBF") + persian.toUtf8(),
        persian.toUtf8(),
        QStringEncoder("windows-1256").encode(arabic),
        QByteArray("Hello"),
    };
    for (int i = 0; i < stored.size(); ++i)
        w.row({QString::number(i + 1), "N'm'", "0x" + QString::fromLatin1(stored[i].toHex())});
    w.endRows();
    w.finish();
    const MigrationReport report = migrate(script);
    ASSERT_FALSE(report.refused()) << report.problems.join('\n').toStdString();
    auto to = openTarget();
    QSqlQuery q = to->exec("SELECT cmt FROM payamha ORDER BY id");
    QStringList texts;
    while (q.next())
        texts << QString::fromUtf8(q.value(0).toByteArray());
    EXPECT_EQ(texts, (QStringList{persian, persian, persian, persian, persian, arabic, "Hello"}));
    // The target holds the script's rows and nothing of its own.
    EXPECT_EQ(to->scalar("SELECT count(*) FROM users").toInt(), 0);
    EXPECT_EQ(to->scalar("SELECT count(*) FROM dastrasi").toInt(), 0);
}

// Each fault gives its report and leaves the target as it was.
TEST_P(MigrationTest, FaultsAreReportedAndLeaveTheTargetUnchanged)
{
    LegacyScriptShape s = shapeWithPasswords();
    const QString good = dir.filePath("good.sql");
    writeLegacyScript(source(false), good, s);
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray whole = f.readAll();
    f.close();

    auto withRows = [&](const QString& name, const QString& statements) {
        const QString path = dir.filePath(name);
        LegacyScriptWriter w(path, s);
        w.raw(statements);
        w.finish();
        return path;
    };
    const qsizetype pictureAt = whole.indexOf(utf16(QStringLiteral("0x89504E47")));
    ASSERT_GT(pictureAt, 0);
    const QString cut = dir.filePath("cut.sql");
    {
        QFile c(cut);
        ASSERT_TRUE(c.open(QIODevice::WriteOnly));
        c.write(whole.left(pictureAt + 2 * 1024 * 1024));
    }
    const QString cutAtGo = dir.filePath("cutgo.sql");
    {
        // Cut just before the last GO line: the last batch is not closed.
        QFile c(cutAtGo);
        ASSERT_TRUE(c.open(QIODevice::WriteOnly));
        c.write(whole.left(whole.lastIndexOf(utf16(QStringLiteral("GO")))));
    }
    const QString tooLong = QString(71, QChar(0x0645));
    struct Fault {
        const char* name;
        QString script;
        QStringList reported; // every text must be in the problems
        bool truncated;
    };
    const Fault faults[] = {
        {"cut in a picture", cut, {"کامل نیست"}, true},
        {"cut before the last GO", cutAtGo, {"GO", "کامل نیست"}, true},
        {"too long",
         withRows("long.sql", "SET IDENTITY_INSERT [dbo].[komision] ON \r\nGO\r\n"
                              "INSERT [dbo].[komision] ([pk], [darkhast]) VALUES (7, N'ok')\r\n"
                              "INSERT [dbo].[komision] ([pk], [darkhast]) VALUES (8, N'"
                                  + tooLong + "')\r\nGO\r\nSET IDENTITY_INSERT [dbo].[komision] OFF\r\nGO\r\n"),
         {"komision", "pk = 8", "darkhast", "71", "70"},
         false},
        {"not a number",
         withRows("nan.sql", "INSERT [dbo].[asnad] ([id], [fish_mablagh]) VALUES (3, N'دو میلیون')\r\nGO\r\n"),
         {"asnad", "id = 3", "fish_mablagh"},
         false},
        {"fraction of a rial",
         withRows("frac.sql", "INSERT [dbo].[asnad] ([id], [band3]) VALUES (4, CAST(12.5000 AS Money))\r\nGO\r\n"),
         {"asnad", "id = 4", "band3", "12.5000"},
         false},
        {"key twice",
         withRows("twice.sql", "INSERT [dbo].[phone] ([id], [name]) VALUES (5, N'a')\r\n"
                               "INSERT [dbo].[phone] ([id], [name]) VALUES (5, N'b')\r\nGO\r\n"),
         {"phone", "id = 5"},
         false},
        {"too large for a 32-bit column",
         withRows("wide.sql",
                  "INSERT [dbo].[users] ([id], [us], [ps]) VALUES (3000000000, N'x', N'secret-pw')\r\nGO\r\n"),
         {"users", "id = 3000000000"},
         false},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        const MigrationReport report = migrate(fault.script);
        EXPECT_TRUE(report.refused());
        EXPECT_FALSE(report.written);
        EXPECT_EQ(report.truncated, fault.truncated);
        const QString problems = report.problems.join('\n');
        for (const QString& text : fault.reported)
            EXPECT_TRUE(problems.contains(text)) << problems.toStdString() << " lacks " << text.toStdString();
        EXPECT_FALSE(problems.contains("secret-pw"));
        for (const MigratedTable& t : report.tables)
            EXPECT_EQ(t.written, 0);
        expectUntouched();
    }
}

TEST_P(MigrationTest, UnknownTablesAndColumnsAreNamedAndLeftOut)
{
    LegacyScriptShape s;
    const QString script = dir.filePath("unknown.sql");
    LegacyScriptWriter w(script, s);
    w.raw("CREATE TABLE [dbo].[gozaresh_ostan]([id] [int] IDENTITY(1,1) NOT NULL, [onvan] [nvarchar](50) NULL) ON "
          "[PRIMARY]\r\nGO\r\n"
          "INSERT [dbo].[gozaresh_ostan] ([id], [onvan]) VALUES (1, N'گزارش')\r\nGO\r\n"
          "INSERT [dbo].[phone] ([id], [name], [tel], [fax]) VALUES (12, N'دفتر', N'021', N'022')\r\nGO\r\n");
    w.finish();
    const MigrationReport report = migrate(script);
    ASSERT_FALSE(report.refused()) << report.problems.join('\n').toStdString();
    EXPECT_EQ(report.unknownTables, QStringList{"gozaresh_ostan"});
    EXPECT_EQ(report.unknownColumns, QStringList{"phone.fax"});
    auto to = openTarget();
    EXPECT_FALSE(to->tableExists("gozaresh_ostan"));
    EXPECT_FALSE(to->columnNames("phone").contains("fax"));
    EXPECT_EQ(to->scalar("SELECT name FROM phone WHERE id = 12").toString(), QStringLiteral("دفتر"));
    const QStringList lines = describeReport(report);
    EXPECT_TRUE(lines.contains("left out: table gozaresh_ostan (not a table of Tarvest)"))
        << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("left out: column phone.fax (not a column of Tarvest)"));
    EXPECT_TRUE(lines.filter(QRegularExpression("^gozaresh_ostan: 1 read, 0 written, [0-9.]+ s$")).size() == 1)
        << lines.join('\n').toStdString();
}

TEST_P(MigrationTest, TargetThatHoldsRowsIsRefused)
{
    // A database that already has its first-run rows is not a migration's target.
    std::unique_ptr<Database> filled = GetParam() == Backend::Sqlite ? Database::openSqlite(target(), true)
                                                                     : tmp->openAnother();
    ASSERT_TRUE(provisionSucceeded(provision(*filled)));
    const auto before = comparableRows(*filled);
    LegacyScriptShape s;
    const QString script = dir.filePath("one.sql");
    LegacyScriptWriter w(script, s);
    w.raw("INSERT [dbo].[phone] ([id], [name]) VALUES (1, N'a')\r\nGO\r\n");
    w.finish();
    try {
        migrate(script);
        ADD_FAILURE() << "a filled target was accepted";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("ردیف دارد"))) << e.message().toStdString();
    }
    EXPECT_EQ(comparableRows(*filled), before);
}

TEST_P(MigrationTest, CommandReportsTablesProgressAndChecksWithoutWriting)
{
    const QString script = dir.filePath("cli.sql");
    writeLegacyScript(source(false), script, shapeWithPasswords());
    const QString option = GetParam() == Backend::Sqlite ? "--sqlite" : "--pg";
    const QString where = GetParam() == Backend::Sqlite ? target() : tmp->location();
    auto run = [](const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(TARVEST_ADMIN_EXE), args);
        p.waitForFinished(300000);
        return std::tuple{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                          QString::fromUtf8(p.readAllStandardError())};
    };
    auto [checkCode, checkOut, checkErr] = run({"migrate", script, option, where, "--check"});
    EXPECT_EQ(checkCode, 0) << checkErr.toStdString();
    EXPECT_TRUE(checkOut.contains("check passed")) << checkOut.toStdString();
    EXPECT_TRUE(checkOut.contains("komision: ")) << checkOut.toStdString();
    expectUntouched();

    auto [code, out, err] = run({"migrate", script, option, where});
    ASSERT_EQ(code, 0) << err.toStdString();
    const qint64 cases = source(false).scalar("SELECT count(*) FROM komision").toLongLong();
    EXPECT_TRUE(out.contains(QStringLiteral("komision: %1 read, %1 written, ").arg(cases))) << out.toStdString();
    EXPECT_TRUE(out.contains("script: " + script + " (UTF-16LE, ")) << out.toStdString();
    EXPECT_TRUE(out.contains("migrated: ")) << out.toStdString();
    EXPECT_TRUE(err.contains("(100%)")) << err.toStdString();
    for (const QString& plain : {kUserPassword, kClerkPassword, kAttachmentPassword})
        EXPECT_FALSE(out.contains(plain) || err.contains(plain));

    // Again into the now filled target: refused, nothing changed.
    auto to = openTarget();
    const auto before = comparableRows(*to);
    auto [again, againOut, againErr] = run({"migrate", script, option, where});
    EXPECT_EQ(again, 1);
    EXPECT_TRUE(againErr.contains("nothing migrated")) << againErr.toStdString();
    EXPECT_EQ(comparableRows(*openTarget()), before);

    auto [usage, usageOut, usageErr] = run({"migrate", script});
    EXPECT_EQ(usage, 2);
}

TARVEST_FOR_EACH_DATABASE(MigrationTest);

// The reader alone: statements, values and encodings as Management Studio writes them.
QList<ScriptRow> readAll(const QByteArray& bytes, qint64 spill = 8 * 1024 * 1024)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    LegacyScriptReader reader(buffer, spill);
    QList<ScriptRow> rows;
    ScriptRow row;
    while (reader.next(row))
        rows << row;
    return rows;
}

TEST(LegacyScriptReader, ValuesAsWritten)
{
    const QString script = QStringLiteral(
        "USE [Tarvest]\r\nGO\r\n/****** Object:  Table [dbo].[komision]    Script Date: 3/4/2019 ******/\r\n"
        "SET ANSI_NULLS ON\r\nGO\r\n-- a comment with 'quote\r\n"
        "INSERT [dbo].[t] ([a], [b], [c], [d], [e], [f], [g], [h], [i]) VALUES (N'it''s\r\nGO\r\nnext', 'plain', NULL, "
        "-12, CAST(1250000.0000 AS Money), CAST(N'2019-03-04T10:20:30.000' AS DateTime), CAST(12.5 AS Decimal(18, "
        "2)), 0x00FFab, 1.5E-3)\r\n"
        "INSERT INTO dbo.[t] ([a]) VALUES (N'x'), (N'y');\r\nGO\r\n");
    const QList<ScriptRow> rows = readAll(
        QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom).encode(script));
    ASSERT_EQ(rows.size(), 3);
    const ScriptRow& r = rows[0];
    EXPECT_EQ(r.table, "t");
    EXPECT_EQ(r.columns, (QStringList{"a", "b", "c", "d", "e", "f", "g", "h", "i"}));
    EXPECT_EQ(r.line, 7);
    EXPECT_EQ(r.values[0].text, "it's\r\nGO\r\nnext");
    EXPECT_EQ(r.values[1].text, "plain");
    EXPECT_EQ(r.values[2].kind, ScriptValue::Kind::Null);
    EXPECT_EQ(r.values[3].text, "-12");
    EXPECT_EQ(r.values[4].text, "1250000.0000");
    EXPECT_EQ(r.values[4].castType, "money");
    EXPECT_EQ(r.values[5].text, "2019-03-04T10:20:30.000");
    EXPECT_EQ(r.values[5].castType, "datetime");
    EXPECT_EQ(r.values[6].castType, "decimal");
    EXPECT_EQ(r.values[7].bytes, QByteArray("\x00\xFF\xAB", 3));
    EXPECT_EQ(r.values[8].text, "1.5E-3");
    EXPECT_EQ(rows[1].values[0].text, "x");
    EXPECT_EQ(rows[2].values[0].text, "y");
    EXPECT_EQ(rows[2].line, 10);
}

TEST(LegacyScriptReader, EncodingsAreFoundFromTheBytes)
{
    const QString script = QStringLiteral("SET ANSI_NULLS ON\r\nGO\r\n"
                                          "INSERT [dbo].[t] ([a]) VALUES (N'كاربر گرامي')\r\nGO\r\n");
    const QString sansYeh = script;
    struct Case {
        const char* encoding;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"UTF-16LE", QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom).encode(script)},
        {"UTF-16LE", QStringEncoder(QStringConverter::Utf16LE).encode(script)},
        {"UTF-16BE", QStringEncoder(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom).encode(script)},
        {"UTF-8", QStringEncoder(QStringConverter::Utf8, QStringConverter::Flag::WriteBom).encode(script)},
        {"UTF-8", script.toUtf8()},
        {"windows-1256", QStringEncoder("windows-1256").encode(sansYeh)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding);
        QBuffer buffer;
        buffer.setData(c.bytes);
        buffer.open(QIODevice::ReadOnly);
        LegacyScriptReader reader(buffer);
        ScriptRow row;
        ASSERT_TRUE(reader.next(row));
        EXPECT_EQ(reader.encoding(), QLatin1String(c.encoding));
        EXPECT_EQ(row.values[0].text, QStringLiteral("كاربر گرامي"));
        EXPECT_FALSE(reader.next(row));
    }
}

TEST(LegacyScriptReader, SchemaTypesAreLearnedAndLargeFilesSpill)
{
    QByteArray picture(300 * 1024 + 1, 'p');
    picture[0] = '\x89';
    const QString script =
        QStringLiteral(
            "CREATE TABLE [dbo].[komision_pic](\r\n\t[pk] [bigint] IDENTITY(1,1) NOT NULL,\r\n"
            "\t[ext] [nvarchar](5) NULL,\r\n\t[pic] [image] NULL,\r\n CONSTRAINT [PK_k] PRIMARY KEY CLUSTERED "
            "\r\n(\r\n\t[pk] ASC\r\n)WITH (PAD_INDEX = OFF) ON [PRIMARY]\r\n) ON [PRIMARY] TEXTIMAGE_ON "
            "[PRIMARY]\r\nGO\r\nALTER TABLE [dbo].[log] ADD  DEFAULT (getdate()) FOR [saat_sys]\r\nGO\r\n"
            "SET IDENTITY_INSERT [dbo].[komision_pic] ON \r\nGO\r\n"
            "INSERT [dbo].[komision_pic] ([pk], [ext], [pic]) VALUES (1, N'.png', 0x")
        + QString::fromLatin1(picture.toHex())
        + QStringLiteral(")\r\nGO\r\nSET IDENTITY_INSERT [dbo].[komision_pic] OFF\r\nGO\r\n");
    QBuffer buffer;
    buffer.setData(QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom).encode(script));
    buffer.open(QIODevice::ReadOnly);
    LegacyScriptReader reader(buffer, 64 * 1024);
    ScriptRow row;
    ASSERT_TRUE(reader.next(row));
    EXPECT_EQ(reader.declaredTypes().value("komision_pic").value("ext"), "nvarchar(5)");
    EXPECT_EQ(reader.declaredTypes().value("komision_pic").value("pic"), "image");
    ASSERT_TRUE(row.values[2].spool);
    EXPECT_EQ(row.values[2].binarySize(), picture.size());
    EXPECT_EQ(row.values[2].allBytes(), picture);
    EXPECT_FALSE(reader.next(row));
}

TEST(LegacyScriptReader, ScriptsCutShortAreRefused)
{
    const QString complete = QStringLiteral("SET IDENTITY_INSERT [dbo].[t] ON \r\nGO\r\n"
                                            "INSERT [dbo].[t] ([a], [b]) VALUES (1, N'متن')\r\nGO\r\n"
                                            "SET IDENTITY_INSERT [dbo].[t] OFF\r\nGO\r\n");
    EXPECT_EQ(readAll(complete.toUtf8()).size(), 1);
    const QStringList cuts = {
        complete.left(complete.indexOf("N'") + 3),                            // inside a text
        complete.left(complete.indexOf("VALUES") + 9),                        // inside the values
        complete.left(complete.indexOf("SET IDENTITY_INSERT [dbo].[t] OFF")), // identity left on
        complete.left(complete.lastIndexOf("GO")),                            // last batch not closed
        "INSERT [dbo].[t] ([a]) VALUES (0x0A",                                // inside a file
        "/* an unclosed comment",
    };
    for (const QString& cut : cuts) {
        SCOPED_TRACE(cut.toStdString());
        try {
            readAll(cut.toUtf8());
            ADD_FAILURE() << "accepted";
        } catch (const ScriptError& e) {
            EXPECT_TRUE(e.truncated()) << e.message().toStdString();
        }
    }
    // A UTF-16 file cut in the middle of a character.
    QByteArray odd = QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom).encode(complete);
    odd.chop(1);
    EXPECT_THROW(readAll(odd), ScriptError);
}

TEST(LegacyValues, ConvertedAsTheColumnWantsThem)
{
    auto num = [](const char* t, const char* cast = "") {
        ScriptValue v;
        v.kind = ScriptValue::Kind::Number;
        v.text = QString::fromLatin1(t);
        v.castType = QString::fromLatin1(cast);
        return v;
    };
    auto text = [](const QString& t, const char* cast = "") {
        ScriptValue v;
        v.kind = ScriptValue::Kind::Text;
        v.text = t;
        v.castType = QString::fromLatin1(cast);
        return v;
    };
    const Column money{"m", ColType::Money};
    const Column whole{"n", ColType::Int};
    const Column big{"b", ColType::BigInt};
    const Column bit{"f", ColType::Bit};
    const Column real{"r", ColType::Float};
    const Column narrow{"s", ColType::NVarChar, 5};
    const Column stamp{"d", ColType::DateTime};
    struct Case {
        const Column* column;
        ScriptValue value;
        QVariant expected; // invalid: refused
    };
    const Case cases[] = {
        {&money, num("1250000.0000", "money"), qint64(1250000)},
        {&money, num("999999999999999.0000", "money"), qint64(999999999999999)},
        {&money, num("-125000.0000", "money"), qint64(-125000)},
        {&money, num("12.5000", "money"), QVariant()},
        {&money, text("abc"), QVariant()},
        {&whole, num("2147483647"), qint64(2147483647)},
        {&whole, num("2147483648"), QVariant()},
        {&big, num("9007199254740993"), qint64(9007199254740993LL)},
        {&big, num("12.0", "decimal"), qint64(12)},
        {&bit, num("1"), qint64(1)},
        {&bit, num("0"), qint64(0)},
        {&bit, num("2"), QVariant()},
        {&real, num("12.5", "decimal"), 12.5},
        {&real, num("33.333333333333336"), 100.0 / 3.0},
        {&real, num("1E-07"), 1e-7},
        {&narrow, text(QStringLiteral("۱۲۳۴۵")), QStringLiteral("۱۲۳۴۵")},
        {&narrow, text(QString::fromUcs4(U"\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600")),
         QString::fromUcs4(U"\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600")},
        {&narrow, text(QStringLiteral("۱۲۳۴۵۶")), QVariant()},
        {&narrow, num("42"), QStringLiteral("42")},
        {&stamp, text("2019-03-04T10:20:30.000", "datetime"), QStringLiteral("2019-03-04 10:20:30")},
        {&stamp, text("2019-03-04T23:59:59.997", "datetime"), QStringLiteral("2019-03-05 00:00:00")},
        {&stamp, text("2019-03-04T10:20:30.1234567", "datetime2"), QStringLiteral("2019-03-04 10:20:30")},
        {&stamp, text("2019-03-04", "date"), QStringLiteral("2019-03-04 00:00:00")},
        {&stamp, text("1402/01/01"), QVariant()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.text.toStdString());
        QVariant out;
        const std::optional<QString> wrong = convertLegacyValue(*c.column, c.value, out);
        if (!c.expected.isValid()) {
            EXPECT_TRUE(wrong.has_value());
            continue;
        }
        ASSERT_FALSE(wrong.has_value()) << wrong->toStdString();
        if (c.expected.typeId() == QMetaType::Double)
            EXPECT_EQ(out.toDouble(), c.expected.toDouble());
        else
            EXPECT_EQ(out.toString(), c.expected.toString());
    }
    ScriptValue null;
    QVariant out = 5;
    EXPECT_FALSE(convertLegacyValue(money, null, out).has_value());
    EXPECT_TRUE(out.isNull());
}

} // namespace
