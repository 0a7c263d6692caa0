#include "admin/core/gazetteer.h"

#include "common/errors.h"
#include "common/spreadsheet.h"
#include "db/activitylog.h"
#include "db/bulkinsert.h"
#include "db/database.h"
#include "db/schema.h"

#include <QHash>
#include <QSet>

namespace tarvest {

namespace {

const QString kTable = QStringLiteral("abadiha");

// Rows written between two reports of a replacement's progress, and codes or ids named
// by one update of a rename (few enough bound values for either database).
constexpr int RowsPerProgress = 100;
constexpr int KeysPerUpdate = 500;

const tarvest::Table& gazetteerTable()
{
    const tarvest::Table* t = findTable(kTable);
    if (!t)
        throw Error(QStringLiteral("جدول آبادي ها در شرح بانک نيست"));
    return *t;
}

SqlWithParams conditions(Database& db, const GazetteerFilters& f)
{
    SqlWithParams out;
    // The order of the conditions is the screen's: code, rural district, province,
    // district, county, village.
    const std::pair<QString, const std::optional<QString>*> filters[] = {
        {QStringLiteral("cod"), &f.cod},
        {QStringLiteral("dehestan"), &f.dehestan},
        {QStringLiteral("ostan"), &f.ostan},
        {QStringLiteral("bakhsh"), &f.bakhsh},
        {QStringLiteral("shahrestan"), &f.shahrestan},
        {QStringLiteral("rosta"), &f.rosta},
    };
    for (const auto& [column, value] : filters) {
        if (!value->has_value())
            continue;
        out.sql += QStringLiteral(" and ") + column + containsCondition(db.kind());
        out.params << containsPattern(**value);
    }
    return out;
}

void runInTransaction(Database& db, const std::function<void()>& work)
{
    db.begin();
    try {
        work();
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}

QString checkedNewName(GazetteerLevel level, const QString& newName)
{
    const QString name = newName.trimmed();
    if (name.isEmpty())
        throw Error(gazetteer_msg::EmptyName);
    const int width = textWidth(kTable, levelColumn(level));
    if (width > 0 && name.toUcs4().size() > width)
        throw Error(tooLongMessage(levelCaption(level), width));
    return name;
}

QString placeholders(int n)
{
    QStringList marks;
    for (int i = 0; i < n; ++i)
        marks << QStringLiteral("?");
    return marks.join(u',');
}

} // namespace

const QList<GazetteerColumn>& gazetteerColumns()
{
    static const QList<GazetteerColumn> columns = {
        {QStringLiteral("cod"), QStringLiteral("کد آبادي")},
        {QStringLiteral("ostan"), QStringLiteral("استان")},
        {QStringLiteral("shahrestan"), QStringLiteral("شهرستان")},
        {QStringLiteral("shahr"), QStringLiteral("شهر")},
        {QStringLiteral("bakhsh"), QStringLiteral("بخش")},
        {QStringLiteral("dehestan"), QStringLiteral("دهستان")},
        {QStringLiteral("rosta"), QStringLiteral("روستا")},
    };
    return columns;
}

const UniqueRule& villageCodeRule()
{
    static const UniqueRule rule{kTable, {QStringLiteral("cod")}};
    return rule;
}

SqlWithParams gazetteerCountQuery(Database& db, const GazetteerFilters& f)
{
    SqlWithParams c = conditions(db, f);
    c.sql = QStringLiteral("select count(*) as c from abadiha where id<>-1") + c.sql;
    return c;
}

SqlWithParams gazetteerListQuery(Database& db, const GazetteerFilters& f)
{
    SqlWithParams c = conditions(db, f);
    c.sql = QStringLiteral("select * from abadiha where id<>-1") + c.sql
            + QStringLiteral(" order by city,bakhsh,dehestan,rosta,id");
    return c;
}

qint64 countVillages(Database& db, const GazetteerFilters& f)
{
    const SqlWithParams q = gazetteerCountQuery(db, f);
    return db.scalar(q.sql, q.params).toLongLong();
}

QVariantMap Village::values() const
{
    return {{QStringLiteral("cod"), cod},
            {QStringLiteral("ostan"), ostan},
            {QStringLiteral("shahrestan"), shahrestan},
            {QStringLiteral("shahr"), shahr},
            {QStringLiteral("bakhsh"), bakhsh},
            {QStringLiteral("dehestan"), dehestan},
            {QStringLiteral("rosta"), rosta}};
}

QHash<QString, QString> gazetteerExportTitles()
{
    return {{"id", QStringLiteral("شناسه")},      {"city", QStringLiteral("شهرستان")},
            {"bakhsh", QStringLiteral("بخش")},    {"dehestan", QStringLiteral("دهستان")},
            {"rosta", QStringLiteral("روستا")},   {"khanevar", QStringLiteral("خانوار")},
            {"jamiyat", QStringLiteral("جمعيت")}, {"zarib", QStringLiteral("ضريب منطقه")},
            {"x", QStringLiteral("X")},           {"y", QStringLiteral("Y")},
            {"cod", QStringLiteral("کد آبادي")}};
}

const QStringList& gazetteerMoreColumns()
{
    static const QStringList columns = {"city", "khanevar", "jamiyat", "zarib", "x", "y"};
    return columns;
}

QList<Village> gazetteerFromSheet(const SheetTable& sheet)
{
    const auto& columns = gazetteerColumns();
    QStringList fields;
    for (const GazetteerColumn& c : columns)
        fields << c.column;
    // The program's own export of the gazetteer: the seven columns found by their headings.
    // Any other sheet holds them by position, in columns A to G.
    QList<qsizetype> at;
    QList<std::pair<QString, qsizetype>> more; // the export's other columns, where it has them
    if (const auto exported = exportColumns(sheet, fields, gazetteerExportTitles())) {
        at = *exported;
        for (const QString& column : gazetteerMoreColumns())
            if (const auto found = exportColumns(sheet, {column}, gazetteerExportTitles()))
                more << std::pair{column, found->front()};
    } else {
        // A value out past the heading makes its row, and so the sheet, that much wider.
        qsizetype found = sheet.columns.size();
        for (const QStringList& row : sheet.rows)
            for (qsizetype c = row.size() - 1; c >= found; --c)
                if (!row[c].trimmed().isEmpty()) {
                    found = c + 1;
                    break;
                }
        if (found != columns.size())
            throw Error(columnCountMessage(gazetteer_msg::ColumnCount, found, columns.size()));
        for (qsizetype c = 0; c < columns.size(); ++c)
            at << c;
    }

    const tarvest::Table& table = gazetteerTable();
    QList<Village> out;
    out.reserve(sheet.rows.size());
    QHash<QString, qsizetype> firstRowOfCode;
    for (qsizetype r = 0; r < sheet.rows.size(); ++r) {
        const qsizetype sheetRow = r + 2; // the heading is row 1
        auto cell = [&](int c) { return sheet.text(r, at[c]).trimmed(); };
        Village v{cell(0), cell(1), cell(2), cell(3), cell(4), cell(5), cell(6)};
        for (const auto& [column, c] : more)
            if (const QString text = sheet.text(r, c).trimmed(); !text.isEmpty())
                v.more.insert(column, text);
        if (v.cod.isEmpty())
            throw Error(QStringLiteral("خطا! کد آبادي رديف %1 فايل اکسل خالي است").arg(sheetRow));
        const auto seen = firstRowOfCode.constFind(v.cod);
        if (seen != firstRowOfCode.constEnd())
            throw Error(QStringLiteral("خطا! کد آبادي %1 در رديف هاي %2 و %3 فايل اکسل تکراري است")
                            .arg(v.cod)
                            .arg(seen.value())
                            .arg(sheetRow));
        firstRowOfCode.insert(v.cod, sheetRow);
        try {
            checkTextWidths(table, v.values());
        } catch (const Error& e) {
            throw Error(QStringLiteral("خطا! رديف %1 فايل اکسل: %2").arg(sheetRow).arg(e.message()));
        }
        out << v;
    }
    return out;
}

int replaceGazetteer(Database& db, const QList<Village>& villages, const std::function<void(int)>& progress)
{
    const QStringList cols = QStringList{"cod", "ostan", "shahrestan", "shahr", "bakhsh", "dehestan", "rosta"}
                             + gazetteerMoreColumns();
    if (progress)
        progress(0);
    runInTransaction(db, [&] {
        // Other workstations neither read a half-replaced gazetteer nor write into it.
        if (db.kind() == DbKind::Postgres)
            db.exec(QStringLiteral("LOCK TABLE abadiha IN ACCESS EXCLUSIVE MODE"));
        db.exec(QStringLiteral("delete from abadiha"));
        BulkInsert rows(db, kTable, cols);
        for (qsizetype i = 0; i < villages.size(); ++i) {
            const Village& v = villages[i];
            QVariantList values{v.cod, v.ostan, v.shahrestan, v.shahr, v.bakhsh, v.dehestan, v.rosta};
            for (const QString& column : gazetteerMoreColumns())
                values << v.more.value(column); // null when the sheet does not give it
            rows.add(values);
            if (progress && ((i + 1) % RowsPerProgress == 0 || i + 1 == villages.size())) {
                rows.flush();
                progress(int(i + 1));
            }
        }
        rows.flush();
    });
    return int(villages.size());
}

QString levelColumn(GazetteerLevel level)
{
    switch (level) {
    case GazetteerLevel::Province:
        return QStringLiteral("ostan");
    case GazetteerLevel::County:
        return QStringLiteral("shahrestan");
    case GazetteerLevel::Town:
        return QStringLiteral("shahr");
    case GazetteerLevel::District:
        return QStringLiteral("bakhsh");
    case GazetteerLevel::RuralDistrict:
        return QStringLiteral("dehestan");
    case GazetteerLevel::Village:
        return QStringLiteral("rosta");
    }
    return {};
}

QString levelCaption(GazetteerLevel level)
{
    switch (level) {
    case GazetteerLevel::Province:
        return QStringLiteral("استان");
    case GazetteerLevel::County:
        return QStringLiteral("شهرستان");
    case GazetteerLevel::Town:
        return QStringLiteral("شهر");
    case GazetteerLevel::District:
        return QStringLiteral("بخش");
    case GazetteerLevel::RuralDistrict:
        return QStringLiteral("دهستان");
    case GazetteerLevel::Village:
        return QStringLiteral("روستا");
    }
    return {};
}

int renameListedRows(Database& db, GazetteerLevel level, const QString& newName, const QList<ListedVillage>& rows,
                     const QString& userName)
{
    const QString name = checkedNewName(level, newName);
    const QString head = QStringLiteral("update abadiha set ") + levelColumn(level)
                         + QStringLiteral("=? where id in (");
    int changed = 0;
    runInTransaction(db, [&] {
        for (qsizetype start = 0; start < rows.size(); start += KeysPerUpdate) {
            const qsizetype n = std::min<qsizetype>(KeysPerUpdate, rows.size() - start);
            QVariantList params{name};
            for (qsizetype i = start; i < start + n; ++i)
                params << rows[i].id;
            changed += db.exec(head + placeholders(int(n)) + u')', params).numRowsAffected();
        }
        const QString what = QStringLiteral(" ويرايش آبادي نام ") + levelCaption(level) + u' ';
        for (const ListedVillage& r : rows)
            writeLogRecord(db, userName, what + r.cod + u' ' + userName);
    });
    return changed;
}

int renameByCodes(Database& db, GazetteerLevel level, const QString& newName, const QList<ListedVillage>& rows)
{
    const QString name = checkedNewName(level, newName);
    QStringList codes;
    QSet<QString> seen;
    for (const ListedVillage& r : rows)
        if (!seen.contains(r.cod)) {
            seen.insert(r.cod);
            codes << r.cod;
        }
    const QString head = QStringLiteral("update abadiha set ") + levelColumn(level)
                         + QStringLiteral("=? where cod in (");
    int changed = 0;
    runInTransaction(db, [&] {
        for (qsizetype start = 0; start < codes.size(); start += KeysPerUpdate) {
            const qsizetype n = std::min<qsizetype>(KeysPerUpdate, codes.size() - start);
            QVariantList params{name};
            for (qsizetype i = start; i < start + n; ++i)
                params << codes[i];
            changed += db.exec(head + placeholders(int(n)) + u')', params).numRowsAffected();
        }
    });
    return changed;
}

qint64 saveNewVillage(Database& db, const Village& v, const QString& userName)
{
    const QVariant same = db.scalar(QStringLiteral("select count(*) from abadiha where shahrestan=? and rosta=? "
                                                   "and ostan=? and cod=?"),
                                    {v.shahrestan, v.rosta, v.ostan, v.cod});
    if (same.toLongLong() > 0)
        throw Error(gazetteer_msg::SameVillage);
    qint64 id = 0;
    try {
        saveUnique(db, villageCodeRule(), v.values(), {}, [&] {
            id = db.insert(kTable, v.values());
            writeLogRecord(db, userName, QStringLiteral(" ثبت کدآبادي جديد  ") + v.cod + u' ' + userName);
        });
    } catch (const DuplicateKey&) {
        throw Error(gazetteer_msg::NewCodeTaken);
    }
    return id;
}

void saveVillageChanges(Database& db, const QVariant& id, const QVariantMap& loaded, const Village& v,
                        const QString& userName)
{
    const QVariantMap values = v.values();
    auto write = [&] {
        db.updateUnchanged(kTable, values, id, loaded);
        writeLogRecord(db, userName, QStringLiteral(" ويرايش آبادي  ") + v.cod + u' ' + userName);
    };
    if (!changesKey(villageCodeRule(), values, loaded)) {
        runInTransaction(db, write);
        return;
    }
    try {
        saveUnique(db, villageCodeRule(), values, id, write);
    } catch (const DuplicateKey&) {
        throw Error(gazetteer_msg::EditCodeTaken);
    }
}

int deleteVillage(Database& db, const QVariant& id, const QVariantMap& loaded, const QString& userName)
{
    int removed = 0;
    runInTransaction(db, [&] {
        removed = db.removeUnchanged(kTable, id, loaded);
        if (removed > 0)
            writeLogRecord(db, userName,
                           QStringLiteral(" حذف آبادي  ") + loaded.value(QStringLiteral("cod")).toString() + u' '
                               + userName);
    });
    return removed;
}

} // namespace tarvest
