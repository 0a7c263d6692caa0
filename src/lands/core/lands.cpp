#include "lands/core/lands.h"

#include "common/errors.h"
#include "common/spreadsheet.h"
#include "db/bulkinsert.h"
#include "db/database.h"
#include "db/dialect.h"
#include "db/schema.h"
#include "db/settinglists.h"

#include <QHash>

#include <algorithm>

namespace tarvest {

namespace {

const QString kTable = QStringLiteral("arazi");
const QString kCopy = QStringLiteral("sh");

// Rows written under one savepoint of a replacement: a group the database refuses is
// written again row by row, so the message names the row.
constexpr int RowsPerSavepoint = 100;

LandQuery conditions(Database& db, const LandFilters& f)
{
    LandQuery out;
    if (f.counties) {
        // Each entry of the county list matches every county that contains it; an
        // empty list matches no record.
        QStringList alternatives;
        for (const QString& entry : *f.counties) {
            alternatives << QStringLiteral("shahrestan") + containsCondition(db.kind());
            out.params << containsPattern(entry);
        }
        out.sql += alternatives.isEmpty() ? QStringLiteral(" and 1=0")
                                          : QStringLiteral(" and (") + alternatives.join(QStringLiteral(" or ")) + u')';
    }
    const std::pair<QString, const std::optional<QString>*> texts[] = {
        {QStringLiteral("rosta"), &f.rosta}, {QStringLiteral("marhale"), &f.marhale},
        {QStringLiteral("tarh"), &f.tarh},   {QStringLiteral("motale"), &f.motale},
        {QStringLiteral("marja"), &f.marja},
    };
    for (const auto& [column, value] : texts) {
        if (!value->has_value())
            continue;
        out.sql += QStringLiteral(" and ") + column + containsCondition(db.kind());
        out.params << containsPattern(**value);
    }
    return out;
}

} // namespace

QString sectionCaption(LandSection section)
{
    switch (section) {
    case LandSection::Plan:
        return QStringLiteral("مراحل تصويب طرح روستاها");
    case LandSection::Development:
        return QStringLiteral("شناسايي اراضي سمت توسعه");
    case LandSection::Approval:
        return QStringLiteral("مراحل تصويب طرح");
    case LandSection::Acquisition:
        return QStringLiteral("مراحل تملک اراضي");
    }
    return {};
}

const QList<LandField>& landFields()
{
    using C = LandControl;
    using S = LandSection;
    static const QList<LandField> fields = {
        {"shahrestan", C::Combo, QStringLiteral("شهرستان"), {}, S::Plan, false},
        {"bakhsh", C::Combo, QStringLiteral("بخش"), {}, S::Plan, false},
        {"dehestan", C::Combo, QStringLiteral("دهستان"), {}, S::Plan, false},
        {"rosta", C::Combo, QStringLiteral("روستا"), {}, S::Plan, false},
        {"abadi", C::Combo, QStringLiteral("آدرس-کد آبادي"), {}, S::Plan, false},
        {"khanevar", C::Text, QStringLiteral("تعداد خانوار"), {}, S::Plan, false},
        {"jamiyat", C::Text, QStringLiteral("تعداد جمعيت"), {}, S::Plan, false},
        {"utm_x", C::Text, QStringLiteral("UTM - X"), {}, S::Plan, false},
        {"utm_y", C::Text, QStringLiteral("UTM-Y"), {}, S::Plan, false},
        {"marhale", C::Combo, QStringLiteral("فاز-مرحله"), lists::LandStage, S::Plan, false},
        {"tarh", C::Combo, QStringLiteral("نوع طرح"), lists::LandPlanKind, S::Plan, false},
        {"motale", C::Combo, QStringLiteral("نوع مطالعه"), lists::LandStudyKind, S::Plan, false},
        {"nehzat", C::Text, QStringLiteral("تعداد افراد ثبت نامي در طرح نهضت ملي(50000) "), {}, S::Plan, false},
        {"khodmalek", C::Text, QStringLiteral("خود مالک"), {}, S::Plan, false},
        {"faghedzamnin", C::Text, QStringLiteral("فاقد زمين"), {}, S::Plan, false},
        {"cad", C::YesNo, QStringLiteral("فايل اتوکد"), {}, S::Plan, false},
        {"kmz", C::YesNo, QStringLiteral("فايل kmz"), {}, S::Plan, false},
        {"tamalok", C::Text, QStringLiteral("ميزان تملک"), {}, S::Plan, false},
        {"marja", C::Combo, QStringLiteral("مرجع تملک"), lists::LandAcquisitionAuthority, S::Plan, false},
        {"tafkik", C::Text, QStringLiteral("تفکيک-مسکوني"), {}, S::Plan, false},
        {"vagozar", C::Text, QStringLiteral("واگذار شده مسکوني"), {}, S::Plan, false},
        {"ezhari",
         C::Text,
         QStringLiteral("مانده قطعات قابل واگذاري (فاقد معارض طبيعي يا اشخاص) خود اظهاري"),
         {},
         S::Plan,
         false},
        {"ghatat", C::Text, QStringLiteral("قطعات زمين موجود با اعمال ضريب(5072)"), {}, S::Plan, false},
        {"pishbini", C::Text, QStringLiteral("پيش بيني اراضي قابل واگذاري در قطعات تفکيک نشده"), {}, S::Plan, false},
        {"masahat_kh", C::Text, QStringLiteral("مساحت خارج از محدوده"), {}, S::Plan, false},
        {"asnad", C::Text, QStringLiteral("وضعيت اخذ اسناد تملک"), {}, S::Plan, false},
        {"harim", C::Text, QStringLiteral("روستاهاي واقع در حريم شهرها"), {}, S::Plan, false},
        {"teslar", C::Text, QStringLiteral("قطعات موجود سامانه تسلار"), {}, S::Plan, false},
        {"shoa", C::Text, QStringLiteral("فايل شعاع 1000 متر"), {}, S::Plan, false},
        {"meli", C::Text, QStringLiteral("ملي(هکتار)"), {}, S::Development, false},
        {"oghaf", C::Text, QStringLiteral("اوقاف(هکتار)"), {}, S::Development, false},
        {"astane", C::Text, QStringLiteral("آستان قدس(هکتار)"), {}, S::Development, false},
        {"tavafogh", C::Text, QStringLiteral("توافق با مالکين(هکتار)"), {}, S::Development, false},
        {"mostasna", C::Text, QStringLiteral("ساير(مستثنيات)  (هکتار)"), {}, S::Development, false},
        {"taminetebar",
         C::Text,
         QStringLiteral("روستاهاي تامين اعتبار شده (قرارداد بسته شده)"),
         {},
         S::Development,
         false},
        {"kalabarg", C::Text, QStringLiteral("ارسال کاربرگ شناسايي و امکان سنجي"), {}, S::Development, false},
        {"farmandari", C::Text, QStringLiteral("مکاتبات فرمانداري"), {}, S::Development, false},
        {"far_dat", C::Text, QStringLiteral("تاريخ مکاتبات فرمانداري"), {}, S::Development, false},
        {"far_cmt", C::Text, QStringLiteral("توضيحات و نتايج مکاتبات با فرمانداري"), {}, S::Development, false},
        {"movafegh", C::Text, QStringLiteral("توافقات"), {}, S::Development, false},
        {"pishjalase", C::Text, QStringLiteral("پيش جلسه استان"), {}, S::Approval, false},
        {"goroh",
         C::Text,
         QStringLiteral("بررسي  طرح در گروه کارشناسي(کميته فني شهرستان / استان) و اخذ مصوبه"),
         {},
         S::Approval,
         false},
        {"moshaver", C::Text, QStringLiteral("نام مشاور"), {}, S::Approval, false},
        {"komite1", C::Text, QStringLiteral("کميته فني مرحله اول"), {}, S::Approval, false},
        {"komite2", C::Text, QStringLiteral("کميته فني مرحله دوم"), {}, S::Approval, false},
        {"tasvib", C::Text, QStringLiteral("کميته تصويب نهايي يا کارگروه"), {}, S::Approval, false},
        {"tam", C::Text, QStringLiteral("تملک شده"), {}, S::Acquisition, false},
        {"darhal_tam", C::Text, QStringLiteral("درحال تملک"), {}, S::Acquisition, false},
        {"tav", C::Text, QStringLiteral("توافق شده"), {}, S::Acquisition, false},
        {"darhal_tav", C::Text, QStringLiteral("در حال توافق"), {}, S::Acquisition, false},
        {"manabe_no", C::Text, QStringLiteral("شماره درخواست تملک از منابع  طبيعي"), {}, S::Acquisition, false},
        {"manabe_dat", C::Text, QStringLiteral("تاريخ مکاتبه با منابع طبيعي"), {}, S::Acquisition, false},
        {"mas", C::Text, QStringLiteral("مساحت تملک نهايي"), {}, S::Acquisition, true},
        {"san", C::Text, QStringLiteral("اخذ سند"), {}, S::Acquisition, true},
    };
    return fields;
}

QStringList landColumnNames()
{
    QStringList out;
    for (const LandField& f : landFields())
        out << f.column;
    return out;
}

const QList<LandGridColumn>& landGridColumns()
{
    static const QList<LandGridColumn> columns = [] {
        // Titles of their own; every other column is titled by its entry label.
        const QList<LandGridColumn> first = {
            {"abadi", QStringLiteral("کد آبادي")},
            {"shahrestan", {}},
            {"bakhsh", {}},
            {"dehestan", {}},
            {"rosta", {}},
            {"khanevar", QStringLiteral("خانوار")},
            {"jamiyat", QStringLiteral("جمعيت")},
            {"utm_x", QStringLiteral("UTM X")},
            {"utm_y", QStringLiteral("UTM Y")},
            {"marhale", QStringLiteral("مرحله")},
            {"tarh", {}},
            {"motale", {}},
            {"nehzat", QStringLiteral("نهضت ملي")},
            {"khodmalek", {}},
            {"faghedzamnin", {}},
            {"cad", QStringLiteral("اتوکد")},
            {"kmz", QStringLiteral("KMZ")},
            {"tamalok", {}},
            {"marja", {}},
            {"tafkik", {}},
            {"vagozar", {}},
            {"ezhari", QStringLiteral("خود اظهاري")},
            {"ghatat", QStringLiteral("قطعات زمين")},
            {"pishbini", QStringLiteral("پيش بيني اراضي")},
            {"masahat_kh", {}},
            {"asnad", {}},
            {"harim", {}},
            {"teslar", QStringLiteral("تسلار")},
        };
        QHash<QString, QString> labels;
        for (const LandField& f : landFields())
            labels.insert(f.column, f.caption);
        QList<LandGridColumn> out;
        for (const LandGridColumn& c : first)
            out << LandGridColumn{c.column, c.title.isEmpty() ? labels.value(c.column) : c.title};
        bool after = false;
        for (const LandField& f : landFields()) {
            after = after || f.column == QLatin1String("shoa");
            if (after)
                out << LandGridColumn{f.column, f.caption};
        }
        return out;
    }();
    return columns;
}

QString land_msg::replaceQuestion(qint64 stored, qint64 sheetRows)
{
    return QStringLiteral("%1 رکورد اراضي همه شهرستان ها حذف و %2 رديف اين فايل اکسل جايگزين آنها مي گردد. آيا براي "
                          "ادامه عمليات اطمينان داريد؟")
        .arg(stored)
        .arg(sheetRows);
}

QHash<QString, QString> landExportTitles()
{
    return {{QStringLiteral("id"), QStringLiteral("شناسه")},
            {QStringLiteral("shahrestan"), QStringLiteral("شهرستان")},
            {QStringLiteral("jamiyat"), QStringLiteral("جمعيت")}};
}

const UniqueRule& landKeyRule()
{
    static const UniqueRule rule{kTable, {QStringLiteral("shahrestan"), QStringLiteral("abadi")}};
    return rule;
}

LandQuery landCountQuery(Database& db, const LandFilters& f)
{
    LandQuery c = conditions(db, f);
    c.sql = QStringLiteral("select count(*) as c from arazi where id<>-1") + c.sql;
    return c;
}

LandQuery landListQuery(Database& db, const LandFilters& f)
{
    LandQuery c = conditions(db, f);
    c.sql = QStringLiteral("select * from arazi where id<>-1") + c.sql + QStringLiteral(" order by id");
    return c;
}

qint64 countLands(Database& db, const LandFilters& f)
{
    const LandQuery q = landCountQuery(db, f);
    return db.scalar(q.sql, q.params).toLongLong();
}

const QList<int>& landSheetColumns()
{
    static const QList<int> columns = [] {
        QList<int> out;
        for (int c = 2; c <= 35; ++c) // C .. AJ
            out << c;
        for (int c = 37; c <= 47; ++c) // AL .. AV
            out << c;
        for (int c = 49; c <= 57; ++c) // AX .. BF
            out << c;
        return out;
    }();
    return columns;
}

QStringList landValuesFromSheetRow(const QStringList& row)
{
    QStringList out;
    out.reserve(landSheetColumns().size());
    for (int c : landSheetColumns())
        out << row.value(c);
    return out;
}

QList<QStringList> landRowsFromSheet(const SheetTable& sheet)
{
    const QStringList columns = landColumnNames();
    // The program's own export of the land list: every column found by its heading.
    const std::optional<QList<qsizetype>> exported = exportColumns(sheet, columns, landExportTitles());
    if (!exported && sheet.columns.size() < LandSheetMinColumns)
        throw Error(columnCountMessage(land_msg::ColumnCount, sheet.columns.size(), LandSheetMinColumns, true));
    QList<QStringList> out;
    out.reserve(sheet.rows.size());
    const qsizetype county = columns.indexOf(QStringLiteral("shahrestan"));
    const qsizetype code = columns.indexOf(QStringLiteral("abadi"));
    // A county and village code names one record: the sheet may not name it twice.
    QHash<QPair<QString, QString>, qsizetype> firstRowOfPair;
    for (qsizetype r = 0; r < sheet.rows.size(); ++r) {
        QStringList values;
        if (exported) {
            values.reserve(exported->size());
            for (qsizetype c : *exported)
                values << sheet.text(r, c);
        } else {
            values = landValuesFromSheetRow(sheet.rows[r]);
        }
        const qsizetype sheetRow = r + 2; // the heading is row 1
        const QPair<QString, QString> pair{values[county], values[code]};
        if (const auto seen = firstRowOfPair.constFind(pair); seen != firstRowOfPair.constEnd())
            throw Error(QStringLiteral("خطا! شهرستان %1 و کد آبادي %2 در رديف هاي %3 و %4 فايل اکسل تکراري است")
                            .arg(pair.first, pair.second)
                            .arg(seen.value())
                            .arg(sheetRow));
        firstRowOfPair.insert(pair, sheetRow);
        for (qsizetype i = 0; i < values.size(); ++i) {
            const int width = textWidth(kTable, columns[i]);
            if (width > 0 && values[i].toUcs4().size() > width)
                throw Error(
                    QStringLiteral("خطا! رديف %1 فايل اکسل: %2").arg(sheetRow).arg(tooLongMessage(columns[i], width)));
        }
        out << std::move(values);
    }
    return out;
}

SheetTable readLandSheet(const QString& path)
{
    const QStringList names = sheetNames(path);
    auto has = [&](const QString& name) {
        return std::any_of(names.begin(), names.end(),
                           [&](const QString& n) { return n.compare(name, Qt::CaseInsensitive) == 0; });
    };
    if (!has(land_msg::SheetName) && has(ExportSheetName)) {
        SheetTable sheet = readSheet(path, ExportSheetName);
        if (exportColumns(sheet, landColumnNames(), landExportTitles()))
            return sheet;
    }
    return readSheet(path, land_msg::SheetName);
}

int replaceLands(Database& db, const QList<QStringList>& rows, const std::function<void(int)>& progress)
{
    const QStringList columns = landColumnNames();
    const int width = int(columns.size());
    for (qsizetype r = 0; r < rows.size(); ++r)
        if (rows[r].size() != width)
            throw Error(
                QStringLiteral("خطا! رديف %1 فايل اکسل %2 مقدار دارد، نه %3").arg(r + 2).arg(rows[r].size()).arg(width));
    auto values = [](const QStringList& row) {
        QVariantList out;
        out.reserve(row.size());
        // An empty cell is stored as the entry screen stores an empty field: the empty
        // text, never NULL, so a filter on empty text finds it.
        for (const QString& v : row)
            out << (v.isNull() ? QStringLiteral("") : v);
        return out;
    };
    BulkInsert lands(db, kTable, columns), copies(db, kCopy, columns);
    auto writeBatch = [&](qsizetype start, qsizetype n) {
        db.exec(QStringLiteral("savepoint land_rows"));
        try {
            for (qsizetype i = start; i < start + n; ++i) {
                const QVariantList row = values(rows[i]);
                lands.add(row);
                copies.add(row);
            }
            lands.flush();
            copies.flush();
            db.exec(QStringLiteral("release savepoint land_rows"));
            return;
        } catch (const Error&) {
            db.exec(QStringLiteral("rollback to savepoint land_rows"));
        }
        BulkInsert land(db, kTable, columns, 1), copy(db, kCopy, columns, 1);
        for (qsizetype i = start; i < start + n; ++i) {
            try {
                const QVariantList row = values(rows[i]);
                land.add(row);
                copy.add(row);
            } catch (const Error& e) {
                throw Error(QStringLiteral("خطا! رديف %1 فايل اکسل در بانک ثبت نشد: %2").arg(i + 2).arg(e.message()));
            }
        }
        db.exec(QStringLiteral("release savepoint land_rows"));
    };

    if (progress)
        progress(0);
    db.begin();
    try {
        // Other workstations neither read half-replaced land data nor write into it.
        if (db.kind() == DbKind::Postgres)
            db.exec(QStringLiteral("LOCK TABLE arazi, sh IN ACCESS EXCLUSIVE MODE"));
        db.exec(QStringLiteral("delete from arazi"));
        db.exec(QStringLiteral("delete from sh"));
        for (qsizetype start = 0; start < rows.size(); start += RowsPerSavepoint) {
            const qsizetype n = std::min<qsizetype>(RowsPerSavepoint, rows.size() - start);
            writeBatch(start, n);
            if (progress)
                progress(int(start + n));
        }
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
    return int(rows.size());
}

QVariantMap landValues(const QStringList& texts)
{
    QVariantMap out;
    const QList<LandField>& fields = landFields();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString text = texts.value(i);
        out.insert(fields[i].column, text.isNull() ? QStringLiteral("") : text);
    }
    return out;
}

} // namespace tarvest
