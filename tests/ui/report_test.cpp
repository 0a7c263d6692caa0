// The report engine: layouts from resources and the office folder, run-time access,
// pagination over bound data, text read back from the PDF, sizes, clipping, stacking.
#include "common/errors.h"
#include "db/database.h"
#include "db/resultset.h"
#include "fakedialogs.h"
#include "pdftext.h"
#include "reports/reportlayout.h"
#include "reports/reportpreview.h"
#include "reports/reportrenderer.h"
#include "testdb.h"
#include "widgets/screen.h"

#include <QDir>
#include <QFile>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <set>

#include <sys/resource.h>

using namespace tarvest;
using namespace tarvest::report;
using tarvest::test::normalisePrintedText;
using tarvest::test::pdfToText;

namespace {

QString pdfText(const QString& path, int page = 0)
{
    return pdfToText(path, true, page);
}

QString normalised(const QString& s)
{
    return normalisePrintedText(s);
}

QStringList words(const QString& line)
{
    return line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

// A layout from JSON text with one detail band of the given elements (JSON array text).
Layout detailLayout(const QString& elements, bool bound = false, const QString& extraBands = {})
{
    const QString json = QStringLiteral(R"({"page": {"paper": "A5", "margins": 10}, "bound": %1,
        "bands": [%2 {"kind": "detail", "height": 40, "elements": %3}]})")
                             .arg(bound ? "true" : "false", extraBands, elements);
    return Layout::fromJson(json.toUtf8(), QStringLiteral("test"));
}

// The bounding box of the pixels darker than near-white within `area` of `image`.
QRect ink(const QImage& image, QRect area = {})
{
    if (area.isNull())
        area = image.rect();
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 200)
                box |= QRect(x, y, 1, 1);
    return box;
}

// Device pixels of a mm coordinate at 96 dpi on a page with 10 mm margins.
int px(double mm)
{
    return int(std::lround((mm + 10) * 96 / 25.4));
}

const QString kDate = QStringLiteral("1403/01/05");

} // namespace

TEST(ReportLayout, LoadsFromResourcesAndTheOfficeFolderWins)
{
    QTemporaryDir office;
    qputenv("TARVEST_LAYOUTS", office.path().toUtf8());
    const Layout builtIn = Layout::load(QStringLiteral("report_sample"));
    EXPECT_EQ(builtIn.text(QStringLiteral("title")), QStringLiteral("فهرست پرونده هاي کميسيون"));
    EXPECT_EQ(builtIn.paper(), Paper::A5);
    EXPECT_TRUE(builtIn.isBound());

    QFile res(QStringLiteral(":/layouts/report_sample.json"));
    ASSERT_TRUE(res.open(QIODevice::ReadOnly));
    QByteArray edited = res.readAll();
    edited.replace("فهرست پرونده هاي کميسيون", "فهرست ويرايش شده دفتر");
    QFile mine(office.filePath(QStringLiteral("report_sample.json")));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write(edited);
    mine.close();

    const Layout overridden = Layout::load(QStringLiteral("report_sample.json"));
    EXPECT_EQ(overridden.text(QStringLiteral("title")), QStringLiteral("فهرست ويرايش شده دفتر"));
    EXPECT_THROW(Layout::load(QStringLiteral("no_such_layout")), Error);
    EXPECT_TRUE(overridden.loadProblem().isEmpty());

    // A broken office copy: the built-in copy prints, and the problem names the file.
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly | QIODevice::Truncate));
    mine.write(R"({"page": {"paper": "A4"}, "bands": [{"kind": "detail", "heigth": 10}]})");
    mine.close();
    const Layout fallback = Layout::load(QStringLiteral("report_sample"));
    EXPECT_EQ(fallback.text(QStringLiteral("title")), QStringLiteral("فهرست پرونده هاي کميسيون"));
    EXPECT_TRUE(fallback.loadProblem().contains(mine.fileName())) << fallback.loadProblem().toStdString();
    EXPECT_TRUE(fallback.loadProblem().contains(QStringLiteral("heigth")));
    qunsetenv("TARVEST_LAYOUTS");
}

