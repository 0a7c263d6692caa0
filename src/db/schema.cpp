#include "db/schema.h"

#include "common/errors.h"

namespace tarvest {

namespace {

Column intKey(const char* n)
{
    return {QString::fromLatin1(n), ColType::Int, 0, true, false};
}
Column bigKey(const char* n)
{
    return {QString::fromLatin1(n), ColType::BigInt, 0, true, false};
}
Column nv(const char* n, int w)
{
    return {QString::fromLatin1(n), ColType::NVarChar, w, false, false};
}
Column tx(const char* n)
{
    return {QString::fromLatin1(n), ColType::Text, 0, false, false};
}
Column of(const char* n, ColType t)
{
    return {QString::fromLatin1(n), t, 0, false, false};
}

QList<Column> nvs(std::initializer_list<const char*> names, int w)
{
    QList<Column> out;
    for (const char* n : names)
        out << nv(n, w);
    return out;
}

QList<Column> money(std::initializer_list<const char*> names)
{
    QList<Column> out;
    for (const char* n : names)
        out << of(n, ColType::Money);
    return out;
}

// The 54 survey columns of a land record, in the order the land screen writes
// them and the land spreadsheet import copies them.
const char* const kLandColumns[] = {
    "shahrestan", "bakhsh",     "dehestan",    "rosta",      "abadi",      "khanevar",  "jamiyat",      "utm_x",
    "utm_y",      "marhale",    "tarh",        "motale",     "nehzat",     "khodmalek", "faghedzamnin", "cad",
    "kmz",        "tamalok",    "marja",       "tafkik",     "vagozar",    "ezhari",    "ghatat",       "pishbini",
    "masahat_kh", "asnad",      "harim",       "teslar",     "shoa",       "meli",      "oghaf",        "astane",
    "tavafogh",   "mostasna",   "taminetebar", "kalabarg",   "farmandari", "far_dat",   "far_cmt",      "movafegh",
    "pishjalase", "goroh",      "moshaver",    "komite1",    "komite2",    "tasvib",    "tam",          "darhal_tam",
    "tav",        "darhal_tav", "manabe_no",   "manabe_dat", "mas",        "san",
};
static_assert(std::size(kLandColumns) == 54);

QList<Column> landColumns()
{
    QList<Column> out;
    for (const char* n : kLandColumns)
        out << tx(n);
    return out;
}

QList<Table> buildSchema()
{
    QList<Table> t;

    // The password column holds a salted hash, so it is wider than a typed password.
    t << Table{"users",
               {intKey("id"), nv("us", 25), nv("ps", 128), nv("lev", 25), nv("ver", 25), tx("nam"), tx("ostan"),
                tx("semat"), tx("mobile"), tx("status")}};
    t << Table{"setting", {intKey("id"), nv("component", 100), nv("cmt", 150), nv("def", 5)}};
    t << Table{"log",
               {intKey("id"), nv("karbar", 150), nv("ip", 20), nv("computer_name", 50), nv("saat", 30),
                nv("tarikh", 10), nv("cmt", 200), Column{"saat_sys", ColType::DateTime, 0, false, true}}};
    t << Table{"payamha",
               {intKey("id"), of("send_prs_id", ColType::Int), of("rec_prs_id", ColType::Int), nv("send_dat", 10),
                nv("show_dat", 10), nv("mozo", 100), of("cmt", ColType::Blob)},
               {"rec_prs_id"}};
    t << Table{"dastrasi",
               {intKey("id"), of("prs_id", ColType::Int), nv("page_name", 25), of("darj", ColType::Bit),
                of("virayesh", ColType::Bit), of("hazf", ColType::Bit), of("namayesh", ColType::Bit)},
               {"prs_id"}};
    t << Table{"dastrasi2", {of("user_id", ColType::Int), nv("cmt", 150)}, {"user_id"}};
    // An attachment's password is kept as a salted hash too (admin/core/attachments.h).
    t << Table{"zamaem", {bigKey("id"), nv("cmt", 150), nv("ramz", 128), nv("pictype", 5), of("pic", ColType::Blob)}};
    t << Table{"phone", {bigKey("id"), nv("name", 100), nv("tel", 40), nv("cmt", 150)}};
    t << Table{"abadiha",
               {bigKey("id"), nv("cod", 100), nv("rosta", 150), nv("ostan", 150), nv("shahrestan", 150),
                nv("bakhsh", 150), nv("dehestan", 150), tx("shahr"), tx("city"), tx("khanevar"), tx("jamiyat"),
                tx("zarib"), tx("x"), tx("y")},
               {"cod"}};

    Table kom{"komision", {bigKey("pk")}};
    kom.columns << nv("paper_no", 30) << nv("paper_dat", 10) << nv("city", 30) << nv("rosta", 50) << nv("darkhast", 70)
                << nv("manzor", 30) << nv("masahat_na", 50) << nv("metraj", 50) << nv("malek_pardakhti", 50)
                << nv("fani", 150) << nv("zamin", 150) << nv("dabir", 150) << nv("komision_dat", 10)
                << nv("komision_idea", 150) << nv("price_metr", 50) << nv("melk_arzesh", 50)
                << nv("ghimat_karshenasi_kh", 50) << nv("masahat_khales", 50) << nv("malek_sahm", 50)
                << nv("ghimat_karshenasi_d", 50) << nv("komision_t_k", 150) << nv("komision_t_k_dat", 10)
                << nv("paper_no2", 30) << nv("paper_dat2", 10) << nv("malek_varizi", 30) << nv("reg_dat", 10)
                << nv("abadi_cod", 50) << nv("moshaver", 30) << nv("tasvib_dat", 10) << nv("phone", 20)
                << nv("m_paper_no", 30) << nv("m_paper_dat", 10) << nv("sanad", 20) << nv("karbari1", 30)
                << nv("karbari2", 30) << nv("bazdid_dat", 10) << nv("tasvib_b_dat", 10) << nv("tasvib_result", 30)
                << nv("tasvib_paper_no", 30) << nv("tasvib_paper_dat", 10) << nv("cmt", 50) << nv("m_khales_b", 20)
                << nv("ost_paper_no", 10) << nv("karbar", 50) << nv("tahteposhesh", 50) << nv("takhfif_darsad", 50)
                << nv("takhrib_masahat", 50)
                << nv("mashmol", 250)
                // columns that older databases received by later additions
                << nv("taeid_zamin", 25) << nv("tahteposhesh_no", 25) << nv("tahteposhesh_dat", 10) << nv("bakhsh", 50)
                << nv("dehestan", 50) << nv("kharej", 20) << nv("fish_no", 20) << nv("fish_dat", 10)
                << nv("fish_mablagh", 20) << tx("ostan") << tx("sel");
    kom.indexed = {"city"};
    t << kom;

    const QList<Column> pictures{bigKey("pk"), of("cod", ColType::BigInt), nv("ext", 5), of("pic", ColType::Blob),
                                 nv("cmt", 150)};
    t << Table{"komision_pic", pictures, {"cod"}};

    Table asnad{"asnad",
                {bigKey("id"), nv("city", 100), nv("sal", 4), of("rosta_cnt", ColType::Int),
                 of("shahr_cnt", ColType::Int), of("fish", ColType::Int), nv("fish_name", 150), nv("fish_no", 50),
                 nv("fish_dat", 10), of("fish_mablagh", ColType::Money), nv("fish_name2", 150), nv("fish_no2", 50),
                 nv("fish_dat2", 10), of("fish_mablagh2", ColType::Money), of("ozv_mablagh", ColType::Money),
                 of("vartalis_sahm", ColType::Money), of("sabt_sahm", ColType::Money), of("ozv_cnt", ColType::Int)}};
    asnad.columns << money(
        {"ozv_mablagh_kol", "sahm_vartalis", "sahm_sabt",  "band3",        "modirkol2",  "moaven2",    "masol_zamin2",
         "sanad_kar2",      "naghshe_kar2",  "daftar2",    "hesabdari2",   "hesab_kar2", "shahr_kar",  "shahr_modir",
         "moaven",          "ostan_kar",     "sayer_kar",  "ostan_mas",    "odat_modir", "odat_kar",   "modirkol1",
         "moaven1",         "masol_zamin1",  "sanad_kar1", "naghshe_kar1", "daftar1",    "hesabdari1", "hesab_kar1"});
    t << asnad;

    t << Table{"sayerkar",
               {bigKey("id"), of("asnad_id", ColType::BigInt), nv("nam", 100), of("darsad", ColType::Float),
                of("mablagh", ColType::Money)},
               {"asnad_id"}};
    Table temp{"sanad_temp", nvs({"mahal", "semat", "nam"}, 100)};
    temp.columns << nv("manba", 250) << of("darsad", ColType::Float) << of("mablagh", ColType::Money);
    t << temp;

    Table ghimat{"ghimat", {bigKey("id")}};
    ghimat.columns << nvs({"city", "bakhsh", "dehestan", "rosta"}, 100) << nv("abadi_cod", 50) << nv("karbari", 50)
                   << nv("sal", 4) << nv("tamin", 50) << nv("paper_no", 50) << nv("paper_dat", 10)
                   << of("arzesh", ColType::Money) << nv("vagozari", 100) << of("paye_zarib", ColType::Float)
                   << money({"paye", "mojaver12", "mojaver16", "mojaver_max", "khadamati"});
    t << ghimat;

    t << Table{"vagozarityp", {bigKey("id"), nv("vagozari", 150), of("zarib", ColType::Float)}};
    t << Table{"kashfghimat", {bigKey("id"), of("ghimat_id", ColType::BigInt), nv("kashf", 100)}, {"ghimat_id"}};
    t << Table{"pic_new", pictures};

    Table arazi{"arazi", {bigKey("id")}};
    arazi.columns << landColumns();
    t << arazi;
    t << Table{"sh", landColumns()};
    return t;
}

QString typeSql(const Column& c, DbKind kind)
{
    const bool pg = kind == DbKind::Postgres;
    switch (c.type) {
    case ColType::Int:
        return pg ? "integer" : "INTEGER";
    case ColType::BigInt:
        return pg ? "bigint" : "INTEGER";
    case ColType::Bit:
        return pg ? "smallint" : "INTEGER";
    case ColType::Money:
        return pg ? "bigint" : "INTEGER";
    case ColType::Float:
        return pg ? "double precision" : "REAL";
    case ColType::NVarChar:
        return QStringLiteral("varchar(%1)").arg(c.width);
    case ColType::Text:
        return pg ? "text" : "TEXT";
    case ColType::Blob:
        return pg ? "bytea" : "BLOB";
    case ColType::DateTime:
        return pg ? "timestamp(0)" : "TEXT";
    }
    return {};
}

} // namespace

QString Table::key() const
{
    for (const Column& c : columns)
        if (c.identity)
            return c.name;
    return {};
}

const Column* Table::column(const QString& n) const
{
    for (const Column& c : columns)
        if (c.name.compare(n, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const QList<Table>& schemaTables()
{
    static const QList<Table> tables = buildSchema();
    return tables;
}

const Table* findTable(const QString& name)
{
    for (const Table& t : schemaTables())
        if (t.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QString columnSql(const Column& c, DbKind kind)
{
    const bool pg = kind == DbKind::Postgres;
    if (c.identity) {
        // SQLite's AUTOINCREMENT and PostgreSQL's identity never hand out a key again
        // after its row is deleted.
        if (!pg)
            return c.name + " INTEGER PRIMARY KEY AUTOINCREMENT";
        return c.name + (c.type == ColType::Int ? " integer" : " bigint")
               + " GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
    }
    QString sql = c.name + ' ' + typeSql(c, kind);
    if (c.serverTime)
        sql += pg ? " DEFAULT LOCALTIMESTAMP(0)" : " DEFAULT (strftime('%Y-%m-%d %H:%M:%S','now','localtime'))";
    // SQLite does not enforce a declared width; the check makes it refuse a longer
    // text as PostgreSQL does.
    if (!pg && c.type == ColType::NVarChar)
        sql += QStringLiteral(" CHECK (length(%1) <= %2)").arg(c.name).arg(c.width);
    return sql;
}

QString createTableSql(const Table& table, DbKind kind)
{
    QStringList lines;
    for (const Column& c : table.columns)
        lines << "  " + columnSql(c, kind);
    return "CREATE TABLE " + table.name + " (\n" + lines.join(",\n") + "\n)";
}

QString addColumnSql(const Table& table, const Column& column, DbKind kind)
{
    return "ALTER TABLE " + table.name + " ADD COLUMN " + columnSql(column, kind);
}

QString indexName(const Table& table, const QString& column)
{
    return "ix_" + table.name + "_" + column;
}

QString createIndexSql(const Table& table, const QString& column)
{
    return "CREATE INDEX IF NOT EXISTS " + indexName(table, column) + " ON " + table.name + " (" + column + ")";
}

int textWidth(const QString& tableName, const QString& column)
{
    const Table* table = findTable(tableName);
    const Column* c = table ? table->column(column) : nullptr;
    return c && c->type == ColType::NVarChar ? c->width : 0;
}

QString tooLongMessage(const QString& caption, int width)
{
    return QStringLiteral("خطا! «%1» حداكثر %2 نويسه مي پذيرد").arg(caption).arg(width);
}

void checkTextWidths(const Table& table, const QVariantMap& values)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        const Column* c = table.column(it.key());
        if (!c || c->type != ColType::NVarChar || it.value().isNull())
            continue;
        const QString text = it.value().toString();
        const qsizetype chars = text.toUcs4().size();
        if (chars > c->width)
            throw Error(QStringLiteral("متن «%1» برای ستون %2 بلندتر از %3 نویسه است (%4 نویسه).")
                            .arg(text.left(40), c->name)
                            .arg(c->width)
                            .arg(chars));
    }
}

} // namespace tarvest
