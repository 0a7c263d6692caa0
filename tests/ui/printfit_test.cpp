// Every case print, filled from a case whose every column is as wide as the column
// holds (the widest Persian words, amounts of 15 digits), lays out with no text cut:
// the renderer's own fit report is empty. The same with ordinary values, and the long
// values read back from the PDF whole.
#include "cases/prints/caseprints.h"
#include "cases/prints/core/countyprint.h"
#include "cases/prints/countyprints.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/schema.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "pdftext.h"
#include "reports/reportpreview.h"
#include "reports/reportrenderer.h"
#include "testdb.h"
#include "widgets/screen.h"

#include <QAction>
#include <QCoreApplication>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <map>
#include <set>

using namespace tarvest;
using namespace tarvest::test;

namespace {

// Text of `length` characters in wide Persian letters, in words of four letters.
QString widePersian(int length)
{
    const QString word = QStringLiteral("ششمس ");
    QString s;
    while (s.size() < length)
        s += word;
    s.truncate(length);
    return s.trimmed().isEmpty() ? QStringLiteral("ش") : s.trimmed().leftJustified(length, QChar(0x0634));
}

// Letter numbers filling a column: the widest one an office writes ("99999/ص/1403"),
// again after a blank as long as there is room. A single number of thirty digits is
// no letter number, and no box could print it unbroken.
QString widestLetterNumbers(int width)
{
    const QString number = QStringLiteral("99999/ص/1403");
    if (width < number.size())
        return QStringLiteral("%1/ص").arg(QString(width - 2, QLatin1Char('9')));
    QString s = number;
    while (s.size() + 1 + number.size() <= width)
        s += QLatin1Char(' ') + number;
    return s;
}

bool isDateColumn(const QString& column)
{
    return column.endsWith(QLatin1String("_dat")) || column.endsWith(QLatin1String("dat2"));
}

// Columns the prints read as numbers.
bool isAmountColumn(const QString& column)
{
    static const QStringList amounts = {"metraj",
                                        "malek_pardakhti",
                                        "malek_varizi",
                                        "masahat_na",
                                        "price_metr",
                                        "melk_arzesh",
                                        "ghimat_karshenasi_kh",
                                        "masahat_khales",
                                        "malek_sahm",
                                        "ghimat_karshenasi_d",
                                        "takhrib_masahat",
                                        "takhfif_darsad",
                                        "m_khales_b",
                                        "fish_mablagh",
                                        "kharej",
                                        "phone",
                                        "abadi_cod"};
    return amounts.contains(column);
}

// Areas, in square metres with two decimals.
bool isQuantityColumn(const QString& column)
{
    static const QStringList areas = {"metraj", "masahat_na", "masahat_khales", "takhrib_masahat", "m_khales_b"};
    return areas.contains(column);
}

// A case with every text column at its full width.
QVariantMap widestCase()
{
    QVariantMap row;
    for (const Column& c : findTable(QStringLiteral("komision"))->columns) {
        if (c.type != ColType::NVarChar || c.width <= 0)
            continue;
        if (isDateColumn(c.name))
            row[c.name] = QStringLiteral("1403/12/29");
        else if (isQuantityColumn(c.name))
            row[c.name] = QStringLiteral("999999999.99"); // square metres
        else if (c.name == QLatin1String("abadi_cod"))
            row[c.name] = QStringLiteral("9999999999"); // the gazetteer's codes have ten digits at most
        else if (c.name == QLatin1String("phone"))
            row[c.name] = QStringLiteral("0999 999 9999 / 999");
        else if (isAmountColumn(c.name))
            row[c.name] = QStringLiteral("999999999999999").left(std::min(15, c.width));
        else if (c.name == QLatin1String("paper_no") || c.name.endsWith(QLatin1String("paper_no"))
                 || c.name == QLatin1String("paper_no2") || c.name == QLatin1String("fish_no"))
            row[c.name] = widestLetterNumbers(c.width);
        else
            row[c.name] = widePersian(c.width);
    }
    row["taeid_zamin"] = caseprint::landAffairsConfirmed();
    return row;
}

QVariantMap ordinaryCase()
{
    return {{"paper_no", "123/45"},
            {"paper_dat", "1403/02/10"},
            {"city", QStringLiteral("مراغه")},
            {"rosta", QStringLiteral("باسمنج")},
            {"darkhast", QStringLiteral("سيد محمدحسين موسوي نژاد")},
            {"manzor", QStringLiteral("مسكوني")},
            {"metraj", "500.5"},
            {"takhrib_masahat", "20"},
            {"malek_varizi", "1234567890"},
            {"masahat_na", "611"},
            {"komision_dat", "1403/03/01"},
            {"komision_t_k_dat", "1403/06/02"},
            {"malek_sahm", "20"},
            {"karbari1", QStringLiteral("باغ")},
            {"karbari2", QStringLiteral("مسكوني")},
            {"taeid_zamin", caseprint::landAffairsConfirmed()},
            {"zamin", QStringLiteral("با درخواست موافقت مي شود")},
            {"komision_idea", QStringLiteral("مقرر شد مبلغ پرداخت شود")}};
}

// A case like the gallery's first sample: a full name of 70 characters, a fee of ten
// digits and four opinions of about a hundred characters.
QVariantMap galleryCase()
{
    QVariantMap row = ordinaryCase();
    row["paper_no"] = "4521/12";
    row["darkhast"] = QStringLiteral("سيد محمدحسين موسوي نژاد فرزند علي اكبر ساكن روستاي قره آغاج، بخش مركزي");
    row["malek_varizi"] = "1234567890";
    row["malek_pardakhti"] = "14500000";
    row["abadi_cod"] = "050101010";
    row["phone"] = "09143412000";
    row["tasvib_paper_no"] = "7710/ص";
    row["paper_no2"] = "6120/ص";
    row["mashmol"] = QStringLiteral(
        "مشمول بند (د) شيوه نامه توافق با مالكين اراضي روستايي بوده و هزينه خدمات فني به ميزان مقرر پرداخت مي شود");
    row["fani"] = QStringLiteral("طرح موضوع در كميسيون با رعايت ضوابط طرح هادي مصوب و حفظ حريم معابر و رعايت عقب "
                                 "نشيني به ميزان دو متر از بر گذر اصلي بلامانع است");
    row["zamin"] = QStringLiteral("با توجه به مدارك پيوست و ارزيابي كارشناس رسمي، قيمت روز زمين تعيين و سهم ورتاليس بر "
                                  "اساس جدول فوق محاسبه گرديد");
    row["dabir"] = QStringLiteral("جهت طرح در جلسه آتي كميسيون معاملات");
    row["komision_idea"] = QStringLiteral("با درخواست متقاضي موافقت و مقرر گرديد مبلغ تعيين شده ظرف مدت يك ماه به حساب "
                                          "ورتاليس واريز گردد");
    return row;
}

class PrintFit : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        for (const QString& list : {lists::DirectorGeneral, lists::RuralDeputy, lists::SupportDeputy,
                                    lists::SecurityHead, lists::LegalExpert, lists::RuralDeputyPostTitle})
            addSettingValue(*db, list, widePersian(60));
        addSettingValue(*db, lists::TransactionsLetterNo, "9999999/99");
        addSettingValue(*db, lists::TransactionsLetterDate, "1403/12/29");
        db->insert("komision", widestCase());
        db->insert("komision", ordinaryCase());
        db->insert("komision", galleryCase());
        session.setDatabase(tmp->openAnother());
        session.login = LoginState{"1", "ostan", "province"};
        session.cases.open("select * from komision order by pk");
    }

    // Every case print of the selected case (or of the whole result).
    std::vector<caseprints::PreparedPrint> allPrints(double fontSize)
    {
        using caseprint::DecisionLetter;
        std::vector<caseprints::PreparedPrint> prints;
        dialogs.inputs << "1403/12/29" << QString::number(fontSize);
        prints.push_back(*caseprints::prepareCommissionSheetA4(session));
        prints.push_back(caseprints::prepareCommissionSheetA5(session));
        prints.push_back(caseprints::prepareRegister(session));
        dialogs.inputs << "10:30:00";
        prints.push_back(caseprints::prepareMinutes(session));
        for (DecisionLetter l : {DecisionLetter::Money, DecisionLetter::Share, DecisionLetter::LandGroup,
                                 DecisionLetter::MixedUse, DecisionLetter::ConditionalUse}) {
            prints.push_back(caseprints::prepareDecisionLetter(session, l));
            if (l != DecisionLetter::LandGroup)
                prints.push_back(caseprints::prepareCombinedForm(session, l));
        }
        prints.push_back(*countyprints::prepareReviewForm(session));
        prints.push_back(countyprints::prepareDeclarationForm(session));
        prints.push_back(countyprints::prepareAccountingForm(session));
        return prints;
    }

    static std::string problemsOf(const caseprints::PreparedPrint& p)
    {
        std::string out;
        for (const report::FitProblem& f : report::fitProblems(p.layout, p.data))
            if (f.kind != report::FitKind::Shrunk) // printed smaller but whole: not a fault
                out += QStringLiteral("%1 page %2: %3 %4\n")
                           .arg(p.layout.name(), QString::number(f.page), f.element, f.what)
                           .toStdString();
        return out;
    }

    FakeDialogs dialogs;
    Session session;
    QTemporaryDir dir;
};

