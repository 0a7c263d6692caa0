#include "cases/core/caseexport.h"

#include "common/errors.h"
#include "common/safefile.h"
#include "db/export.h"
#include "db/resultset.h"

#include <QDir>

namespace tarvest {

const QHash<QString, QString>& caseExportTitles()
{
    static const QHash<QString, QString> titles{
        {QStringLiteral("pk"), QStringLiteral("شناسه")},
        {QStringLiteral("paper_no"), QStringLiteral("شماره نامه ارسال مدارك")},
        {QStringLiteral("paper_dat"), QStringLiteral("تاريخ نامه ارسال مدارك")},
        {QStringLiteral("city"), QStringLiteral("شهرستان")},
        {QStringLiteral("rosta"), QStringLiteral("روستا")},
        {QStringLiteral("darkhast"), QStringLiteral("درخواست كننده/متقاضي")},
        {QStringLiteral("manzor"), QStringLiteral("نوع درخواست")},
        {QStringLiteral("masahat_na"), QStringLiteral("مساحت ناخالص زمين")},
        {QStringLiteral("metraj"), QStringLiteral("متراژ زمين")},
        {QStringLiteral("reg_dat"), QStringLiteral("تاريخ ثبت")},
        {QStringLiteral("malek_pardakhti"), QStringLiteral("مبلغ پرداختي مالك")},
        {QStringLiteral("malek_varizi"), QStringLiteral("مبلغ واريزي مالك")},
        {QStringLiteral("fani"), QStringLiteral("امور فني و مطالعات")},
        {QStringLiteral("zamin"), QStringLiteral("امور زمين")},
        {QStringLiteral("dabir"), QStringLiteral("دبير كميسيون معاملات")},
        {QStringLiteral("komision_dat"), QStringLiteral("تاريخ كميسيون معاملات")},
        {QStringLiteral("komision_idea"), QStringLiteral("نظر كميسيون معاملات")},
        {QStringLiteral("price_metr"), QStringLiteral("مبلغ هر متر مربع")},
        {QStringLiteral("melk_arzesh"), QStringLiteral("ارزش ملك")},
        {QStringLiteral("ghimat_karshenasi_kh"), QStringLiteral("قيمت كارشناسي روز خارج از محدوده")},
        {QStringLiteral("masahat_khales"), QStringLiteral("مساحت خالص")},
        {QStringLiteral("malek_sahm"), QStringLiteral("سهم مالك")},
        {QStringLiteral("ghimat_karshenasi_d"), QStringLiteral("قيمت كارشناسي داخل محدوده")},
        {QStringLiteral("komision_t_k"), QStringLiteral("نتيجه كميسيون تغيير كاربري")},
        {QStringLiteral("komision_t_k_dat"), QStringLiteral("تاريخ كميسيون تغيير كاربري")},
        {QStringLiteral("paper_no2"), QStringLiteral("شماره نامه واريز وجه")},
        {QStringLiteral("paper_dat2"), QStringLiteral("تاريخ نامه واريز وجه")},
        {QStringLiteral("abadi_cod"), QStringLiteral("كد آبادي")},
        {QStringLiteral("moshaver"), QStringLiteral("مشاور طرح")},
        {QStringLiteral("tasvib_dat"), QStringLiteral("تاريخ تصويب نهايي طرح در كميته تصويب")},
        {QStringLiteral("phone"), QStringLiteral("تلفن متقاضي")},
        {QStringLiteral("m_paper_no"), QStringLiteral("شماره نامه درخواست متقاضي به شعبه")},
        {QStringLiteral("m_paper_dat"), QStringLiteral("تاريخ نامه درخواست متقاضي به شعبه")},
        {QStringLiteral("sanad"), QStringLiteral("نوع سند مالكيت")},
        {QStringLiteral("karbari1"), QStringLiteral("نوع كاربري موجود")},
        {QStringLiteral("karbari2"), QStringLiteral("نوع كاربري مورد تقاضا")},
        {QStringLiteral("bazdid_dat"), QStringLiteral("تاريخ بازديد و ارائه گزارش فني ورتاليس شهرستان")},
        {QStringLiteral("tasvib_b_dat"), QStringLiteral("تاريخ برگزراي پرونده در كميته تصويب")},
        {QStringLiteral("tasvib_result"), QStringLiteral("نتيجه جلسه كميته تصويب")},
        {QStringLiteral("tasvib_paper_no"), QStringLiteral("شماره نامه ابلاغ مصوبه كميته به ورتاليس شهرستان")},
        {QStringLiteral("tasvib_paper_dat"), QStringLiteral("تاريخ نامه ابلاغ مصوبه كميته به ورتاليس شهرستان")},
        {QStringLiteral("ost_paper_no"), QStringLiteral("تاريخ نامه استان")},
        {QStringLiteral("cmt"), QStringLiteral("توضيحات")},
        {QStringLiteral("m_khales_b"), QStringLiteral("مساحت خالص زمين دريافتي ورتاليس")},
        {QStringLiteral("takhfif_darsad"), QStringLiteral("درصد تخفيف")},
        {QStringLiteral("tahteposhesh"), QStringLiteral("تحت پوشش")},
        {QStringLiteral("takhrib_masahat"), QStringLiteral("مساحت تخريب")},
        // the columns without a title of their own in the register's export, titled as the
        // case grid titles them
        {QStringLiteral("karbar"), QStringLiteral("کاربر ثبات")},
        {QStringLiteral("mashmol"), QStringLiteral("متقاضي مشمول")},
        {QStringLiteral("taeid_zamin"), QStringLiteral("تاييد امور زمين")},
        {QStringLiteral("tahteposhesh_no"), QStringLiteral("شماره نامه تحت پوشش")},
        {QStringLiteral("tahteposhesh_dat"), QStringLiteral("تاريخ نامه تحت پوشش")},
        {QStringLiteral("bakhsh"), QStringLiteral("بخش")},
        {QStringLiteral("dehestan"), QStringLiteral("دهستان")},
        {QStringLiteral("kharej"), QStringLiteral("قيمت اراضي خارج طرح")},
        {QStringLiteral("fish_no"), QStringLiteral("شماره فيش واريزي")},
        {QStringLiteral("fish_dat"), QStringLiteral("تاريخ فيش واريزي")},
        {QStringLiteral("fish_mablagh"), QStringLiteral("مبلغ فيش واريزي")},
        {QStringLiteral("ostan"), QStringLiteral("استان")},
        {QStringLiteral("sel"), QStringLiteral("انتخاب")},
        {QStringLiteral("pic_count"), QStringLiteral("تعداد ضمائم")},
    };
    return titles;
}

namespace {

QString cell(const char* tag, const QString& text)
{
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), text.toHtmlEscaped());
}