TEST(ReportLayout, OptionalPictureReadsTheOfficeFileOrStaysEmpty)
{
    QTemporaryDir office;
    qputenv("TARVEST_LAYOUTS", office.path().toUtf8());
    const QByteArray json = R"({"bands": [{"kind": "detail", "height": 30, "elements": [
        {"name": "emblem", "type": "picture", "source": "emblem.png", "optional": true,
         "x": 0, "y": 0, "width": 20, "height": 20}]}]})";
    EXPECT_TRUE(Layout::fromJson(json, QStringLiteral("t")).element(QStringLiteral("emblem")).image.isNull());
    QImage emblem(8, 8, QImage::Format_RGB32);
    emblem.fill(Qt::darkGreen);
    ASSERT_TRUE(emblem.save(office.filePath(QStringLiteral("emblem.png"))));
    const Layout withEmblem = Layout::fromJson(json, QStringLiteral("t"));
    EXPECT_EQ(withEmblem.element(QStringLiteral("emblem")).image.size(), QSize(8, 8));
    qunsetenv("TARVEST_LAYOUTS");
}

TEST(ReportLayout, RefusesMalformedFiles)
{
    const char* cases[] = {
        R"({"bands": [)",                                                                           // not JSON
        R"({"page": {"paper": "A3"}})",                                                             // unknown paper
        R"({"bands": [{"kind": "detail", "height": 10, "elements": [{"name": "a", "typo": 1}]}]})", // unknown key
        R"({"bands": [{"kind": "detail", "elements": [{"name": "a"}, {"name": "a"}]}]})",           // name twice
        R"({"bands": [{"kind": "detail", "elements": [{"name": "a", "type": "field"}]}]})", // field without expression
        R"({"bands": [{"kind": "detail", "elements": [{"name": "a", "align": "sideways"}]}]})",
        R"({"bands": [{"kind": "detail"}, {"kind": "detail"}]})", // band twice
    };
    for (const char* json : cases)
        EXPECT_THROW(Layout::fromJson(json, QStringLiteral("bad")), Error) << json;
}

TEST(ReportLayout, UnknownOrWrongElementsThrowNamingElementAndLayout)
{
    Layout layout = detailLayout(QStringLiteral(R"([{"name": "caption", "text": "x"},
        {"name": "box", "type": "shape"}, {"name": "logo", "type": "picture"}])"));
    const std::vector<std::pair<QString, std::function<void()>>> calls = {
        {"ghost", [&] { layout.setText(QStringLiteral("ghost"), QStringLiteral("x")); }},
        {"ghost", [&] { layout.setFontSize(QStringLiteral("ghost"), 12); }},
        {"ghost", [&] { layout.setFill(QStringLiteral("ghost"), Qt::red); }},
        {"ghost", [&] { layout.setPicture(QStringLiteral("ghost"), QImage()); }},
        {"ghost", [&] { layout.bringToFront(QStringLiteral("ghost")); }},
        {"ghost", [&] { layout.sendToBack(QStringLiteral("ghost")); }},
        {"ghost", [&] { layout.element(QStringLiteral("ghost")); }},
        {"caption", [&] { layout.setFill(QStringLiteral("caption"), Qt::red); }},
        {"box", [&] { layout.setText(QStringLiteral("box"), QStringLiteral("x")); }},
        {"caption", [&] { layout.setPicture(QStringLiteral("caption"), QImage()); }},
        {"logo", [&] { layout.setFontSize(QStringLiteral("logo"), 9); }},
    };
    for (const auto& [name, call] : calls) {
        try {
            call();
            ADD_FAILURE() << "no error for " << name.toStdString();
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(name)) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QStringLiteral("test"))) << e.message().toStdString();
        }
    }
}