TEST_P(PrintFit, EveryPrintHoldsTheWidestAndOrdinaryValues)
{
    for (int row : {1, 2, 3}) {
        session.cases.moveTo(row);
        const std::vector<caseprints::PreparedPrint> prints = allPrints(14);
        EXPECT_EQ(prints.size(), 16u);
        for (const caseprints::PreparedPrint& p : prints)
            EXPECT_EQ(problemsOf(p), "") << "case " << row;
    }
}

// The pages each block of a print's layout printed on, per detail row: a block prints
// on one page, so every block maps to one page.
std::string splitBlocks(const caseprints::PreparedPrint& p)
{
    std::string out;
    const std::vector<report::PlacedText> placed = report::placedTexts(p.layout, p.data);
    for (const report::Band& band : p.layout.bands())
        for (const report::Block& block : band.blocks) {
            std::map<int, std::set<int>> pages; // row → pages
            for (const report::PlacedText& t : placed)
                if (block.elements.contains(t.element) || t.element == block.withPrevious)
                    pages[t.row].insert(t.page);
            for (const auto& [row, on] : pages)
                if (on.size() > 1)
                    out += QStringLiteral("%1: block %2 of row %3 on %4 pages\n")
                               .arg(p.layout.name(), block.name)
                               .arg(row)
                               .arg(on.size())
                               .toStdString();
        }
    return out;
}

