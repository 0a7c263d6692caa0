// Spreadsheets nobody on this project made: the files of tests/data/realsheets (written by
// Excel 97 to 2021, Excel for Mac, LibreOffice and other programs, from the public test
// suites of spreadsheet libraries; licences in its README) are each read through
// "tarvest-admin sheet", as an office checks a file before an import, and compared cell by
// cell, by position from A1, with what a trusted reader saw (reference.jsonl). Every file
// is read in a child process held to 20 seconds and 2 GiB; an encrypted file must be
// refused with the password message; every other difference is either mended or listed
// below with its reason; and at least 99.9 % of the reference's cells are equal, .xls and
// .xlsx counted apart.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTextStream>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

// A cell that differs from the reference for a reason that is not a fault of ours ("*":
// every cell of the file).
struct KnownDifference {
    const char* file;
    const char* cell;
    const char* reason;
};

// .xlsx: where the reference reader is wrong, or the file shows something else than it
// stores.
const KnownDifference kXlsxDifferences[] = {
    {"xlsxwriter/date_1904_02.xlsx", "0,0",
     "serial 0 of a 1904 workbook is 1904-01-01; openpyxl shows 1899-12-30 (its README says so)"},
    {"calamine/has_x000D_inline.xlsx", "0,0",
     "openpyxl leaves _x000D_ in an inline string as written; Excel shows the carriage return it escapes"},
    {"xlsxwriter/optimize06.xlsx", "13,0", "openpyxl leaves _x000D_ as written; Excel shows a carriage return"},
    {"xlsxwriter/shared_strings01.xlsx", "13,0", "openpyxl leaves _x000D_ as written; Excel shows a carriage return"},
};

// .xls: the differences the reader of the BIFF records leaves, with their reasons. The same
// list may also stand in tests/data/xls/known_differences.txt (file<TAB>r,c<TAB>reason).
const KnownDifference kXlsDifferences[] = {
    {"edr/Test_git_issue_283_TimeSpan.xls", "6,0",
     "an elapsed-time format [h]:mm:ss counts the whole days as hours, as the spreadsheet shows them; xlrd drops the days"},
    {"edr/Test_git_issue_283_TimeSpan.xls", "6,1",
     "an elapsed-time format [h]:mm:ss counts the whole days as hours, as the spreadsheet shows them; xlrd drops the days"},
    {"edr/Test_git_issue_283_TimeSpan.xls", "7,0",
     "an elapsed-time format [h]:mm:ss counts the whole days as hours, as the spreadsheet shows them; xlrd drops the days"},
    {"edr/Test_git_issue_283_TimeSpan.xls", "7,1",
     "an elapsed-time format [h]:mm:ss counts the whole days as hours, as the spreadsheet shows them; xlrd drops the days"},
    {"edr/Test_git_issue_283_TimeSpan.xls", "8,0",
     "an elapsed-time format [h]:mm:ss counts the whole days as hours, as the spreadsheet shows them; xlrd drops the days"},
    {"edr/Test_git_issue_283_TimeSpan.xls", "8,1",
     "an elapsed-time format [h]:mm:ss counts the whole days as hours, as the spreadsheet shows them; xlrd drops the days"},
    {"edr/as3xls_BIFF3.xls", "names",
     "a lone Excel 2-4 worksheet stores no name; xlrd calls it \"Sheet 1\", the reader \"Sheet1\", the name the imports look for"},
    {"edr/Test_git_issue_466_biff3.xls", "names",
     "a lone Excel 2-4 worksheet stores no name; xlrd calls it \"Sheet 1\", the reader \"Sheet1\", the name the imports look for"},
    {"edr/Test_git_issue_368_formats.xls", "names",
     "a lone Excel 2-4 worksheet stores no name; xlrd calls it \"Sheet 1\", the reader \"Sheet1\", the name the imports look for"},
    {"edr/Test_git_issue_368_ixfe.xls", "names",
     "a lone Excel 2-4 worksheet stores no name; xlrd calls it \"Sheet 1\", the reader \"Sheet1\", the name the imports look for"},
    {"edr/Test_git_issue_375_ixfe_rowmap.xls", "names",
     "a lone Excel 2-4 worksheet stores no name; xlrd calls it \"Sheet 1\", the reader \"Sheet1\", the name the imports look for"},
};

const QString kDataDir = QStringLiteral(TARVEST_TEST_DATA_DIR);

QString S(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

struct Reference {
    QString file; // "folder/name.xlsx"
    QJsonObject result;
};

QList<Reference> loadReference()
{
    QList<Reference> out;
    QFile f(kDataDir + QStringLiteral("/realsheets/reference.jsonl"));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        out.append({o.value(QStringLiteral("file")).toString(), o.value(QStringLiteral("result")).toObject()});
    }
    return out;
}

struct SheetRun {
    bool finished = false;
    int exitCode = -1;
    bool crashed = false;
    qint64 ms = 0;
    QJsonObject answer;
    QString err;
};

// The sanitizer build runs the reader several times slower: its time limit is wider there.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSecondsPerFile = 120;
#else
constexpr int kSecondsPerFile = 20;
#endif