TEST(ReportText, IsolatesLeftToRightRuns)
{
    const QChar lri(0x2066), pdi(0x2069);
    const auto iso = [&](const QString& s) { return lri + s + pdi; };
    const std::vector<std::pair<QString, QString>> cases = {
        {kDate, iso(kDate)},
        {QString(), QString()},
        {QStringLiteral("مورخه 1403/01/05"), QStringLiteral("مورخه ") + iso(kDate)},
        {QStringLiteral("4662/ص"), iso(QStringLiteral("4662")) + QStringLiteral("/ص")},
        {QStringLiteral("شماره 37/177/م و N1 abc."), QStringLiteral("شماره ") + iso(QStringLiteral("37/177"))
                                                         + QStringLiteral("/م و ") + iso(QStringLiteral("N1 abc"))
                                                         + "."},
        {QStringLiteral("بدون عدد"), QStringLiteral("بدون عدد")},
    };
    for (const auto& [in, expected] : cases)
        EXPECT_EQ(isolateRuns(in), expected);
}

TEST(ReportText, FontEquivalents)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"Zar", "Nazli"},
        {"B Lotus", "Nazli"},
        {"Titr", "Titr"},
        {"IranNastaliq", "Noto Nastaliq Urdu"},
        {"Times New Roman", "DejaVu Serif"},
        {"Arial", "DejaVu Sans"},
        {"Tahoma", "Noto Naskh Arabic UI"},
        {"DejaVu Sans", "DejaVu Sans"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(fontEquivalent(in), out) << in.toStdString();
}

TEST(ReportRender, UnboundLayoutWithoutDataPrintsOnePageReadInOrder)
{
    Layout layout = detailLayout(QStringLiteral(R"([
        {"name": "letter", "x": 0, "y": 0, "width": 128, "height": 10, "font": "Zar", "size": 12,
         "text": "باعنايت به نامه شماره مورخه 1403/01/05 ارسال مي گردد"},
        {"name": "city", "type": "field", "expression": "[city]", "x": 0, "y": 12, "width": 60, "height": 8},
        {"name": "row", "type": "system", "value": "row", "x": 0, "y": 22, "width": 20, "height": 8, "rtl": false,
         "align": "left"}])"));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("letter.pdf"));
    EXPECT_EQ(renderToPdf(layout, nullptr, pdf), 1);
    EXPECT_EQ(renderToImages(layout, nullptr).size(), 1);

    const QString text = normalised(pdfText(pdf));
    QString letterLine;
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (line.contains(kDate))
            letterLine = line;
    // The Persian words in reading order, then the date intact, then the closing words.
    const QStringList expected = words(normalised(QStringLiteral("باعنايت به نامه شماره مورخه")));
    const QStringList got = words(letterLine);
    ASSERT_GE(got.size(), expected.size()) << letterLine.toStdString();
    EXPECT_EQ(got.mid(0, expected.size()), expected) << letterLine.toStdString();
    const qsizetype date = letterLine.indexOf(kDate);
    const qsizetype closing = letterLine.indexOf(normalised(QStringLiteral("ارسال مي گردد")));
    EXPECT_GT(date, letterLine.indexOf(expected.last())) << letterLine.toStdString();
    EXPECT_GT(closing, date) << letterLine.toStdString();
    EXPECT_TRUE(words(text).contains(QStringLiteral("1"))) << "an unbound detail is row 1";
}

TEST(ReportRender, FontSizeChangeTakesEffect)
{
    Layout layout = detailLayout(QStringLiteral(R"([{"name": "caption", "x": 0, "y": 0, "width": 120,
        "height": 30, "text": "اندازه قلم", "size": 10}])"));
    const QRect small = ink(renderToImages(layout, nullptr).front());
    layout.setFontSize(QStringLiteral("caption"), 20);
    const QRect large = ink(renderToImages(layout, nullptr).front());
    ASSERT_FALSE(small.isEmpty());
    EXPECT_GT(large.width(), small.width() * 1.7);
    EXPECT_GT(large.height(), small.height() * 1.5);
    EXPECT_EQ(large.right(), small.right()) << "right-aligned text keeps its right edge";
}