TEST_P(PrintFit, SignatureBlocksPrintOnOnePage)
{
    for (int row : {1, 2, 3}) {
        session.cases.moveTo(row);
        for (const caseprints::PreparedPrint& p : allPrints(14))
            EXPECT_EQ(splitBlocks(p), "") << "case " << row;
    }
    // Every signing form has its signatures as blocks.
    for (const caseprints::PreparedPrint& p : allPrints(14)) {
        if (p.layout.name() == caseprints::Register)
            continue;
        size_t blocks = 0;
        for (const report::Band& band : p.layout.bands())
            blocks += band.blocks.size();
        EXPECT_GT(blocks, 0u) << p.layout.name().toStdString();
    }
}

TEST_P(PrintFit, CommissionMembersStayWithTheDecision)
{
    // A name of 69 characters and a decision of 149 at font size 14 push the members' row
    // past the first page: names and titles go together, with the decision.
    const QString name = QStringLiteral("سيد محمدحسين موسوي نژاد فرزند علي اكبر ساكن روستاي قره آغاج، بخش مركز");
    ASSERT_EQ(name.size(), 69);
    const QString decision =
        QString(QStringLiteral("مقرر شد متقاضي مبلغ تعيين شده را به حساب ورتاليس واريز نمايد ")).repeated(3).left(149);
    QVariantMap row = galleryCase();
    row["paper_no"] = "321/8";
    row["darkhast"] = name;
    row["komision_idea"] = decision;
    row["zamin"] = decision;
    db->insert("komision", row);
    session.cases.open("select * from komision where paper_no in ('321/8', '4521/12') order by pk");
    for (int r : {1, 2}) {
        session.cases.moveTo(r);
        for (const double size : {10.0, 14.0}) {
            dialogs.inputs << "1403/12/29" << QString::number(size);
            const caseprints::PreparedPrint p = *caseprints::prepareCommissionSheetA4(session);
            EXPECT_EQ(problemsOf(p), "") << "case " << r << " size " << size;
            std::map<QString, int> page;
            for (const report::PlacedText& t : report::placedTexts(p.layout, p.data))
                page[t.element] = t.page;
            ASSERT_TRUE(page.count("komision_idea"));
            for (int m = 1; m <= 5; ++m)
                for (const QString& e : {QStringLiteral("member%1").arg(m), QStringLiteral("member%1_caption").arg(m)})
                    if (page.count(e)) {
                        EXPECT_EQ(page[e], page["komision_idea"]) << e.toStdString() << " size " << size;
                    }
            EXPECT_EQ(page["text_36"], page["komision_idea"]);
        }
    }
}