// One file through "tarvest-admin sheet" in a child held to 20 s (see above) and (outside the
// sanitizer build, whose own bookkeeping reserves more) 2 GiB of address space.
SheetRun readThroughCommand(const QString& path, const QString& sheet)
{
    QProcess p;
    p.setProgram(QStringLiteral(TARVEST_ADMIN_EXE));
    QStringList args{QStringLiteral("sheet"), path};
    if (!sheet.isEmpty())
        args << QStringLiteral("--sheet") << sheet;
    p.setArguments(args);
#if !defined(__SANITIZE_ADDRESS__)
    p.setChildProcessModifier([] {
        const rlimit as{rlim_t(2) << 30, rlim_t(2) << 30};
        setrlimit(RLIMIT_AS, &as);
    });
#endif
    QElapsedTimer clock;
    clock.start();
    p.start();
    SheetRun run;
    run.finished = p.waitForFinished(kSecondsPerFile * 1000);
    run.ms = clock.elapsed();
    if (!run.finished) {
        p.kill();
        p.waitForFinished(5000);
        return run;
    }
    run.crashed = p.exitStatus() != QProcess::NormalExit;
    run.exitCode = p.exitCode();
    run.err = QString::fromUtf8(p.readAllStandardError());
    run.answer = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    return run;
}

bool encrypted(const Reference& ref)
{
    const QString error = ref.result.value(QStringLiteral("error")).toString();
    return ref.file.contains(QLatin1String("pwd_password")) || error.contains(QLatin1String("encrypted"));
}

// The reference to compare a file with: its own, or for a Strict OOXML file that the
// reference reader cannot read, that of its ordinary twin (the same name in edr/).
std::optional<QJsonObject> comparedWith(const Reference& ref, const QHash<QString, QJsonObject>& all)
{
    if (!ref.result.contains(QStringLiteral("error")))
        return ref.result;
    if (ref.file.startsWith(QLatin1String("edr_strict/"))) {
        const auto twin = all.constFind(QStringLiteral("edr/") + ref.file.section(u'/', 1));
        if (twin != all.cend() && !twin->contains(QStringLiteral("error")))
            return *twin;
    }
    return std::nullopt;
}

// A reference text that the reference reader could not give (xlrd refuses serials of 1
// and below under a date format).
bool unrepresented(const QString& text)
{
    return text.startsWith(QLatin1String("DATE<1:")) || text.startsWith(QLatin1String("BADDATE:"));
}

QHash<QString, QString> differencesList(const KnownDifference* begin, const KnownDifference* end,
                                        const QString& extraFile)
{
    QHash<QString, QString> out; // "file|cell" -> reason
    for (const KnownDifference* d = begin; d != end; ++d)
        if (*d->file)
            out.insert(S(d->file) + u'|' + S(d->cell), S(d->reason));
    QFile f(extraFile);
    if (!extraFile.isEmpty() && f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&f);
        while (!in.atEnd()) {
            const QStringList parts = in.readLine().split(u'\t');
            if (parts.size() >= 2 && !parts[0].startsWith(u'#'))
                out.insert(parts[0].trimmed() + u'|' + parts[1].trimmed(), parts.value(2));
        }
    }
    return out;
}

struct Tally {
    qint64 cells = 0, equal = 0;
    QStringList unexplained; // differences nobody listed
    QSet<QString> listedSeen;
};

QString cellOf(const QJsonArray& rows, int r, int c)
{
    return rows.at(r).toArray().at(c).toString();
}

void compareFile(const Reference& ref, const QJsonObject& expected, const SheetRun& run,
                 const QHash<QString, QString>& listed, Tally& tally)
{
    auto isListed = [&](const QString& cell) {
        for (const QString& name : {ref.file, ref.file.section(u'/', -1)})
            for (const QString& key : {name + u'|' + cell, name + QStringLiteral("|*")})
                if (listed.contains(key)) {
                    tally.listedSeen.insert(key);
                    return true;
                }
        return false;
    };
    const QJsonObject cells = expected.value(QStringLiteral("cells")).toObject();
    const QJsonArray rows = run.answer.value(QStringLiteral("rows")).toArray();
    const QString what = ref.file + QStringLiteral(" [") + expected.value(QStringLiteral("sheet")).toString() + u']';
    if (run.answer.value(QStringLiteral("sheets")).toArray().toVariantList()
        != expected.value(QStringLiteral("names")).toArray().toVariantList())
        if (!isListed(QStringLiteral("names")))
            tally.unexplained << what + QStringLiteral(" sheet names differ");
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        const QString want = it.value().toString();
        if (unrepresented(want))
            continue;
        const int r = it.key().section(u',', 0, 0).toInt(), c = it.key().section(u',', 1, 1).toInt();
        const QString got = cellOf(rows, r, c);
        ++tally.cells;
        if (got == want)
            ++tally.equal;
        else if (!isListed(it.key()))
            tally.unexplained << QStringLiteral("%1 %2: read «%3», reference «%4»").arg(what, it.key(), got, want);
    }
    // Nothing read where the reference saw an empty cell.
    for (int r = 0; r < rows.size(); ++r) {
        const QJsonArray row = rows.at(r).toArray();
        for (int c = 0; c < row.size(); ++c) {
            const QString key = QStringLiteral("%1,%2").arg(r).arg(c);
            if (!row.at(c).toString().isEmpty() && !cells.contains(key) && !isListed(key))
                tally.unexplained
                    << QStringLiteral("%1 %2: read «%3», reference empty").arg(what, key, row.at(c).toString());
        }
    }
}