TEST(ReportRender, LongTextWrapsInItsWidthAndItsBoxGrows)
{
    const QString longText = QStringLiteral("متن بسيار بلندي که در اين کادر کوچک جا نمي شود و بايد بريده شود ")
                             + QStringLiteral("و باز هم ادامه دارد تا از کادر بيرون بزند");
    for (const bool wrap : {false, true}) {
        Layout layout = detailLayout(QStringLiteral(R"([{"name": "t", "x": 40, "y": 10, "width": 30, "height": 8,
            "size": 14, "align": "center"},
            {"name": "below", "x": 40, "y": 18, "width": 30, "height": 6, "text": "زير", "size": 10}])"));
        layout.element(QStringLiteral("t")).wordWrap = wrap;
        layout.setText(QStringLiteral("t"), longText);
        const QImage page = renderToImages(layout, nullptr).front();
        const QRect drawn = ink(page);
        ASSERT_FALSE(drawn.isEmpty());
        // Never clipped: the text keeps its box's width and the box grows downward,
        // taking the element under it along.
        EXPECT_GE(drawn.left(), px(40) - 1) << "wrap " << wrap;
        EXPECT_LE(drawn.right(), px(70) + 1) << "wrap " << wrap;
        EXPECT_GT(drawn.bottom(), px(18) + 20) << "wrap " << wrap;
        EXPECT_TRUE(fitProblems(layout, nullptr).empty());
        // A box that must keep its height reports the text that needed more.
        layout.element(QStringLiteral("t")).grow = false;
        const std::vector<FitProblem> problems = fitProblems(layout, nullptr);
        ASSERT_FALSE(problems.empty());
        EXPECT_EQ(problems.front().element, QStringLiteral("t"));
    }
}

TEST(ReportRender, ParagraphPrintsItsValuesInlineInReadingOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.pdf"));
    Layout layout = detailLayout(QStringLiteral(R"([
        {"name": "p", "type": "paragraph", "x": 0, "y": 0, "width": 128, "height": 6, "size": 12,
         "text": "با عنايت به نامه شماره {no} مورخه {date} تقاضاي آقا/خانم {name} در كميسيون مطرح شد.",
         "values": {"name": "پيش فرض"}},
        {"name": "after", "x": 0, "y": 6, "width": 128, "height": 6, "text": "پايان نامه"}])"));
    EXPECT_TRUE(layout.hasPlaceholder(QStringLiteral("no")));
    EXPECT_FALSE(layout.hasElement(QStringLiteral("no")));
    EXPECT_EQ(layout.text(QStringLiteral("name")), QStringLiteral("پيش فرض"));
    layout.setText(QStringLiteral("no"), QStringLiteral("123/45"));
    layout.setText(QStringLiteral("date"), kDate);
    const QString name = QStringLiteral("سيد محمدحسين موسوي نژاد فرزند علي اكبر ساکن روستاي قره آغاج عليا");
    layout.setText(QStringLiteral("name"), name);
    EXPECT_EQ(layout.text(QStringLiteral("name")), name);
    renderToPdf(layout, nullptr, path);
    const QString text = test::foldPrintedText(pdfToText(path));
    EXPECT_TRUE(text.contains(test::foldPrintedText(QStringLiteral("با عنايت به نامه شماره 123/45 مورخه ") + kDate
                                                    + QStringLiteral(" تقاضاي آقا/خانم ") + name)))
        << text.toStdString();
    EXPECT_TRUE(fitProblems(layout, nullptr).empty());
    // The paragraph is taller than its box now: what follows it moved down.
    const QImage page = renderToImages(layout, nullptr).front();
    EXPECT_GT(ink(page).bottom(), px(12) + 10);
}