TEST_P(PrintFit, LetterNumbersAndCodesPrintWhole)
{
    // Pdftotext's lines (with -layout) hold each number whole, on one line.
    QVariantMap row = galleryCase();
    row["paper_no"] = QStringLiteral("37/177/م");
    row["paper_no2"] = QStringLiteral("۱۲۳۴۵/ص/۱۴۰۳");
    row["m_paper_no"] = QStringLiteral("۱۲۳۴۵/ص/۱۴۰۳");
    row["abadi_cod"] = "050101010";
    row["metraj"] = "12345.75";
    row["sanad"] = QStringLiteral("(مشاع/ي)");
    db->insert("komision", row);
    session.cases.open("select * from komision where paper_no = '37/177/م'");
    session.cases.moveTo(1);
    const QString pdf = dir.filePath("codes.pdf");
    auto lines = [&](const caseprints::PreparedPrint& p) {
        report::renderToPdf(p.layout, p.data, pdf);
        QStringList out;
        for (const QString& line : pdfToText(pdf, true).split(QLatin1Char('\n')))
            out << foldPrintedText(line);
        return out;
    };
    auto holds = [](const QStringList& lines, const QString& word) {
        const QString folded = foldPrintedText(word);
        return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.contains(folded); });
    };
    const QStringList share = lines(caseprints::prepareDecisionLetter(session, caseprint::DecisionLetter::Share));
    // pdftotext puts the slash before the letter where it likes: the digits and the letter
    // stand together on one line all the same.
    EXPECT_TRUE(holds(share, QStringLiteral("37/177/م")) || holds(share, QStringLiteral("/37/177م"))
                || holds(share, QStringLiteral("م/37/177")))
        << share.join('\n').toStdString();
    const QStringList reg = lines(caseprints::prepareRegister(session));
    for (const char* code : {"050101010", "12345.75"})
        EXPECT_TRUE(holds(reg, QString::fromLatin1(code))) << code << "\n" << reg.join('\n').toStdString();
    for (const report::PlacedText& t : report::placedTexts(caseprints::prepareRegister(session).layout, &session.cases))
        if (t.element == "abadi_cod" || t.element == "metraj" || t.element == "m_paper_no") {
            EXPECT_LT(t.ink.height(), 4.0) << t.element.toStdString(); // one line of 7 pt
        }
    dialogs.inputs << "10:30:00";
    session.cases.open("select * from komision where paper_no = '37/177/م'");
    const caseprints::PreparedPrint minutes = caseprints::prepareMinutes(session);
    EXPECT_EQ(problemsOf(minutes), "");
    for (const report::PlacedText& t : report::placedTexts(minutes.layout, minutes.data))
        if (t.element == "paper_no") {
            EXPECT_LT(t.ink.height(), 6.0); // one line
        }
}

