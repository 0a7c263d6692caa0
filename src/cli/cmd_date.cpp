#include "cli/commands.h"

#include "common/jalali.h"

#include <QDate>

namespace tarvest {

namespace {
void printUsage(QTextStream& err)
{
    err << QStringLiteral("استفاده: tarvest-admin date [YYYY-MM-DD]\n"
                          "usage: tarvest-admin date [YYYY-MM-DD]\n"
                          "  بدون تاريخ، تاريخ امروز را چاپ مي كند؛ با تاريخ ميلادي، تاريخ شمسي آن را.\n"
                          "  Without a date prints today's Jalali date; with a Gregorian date, its Jalali date.\n");
}
} // namespace

int runDateCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.isEmpty()) {
        out << TodayJalali() << '\n';
        return 0;
    }
    if (args.size() == 1) {
        const QString text = args.first().trimmed();
        const QDate g = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (g.isValid() && text.size() == 10) {
            const JalaliDate j = GregorianToJalali(g.year(), g.month(), g.day());
            out << FormatJalali(j.jy, j.jm, j.jd) << '\n';
            return 0;
        }
        err << QStringLiteral("تاريخ ميلادي نامعتبر: «%1» / invalid Gregorian date: \"%1\"\n").arg(text);
    } else {
        err << QStringLiteral("آرگومان اضافي / too many arguments\n");
    }
    printUsage(err);
    return 2;
}

} // namespace tarvest