TEST(ReportRender, PhrasesStayTogetherAcrossLines)
{
    // In a narrow paragraph every line break falls where a phrase allows it: never
    // after "مي" or "در", and a short last word is not left alone on its line.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.pdf"));
    Layout layout = detailLayout(QStringLiteral(R"([{"name": "p", "type": "paragraph", "x": 60, "y": 0,
        "width": 34, "height": 6, "size": 12, "text": "طرح موضوع بلامانع مي باشد و در خصوص درخواست {name} اقدام لازم انجام شده است."}])"));
    layout.setText(QStringLiteral("name"), QStringLiteral("علي كريمي"));
    renderToPdf(layout, nullptr, path);
    const QStringList lines = normalised(pdfText(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    int printedLines = 0;
    for (const QString& line : lines) {
        const QStringList w = words(line);
        if (w.isEmpty())
            continue;
        ++printedLines;
        // pdftotext gives each line in reading order: the line's last word is its left one.
        EXPECT_NE(w.last(), QStringLiteral("مي")) << line.toStdString();
        EXPECT_NE(w.last(), QStringLiteral("در")) << line.toStdString();
        EXPECT_NE(w.first(), QStringLiteral("باشد")) << line.toStdString();
        EXPECT_NE(line.trimmed(), QStringLiteral("است.")) << line.toStdString();
    }
    EXPECT_GT(printedLines, 2);
}

TEST(ReportRender, TallFacesAreMeasuredWhole)
{
    // Nastaliq's dots and bowls reach far above and below its line: a box sized by eye
    // grows to the face's ascent and descent, and nothing of the ink is lost.
    Layout layout = detailLayout(QStringLiteral(R"([{"name": "b", "x": 30, "y": 5, "width": 60, "height": 5,
        "text": "بسمه تعالي", "font": "IranNastaliq", "size": 13, "bold": true, "align": "center"}])"));
    const QRect small = ink(renderToImages(layout, nullptr).front());
    layout.element(QStringLiteral("b")).rect.setHeight(30);
    const QRect roomy = ink(renderToImages(layout, nullptr).front());
    ASSERT_FALSE(small.isEmpty());
    EXPECT_NEAR(small.height(), roomy.height(), 1);
    EXPECT_NEAR(small.width(), roomy.width(), 1);
    EXPECT_TRUE(fitProblems(layout, nullptr).empty());
    EXPECT_GE(small.top(), px(5) - 1);
}

TEST(ReportRender, TallBandContinuesOnTheNextPage)
{
    // Sixty lines one under another in one band, three times as tall as the page: the
    // band is cut between lines and goes on over the next pages.
    Layout layout = detailLayout(QStringLiteral("[]"));
    auto& elements = layout.bands().back().elements;
    for (int i = 0; i < 60; ++i) {
        Element e;
        e.name = QStringLiteral("l%1").arg(i);
        e.rect = QRectF(0, i * 6, 128, 6);
        e.text = QStringLiteral("سطر %1").arg(i + 1);
        elements.push_back(e);
    }
    layout.bands().back().height = 360;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.pdf"));
    EXPECT_EQ(renderToPdf(layout, nullptr, path), 2);
    const QString second = test::foldPrintedText(pdfToText(path, false, 2));
    EXPECT_TRUE(second.contains(test::foldPrintedText(QStringLiteral("سطر 60"))));
    EXPECT_FALSE(second.contains(test::foldPrintedText(QStringLiteral("سطر 1سطر"))));
    EXPECT_TRUE(fitProblems(layout, nullptr).empty());

    // One text taller than a whole page cannot be cut: it is reported.
    Layout tall = detailLayout(QStringLiteral(R"([{"name": "t", "x": 0, "y": 0, "width": 128, "height": 10}])"));
    QString lines;
    for (int i = 0; i < 60; ++i)
        lines += QStringLiteral("سطر شماره %1 از متن بلند\n").arg(i + 1);
    tall.setText(QStringLiteral("t"), lines.trimmed());
    const std::vector<FitProblem> problems = fitProblems(tall, nullptr);
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems.front().what, QStringLiteral("outside the page"));
}