// The words of a printed text as pdftotext gives them, normalised for comparing.
QStringList printedWords(const QString& text)
{
    QString n = normalisePrintedText(text);
    n.remove(QChar(0x200C));
    n.remove(QChar(0x0640)); // a kashida stretching a word is no letter of it
    // pdftotext sets a number and the Persian word beside it without the blank between
    // them and mirrors brackets as it likes: both are left out of the comparison.
    static const QRegularExpression scriptChange(
        QStringLiteral("(?<=[0-9%])(?=[\\x{0600}-\\x{06FF}])|(?<=[\\x{0600}-\\x{06FF}])(?=[0-9])"));
    n.replace(scriptChange, QStringLiteral(" "));
    n.replace(QRegularExpression(QStringLiteral("%([0-9]+)")), QStringLiteral("\\1%"));
    // and the last slash of "37/177/م" before the number: "/37/177م".
    n.replace(QRegularExpression(QStringLiteral("(?<![0-9])/([0-9][0-9/]*[0-9]) ([\\x{0600}-\\x{06FF}])(?=\\s|$)")),
              QStringLiteral("\\1/\\2"));
    // It also sets a comma or full stop on either side of the blank next to it.
    static const QRegularExpression brackets(QStringLiteral("[()«»]"));
    n.remove(brackets);
    static const QRegularExpression stops(QStringLiteral("[\\x{060C}.:]+(?=\\s|$|[\\x{0600}-\\x{06FF}])"));
    n.replace(stops, QStringLiteral(" "));
    n.replace(QRegularExpression(QStringLiteral("(?<=\\s)[\\x{060C}.:]+")), QString());
    return n.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

// Each run of fixed wording of the layout's paragraphs and labels that printed, as the
// words pdftotext should give (in order for a paragraph).
std::vector<std::pair<QStringList, bool>> fixedWording(const caseprints::PreparedPrint& p)
{
    static const QRegularExpression placeholder(QStringLiteral(R"(\{=?[A-Za-z_][A-Za-z0-9_]*\})"));
    std::set<QString> printed;
    for (const report::PlacedText& t : report::placedTexts(p.layout, p.data))
        printed.insert(t.element);
    std::vector<std::pair<QStringList, bool>> out;
    for (const report::Band& band : p.layout.bands())
        for (const report::Element& e : band.elements) {
            if (!printed.count(e.name)
                || (e.type != report::ElementType::Paragraph && e.type != report::ElementType::Label))
                continue;
            // The Nastaliq face's letters are all contextual glyphs its character map does
            // not name: Qt's PDF writer has no text for them (see the design notes).
            if (report::fontEquivalent(e.fontFamily) == QLatin1String("Noto Nastaliq Urdu"))
                continue;
            for (const QString& part : e.text.split(placeholder)) {
                const QStringList words = printedWords(part);
                if (words.size() >= 2)
                    out.emplace_back(words, e.type == report::ElementType::Paragraph);
            }
        }
    return out;
}

// Whether `words` stand in `text` whole and in order (a word or two of another text may
// come between two lines of a paragraph).
qsizetype wordsInOrder(const QStringList& text, const QStringList& words);
bool readsInOrder(const QStringList& text, const QStringList& words)
{
    return wordsInOrder(text, words) == words.size();
}

// How many of `words` stand in `text` whole and in order, at best.
qsizetype wordsInOrder(const QStringList& text, const QStringList& words)
{
    qsizetype best = 0;
    for (qsizetype start = 0; start < text.size(); ++start) {
        if (text[start] != words.front())
            continue;
        qsizetype at = start;
        qsizetype matched = 1;
        for (; matched < words.size(); ++matched) {
            qsizetype next = -1;
            for (qsizetype k = at + 1; k < std::min(text.size(), at + 8); ++k)
                if (text[k] == words[matched]) {
                    next = k;
                    break;
                }
            if (next < 0)
                break;
            at = next;
        }
        best = std::max(best, matched);
    }
    return best;
}

TEST_P(PrintFit, SavedLettersReadBackAsWholeWords)
{
    // The letters, the combined forms and the register, with ordinary and gallery values:
    // pdftotext gives each sentence of the layout's own wording as whole words in order.
    const QString pdf = dir.filePath("words.pdf");
    using caseprint::DecisionLetter;
    for (int row : {2, 3}) {
        session.cases.moveTo(row);
        std::vector<caseprints::PreparedPrint> prints;
        for (DecisionLetter l : {DecisionLetter::Money, DecisionLetter::Share, DecisionLetter::LandGroup,
                                 DecisionLetter::MixedUse, DecisionLetter::ConditionalUse}) {
            prints.push_back(caseprints::prepareDecisionLetter(session, l));
            if (l != DecisionLetter::LandGroup)
                prints.push_back(caseprints::prepareCombinedForm(session, l));
        }
        prints.push_back(*countyprints::prepareReviewForm(session));
        prints.push_back(countyprints::prepareAccountingForm(session));
        prints.push_back(caseprints::prepareRegister(session));
        for (const caseprints::PreparedPrint& p : prints) {
            report::renderToPdf(p.layout, p.data, pdf);
            const QStringList text = printedWords(pdfToText(pdf));
            int sentences = 0;
            for (const auto& [words, paragraph] : fixedWording(p)) {
                ++sentences;
                // A paragraph reads in order; the lines of a table's headings may come
                // between those of the cell beside them, but each word is whole.
                const bool whole = std::all_of(words.begin(), words.end(),
                                               [&](const QString& w) { return text.contains(w); });
                EXPECT_TRUE(paragraph ? readsInOrder(text, words) : whole)
                    << p.layout.name().toStdString() << " case " << row << ": " << words.join(' ').toStdString()
                    << "\nnot read from: " << words.mid(wordsInOrder(text, words)).join(' ').toStdString()
                    << "\nprinted: " << text.join(' ').toStdString();
            }
            EXPECT_GT(sentences, 0) << p.layout.name().toStdString();
        }
    }
}

TEST_P(PrintFit, RegisterTitleCarriesTheOfficesProvince)
{
    const QString pdf = dir.filePath("register.pdf");
    auto title = [&] {
        const caseprints::PreparedPrint p = caseprints::prepareRegister(session);
        report::renderToPdf(p.layout, p.data, pdf);
        return foldPrintedText(pdfToText(pdf, false, 1));
    };
    // No setting, and a gazetteer of two provinces: no province at all.
    db->insert("abadiha", {{"cod", "1"}, {"ostan", QStringLiteral("فارس")}, {"shahrestan", QStringLiteral("شيراز")}});
    db->insert("abadiha", {{"cod", "2"}, {"ostan", QStringLiteral("كرمان")}, {"shahrestan", QStringLiteral("بم")}});
    EXPECT_EQ(officeProvince(*db).source, OfficeProvinceName::Source::None);
    QString text = title();
    EXPECT_FALSE(text.contains(foldPrintedText(QStringLiteral("آذربايجان"))));
    EXPECT_FALSE(text.contains(foldPrintedText(QStringLiteral("فارس"))));
    // A gazetteer of one province gives it.
    db->exec("delete from abadiha where cod = '2'");
    EXPECT_EQ(officeProvince(*db).name, QStringLiteral("فارس"));
    EXPECT_EQ(officeProvince(*db).source, OfficeProvinceName::Source::Gazetteer);
    EXPECT_TRUE(title().contains(foldPrintedText(QStringLiteral("فارس"))));
    // The office's setting comes first.
    addSettingValue(*db, lists::OfficeProvince, QStringLiteral("آذربايجان شرقي"));
    EXPECT_EQ(officeProvince(*db).source, OfficeProvinceName::Source::Setting);
    text = title();
    EXPECT_TRUE(text.contains(foldPrintedText(QStringLiteral("آذربايجان شرقي")))) << text.toStdString();
    EXPECT_FALSE(text.contains(foldPrintedText(QStringLiteral("فارس"))));
    EXPECT_FALSE(text.contains(foldPrintedText(QStringLiteral("آذربايجان غربي"))));
}

TEST_P(PrintFit, LongValuesReadBackWhole)
{
    // A full name of 70 characters in the money letter and the combined forms.
    const QString name = QStringLiteral("سيد محمدحسين موسوي نژاد فرزند علي اكبر ساكن روستاي قره آغاج، بخش مركزي");
    ASSERT_EQ(name.size(), 70);
    const QString decision =
        QString(QStringLiteral("مقرر شد متقاضي مبلغ تعيين شده را به حساب ورتاليس واريز نمايد ")).repeated(3).left(150);
    ASSERT_EQ(decision.size(), 150);
    db->insert("komision", {{"paper_no", "321/7"},
                            {"darkhast", name},
                            {"malek_varizi", "1234567890"},
                            {"komision_idea", decision},
                            {"zamin", decision},
                            {"metraj", "500"},
                            {"city", QStringLiteral("مراغه")},
                            {"taeid_zamin", caseprint::landAffairsConfirmed()}});
    session.cases.open("select * from komision where paper_no = '321/7'");
    session.cases.moveTo(1);
    const QString pdf = dir.filePath("print.pdf");
    auto printed = [&](const caseprints::PreparedPrint& p) {
        EXPECT_EQ(problemsOf(p), "");
        report::renderToPdf(p.layout, p.data, pdf);
        return foldPrintedText(pdfToText(pdf));
    };
    using caseprint::DecisionLetter;
    for (const caseprints::PreparedPrint& p :
         {caseprints::prepareDecisionLetter(session, DecisionLetter::Money),
          caseprints::prepareCombinedForm(session, DecisionLetter::Money), *countyprints::prepareReviewForm(session),
          countyprints::prepareAccountingForm(session)})
        EXPECT_TRUE(printed(p).contains(foldPrintedText(name))) << p.layout.name().toStdString();

    // The decision and the land opinion at font size 14 in the A4 commission sheet.
    dialogs.inputs << "1403/12/29"
                   << "14";
    const QString sheet = printed(*caseprints::prepareCommissionSheetA4(session));
    EXPECT_TRUE(sheet.contains(foldPrintedText(decision)));
    EXPECT_EQ(sheet.count(foldPrintedText(decision)), 2);

    // The review form's amount in words ends in "ريال".
    const QString review = printed(*countyprints::prepareReviewForm(session));
    const QString words = *caseprint::amountInWords(u"1234567890");
    ASSERT_TRUE(words.endsWith(QStringLiteral("ريال")));
    EXPECT_TRUE(review.contains(foldPrintedText(words))) << review.toStdString();
}

TARVEST_FOR_EACH_DATABASE(PrintFit);

// The register of a thousand cases in the preview: zoom and the page buttons.
class RegisterPreview : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        db->begin();
        for (int i = 0; i < 1000; ++i)
            db->insert("komision", {{"paper_no", QStringLiteral("%1/12").arg(4000 + i)},
                                    {"paper_dat", "1403/05/01"},
                                    {"city", QStringLiteral("اروميه")},
                                    {"rosta", QStringLiteral("روستاي %1").arg(i)},
                                    {"darkhast", QStringLiteral("متقاضي %1").arg(i)},
                                    {"metraj", "250"}});
        db->commit();
        session.setDatabase(tmp->openAnother());
        session.cases.open("select * from komision order by pk");
        session.cases.moveTo(1);
    }
    void TearDown() override { setModalShower({}); }

    FakeDialogs dialogs;
    Session session;
};