void checkRealSheets(const QString& suffix, const QHash<QString, QString>& listed)
{
    const QList<Reference> refs = loadReference();
    ASSERT_GT(refs.size(), 300) << "reference.jsonl missing under " << kDataDir.toStdString();
    QHash<QString, QJsonObject> all;
    for (const Reference& r : refs)
        all.insert(r.file, r.result);

    QList<const Reference*> mine;
    for (const Reference& ref : refs)
        if (ref.file.endsWith(suffix))
            mine << &ref;
    // Four children at a time: most of each one's time is its start.
    QElapsedTimer total;
    total.start();
    std::vector<SheetRun> runs(size_t(mine.size()));
    std::atomic<qsizetype> next{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w)
        workers.emplace_back([&] {
            for (qsizetype i = next++; i < mine.size(); i = next++) {
                const std::optional<QJsonObject> expected = comparedWith(*mine[i], all);
                // The reference's sheet by name, unless it is the first one, which the command
                // reads by default (a lone Excel 2-4 worksheet has no name of its own).
                QString sheet;
                if (expected) {
                    sheet = expected->value(QStringLiteral("sheet")).toString();
                    if (expected->value(QStringLiteral("names")).toArray().first().toString() == sheet)
                        sheet.clear();
                }
                runs[size_t(i)] = readThroughCommand(kDataDir + QStringLiteral("/realsheets/") + mine[i]->file, sheet);
            }
        });
    for (std::thread& t : workers)
        t.join();

    Tally tally;
    const qsizetype files = mine.size();
    for (qsizetype i = 0; i < mine.size(); ++i) {
        const Reference& ref = *mine[i];
        SCOPED_TRACE(ref.file.toStdString());
        const std::optional<QJsonObject> expected = comparedWith(ref, all);
        const SheetRun& run = runs[size_t(i)];
        if (!run.finished || run.crashed) {
            ADD_FAILURE() << (run.finished ? "the reader crashed: " + run.err.toStdString()
                                           : "still reading after " + std::to_string(kSecondsPerFile) + " s");
            continue;
        }
        EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.exitCode << " " << run.err.toStdString();
        if (run.exitCode == 1) { // a refusal is a Persian sentence naming the file
            EXPECT_TRUE(run.err.contains(S("فايل"))) << run.err.toStdString();
        }
        if (encrypted(ref)) {
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_TRUE(run.err.contains(S("رمز عبور محافظت شده است"))) << run.err.toStdString();
            continue;
        }
        if (!expected)
            continue; // the reference reader refused it: reading it or refusing it are both fine
        if (run.exitCode != 0) {
            if (!listed.contains(ref.file + QStringLiteral("|*")))
                tally.unexplained << ref.file + QStringLiteral(" refused: ") + run.err.trimmed();
            else
                tally.listedSeen.insert(ref.file + QStringLiteral("|*"));
            tally.cells += expected->value(QStringLiteral("cells")).toObject().size();
            continue;
        }
        compareFile(ref, *expected, run, listed, tally);
    }
    const double share = tally.cells ? 100.0 * double(tally.equal) / double(tally.cells) : 0;
    std::cout << suffix.toStdString() << ": " << files << " files, " << tally.equal << " of " << tally.cells
              << " reference cells equal (" << share << " %), " << total.elapsed() << " ms\n";
    EXPECT_GE(share, 99.9);
    QString shown;
    for (const QString& d : tally.unexplained.mid(0, 60))
        shown += d + u'\n';
    EXPECT_TRUE(tally.unexplained.isEmpty()) << tally.unexplained.size() << " differences neither mended nor listed:\n"
                                             << shown.toStdString();
    // The list stays true: an entry for a difference that is gone is taken out of it.
    for (auto it = listed.cbegin(); it != listed.cend(); ++it) {
        const QString file = it.key().section(u'|', 0, 0);
        if (file.endsWith(suffix) && QFile::exists(kDataDir + QStringLiteral("/realsheets/") + file)) {
            EXPECT_TRUE(tally.listedSeen.contains(it.key()))
                << "listed difference no longer seen: " << it.key().toStdString();
        }
    }
}

} // namespace

TEST(RealSheets, XlsxFilesReadAsTheReferenceSeesThem)
{
    checkRealSheets(QStringLiteral(".xlsx"),
                    differencesList(std::begin(kXlsxDifferences), std::end(kXlsxDifferences), QString()));
}

TEST(RealSheets, XlsFilesReadAsTheReferenceSeesThem)
{
    checkRealSheets(QStringLiteral(".xls"), differencesList(std::begin(kXlsDifferences), std::end(kXlsDifferences),
                                                            kDataDir + QStringLiteral("/xls/known_differences.txt")));
}