TEST(ReportRender, FitReportNamesOverlapsAndTextsOffThePage)
{
    Layout layout = detailLayout(QStringLiteral(R"([
        {"name": "a", "x": 0, "y": 0, "width": 60, "height": 8, "text": "متن اول", "autoWidth": true},
        {"name": "b", "x": 0, "y": 0, "width": 60, "height": 8, "text": "متن دوم"},
        {"name": "c", "x": 120, "y": 20, "width": 40, "height": 8, "text": "بيرون از صفحه"}])"));
    std::set<std::string> found;
    for (const FitProblem& p : fitProblems(layout, nullptr))
        found.insert((p.element + QLatin1Char(' ') + p.what).toStdString());
    EXPECT_TRUE(found.count("a overlaps b")) << found.size();
    EXPECT_TRUE(found.count("c outside the page")) << found.size();
}

TEST(ReportRender, StackingOrderAndFillAreSetAtRunTime)
{
    Layout layout = detailLayout(QStringLiteral(R"([
        {"name": "red", "type": "shape", "x": 10, "y": 10, "width": 30, "height": 20, "fill": "#ff0000", "z": 1},
        {"name": "blue", "type": "shape", "x": 20, "y": 15, "width": 30, "height": 20, "fill": "#0000ff"}])"));
    const QPoint overlap(px(30), px(22));
    auto colourAt = [&] { return QColor(renderToImages(layout, nullptr).front().pixel(overlap)); };
    EXPECT_EQ(colourAt(), QColor(Qt::red));
    layout.bringToFront(QStringLiteral("blue"));
    EXPECT_EQ(colourAt(), QColor(Qt::blue));
    layout.sendToBack(QStringLiteral("blue"));
    EXPECT_EQ(colourAt(), QColor(Qt::red));
    layout.setFill(QStringLiteral("red"), QColor(Qt::green));
    EXPECT_EQ(colourAt(), QColor(Qt::green));
    layout.setFill(QStringLiteral("red"), QColor());
    EXPECT_EQ(colourAt(), QColor(Qt::blue)) << "without fill the shape below shows";
}

TEST(ReportRender, PicturesSetAtRunTimePrint)
{
    Layout layout = detailLayout(QStringLiteral(R"([{"name": "logo", "type": "picture", "x": 10, "y": 10,
        "width": 20, "height": 20}])"));
    EXPECT_TRUE(ink(renderToImages(layout, nullptr).front()).isEmpty());
    QImage green(10, 10, QImage::Format_RGB32);
    green.fill(QColor(0, 128, 0));
    layout.setPicture(QStringLiteral("logo"), green);
    const QImage page = renderToImages(layout, nullptr).front();
    EXPECT_EQ(QColor(page.pixel(px(20), px(20))), QColor(0, 128, 0));
    EXPECT_EQ(QColor(page.pixel(px(32), px(20))), QColor(Qt::white));
}

