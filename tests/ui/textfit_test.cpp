// How the report engine sets a text a reader must be able to trust: words and letter
// numbers never broken across lines, a word too wide for its box printed smaller or
// reported, blocks (a signature, the members' row) kept on one page, ruled cells' text
// kept off the lines, and a fit report of all of these.
#include "common/errors.h"
#include "pdftext.h"
#include "reports/reportlayout.h"
#include "reports/reportrenderer.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace tarvest;
using namespace tarvest::report;

namespace {

Layout layoutOf(const QString& elements, double height = 40, const QString& blocks = QStringLiteral("[]"),
                const QString& paper = QStringLiteral("A5"))
{
    const QString json = QStringLiteral(R"({"page": {"paper": "%1", "margins": 10},
        "bands": [{"kind": "detail", "height": %2, "elements": %3, "blocks": %4}]})")
                             .arg(paper)
                             .arg(height)
                             .arg(elements, blocks);
    return Layout::fromJson(json.toUtf8(), QStringLiteral("test"));
}

std::vector<PlacedText> placedNamed(const Layout& layout, const QString& name)
{
    std::vector<PlacedText> out;
    for (const PlacedText& t : placedTexts(layout, nullptr))
        if (t.element == name)
            out.push_back(t);
    return out;
}

std::set<FitKind> kindsOf(const Layout& layout, const QString& element = {})
{
    std::set<FitKind> kinds;
    for (const FitProblem& p : fitProblems(layout, nullptr))
        if (element.isEmpty() || p.element == element)
            kinds.insert(p.kind);
    return kinds;
}

// One line of 10 pt text is about 5 mm of ink at most; two lines need more than 6.
constexpr double kOneLine = 6;

TEST(TextFit, LetterNumbersAndCodesAreNeverBroken)
{
    // Each of these in a box narrower than the word: it stays on one line, printed
    // smaller when that is enough, else reported; never split.
    const QStringList words = {QStringLiteral("37/177/م"), QStringLiteral("۱۲۳۴۵/ص/۱۴۰۳"), QStringLiteral("050101010"),
                               QStringLiteral("12345.75"), QStringLiteral("(مشاع/ي)"),     QStringLiteral("12-34-56")};
    for (const QString& word : words) {
        for (const double width : {14.0, 8.0}) {
            Layout layout = layoutOf(QStringLiteral(R"([{"name": "t", "x": 40, "y": 5, "width": %1, "height": 6,
                "size": 10}])")
                                         .arg(width));
            layout.setText(QStringLiteral("t"), QStringLiteral("شماره ") + word);
            const std::vector<PlacedText> placed = placedNamed(layout, QStringLiteral("t"));
            ASSERT_EQ(placed.size(), 1u);
            // Two lines at most: "شماره" and the whole word.
            EXPECT_LT(placed[0].ink.height(), 2 * kOneLine) << word.toStdString() << " in " << width;
            Layout alone = layoutOf(QStringLiteral(R"([{"name": "t", "x": 40, "y": 5, "width": %1, "height": 6,
                "size": 10}])")
                                        .arg(width));
            alone.setText(QStringLiteral("t"), word);
            const PlacedText one = placedNamed(alone, QStringLiteral("t")).front();
            EXPECT_LT(one.ink.height(), kOneLine) << word.toStdString() << " in " << width;
            const std::set<FitKind> kinds = kindsOf(alone, QStringLiteral("t"));
            if (one.ink.width() > width + 0.1) {
                EXPECT_TRUE(kinds.count(FitKind::TooWide)) << word.toStdString() << " in " << width;
            }
            if (one.scale < 1) {
                EXPECT_GE(one.scale, 0.8 - 1e-6);
                EXPECT_TRUE(kinds.count(FitKind::Shrunk) || kinds.count(FitKind::TooWide)) << word.toStdString();
            }
        }
    }
}

