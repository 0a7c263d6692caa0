#pragma once
// What the case prints compute before a layout is filled: the signatory texts from the
// setting lists, amounts grouped for print, amounts in words, the net area, the amount
// block, and the label texts of each case form. Everything here works on texts, so the
// rules are tested without drawing a page; the print commands (cases/prints/caseprints.h)
// only copy these texts into their layouts.
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace tarvest {

class Database;
class ResultSet;

namespace caseprint {

// One case as the prints read it: column name (lower case) → its value as text. A
// column that is missing or null reads as the empty text.
using CaseRow = QMap<QString, QString>;
QString field(const CaseRow& row, const QString& column);

// The current row of a result; an empty row when the result is empty or closed.
CaseRow currentRow(const ResultSet& rs);
// Row `row` (0-based) of a result, read by position: the current row does not move.
CaseRow rowAt(const ResultSet& rs, int row);

// Setting text of a component: the first value of that setting list, "" when none.
QString settingText(Database& db, const QString& component);

// The setting texts the case prints use.
struct PrintSettings {
    QString directorGeneral;        // "مدير کل", member 1
    QString ruralDeputy;            // "معاون عمران روستايي", member 2 and signer
    QString supportDeputy;          // "معاون پشتيباني", member 3
    QString securityHead;           // "رئيس اداره حراست", member 4
    QString legalExpert;            // "كارشناس حقوقي و املاك", member 5
    QString ruralDeputyPostTitle;   // "عنوان پست معاون عمران روستايي"
    QString transactionsLetterNo;   // "شماره نامه کميسيون معاملات"
    QString transactionsLetterDate; // "تاريخ نامه کميسيون معاملات"

    static PrintSettings read(Database& db);
};

// Group amount: the whole part of a number grouped in threes, a sign and a decimal part
// kept as they are ("14175000.5" → "14,175,000.5", "-987654" → "-987,654"). nullopt when
// the text is not a plain decimal number (empty, letters, grouping commas present).
std::optional<QString> groupAmount(QStringView text);
// Group amount with the usual fallback: the text unchanged when it does not group.
QString groupAmountOr(QStringView text);

// The words of the amount in words, each with its blanks as printed. The words for
// four, fourteen, forty and four hundred keep a zero-width non-joiner before their
// trailing blank.
QString Get1nd(int n); // 0..19
QString Get2nd(int n); // tens 2..9
QString Get3nd(int n); // hundreds 1..9
// 0..999 in words, built from the right with "و" between the parts; 0 is " صفر ".
QString GetTree(int n);
// A whole amount of rials in words: groups of three digits up to the trillions, each
// with its scale word, joined by " و ", then " " and "ريال". Zero is " صفر ريال" with its
// blanks. nullopt for a negative amount or one of a thousand trillion rials or more.
std::optional<QString> GetNum(qint64 n);

// A text read as a whole number of rials (blanks around it allowed); nullopt otherwise.
std::optional<qint64> wholeAmount(QStringView text);
// The amount in words of a text, or nullopt when it is not a whole amount GetNum spells.
std::optional<QString> amountInWords(QStringView text);

// Net area of a case: metraj less takhrib_masahat, each 0 when it is not a number,
// in the shortest decimal form ("500", "480.5").
QString netArea(QStringView metraj, QStringView destroyedArea);

// The connector between an amount and its words, and the share text after a share.
QString amountConnector();            // "ريال، معادل"
QString shareText(QStringView share); // share + " درصد سهم ورتاليس "

// The three labels of an amount: the amount, its connector and its words.
struct AmountBlock {
    QString amount;
    QString connector;
    QString words;
};
// Amount block of a fee V and a share S: a whole V is grouped with its connector and
// words; an empty V prints the share text as connector; any other V prints as it stands.
AmountBlock amountBlock(const QString& fee, const QString& share);

// Label texts, font sizes and ticked circles to write into a layout. A label not named keeps its
// layout text; fixed wording that does not apply to a case is emptied.
struct FormFill {
    QMap<QString, QString> texts;
    QMap<QString, int> fontSizes;
    QMap<QString, bool> ticks; // circles: true fills black, false white
};

// The A4 commission sheet's font size answer as a point size; nullopt when the answer
// is not a whole number from 1 to 200.
std::optional<int> fontSizeAnswer(QStringView answer);
// Message shown when the font size answer is refused.
QString badFontSizeMessage(const QString& answer);

// The A4 commission sheet "چاپ برگه كميسيون معاملات". `dateAnswer` is the answer of the
// date box (an empty answer prints neither the date nor its caption), `fontSize` the
// size of the land-affairs opinion and the commission's decision.
FormFill commissionSheetA4(const CaseRow& c, const PrintSettings& s, const QString& dateAnswer, int fontSize);
// The A5 commission sheet "برگه کميسيون معاملات جديد-A5", dated `today`.
FormFill commissionSheetA5(const CaseRow& c, const PrintSettings& s, const QString& today);

// The decision letters to the county office after the commission of transactions, and
// the A4 forms that print the A5 sheet's three boxes above one of them.
enum class DecisionLetter {
    Money,          // "چاپ نامه پيش نويس ريالي": pay a sum on account
    Share,          // "چاپ نامه پيش نويس سهمي": cede a percentage of the land
    LandGroup,      // "چاپ نامه گروه زمين": payment confirmed to the secretariat
    MixedUse,       // "کاربري مختلط": fee due, reply cleared
    ConditionalUse, // "کاربري مشروط": fee due, reply after the Article 99 procedure
};
// The amount a letter prints: money and mixed/conditional letters the grouped fee (the
// money letter falling back to malek_pardakhti as stored, the others to the fee as
// stored); the share letter the share as stored, without a percent sign; the land
// group letter malek_pardakhti as stored.
QString letterAmount(DecisionLetter letter, const CaseRow& c);
// The A5 letter: its values, its amount, the signer and the post line. The money
// letter's post line keeps its layout wording; every other one is the post title.
FormFill decisionLetter(DecisionLetter letter, const CaseRow& c, const PrintSettings& s);
// The A4 form "فرم مشروط/مختلط/ريالي/سهمي -A4": the A5 sheet's three boxes (no date)
// and the letter box of the matching letter, the post title in all four post places.
// The land group letter has no combined form: it gives the boxes alone.
FormFill combinedForm(DecisionLetter letter, const CaseRow& c, const PrintSettings& s);

// The minutes sheet's village list: " * " before each village, in the result's order.
QString villageList(const QStringList& villages);
// The villages of every row of a result in its order, read by position.
QStringList villagesOf(const ResultSet& rs);
// The minutes sheet "چاپ برگه کميسيون تغيير کاربري": village list, meeting date and
// county of `lastCase` (the last case of the result), and the start time answer.
FormFill minutesSheet(const QStringList& villages, const CaseRow& lastCase, const QString& startTime);

// Label names shared by the layouts and the fills.
namespace labels {
inline const QString DateCaption = QStringLiteral("dat_caption");
inline const QString Date = QStringLiteral("dat");
inline const QString Amount = QStringLiteral("malek_pardakhti");
inline const QString Connector = QStringLiteral("connector");
inline const QString Words = QStringLiteral("words");
inline const QString Amount2 = QStringLiteral("malek_pardakhti2");
inline const QString Connector2 = QStringLiteral("connector2");
inline const QString Words2 = QStringLiteral("words2");
inline const QString MoneyTail = QStringLiteral("tail_money");
inline const QString ShareTail = QStringLiteral("tail_share");
inline const QString NetArea = QStringLiteral("net_area");
inline const QString NetArea2 = QStringLiteral("net_area2");
inline const QString PostTitle1 = QStringLiteral("post_title1");
inline const QString PostTitle2 = QStringLiteral("post_title2");
inline const QString PostTitle3 = QStringLiteral("post_title3");
inline const QString LetterNo = QStringLiteral("letter_no");
inline const QString LetterDate = QStringLiteral("letter_dat");
inline const QString Villages = QStringLiteral("villages");
inline const QString MeetingDate = QStringLiteral("meeting_dat");
inline const QString County = QStringLiteral("county");
inline const QString StartTime = QStringLiteral("start_time");
// The letters' own labels; in the combined forms they sit beside the sheet's labels of
// the same columns.
inline const QString LetterPaperNo = QStringLiteral("letter_paper_no");
inline const QString LetterPaperDate = QStringLiteral("letter_paper_dat");
inline const QString LetterCity = QStringLiteral("letter_city");
inline const QString LetterApplicant = QStringLiteral("letter_darkhast");
inline const QString LetterVillage = QStringLiteral("letter_rosta");
inline const QString LetterMeetingDate = QStringLiteral("letter_komision_dat");
inline const QString LetterAmount = QStringLiteral("letter_amount");
inline const QString LetterShare = QStringLiteral("letter_share");
inline const QString LetterSigner = QStringLiteral("letter_signer");
inline const QString LetterPost = QStringLiteral("letter_post");
inline QString member(int i)
{
    return QStringLiteral("member%1").arg(i);
}
} // namespace labels

} // namespace caseprint
} // namespace tarvest
