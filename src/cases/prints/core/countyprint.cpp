#include "cases/prints/core/countyprint.h"

#include "admin/core/attachments.h"

#include "cases/core/valuation.h"
#include "db/database.h"

#include <QSqlQuery>

namespace tarvest::caseprint {

namespace {

const QString kCountyLevel = QStringLiteral("city");

void copyColumns(FormFill& f, const CaseRow& c, std::initializer_list<const char*> columns)
{
    for (const char* column : columns)
        f.texts[QLatin1String(column)] = field(c, QLatin1String(column));
}

// A column printed in several places: "city", "city2", "city3", ...
void copyRepeated(FormFill& f, const CaseRow& c, const char* column, int times)
{
    const QString value = field(c, QLatin1String(column));
    f.texts[QLatin1String(column)] = value;
    for (int i = 2; i <= times; ++i)
        f.texts[QLatin1String(column) + QString::number(i)] = value;
}

} // namespace

QString landAffairsConfirmed()
{
    return QStringLiteral("تاييد امور زمين");
}

bool reviewFormAllowed(const QString& level, const CaseRow& c)
{
    return level != kCountyLevel || field(c, QStringLiteral("taeid_zamin")) == landAffairsConfirmed();
}

QString reviewFormRefusal()
{
    return QStringLiteral("متاسفانه هنوز به تاييد امور زمين نرسيده است و امکان چاپ نيست");
}

FormFill reviewForm(const CaseRow& c)
{
    FormFill f;
    copyColumns(f, c, {"paper_no", "paper_dat"});
    copyRepeated(f, c, "city", 2);
    copyRepeated(f, c, "darkhast", 4);
    copyRepeated(f, c, "rosta", 2);
    copyRepeated(f, c, "manzor", 3);
    const QString area = netArea(field(c, QStringLiteral("metraj")), field(c, QStringLiteral("takhrib_masahat")));
    f.texts[labels::NetArea] = area;
    f.texts[labels::NetArea2] = area;

    const AmountBlock block = amountBlock(field(c, QStringLiteral("malek_varizi")),
                                          field(c, QStringLiteral("malek_sahm")));
    f.texts[labels::Amount] = block.amount;
    f.texts[labels::Connector] = block.connector;
    f.texts[labels::Words] = block.words;
    f.texts[labels::AmountFifth] = block.amount;
    return f;
}

const QList<ChecklistQuestion>& checklistQuestions()
{
    static const QList<ChecklistQuestion> questions = {
        {QStringLiteral("Mozo"), QStringLiteral("موضوع تقاضا"), QStringLiteral("عدد1=افزاش محدوده و عدد2=تغيير کاربري"),
         QStringLiteral("")},
        {QStringLiteral("Afzayesh Mahdode"), QStringLiteral("فرم هاي افزايش محدوده"),
         QStringLiteral("عدد1=دارد و عدد0=ندارد"), QStringLiteral("doc1")},
        {QStringLiteral("Taghir karbari"), QStringLiteral("فرم تغيير کاربري"), QStringLiteral("عدد1=دارد و عدد0=ندارد"),
         QStringLiteral("doc2")},
        {QStringLiteral(""),
         QStringLiteral(
             "3-استعلامهاي اخذشده از دهياري و بخشداري و در صورت لزوم فرمانداري شهرستان در خصوص افزايش محدوده وتغييركاربري"),
         QStringLiteral("عدد1=دارد و عدد0=ندارد"), QStringLiteral("doc3")},
        {QStringLiteral(""),
         QStringLiteral(
             "4-کروکي موقعيت ملک مورد نظر نسبت به روستا بر اساس نقشه طرح هادي كه به تاييدمراجع محلي رسيده باشد"),
         QStringLiteral("عدد1=دارد و عدد0=ندارد"), QStringLiteral("doc4")},
        {QStringLiteral(""), QStringLiteral("5- سي دي موقعيت ملك درنقشه طرح پيشنهادي"),
         QStringLiteral("عدد1=دارد و عدد0=ندارد"), QStringLiteral("doc5")},
        {QStringLiteral(""), QStringLiteral("6-گواهي تصرفات مالکانه"), QStringLiteral("عدد1=دارد و عدد0=ندارد"),
         QStringLiteral("doc6")},
        {QStringLiteral(""), QStringLiteral("7-تصوير مستندات دال بر مالکيت"), QStringLiteral("عدد1=دارد و عدد0=ندارد"),
         QStringLiteral("doc7")},
        {QStringLiteral(""),
         QStringLiteral("8-تصوير مدارک سجلي متقاضي (تمام صفحات شناسنامه ،پشت و روي کارت ملي( دريك برگA4))"),
         QStringLiteral("عدد1=دارد و عدد0=ندارد"), QStringLiteral("doc8")},
        {QStringLiteral(""), QStringLiteral("9-فرم شماره 12"), QStringLiteral("عدد1=دارد و عدد0=ندارد"),
         QStringLiteral("doc9")},
        {QStringLiteral(""),
         QStringLiteral(
             "10-پاسخ استعلام از اداره جهاد کشاورزي درخصوص وضعيت اراضي  و سايرادارات درخصوص عوارض طبيعي موجودشامل سيل،شبكه برق،آب وغيره "),
         QStringLiteral("عدد1=دارد و عدد0=ندارد"), QStringLiteral("doc10")},
        {QStringLiteral(""),
         QStringLiteral(
             "11-در صورتيکه متقاضي تحت پوشش کميته امداد يا بهزيستي ميباشد ، تصوير نامه معرفي نامه ايشان از اداره مربوطه"),
         QStringLiteral("عدد1=دارد و عدد0=ندارد"), QStringLiteral("doc11")},
        {QStringLiteral(""),
         QStringLiteral(
             "12-در صورتيکه متقاضي جانباز و يا از بستگان درجه يک شهدا ميباشد ، تصوير نامه معرفي ايشان از اداره مربوطه"),
         QStringLiteral("عدد1=دارد و عدد0=ندارد"), QStringLiteral("doc12")},
        {QStringLiteral(""),
         QStringLiteral(
             "14-در صورتيکه مقداري از زمين متقاضي توسط ايشان جهت بازگشايي معبر واگذار گرديده است ،مستندات واگذاري و نقشه ميزان واگذاري در مسير با قيد"),
         QStringLiteral("عدد1=دارد و عدد0=ندارد"), QStringLiteral("doc14")},
        {QStringLiteral(""),
         QStringLiteral("15-بررسي ميداني جهت اخذ قيمت زمين در منطقه توسط کارشناس محترم زمين و سند انجام شده است."),
         QStringLiteral("عدد1=دارد و عدد0=ندارد"), QStringLiteral("doc15")},
    };
    return questions;
}

QString signatureTitle(const QString& county)
{
    return attachment::signatureTitle(county);
}

QString signatureMissingMessage()
{
    return QStringLiteral("تصوير امضاء در بخش ضمائم اطلاعات پايه موجود نيست و يا رمز امضاء را اشتباه وارد نموديد");
}

std::optional<QByteArray> signaturePicture(Database& db, const QString& county, const QString& password)
{
    // The stored password is a hash: the attachments' own check compares the answer with it.
    return attachmentForPassword(db, signatureTitle(county), password);
}

QString useChange(const QString& from, const QString& to)
{
    return QStringLiteral("(") + from + QStringLiteral(" به ") + to + QStringLiteral(")");
}

QString cededArea(QStringView destroyedArea)
{
    const std::optional<Decimal> lost = valuation::toNumber(destroyedArea);
    return lost ? valuation::toText(*lost + *lost) : QString();
}

bool ticks(const QString& answer)
{
    return answer == QLatin1String("1");
}

FormFill declarationForm(const CaseRow& c, const QStringList& answers)
{
    FormFill f;
    f.texts[labels::UseChange] = useChange(field(c, QStringLiteral("karbari1")), field(c, QStringLiteral("karbari2")));
    copyColumns(
        f, c,
        {"bakhsh", "dehestan", "fish_no", "fish_mablagh", "kharej", "metraj", "masahat_khales", "rosta", "darkhast"});
    f.texts[labels::CededArea] = cededArea(field(c, QStringLiteral("takhrib_masahat")));
    copyRepeated(f, c, "price_metr", 2);
    copyRepeated(f, c, "city", 2);

    // The subject: "1" ticks the boundary extension, "2" the land-use change, anything
    // else neither.
    const QString subject = answers.value(0);
    f.ticks[labels::SubjectExtension] = subject == QLatin1String("1");
    f.ticks[labels::SubjectUseChange] = subject == QLatin1String("2");
    const QList<ChecklistQuestion>& questions = checklistQuestions();
    for (int i = 1; i < questions.size(); ++i)
        f.ticks[questions[i].circle] = ticks(answers.value(i));
    return f;
}

FormFill accountingForm(const CaseRow& c)
{
    FormFill f;
    copyColumns(f, c,
                {"paper_no", "paper_dat", "malek_varizi", "karbari1", "karbari2", "masahat_khales", "city", "rosta",
                 "manzor", "darkhast"});
    return f;
}

} // namespace tarvest::caseprint