TEST(TextFit, AWordTooWideShrinksToTheLayoutsLimitThenIsReported)
{
    // Widths as shares of the word's own width at its size.
    struct Case {
        double share;
        double minScale;
        bool shrunk;
        bool tooWide;
    };
    const Case cases[] = {
        {1.5, 0.8, false, false}, // fits
        {0.9, 0.8, true, false},  // a little smaller
        {0.9, 1.0, false, true},  // the layout allows no shrinking
        {0.6, 0.8, true, true},   // even at 80 % too wide: reported
        {0.6, 0.4, true, false},  // this layout allows more
    };
    const Layout natural = layoutOf(QStringLiteral(R"([{"name": "code", "x": 10, "y": 5, "width": 100, "height": 6,
        "size": 10, "text": "050101010"}])"));
    const double wordWidth = placedNamed(natural, QStringLiteral("code")).front().ink.width();
    ASSERT_GT(wordWidth, 5);
    for (const Case& base : cases) {
        Case c = base;
        const double width = wordWidth * c.share;
        Layout layout = layoutOf(QStringLiteral(R"([{"name": "code", "x": 40, "y": 5, "width": %1, "height": 6,
            "size": 10, "minScale": %2, "text": "050101010"}])")
                                     .arg(width)
                                     .arg(c.minScale));
        const PlacedText t = placedNamed(layout, QStringLiteral("code")).front();
        const std::set<FitKind> kinds = kindsOf(layout);
        EXPECT_EQ(t.scale < 1, c.shrunk) << c.share << " " << c.minScale;
        EXPECT_GE(t.scale, c.minScale - 1e-6);
        EXPECT_EQ(kinds.count(FitKind::Shrunk) > 0, c.shrunk && !c.tooWide) << c.share << " " << c.minScale;
        EXPECT_EQ(kinds.count(FitKind::TooWide) > 0, c.tooWide) << c.share << " " << c.minScale;
        EXPECT_LT(t.ink.height(), kOneLine);
        if (!c.tooWide) {
            EXPECT_LE(t.ink.width(), width + 0.05);
        }
    }
    EXPECT_THROW(layoutOf(QStringLiteral(R"([{"name": "t", "minScale": 0}])")), Error);
    EXPECT_THROW(layoutOf(QStringLiteral(R"([{"name": "t", "minScale": 1.5}])")), Error);
}

TEST(TextFit, BlocksMoveToTheNextPageWhole)
{
    // A5: 190 mm of printable height. A paragraph line at 170, then a signer's name at
    // 183 and their post at 190: the post does not fit the first page.
    const QString elements = QStringLiteral(R"([
        {"name": "closing", "x": 0, "y": 170, "width": 128, "height": 8, "text": "با تشکر از همکاري شما"},
        {"name": "signer", "x": 0, "y": 183, "width": 60, "height": 7, "bold": true, "text": "علي كريمي"},
        {"name": "post", "x": 0, "y": 190, "width": 60, "height": 7, "bold": true, "text": "معاون عمران روستايي"}])");
    auto pageOf = [](const Layout& layout, const QString& name) { return placedNamed(layout, name).front().page; };
    {
        const Layout loose = layoutOf(elements, 200);
        EXPECT_EQ(pageOf(loose, "signer"), 1);
        EXPECT_EQ(pageOf(loose, "post"), 2);
    }
    {
        const Layout kept = layoutOf(elements, 200, QStringLiteral(R"([{"name": "signature",
            "elements": ["signer", "post"]}])"));
        EXPECT_EQ(pageOf(kept, "closing"), 1);
        EXPECT_EQ(pageOf(kept, "signer"), 2);
        EXPECT_EQ(pageOf(kept, "post"), 2);
        EXPECT_TRUE(fitProblems(kept, nullptr).empty());
    }
    {
        // Kept with the paragraph before it: the closing line goes along.
        const Layout withClosing = layoutOf(elements, 200, QStringLiteral(R"([{"name": "signature",
            "elements": ["signer", "post"], "withPrevious": "closing"}])"));
        EXPECT_EQ(pageOf(withClosing, "closing"), 2);
        EXPECT_EQ(pageOf(withClosing, "signer"), 2);
        EXPECT_EQ(pageOf(withClosing, "post"), 2);
    }
    {
        // A block taller than a page cannot move: it is reported.
        QString lines = QStringLiteral("[");
        QStringList names;
        for (int i = 0; i < 40; ++i) {
            lines += QStringLiteral(
                         R"(%1{"name": "l%2", "x": 0, "y": %3, "width": 128, "height": 6, "text": "سطر %2"})")
                         .arg(i ? "," : "")
                         .arg(i)
                         .arg(i * 6);
            names << QStringLiteral("\"l%1\"").arg(i);
        }
        lines += QLatin1Char(']');
        const Layout tall = layoutOf(lines, 240,
                                     QStringLiteral(R"([{"name": "all", "elements": [%1]}])").arg(names.join(',')));
        const std::set<FitKind> kinds = kindsOf(tall);
        EXPECT_TRUE(kinds.count(FitKind::BlockTooTall));
    }
    EXPECT_THROW(layoutOf(elements, 200, QStringLiteral(R"([{"name": "s", "elements": ["nobody"]}])")), Error);
    EXPECT_THROW(layoutOf(elements, 200, QStringLiteral(R"([{"name": "s", "elements": []}])")), Error);
}