// A figure as a number both spreadsheet programs take whatever their locale: LibreOffice
// reads sdval with the number format of sdnum, Excel the digits under the class's number
// format; the text shown is the stored one.
QString numberCell(const SheetNumber& n, const QString& text)
{
    const QString value = QString::number(n.value, 'f', n.decimals);
    const QString format = n.decimals > 0 ? QStringLiteral("#,##0.") + QString(n.decimals, QLatin1Char('0'))
                                          : QStringLiteral("#,##0");
    return QStringLiteral("<td class=\"n\" sdval=\"%1\" sdnum=\"1033;0;%2\">%3</td>")
        .arg(value, format, text.toHtmlEscaped());
}

// A text both programs keep as typed: a code or phone number with its leading zeros, a
// date that is no calendar date of theirs. Only a text with a digit could be misread.
QString textCell(const QString& text)
{
    for (const QChar ch : text)
        if (ch.isDigit())
            return QStringLiteral("<td class=\"t\" sdnum=\"1033;0;@\">%1</td>").arg(text.toHtmlEscaped());
    return cell("td", text);
}

} // namespace

void writeCaseListHtml(const ResultSet& rs, const QString& path)
{
    if (path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)) {
        exportResultSet(rs, path, caseExportTitles());
        return;
    }
    QStringList lines{
        QStringLiteral("<html>"),
        // Excel takes the sheet's direction from its worksheet options and the text and
        // number formats from the classes; LibreOffice takes them from each cell's sdnum.
        QStringLiteral("<head><meta charset=\"utf-8\"><title>گزارش كميسيون معاملات و تغيير كاربري زمين</title>"
                       "<style>td.t{mso-number-format:\"\\@\";} td.n{mso-number-format:\"\\#\\,\\#\\#0\";}</style>"
                       "<!--[if gte mso 9]><xml><x:ExcelWorkbook><x:ExcelWorksheets><x:ExcelWorksheet>"
                       "<x:Name>Sheet1</x:Name><x:WorksheetOptions><x:DisplayRightToLeft/></x:WorksheetOptions>"
                       "</x:ExcelWorksheet></x:ExcelWorksheets></x:ExcelWorkbook></xml><![endif]--></head>"),
        QStringLiteral("<body>"),
        QStringLiteral("<table dir=\"rtl\" border=\"1\" align=\"center\" width=\"95%\">"),
        QStringLiteral("<thead>"),
        QStringLiteral("<tr bgcolor=\"#22ddff\" valign=\"middle\">"),
        QStringLiteral("<th>رديف</th>"),
    };
    const auto& titles = caseExportTitles();
    QList<SheetSource::Kind> kinds;
    for (int c = 0; c < rs.fieldCount(); ++c) {
        const QString name = rs.fieldName(c);
        lines << cell("th", titles.value(name.toLower(), name));
        kinds << exportColumnKind(rs, c);
    }
    lines << QStringLiteral("</tr>") << QStringLiteral("</thead>") << QStringLiteral("<tbody>");

    SafeFile file(path);
    auto flush = [&] {
        file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        lines.clear();
    };
    // Rows are read by position, so the result's current row does not move.
    for (int r = 0; r < rs.recordCount(); ++r) {
        lines << QStringLiteral("<tr>") << cell("td", QString::number(r + 1));
        for (int c = 0; c < rs.fieldCount(); ++c) {
            const QString text = rs.textAt(r, c);
            if (kinds[c] == SheetSource::Text) {
                lines << textCell(text);
                continue;
            }
            if (kinds[c] == SheetSource::PlainNumber) { // a key: plain digits, read as a number
                lines << cell("td", text);
                continue;
            }
            const std::optional<SheetNumber> n = sheetNumber(text);
            lines << (n ? numberCell(*n, text) : textCell(text));
        }
        lines << QStringLiteral("</tr>");
        if (lines.size() > 4096)
            flush();
    }
    lines << QStringLiteral("</tbody>") << QStringLiteral("</table>") << QStringLiteral("</body>")
          << QStringLiteral("</html>");
    flush();
    file.commit();
}

} // namespace tarvest