class ReportDataTest : public test::DbTest {
protected:
    static constexpr int kRows = 25;

    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        db->exec(QStringLiteral("create table items (id integer primary key, a integer, b integer, city varchar(40))"));
        for (int i = 1; i <= kRows; ++i)
            db->exec(QStringLiteral("insert into items (id, a, b, city) values (?, ?, ?, ?)"),
                     {i, i * 100, i, QStringLiteral("شهرکرد")});
        rs = std::make_unique<ResultSet>(db);
        rs->open(QStringLiteral("select * from items order by id"));
    }

    // A5 (190 mm printable): 12 + 8 mm of headers leave room for 17 details of 10 mm.
    static Layout registerLayout()
    {
        Layout layout = detailLayout(QStringLiteral(R"([
            {"name": "no", "type": "system", "value": "row", "x": 110, "y": 0, "width": 18, "height": 10, "font": "Arial"},
            {"name": "sum", "type": "field", "expression": "[a]+[b]", "x": 70, "y": 0, "width": 30, "height": 10, "font": "Arial"},
            {"name": "diff", "type": "field", "expression": "a - [B]", "x": 30, "y": 0, "width": 30, "height": 10, "font": "Arial"}])"),
                                     true, QStringLiteral(R"(
            {"kind": "pageHeader", "height": 12, "elements": [
              {"name": "title", "x": 0, "y": 0, "width": 128, "height": 12, "text": "فهرست اقلام", "align": "center"}]},
            {"kind": "columnHeader", "height": 8, "frame": true, "elements": [
              {"name": "head", "x": 60, "y": 0, "width": 68, "height": 8, "text": "رديف و مقدار"},
              {"name": "page_caption", "x": 20, "y": 0, "width": 30, "height": 8, "text": "صفحه"},
              {"name": "page", "type": "system", "value": "page", "x": 0, "y": 0, "width": 20, "height": 8}]},)"));
        layout.bands().back().height = 10;
        return layout;
    }

    std::unique_ptr<ResultSet> rs;
};

TEST_P(ReportDataTest, DetailPerRowAcrossPagesWithHeadersPageNumbersAndExpressions)
{
    rs->moveTo(7);
    const Layout layout = registerLayout();
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("register.pdf"));
    ASSERT_EQ(renderToPdf(layout, rs.get(), pdf), 2);
    EXPECT_EQ(rs->recNo(), 7) << "the current row is kept";
    EXPECT_EQ(pageCount(layout, rs.get()), 2);
    EXPECT_EQ(renderToImages(layout, rs.get()).size(), 2);
    EXPECT_EQ(rs->recNo(), 7);

    // Every detail line holds the running number n, a+b = 101n and a-b = 99n.
    std::set<int> numbers;
    const int perPage[] = {17, kRows - 17};
    for (int page = 1; page <= 2; ++page) {
        const QString text = normalised(pdfText(pdf, page));
        EXPECT_TRUE(text.contains(normalised(QStringLiteral("فهرست اقلام")))) << "page header on page " << page;
        EXPECT_TRUE(text.contains(normalised(QStringLiteral("رديف و مقدار")))) << "column header on page " << page;
        int details = 0;
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            const QStringList tokens = words(line);
            if (tokens.contains(normalised(QStringLiteral("صفحه")))) {
                EXPECT_TRUE(tokens.contains(QString::number(page))) << line.toStdString();
                continue;
            }
            std::vector<int> values;
            for (const QString& t : tokens) {
                bool ok = false;
                const int v = t.toInt(&ok);
                if (ok)
                    values.push_back(v);
            }
            if (values.size() != 3)
                continue;
            std::sort(values.begin(), values.end());
            const int n = values[0];
            EXPECT_EQ(values[1], 99 * n) << line.toStdString();
            EXPECT_EQ(values[2], 101 * n) << line.toStdString();
            EXPECT_TRUE(numbers.insert(n).second) << "row " << n << " twice";
            ++details;
        }
        EXPECT_EQ(details, perPage[page - 1]) << "page " << page;
    }
    std::set<int> expected;
    for (int i = 1; i <= kRows; ++i)
        expected.insert(i);
    EXPECT_EQ(numbers, expected);
}

TEST_P(ReportDataTest, DetailsFollowTheCurrentOrder)
{
    rs->sort(QStringLiteral("a"), Qt::DescendingOrder);
    Layout layout = registerLayout();
    // The first detail on the first page is the largest row, numbered 1.
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("sorted.pdf"));
    renderToPdf(layout, rs.get(), pdf);
    const QString text = normalised(pdfText(pdf, 1));
    const qsizetype first = text.indexOf(QString::number(101 * kRows));
    const qsizetype second = text.indexOf(QString::number(101 * (kRows - 1)));
    ASSERT_GE(first, 0);
    EXPECT_LT(first, second);
}