TEST(TextFit, RuledCellsKeepTheirTextOffTheLines)
{
    // A cell of 20 x 5 mm with a text box as large as the cell: the letters keep the
    // cell margin (1 mm by default) from each line; the row grows if it must.
    const QString cell = QStringLiteral(R"([
        {"name": "cell", "type": "shape", "x": 40, "y": 5, "width": 20, "height": 5},
        {"name": "t", "x": 40, "y": 5, "width": 20, "height": 5, "size": 10, "text": "%1"},
        {"name": "under", "type": "shape", "x": 40, "y": 10, "width": 20, "height": 5}])");
    for (const QString& text : {QStringLiteral("باغ"), QStringLiteral("سيد محمدحسين موسوي نژاد")}) {
        const Layout layout = layoutOf(cell.arg(text));
        const PlacedText t = placedNamed(layout, QStringLiteral("t")).front();
        EXPECT_GE(t.ink.left(), 40 + 1 - 0.05) << text.toStdString();
        EXPECT_LE(t.ink.right(), 60 - 1 + 0.05) << text.toStdString();
        EXPECT_GE(t.ink.top(), 5 + 1 - 0.05) << text.toStdString();
        EXPECT_TRUE(fitProblems(layout, nullptr).empty()) << text.toStdString();
    }
    // The layout may ask for another margin.
    Layout wide = layoutOf(cell.arg(QStringLiteral("باغ")));
    wide.setCellMargin(2);
    const PlacedText t = placedNamed(wide, QStringLiteral("t")).front();
    EXPECT_LE(t.ink.right(), 60 - 2 + 0.05);

    // A text laid over a line outside any cell is reported, as is one touching another.
    const Layout touching = layoutOf(QStringLiteral(R"([
        {"name": "rule", "type": "shape", "shape": "line", "x": 0, "y": 5, "width": 128, "height": 2},
        {"name": "a", "x": 40, "y": 3.5, "width": 40, "height": 6, "text": "متن روي خط"},
        {"name": "b", "x": 60, "y": 20, "width": 20, "height": 6, "text": "سطر راست", "align": "left"},
        {"name": "c", "x": 40, "y": 20, "width": 20, "height": 6, "text": "سطر چپ", "align": "right"}])"));
    EXPECT_TRUE(kindsOf(touching, QStringLiteral("a")).count(FitKind::NearLine));
    std::set<FitKind> close = kindsOf(touching, QStringLiteral("b"));
    close.merge(kindsOf(touching, QStringLiteral("c")));
    EXPECT_TRUE(close.count(FitKind::TooClose) || close.count(FitKind::Overlap));
}

TEST(TextFit, AShortClosingWordStaysWithTheWordBeforeAcrossALineBreak)
{
    // "است." ends the sentence and a line break follows: it must not stand alone.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.pdf"));
    for (const double width : {30.0, 34.0, 38.0, 42.0, 46.0}) {
        Layout layout = layoutOf(QStringLiteral(R"([{"name": "p", "type": "paragraph", "x": 10, "y": 0,
            "width": %1, "height": 6, "size": 12,
            "text": "احداث بنا با رعايت ضوابط طرح هادي بلامانع است.\nرونوشت: بايگاني"}])")
                                     .arg(width));
        renderToPdf(layout, nullptr, path);
        for (const QString& line : test::normalisePrintedText(test::pdfToText(path, true)).split(QLatin1Char('\n')))
            EXPECT_NE(line.trimmed(), QStringLiteral("است.")) << width;
    }
}

} // namespace
