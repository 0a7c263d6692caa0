#include "admin/core/users.h"

#include "common/password.h"
#include "db/activitylog.h"
#include "db/database.h"
#include "db/dialect.h"

namespace tarvest {

namespace {

const QString kUsers = QStringLiteral("users");

// The user's columns the screens read, without the password.
const QString kListColumns = QStringLiteral("id, us, nam, ver, lev, ostan, semat, mobile, status");

template <typename Write>
void inTransaction(Database& db, Write write)
{
    db.begin();
    try {
        write();
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}

QString trailingTrimmed(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

QVariantMap rowOf(const UserFields& f)
{
    return {{QStringLiteral("us"), f.us},         {QStringLiteral("lev"), f.lev},
            {QStringLiteral("ostan"), f.ostan},   {QStringLiteral("semat"), f.semat},
            {QStringLiteral("mobile"), f.mobile}, {QStringLiteral("nam"), f.nam},
            {QStringLiteral("status"), f.status}};
}

} // namespace

const QList<RightsPage>& rightsPages()
{
    static const QList<RightsPage> pages{
        {QStringLiteral("abadiha"), QStringLiteral("abadiha"), QStringLiteral("آبادي ها")},
        {QStringLiteral("ghimat"), QStringLiteral("ghimat"), QStringLiteral("قيمت کذاري")},
        {QStringLiteral("vagozari"), QStringLiteral("vagozari"), QStringLiteral("انواع واگذاري")},
        {QStringLiteral("arazi"), QStringLiteral("arazi"), QStringLiteral("اراضي")},
        {QStringLiteral("asnad"), QStringLiteral("asnad"), QStringLiteral("اسناد")},
        {QStringLiteral("phone"), QStringLiteral("phone"), QStringLiteral("دفترچه تلفن")},
        {QStringLiteral("zamaem"), QStringLiteral("zamaem"), QStringLiteral("ضمائم")},
        {QStringLiteral("komision"), QStringLiteral("komision"), QStringLiteral("کميسيون معاملات")},
        {QStringLiteral("kom_z"), QStringLiteral("kom_z"), QStringLiteral("ضمائم کميسيون")},
        {QStringLiteral("set"), QStringLiteral("seting"), QStringLiteral("تنظيمات")},
        {QStringLiteral("karbaran"), QStringLiteral("karbaran"), QStringLiteral("کاربران")},
    };
    return pages;
}

const QStringList& userLevels()
{
    static const QStringList levels{QStringLiteral("ostan"), QStringLiteral("city"), QStringLiteral("keshvar"),
                                    QStringLiteral("admin")};
    return levels;
}

RightsByPage defaultRights(const QString& level, const QString& group)
{
    RightsByPage rights;
    if (level == QLatin1String("city") && group == QStringLiteral("کارشناس")) {
        rights.insert(QStringLiteral("komision"), PageRights{true, true, false, true});
        rights.insert(QStringLiteral("ghimat"), PageRights{true, false, false, true});
        rights.insert(QStringLiteral("kom_z"), PageRights{true, false, false, true});
        rights.insert(QStringLiteral("abadiha"), PageRights{false, false, false, true});
    }
    return rights;
}

RightsByPage loadPageRights(Database& db, qint64 userId)
{
    RightsByPage rights;
    QSqlQuery q = db.exec(QStringLiteral("SELECT page_name, darj, virayesh, hazf, namayesh FROM dastrasi "
                                         "WHERE prs_id = ? ORDER BY id"),
                          {userId});
    while (q.next()) {
        const QString page = q.value(0).toString();
        for (const RightsPage& p : rightsPages())
            if (p.page == page)
                rights.insert(page, PageRights{q.value(1).toInt() != 0, q.value(2).toInt() != 0,
                                               q.value(3).toInt() != 0, q.value(4).toInt() != 0});
    }
    return rights;
}

void savePageRights(Database& db, qint64 userId, const RightsByPage& rights)
{
    inTransaction(db, [&] {
        for (const RightsPage& p : rightsPages()) {
            const PageRights r = rights.value(p.page);
            db.exec(QStringLiteral("DELETE FROM dastrasi WHERE prs_id = ? AND page_name = ?"), {userId, p.page});
            db.insert(QStringLiteral("dastrasi"), {{QStringLiteral("prs_id"), userId},
                                                   {QStringLiteral("page_name"), p.page},
                                                   {QStringLiteral("darj"), r.insert},
                                                   {QStringLiteral("virayesh"), r.edit},
                                                   {QStringLiteral("hazf"), r.remove},
                                                   {QStringLiteral("namayesh"), r.view}});
        }
    });
}

QStringList loadCounties(Database& db, qint64 userId)
{
    QStringList counties;
    // dastrasi2 has no key of its own; the server returns rows in their stored order.
    QSqlQuery q = db.exec(QStringLiteral("SELECT cmt FROM dastrasi2 WHERE user_id = ?"), {userId});
    while (q.next())
        counties << q.value(0).toString();
    return counties;
}

void saveCounties(Database& db, qint64 userId, const QStringList& counties)
{
    inTransaction(db, [&] {
        db.exec(QStringLiteral("DELETE FROM dastrasi2 WHERE user_id = ?"), {userId});
        for (const QString& county : counties)
            db.insert(QStringLiteral("dastrasi2"),
                      {{QStringLiteral("user_id"), userId}, {QStringLiteral("cmt"), county}});
    });
}

const UniqueRule& userNameRule()
{
    static const UniqueRule rule{kUsers, {QStringLiteral("us")}, true};
    return rule;
}

bool isAdministratorName(const QString& userName)
{
    return trailingTrimmed(userName).compare(QLatin1String("admin"), Qt::CaseInsensitive) == 0;
}

UserSave addUser(Database& db, const UserFields& fields, const QString& actor, qint64* newId)
{
    if (fields.us.trimmed().isEmpty())
        return UserSave::NoName;
    QVariantMap row = rowOf(fields);
    row.insert(QStringLiteral("ps"), hashPassword(fields.ps));
    row.insert(QStringLiteral("ver"), QString());
    qint64 id = 0;
    try {
        saveUnique(db, userNameRule(), row, {}, [&] {
            id = db.insert(kUsers, row);
            writeLogRecord(db, actor, QStringLiteral(" ثبت کاربر جديد ") + fields.us + QLatin1Char(' ') + fields.ostan);
        });
    } catch (const DuplicateKey&) {
        return UserSave::Duplicate;
    }
    if (newId)
        *newId = id;
    return UserSave::Saved;
}

UserSave updateUser(Database& db, qint64 id, const UserFields& fields, const QVariantMap& loaded, const QString& actor)
{
    if (isAdministratorName(loaded.value(QStringLiteral("us")).toString()))
        return UserSave::Administrator;
    if (fields.us.trimmed().isEmpty())
        return UserSave::NoName;
    QVariantMap row = rowOf(fields);
    if (!fields.ps.isEmpty())
        row.insert(QStringLiteral("ps"), hashPassword(fields.ps));
    QVariantMap compared = loaded;
    compared.remove(QStringLiteral("ps")); // the screen never reads the stored hash
    const auto write = [&] {
        db.updateUnchanged(kUsers, row, id, compared);
        writeLogRecord(db, actor, QStringLiteral(" ويرايش کاربر ") + fields.us + QLatin1Char(' ') + fields.ostan);
    };
    try {
        if (changesKey(userNameRule(), row, loaded))
            saveUnique(db, userNameRule(), row, id, write);
        else
            inTransaction(db, write);
    } catch (const DuplicateKey&) {
        return UserSave::Duplicate;
    }
    return UserSave::Saved;
}

UserSave deleteUser(Database& db, qint64 id, const QVariantMap& loaded, const QString& actor)
{
    const QString us = loaded.value(QStringLiteral("us")).toString();
    if (isAdministratorName(us))
        return UserSave::Administrator;
    QVariantMap compared = loaded;
    compared.remove(QStringLiteral("ps"));
    inTransaction(db, [&] {
        db.removeUnchanged(kUsers, id, compared);
        db.exec(QStringLiteral("DELETE FROM dastrasi WHERE prs_id = ?"), {id});
        db.exec(QStringLiteral("DELETE FROM dastrasi2 WHERE user_id = ?"), {id});
        writeLogRecord(db, actor,
                       QStringLiteral(" حذف کاربر ") + us + QLatin1Char(' ')
                           + loaded.value(QStringLiteral("ostan")).toString());
    });
    return UserSave::Saved;
}

UserQuery userQuery(Database& db, const UserFilters& filters)
{
    UserQuery q;
    const QString like = containsCondition(db.kind());
    const auto add = [&](const char* column, const std::optional<QString>& value) {
        if (!value)
            return;
        q.where += QStringLiteral(" and ") + QLatin1String(column) + like;
        q.params << containsPattern(*value);
    };
    add("us", filters.us);
    add("ostan", filters.ostan);
    add("nam", filters.nam);
    add("lev", filters.lev);
    return q;
}

QString userListSql(const UserQuery& q)
{
    return QStringLiteral("select ") + kListColumns + QStringLiteral(" from users where id<>-1") + q.where
           + QStringLiteral(" order by id");
}

QString userExportSql(const UserQuery& q)
{
    return QStringLiteral("select id, trim(us) as us, trim(nam) as nam, trim(ver) as ver, trim(lev) as lev, "
                          "trim(ostan) as ostan, trim(semat) as semat, trim(mobile) as mobile, "
                          "trim(status) as status from users where id<>-1")
           + q.where + QStringLiteral(" order by id");
}

int countUsers(Database& db, const UserQuery& q)
{
    return db.scalar(QStringLiteral("select count(*) as c from users where id<>-1") + q.where, q.params).toInt();
}

QHash<QString, QString> userExportTitles()
{
    return {{QStringLiteral("id"), QStringLiteral("شناسه")},
            {QStringLiteral("ostan"), QStringLiteral("استان")},
            {QStringLiteral("semat"), QStringLiteral("سمت")},
            {QStringLiteral("nam"), QStringLiteral("نام و نام خانوادگي")},
            {QStringLiteral("mobile"), QStringLiteral("موبايل")},
            {QStringLiteral("us"), QStringLiteral("نام کاربري-کد ملي")},
            {QStringLiteral("lev"), QStringLiteral("سطح")}};
}

} // namespace tarvest
