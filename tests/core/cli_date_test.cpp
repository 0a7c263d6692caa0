// tarvest-admin date: the command as a user runs it.
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

struct AdminRun {
    int code;
    QString out;
    QString err;
};

AdminRun runAdmin(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TARVEST_ADMIN_EXE), args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST(AdminDate, ConvertsAGregorianDate)
{
    const struct {
        const char* gregorian;
        const char* jalali;
    } cases[] = {{"2029-03-20", "1408/01/01\n"}, {"2025-03-20", "1403/12/30\n"}};
    for (const auto& c : cases) {
        const AdminRun r = runAdmin({QStringLiteral("date"), QString::fromLatin1(c.gregorian)});
        EXPECT_EQ(r.code, 0) << c.gregorian;
        EXPECT_EQ(r.out, QString::fromLatin1(c.jalali));
        EXPECT_TRUE(r.err.isEmpty());
    }
}

TEST(AdminDate, PrintsTodayAsDateText)
{
    const AdminRun r = runAdmin({QStringLiteral("date")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^1[3-5]\\d\\d/\\d\\d/\\d\\d\n$")).match(r.out).hasMatch())
        << r.out.toStdString();
}

TEST(AdminDate, RefusesBadArguments)
{
    const QList<QStringList> bad = {
        {QStringLiteral("date"), QStringLiteral("2029-02-30")},
        {QStringLiteral("date"), QStringLiteral("1403/01/01")},
        {QStringLiteral("date"), QStringLiteral("tomorrow")},
        {QStringLiteral("date"), QStringLiteral("2029-03-20"), QStringLiteral("extra")},
    };
    for (const QStringList& args : bad) {
        const AdminRun r = runAdmin(args);
        EXPECT_EQ(r.code, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains(QStringLiteral("usage"))) << r.err.toStdString();
    }
}