// Whether the preview shows some ink of a page.
bool pageDrawn(report::ReportPreview* preview)
{
    const QImage shot = preview->view()->grab().toImage();
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2)
            if (qGray(shot.pixel(x, y)) < 100)
                return true;
    return false;
}

TEST_P(RegisterPreview, ZoomAndPageButtonsKeepThePageDrawn)
{
    QStringList labels;
    std::vector<bool> drawn;
    std::vector<int> current;
    setModalShower([&](QWidget* w) {
        auto* preview = qobject_cast<report::ReportPreview*>(w);
        ASSERT_NE(preview, nullptr);
        preview->resize(900, 700);
        preview->show();
        auto click = [&](const char* name) {
            auto* action = preview->findChild<QAction*>(QLatin1String(name));
            ASSERT_NE(action, nullptr) << name;
            action->trigger();
            QCoreApplication::processEvents();
            labels << preview->pageLabel();
            drawn.push_back(pageDrawn(preview));
            current.push_back(preview->currentPage());
        };
        labels << preview->pageLabel();
        drawn.push_back(pageDrawn(preview));
        current.push_back(preview->currentPage());
        for (const char* name : {"zoom_in_btn", "zoom_out_btn", "zoom_in_btn", "next_page_btn", "last_page_btn",
                                 "next_page_btn", "prev_page_btn", "first_page_btn", "prev_page_btn"})
            click(name);
        EXPECT_GT(preview->view()->zoomFactor(), 0.01);
    });
    caseprints::printRegister(session);
    EXPECT_EQ(labels, (QStringList{"1 / 77", "1 / 77", "1 / 77", "1 / 77", "2 / 77", "77 / 77", "77 / 77", "76 / 77",
                                   "1 / 77", "1 / 77"}));
    EXPECT_EQ(current, (std::vector<int>{1, 1, 1, 1, 2, 77, 77, 76, 1, 1}));
    for (size_t i = 0; i < drawn.size(); ++i)
        EXPECT_TRUE(drawn[i]) << "after click " << i;
}

TARVEST_FOR_EACH_DATABASE(RegisterPreview);

} // namespace
