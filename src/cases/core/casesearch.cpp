#include "cases/core/casesearch.h"

namespace tarvest {

CaseQuery buildCaseSearch(const CaseFilters& f, const LoginState& user, DbKind kind)
{
    QString where;
    QVariantList params;
    const QString contains = containsCondition(kind);

    if (user.level != QLatin1String("admin")) {
        where += QStringLiteral(" AND city IN (SELECT cmt FROM dastrasi2 WHERE user_id = ?)");
        params << user.userId.toLongLong();
    }
    auto containsFilter = [&](const std::optional<QString>& value, const char* column) {
        if (!value)
            return;
        where += QStringLiteral(" AND ") + QLatin1String(column) + contains;
        params << containsPattern(*value);
    };
    containsFilter(f.ostan, "ostan");
    containsFilter(f.paperNo, "paper_no");
    containsFilter(f.city, "city");
    containsFilter(f.rosta, "rosta");
    containsFilter(f.darkhast, "darkhast");
    if (f.areaComparison) {
        static const char* const ops[] = {" = ?", " >= ?", " <= ?"};
        where += QStringLiteral(" AND ") + numericValueSql(kind, QStringLiteral("masahat_khales"))
                 + QLatin1String(ops[int(*f.areaComparison)]);
        params << f.area;
    }
    if (f.meetingDates) {
        where += QStringLiteral(" AND komision_t_k_dat >= ? AND komision_t_k_dat <= ?");
        params << f.meetingDates->first << f.meetingDates->second;
    }
    if (f.registrationDates) {
        where += QStringLiteral(" AND reg_dat >= ? AND reg_dat <= ?");
        params << f.registrationDates->first << f.registrationDates->second;
    }
    if (f.ids) {
        // An empty list matches no case, as the id filter promises.
        if (f.ids->isEmpty()) {
            where += QStringLiteral(" AND 1 = 0");
        } else {
            QStringList marks;
            for (qint64 id : *f.ids) {
                marks << QStringLiteral("?");
                params << id;
            }
            where += QStringLiteral(" AND pk IN (") + marks.join(u',') + u')';
        }
    }
    if (f.taeidZamin) {
        where += QStringLiteral(" AND taeid_zamin = ?");
        params << *f.taeidZamin;
    }
    if (f.manzor) {
        where += QStringLiteral(" AND manzor = ?");
        params << *f.manzor;
    }

    CaseQuery q;
    q.countSql = QStringLiteral("SELECT count(*) AS c FROM komision WHERE pk <> -1") + where;
    q.resultSql = QStringLiteral("SELECT komision.*, b.pic_count FROM komision "
                                 "LEFT JOIN (SELECT cod, count(*) AS pic_count FROM komision_pic GROUP BY cod) b "
                                 "ON komision.pk = b.cod WHERE komision.pk <> -1")
                  + where + QStringLiteral(" ORDER BY komision.pk");
    q.params = params;
    // A case's attachments are counted only for the rows that are read.
    q.paged.select = QStringLiteral("SELECT komision.*, (SELECT NULLIF(count(*), 0) FROM komision_pic "
                                    "WHERE komision_pic.cod = komision.pk) AS pic_count FROM komision");
    q.paged.where = QStringLiteral("komision.pk <> -1") + where;
    q.paged.params = params;
    q.paged.order = QStringLiteral("pk");
    q.paged.table = QStringLiteral("komision");
    return q;
}

QString toArabicKaf(QString text)
{
    return text.replace(QChar(0x06A9), QChar(0x0643));
}

const QList<CaseColumn>& caseSearchColumns()
{
    static const QList<CaseColumn> columns = {
        {"pk", u"شناسه"},
        {"ostan", u"استان"},
        {"city", u"شهرستان"},
        {"bakhsh", u"بخش"},
        {"dehestan", u"دهستان"},
        {"rosta", u"روستا"},
        {"abadi_cod", u"کد آبادي"},
        {"pic_count", u"تعداد ضمائم"},
        {"taeid_zamin", u"تاييد امور زمين"},
        {"paper_no", u"شماره نامه دبيرخانه شهرستان"},
        {"paper_dat", u"تاريخ نامه شهرستان"},
        {"darkhast", u"درخواست كننده"},
        {"malek_pardakhti", u"سهم مالك"},
        {"malek_varizi", u"هزينه خدمات فني"},
        {"manzor", u"نوع درخواست"},
        {"masahat_na", u"مساحت"},
        {"metraj", u"متراژ"},
        {"price_metr", u"مبلغ"},
        {"fani", u"فني و مطالعات"},
        {"mashmol", u"متقاضي مشمول"},
        {"komision_dat", u"تاريخ كميسيون"},
        {"komision_idea", u"نظر كميسيون"},
        {"melk_arzesh", u"ارزش ملك"},
        {"ghimat_karshenasi_kh", u"قيمت خالص"},
        {"masahat_khales", u"مساحت خالص"},
        {"malek_sahm", u"سهم مالك"},
        {"ghimat_karshenasi_d", u"قيمت داخل محدوده"},
        {"paper_no2", u"ش ن واريز وجه"},
        {"paper_dat2", u"ت نامه واريز وجه"},
        {"reg_dat", u"تاريخ ثبت"},
        {"komision_t_k", u"نظر كميسيون تغيير كاربري"},
        {"komision_t_k_dat", u"تاريخ كميسوتن تغيير كاربري"},
        {"karbar", u"کاربر ثبات"},
        {"sel", u"انتخاب"},
        {"tahteposhesh", u"تحت پوشش"},
        {"takhfif_darsad", u"درصد تخفيف"},
        {"takhrib_masahat", u"مساحت تخريب"},
        {"tahteposhesh_no", u"شماره نامه تحت پوشش"},
        {"tahteposhesh_dat", u"تاريخ نامه تحت پوشش"},
        {"kharej", u"قيمت اراضي خارج طرح"},
        {"fish_no", u"شماره فيش واريزي"},
        {"fish_dat", u"تاريخ فيش واريزي"},
        {"fish_mablagh", u"مبلغ فيش واريزي"},
        {"dabir", u"دبير كميسيون"},
        {"zamin", u"زمين"},
        {"moshaver", u"مشاور طرح"},
        {"bazdid_dat", u"تاريخ بازديد و ارائه گزارش فني ورتاليس شهرستان"},
        {"ost_paper_no", u"تاريخ نامه استان"},
        {"tasvib_result", u"نتيجه جلسه كميته تصويب"},
        {"tasvib_paper_no", u"شماره نامه ابلاغ مصوبه كميته به ورتاليس شهرستان"},
        {"cmt", u"توضيحات"},
        {"tasvib_dat", u"تاريخ تصويب نهايي طرح در كميته تصويب"},
        {"tasvib_b_dat", u"تاريخ برگزاري پرونده در كميته تصويب"},
        // the columns the grid shows after those above, titled as the export titles them
        {"phone", u"تلفن متقاضي"},
        {"m_paper_no", u"شماره نامه درخواست متقاضي به شعبه"},
        {"m_paper_dat", u"تاريخ نامه درخواست متقاضي به شعبه"},
        {"sanad", u"نوع سند مالكيت"},
        {"karbari1", u"نوع كاربري موجود"},
        {"karbari2", u"نوع كاربري مورد تقاضا"},
        {"tasvib_paper_dat", u"تاريخ نامه ابلاغ مصوبه كميته به ورتاليس شهرستان"},
        {"m_khales_b", u"مساحت خالص زمين دريافتي ورتاليس"},
    };
    return columns;
}

} // namespace tarvest