TEST_P(ReportDataTest, UnboundLayoutReadsTheCurrentRowOnce)
{
    rs->moveTo(4);
    Layout layout = registerLayout();
    layout.setBound(false);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("one.pdf"));
    EXPECT_EQ(renderToPdf(layout, rs.get(), pdf), 1);
    const QStringList tokens = words(normalised(pdfText(pdf)));
    EXPECT_TRUE(tokens.contains(QStringLiteral("404")));
    EXPECT_TRUE(tokens.contains(QStringLiteral("396")));
    EXPECT_FALSE(tokens.contains(QStringLiteral("505")));
    EXPECT_EQ(rs->recNo(), 4);
}

TEST_P(ReportDataTest, EmptyResultPrintsHeadersAndBlankValues)
{
    rs->open(QStringLiteral("select * from items where id < 0"));
    const Layout layout = registerLayout();
    EXPECT_EQ(pageCount(layout, rs.get()), 1);
    Layout unbound = registerLayout();
    unbound.setBound(false);
    EXPECT_NO_THROW(renderToImages(unbound, rs.get()));
}

TEST_P(ReportDataTest, UnknownColumnThrowsNamingIt)
{
    Layout layout = detailLayout(QStringLiteral(R"([{"name": "v", "type": "field", "expression": "[a]+[nothere]",
        "width": 20, "height": 5}])"),
                                 true);
    try {
        renderToImages(layout, rs.get());
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("nothere")));
        EXPECT_TRUE(e.message().contains(QStringLiteral("v")));
    }
}

TEST_P(ReportDataTest, PreviewShowsThePagesAndSavesPdf)
{
    test::FakeDialogs dialogs;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.pdf"));
    dialogs.files.enqueue(path);
    int pages = 0;
    QString label;
    bool saved = false;
    setModalShower([&](QWidget* w) {
        auto* preview = qobject_cast<ReportPreview*>(w);
        ASSERT_NE(preview, nullptr);
        preview->view()->updatePreview();
        pages = preview->pageCount();
        label = preview->pageLabel();
        saved = preview->savePdf();
    });
    previewReport(registerLayout(), rs.get(), nullptr);
    setModalShower({});
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(label, QStringLiteral("1 / 2"));
    EXPECT_TRUE(saved);
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_TRUE(words(normalised(pdfText(path, 2))).contains(QString::number(101 * kRows)));
}

TARVEST_FOR_EACH_DATABASE(ReportDataTest);

// A saved PDF replaces the file already there only when it is whole: a disk that fills
// half way (a file size limit here) or a missing folder keeps the earlier file as it was,
// reports the failure, and leaves no stray file beside it.
TEST(ReportRender, SavedPdfIsWholeOrNotWritten)
{
    Layout layout = detailLayout(QStringLiteral(R"([
        {"name": "t", "x": 0, "y": 0, "width": 128, "height": 10, "text": "صورت جلسه كميسيون"}])"));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("list.pdf"));
    const QByteArray earlier = "earlier file";
    {
        QFile f(pdf);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(earlier);
    }
    auto contents = [&] {
        QFile f(pdf);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };

    {
        // Writes past 4 KiB fail with EFBIG instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 4096;
        ::setrlimit(RLIMIT_FSIZE, &small);
        QString message;
        try {
            renderToPdf(layout, nullptr, pdf);
        } catch (const Error& e) {
            message = e.message();
        }
        ::setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_TRUE(message.contains(QStringLiteral("نوشته نشد"))) << message.toStdString();
    }
    EXPECT_EQ(contents(), earlier);

    EXPECT_THROW(renderToPdf(layout, nullptr, dir.filePath(QStringLiteral("no-such-folder/list.pdf"))), Error);

    EXPECT_EQ(renderToPdf(layout, nullptr, pdf), 1);
    EXPECT_TRUE(contents().startsWith("%PDF"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("list.pdf")});
}
