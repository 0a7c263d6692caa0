#include "cases/prints/core/caseprint.h"

#include "cases/core/valuation.h"
#include "db/resultset.h"
#include "db/settinglists.h"

#include <QRegularExpression>

namespace tarvest::caseprint {

namespace {

const char16_t* const kUnits[] = {u" صفر ",    u" يک ",     u" دو ",     u" سه ",    u" چهار\u200C ",
                                  u" پنج ",    u" شش ",     u" هفت ",    u" هشت ",   u" نه ",
                                  u" ده ",     u" يازده ",  u" دوازده ", u" سيزده ", u" چهارده\u200C ",
                                  u" پانزده ", u" شانزده ", u" هفده ",   u" هجده ",  u" نوزده "};
const char16_t* const kTens[] = {u" بيست ", u" سي ",    u" چهل\u200C ", u" پنجاه ",
                                 u" شصت ",  u" هفتاد ", u" هشتاد ",     u" نود "};
const char16_t* const kHundreds[] = {u" صد ",   u" دويست ", u" سيصد ",  u" چهارصد\u200C ", u" پانصد ",
                                     u" ششصد ", u" هفتصد ", u" هشتصد ", u" نهصد "};

// Scale words of the groups of three digits, from the thousands up.
const char16_t* const kScales[] = {u"", u"هزار", u"ميليون", u"ميليارد", u"\u062A\u0631\u064A\u0644\u064A\u0648\u0646"};
constexpr int kGroups = 5;                         // units .. trillions
constexpr qint64 kWordsLimit = 1000000000000000LL; // a thousand trillion

const QString kAnd = QStringLiteral("و");
const QString kGroupAnd = QStringLiteral(" و ");
const QString kRial = QStringLiteral("ريال");

// A plain decimal number: optional sign, digits, optional point and digits.
const QRegularExpression& numberPattern()
{
    static const QRegularExpression re(QStringLiteral(R"(^([+-]?)([0-9]*)(?:\.([0-9]*))?$)"));
    return re;
}

// The shortest form of a decimal number text: leading zeros of the whole part and
// trailing zeros of the fraction dropped; nullopt when the text is not a number.
std::optional<QString> shortestNumber(QStringView text)
{
    const auto m = numberPattern().match(text.trimmed().toString());
    if (!m.hasMatch() || (m.capturedLength(2) == 0 && m.capturedLength(3) == 0))
        return std::nullopt;
    QString whole = m.captured(2);
    QString fraction = m.captured(3);
    while (whole.size() > 1 && whole.startsWith(u'0'))
        whole.remove(0, 1);
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    QString out = whole;
    if (!fraction.isEmpty())
        out += u'.' + fraction;
    if (m.captured(1) == QLatin1String("-") && out != QLatin1String("0"))
        out.prepend(u'-');
    return out;
}

void copyColumns(FormFill& f, const CaseRow& c, std::initializer_list<const char*> columns)
{
    for (const char* column : columns)
        f.texts[QLatin1String(column)] = field(c, QLatin1String(column));
}

} // namespace

QString field(const CaseRow& row, const QString& column)
{
    return row.value(column.toLower());
}

CaseRow rowAt(const ResultSet& rs, int row)
{
    CaseRow out;
    if (!rs.isOpen() || row < 0 || row >= rs.recordCount())
        return out;
    for (int i = 0; i < rs.fieldCount(); ++i)
        out.insert(rs.fieldName(i).toLower(), rs.textAt(row, i));
    return out;
}

CaseRow currentRow(const ResultSet& rs)
{
    return rs.isEmpty() ? CaseRow() : rowAt(rs, rs.recNo() - 1);
}

QString settingText(Database& db, const QString& component)
{
    return settingValue(db, component);
}

PrintSettings PrintSettings::read(Database& db)
{
    PrintSettings s;
    s.directorGeneral = settingText(db, lists::DirectorGeneral);
    s.ruralDeputy = settingText(db, lists::RuralDeputy);
    s.supportDeputy = settingText(db, lists::SupportDeputy);
    s.securityHead = settingText(db, lists::SecurityHead);
    s.legalExpert = settingText(db, lists::LegalExpert);
    s.ruralDeputyPostTitle = settingText(db, lists::RuralDeputyPostTitle);
    s.transactionsLetterNo = settingText(db, lists::TransactionsLetterNo);
    s.transactionsLetterDate = settingText(db, lists::TransactionsLetterDate);
    return s;
}

std::optional<QString> groupAmount(QStringView text)
{
    const auto m = numberPattern().match(text.toString());
    if (!m.hasMatch() || (m.capturedLength(2) == 0 && m.capturedLength(3) == 0))
        return std::nullopt;
    QString out = m.captured(1);
    const QString whole = m.captured(2);
    const qsizetype head = whole.size() % 3;
    out += whole.left(head);
    for (qsizetype i = head; i < whole.size(); i += 3) {
        if (i > 0)
            out += u',';
        out += whole.mid(i, 3);
    }
    if (m.capturedStart(3) >= 0)
        out += u'.' + m.captured(3);
    return out;
}

QString groupAmountOr(QStringView text)
{
    return groupAmount(text).value_or(text.toString());
}

QString Get1nd(int n)
{
    return n >= 0 && n < 20 ? QString::fromUtf16(kUnits[n]) : QString();
}

QString Get2nd(int n)
{
    return n >= 2 && n <= 9 ? QString::fromUtf16(kTens[n - 2]) : QString();
}

QString Get3nd(int n)
{
    return n >= 1 && n <= 9 ? QString::fromUtf16(kHundreds[n - 1]) : QString();
}

QString GetTree(int n)
{
    if (n <= 0 || n > 999)
        return Get1nd(0);
    QString w;
    const int a = n % 100;
    if (a >= 20) {
        if (n % 10 != 0)
            w = Get1nd(n % 10);
        w = Get2nd(a / 10) + (w.isEmpty() ? QString() : kAnd) + w;
    } else if (a > 0) {
        w = Get1nd(a);
    }
    if (n / 100 > 0)
        w = Get3nd(n / 100) + (w.isEmpty() ? QString() : kAnd) + w;
    return w;
}

std::optional<QString> GetNum(qint64 n)
{
    if (n < 0 || n >= kWordsLimit)
        return std::nullopt;
    if (n == 0)
        return GetTree(0) + u' ' + kRial;
    QString w;
    for (int i = 0; i < kGroups && n > 0; ++i, n /= 1000) {
        const int b = int(n % 1000);
        if (b == 0)
            continue;
        if (!w.isEmpty())
            w.prepend(kGroupAnd);
        w.prepend(GetTree(b) + QString::fromUtf16(kScales[i]));
    }
    return w + u' ' + kRial;
}

std::optional<qint64> wholeAmount(QStringView text)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

std::optional<QString> amountInWords(QStringView text)
{
    const auto v = wholeAmount(text);
    return v ? GetNum(*v) : std::nullopt;
}

QString netArea(QStringView metraj, QStringView destroyedArea)
{
    const Decimal gross = valuation::toNumber(metraj).value_or(Decimal());
    const Decimal lost = valuation::toNumber(destroyedArea).value_or(Decimal());
    return valuation::toText(gross - lost);
}

QString amountConnector()
{
    return QStringLiteral("ريال، معادل");
}

QString shareText(QStringView share)
{
    return share.toString() + QStringLiteral(" درصد سهم ورتاليس ");
}

AmountBlock amountBlock(const QString& fee, const QString& share)
{
    AmountBlock b;
    if (const auto words = amountInWords(fee)) {
        b.words = *words;
        b.connector = amountConnector();
    }
    if (fee.isEmpty())
        b.connector = shareText(share);
    b.amount = groupAmountOr(fee);
    return b;
}

std::optional<int> fontSizeAnswer(QStringView answer)
{
    bool ok = false;
    const int size = answer.trimmed().toInt(&ok, 10);
    if (!ok || size < 1 || size > 200)
        return std::nullopt;
    return size;
}

QString badFontSizeMessage(const QString& answer)
{
    return QStringLiteral("«%1» عدد صحيح معتبري براي سايز توضيحات نيست.").arg(answer);
}

namespace {

// The three boxes of the A5 sheet, which the combined forms print as well: the letter
// to the departments, the technical affairs and the land affairs.
FormFill sheetBoxes(const CaseRow& c, const PrintSettings& s)
{
    FormFill f;
    copyColumns(f, c, {"paper_no", "paper_dat", "city", "darkhast", "rosta", "manzor", "mashmol"});
    f.texts[QStringLiteral("darkhast2")] = field(c, QStringLiteral("darkhast"));
    const QString area = netArea(field(c, QStringLiteral("metraj")), field(c, QStringLiteral("takhrib_masahat")));
    f.texts[labels::NetArea] = area;
    f.texts[labels::NetArea2] = area;

    const AmountBlock block = amountBlock(field(c, QStringLiteral("malek_varizi")),
                                          field(c, QStringLiteral("malek_sahm")));
    f.texts[labels::Amount] = block.amount;
    f.texts[labels::Connector] = block.connector;
    f.texts[labels::Words] = block.words;

    f.texts[labels::LetterNo] = s.transactionsLetterNo;
    f.texts[labels::LetterDate] = s.transactionsLetterDate;
    for (const QString& post : {labels::PostTitle1, labels::PostTitle2, labels::PostTitle3})
        f.texts[post] = s.ruralDeputyPostTitle;
    return f;
}

} // namespace

FormFill commissionSheetA4(const CaseRow& c, const PrintSettings& s, const QString& dateAnswer, int fontSize)
{
    FormFill f;
    f.texts[labels::Date] = dateAnswer;
    if (dateAnswer.isEmpty())
        f.texts[labels::DateCaption] = QString();

    copyColumns(f, c,
                {"paper_no", "paper_dat", "city", "darkhast", "rosta", "manzor", "metraj", "fani", "zamin", "dabir",
                 "komision_idea", "komision_dat", "ghimat_karshenasi_kh", "masahat_na", "melk_arzesh",
                 "ghimat_karshenasi_d", "masahat_khales", "malek_sahm"});
    f.texts[QStringLiteral("city2")] = field(c, QStringLiteral("city"));

    const QStringList members = {s.directorGeneral, s.ruralDeputy, s.supportDeputy, s.securityHead, s.legalExpert};
    for (int i = 0; i < members.size(); ++i)
        f.texts[labels::member(i + 1)] = members[i];
    for (const QString& post : {labels::PostTitle1, labels::PostTitle2, labels::PostTitle3})
        f.texts[post] = s.ruralDeputyPostTitle;

    // The decision line: a fee in money is taken "at the amount opposite", otherwise the
    // applicant pays "by the share opposite".
    const QString fee = field(c, QStringLiteral("malek_varizi"));
    const QString share = field(c, QStringLiteral("malek_sahm"));
    const std::optional<QString> decisionAmount = shortestNumber(fee);
    f.texts[decisionAmount ? labels::ShareTail : labels::MoneyTail] = QString();
    const QString amount2 = decisionAmount.value_or(QString());

    const AmountBlock block = amountBlock(fee, share);
    const auto words1 = amountInWords(fee);
    const auto words2 = amountInWords(amount2);
    const bool spelled = words1 && words2;
    f.texts[labels::Amount] = block.amount;
    f.texts[labels::Words] = spelled ? *words1 : QString();
    f.texts[labels::Words2] = spelled ? *words2 : QString();
    f.texts[labels::Connector] = spelled ? amountConnector() : QString();
    f.texts[labels::Connector2] = spelled ? amountConnector() : QString();
    if (fee.isEmpty()) {
        f.texts[labels::Connector] = shareText(share);
        f.texts[labels::Connector2] = shareText(share);
    }
    f.texts[labels::Amount2] = groupAmountOr(amount2);

    f.fontSizes[QStringLiteral("zamin")] = fontSize;
    f.fontSizes[QStringLiteral("komision_idea")] = fontSize;
    return f;
}

FormFill commissionSheetA5(const CaseRow& c, const PrintSettings& s, const QString& today)
{
    FormFill f = sheetBoxes(c, s);
    f.texts[labels::Date] = today;
    if (today.isEmpty())
        f.texts[labels::DateCaption] = QString();
    return f;
}

QString letterAmount(DecisionLetter letter, const CaseRow& c)
{
    const QString fee = field(c, QStringLiteral("malek_varizi"));
    switch (letter) {
    case DecisionLetter::Money:
        return groupAmount(fee).value_or(field(c, QStringLiteral("malek_pardakhti")));
    case DecisionLetter::Share:
        return field(c, QStringLiteral("malek_sahm"));
    case DecisionLetter::LandGroup:
        return field(c, QStringLiteral("malek_pardakhti"));
    case DecisionLetter::MixedUse:
    case DecisionLetter::ConditionalUse:
        break;
    }
    return groupAmountOr(fee);
}

namespace {

// The letter's values; the post line is left to the caller.
FormFill letterBox(DecisionLetter letter, const CaseRow& c, const PrintSettings& s)
{
    FormFill f;
    const bool landGroup = letter == DecisionLetter::LandGroup;
    // The land group letter cites the payment letter, the others the county's letter.
    f.texts[labels::LetterPaperNo] = field(c, landGroup ? QStringLiteral("paper_no2") : QStringLiteral("paper_no"));
    f.texts[labels::LetterPaperDate] = field(c, landGroup ? QStringLiteral("paper_dat2") : QStringLiteral("paper_dat"));
    f.texts[labels::LetterCity] = field(c, QStringLiteral("city"));
    if (landGroup) {
        f.texts[labels::LetterAmount] = letterAmount(letter, c);
        return f;
    }
    f.texts[labels::LetterApplicant] = field(c, QStringLiteral("darkhast"));
    if (letter == DecisionLetter::Share)
        f.texts[labels::LetterShare] = letterAmount(letter, c);
    else
        f.texts[labels::LetterAmount] = letterAmount(letter, c);
    if (letter == DecisionLetter::Money || letter == DecisionLetter::Share)
        f.texts[labels::LetterMeetingDate] = field(c, QStringLiteral("komision_dat"));
    else
        f.texts[labels::LetterVillage] = field(c, QStringLiteral("rosta"));
    f.texts[labels::LetterSigner] = s.ruralDeputy;
    return f;
}

} // namespace

FormFill decisionLetter(DecisionLetter letter, const CaseRow& c, const PrintSettings& s)
{
    FormFill f = letterBox(letter, c, s);
    // The money letter's post line names the organisation and stays as the layout has it.
    if (letter != DecisionLetter::Money)
        f.texts[labels::LetterPost] = s.ruralDeputyPostTitle;
    return f;
}

FormFill combinedForm(DecisionLetter letter, const CaseRow& c, const PrintSettings& s)
{
    FormFill f = sheetBoxes(c, s);
    if (letter == DecisionLetter::LandGroup)
        return f;
    const FormFill box = letterBox(letter, c, s);
    f.texts.insert(box.texts);
    f.texts[labels::LetterPost] = s.ruralDeputyPostTitle;
    return f;
}

QString villageList(const QStringList& villages)
{
    QString out;
    for (const QString& v : villages)
        out += QStringLiteral(" * ") + v;
    return out;
}

QStringList villagesOf(const ResultSet& rs)
{
    QStringList out;
    const int column = rs.isOpen() ? rs.fieldIndex(QStringLiteral("rosta")) : -1;
    if (column < 0)
        return out;
    for (int row = 0; row < rs.recordCount(); ++row)
        out << rs.textAt(row, column);
    return out;
}

FormFill minutesSheet(const QStringList& villages, const CaseRow& lastCase, const QString& startTime)
{
    FormFill f;
    f.texts[labels::Villages] = villageList(villages);
    f.texts[labels::MeetingDate] = field(lastCase, QStringLiteral("komision_t_k_dat"));
    f.texts[labels::County] = field(lastCase, QStringLiteral("city"));
    f.texts[labels::StartTime] = startTime;
    return f;
}

} // namespace tarvest::caseprint
