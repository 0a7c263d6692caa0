#include "fees/core/distribution.h"

#include "common/digits.h"

namespace tarvest::fees {

namespace {

// Made on first use: the decimal type's own constants belong to another file, whose
// static initialisation may come later.
Decimal hundred()
{
    return Decimal::fromInteger(100);
}
Decimal two()
{
    return Decimal::fromInteger(2);
}
Decimal maxAmount()
{
    return Decimal::fromInteger(kMaxAmount);
}

QString tooLong(const QString& caption)
{
    return QStringLiteral("خطا! مبلغ «%1» بيش از 15 رقم است؛ محاسبه انجام نشد").arg(caption);
}

// The percentage a label shows, as a number.
Decimal percentOf(const FeeInputs& in, const FeeRole& role)
{
    const QString text = in.percentTexts.value(role.percentLabel, QString::number(role.percent));
    const auto d = Decimal::parse(text);
    if (!d)
        throw FeeInputError(QStringLiteral("خطا! درصد «%1» عدد نيست؛ محاسبه انجام نشد").arg(role.caption));
    return *d;
}

void checkAmount(qint64 value, const QString& caption)
{
    if (value < -kMaxAmount || value > kMaxAmount)
        throw FeeInputError(tooLong(caption));
}

// A result that enters an amount field: whole rials, halves to even, within fifteen digits.
Decimal whole(const Decimal& d, const QString& caption)
{
    const Decimal w = d.roundedHalfEven(0);
    if (w > maxAmount() || w < -maxAmount())
        throw FeeInputError(tooLong(caption));
    return w;
}

// x × (p / 100), exact; a product beyond the decimal range is refused as too long.
Decimal share(const Decimal& x, const Decimal& p, const QString& caption)
{
    try {
        return x * Decimal::divide(p, hundred(), Decimal::kFractionDigits);
    } catch (const FeeInputError&) {
        throw;
    } catch (const Error&) {
        throw FeeInputError(tooLong(caption));
    }
}

template <typename F>
Decimal guardedProduct(const QString& caption, F&& f)
{
    try {
        return f();
    } catch (const FeeInputError&) {
        throw;
    } catch (const Error&) {
        throw FeeInputError(tooLong(caption));
    }
}

} // namespace

const QList<FeeRole>& groupA()
{
    static const QList<FeeRole> roles{
        {"modirkol1", QStringLiteral("مدير کل"), "modirkol1_darsad", 15},
        {"moaven1", QStringLiteral("معاون عمران روستايي"), "moaven1_darsad", 10},
        {"masol_zamin1", QStringLiteral("کارشناس مسئول عمران زمين و سند"), "masol_zamin1_darsad", 10},
    };
    return roles;
}

const QList<FeeRole>& groupB()
{
    static const QList<FeeRole> roles{
        {"sanad_kar1", QStringLiteral("کارشناس سند"), "sanad_kar1_darsad", 35},
        {"naghshe_kar1", QStringLiteral("کارشناس نقشه برداري"), "naghshe_kar1_darsad", 25},
        {"daftar1", QStringLiteral("رييس دفتر مديرکل"), "daftar1_darsad", 15},
        {"hesabdari1", QStringLiteral("رييس حسابداري"), "hesabdari1_darsad", 15},
        {"hesab_kar1", QStringLiteral("کارشناس حسابداري"), "hesab_kar1_darsad", 10},
    };
    return roles;
}

const QList<FeeRole>& groupC()
{
    static const QList<FeeRole> roles{
        {"modirkol2", QStringLiteral("مدير کل"), "modirkol2_darsad", 30},
        {"moaven2", QStringLiteral("معاون عمران روستايي"), "moaven2_darsad", 20},
        {"masol_zamin2", QStringLiteral("کارشناس مسئول عمران زمين و سند"), "masol_zamin2_darsad", 15},
        {"sanad_kar2", QStringLiteral("کارشناس سند"), "sanad_kar2_darsad", 10},
        {"naghshe_kar2", QStringLiteral("کارشناس نقشه برداري"), "naghshe_kar2_darsad", 7},
        {"daftar2", QStringLiteral("رييس دفتر مديرکل"), "daftar2_darsad", 6},
        {"hesabdari2", QStringLiteral("رييس حسابداري"), "hesabdari2_darsad", 6},
        {"hesab_kar2", QStringLiteral("کارشناس حسابداري"), "hesab_kar2_darsad", 6},
    };
    return roles;
}

const QList<FeeRole>& groupD()
{
    static const QList<FeeRole> roles{
        {"shahr_kar", QStringLiteral("حق الزحمه کارشناس شهرستان"), "darsad_shahr_kar", 40},
        {"shahr_modir", QStringLiteral("حق الزحمه مدير شهرستان"), "darsad_shahr_modir", 10},
        {"moaven", QStringLiteral("حق الزحمه معاون عمران روستايي"), "darsad_shahr_moaven", 10},
        {"ostan_kar", QStringLiteral("حق الزحمه کارشناس استان"), "darsad_shahr_ostan_kar", 15},
        {"sayer_kar", QStringLiteral("حق الزحمه ساير کارشناسان"), "darsad_shahr_sayer_kar", 10},
        {"ostan_mas", QStringLiteral("کارشناس مسئول زمين"), "darsad_shahr_ostan_mas", 15},
    };
    return roles;
}

const FeeRole& refundManager()
{
    static const FeeRole r{"odat_modir", QStringLiteral("عودت واريزي مدير"), "odat_modir_darsad", 35};
    return r;
}

const FeeRole& refundExpert()
{
    static const FeeRole r{"odat_kar", QStringLiteral("عودت واريزي کارشناس"), "odat_kar_darsad", 20};
    return r;
}

QHash<QString, QString> defaultPercentTexts()
{
    QHash<QString, QString> out;
    for (const auto* group : {&groupA(), &groupB(), &groupC(), &groupD()})
        for (const FeeRole& r : *group)
            out.insert(r.percentLabel, QString::number(r.percent));
    out.insert(refundManager().percentLabel, QString::number(refundManager().percent));
    out.insert(refundExpert().percentLabel, QString::number(refundExpert().percent));
    return out;
}

QString decimalText(const Decimal& d)
{
    return d.toShortString(40);
}

QString halfText(qint64 x)
{
    return decimalText(Decimal::divide(Decimal::fromInteger(x), two(), 4));
}

qint64 memberShareOfFee(qint64 ozvMablagh)
{
    return Decimal::divide(Decimal::fromInteger(ozvMablagh), two(), 4).roundedHalfEven(0).toShortString(40).toLongLong();
}

int wholeCount(const QString& text, const QString& caption)
{
    bool ok = false;
    const int n = normalizeDigits(text).trimmed().toInt(&ok);
    if (!ok)
        throw FeeInputError(QStringLiteral("خطا! «%1» عدد صحيح نيست؛ محاسبه انجام نشد").arg(caption));
    return n;
}

QString fieldText(const FieldTexts& texts, const QString& column)
{
    for (const auto& p : texts)
        if (p.first == column)
            return p.second;
    return {};
}

FieldTexts distribute(const FeeInputs& in)
{
    // Every input is read and checked first, so a refusal leaves every field as it was.
    const QString ozvKol = QStringLiteral("حق الزحمه هر عضو");
    checkAmount(in.ozvMablagh, QStringLiteral("حق الزحمه پايه هر عضو"));
    checkAmount(in.vartalisSahm, QStringLiteral("سهم ورتاليس از حق الزحمه عضو"));
    checkAmount(in.sabtSahm, QStringLiteral("سهم ثبت از حق الزحمه عضو"));
    const int rosta = wholeCount(in.rostaCnt, QStringLiteral("تعداد سند روستايي"));
    const int shahr = wholeCount(in.shahrCnt, QStringLiteral("تعداد سند شهري"));
    const Decimal n = Decimal::fromInteger(qint64(rosta) + qint64(shahr));
    const Decimal ozv = Decimal::fromInteger(in.ozvMablagh);

    FieldTexts out;
    auto write = [&](const QString& column, const Decimal& value) { out.append({column, decimalText(value)}); };
    auto zero = [&](const QList<FeeRole>& group) {
        for (const FeeRole& r : group)
            write(r.column, Decimal());
    };
    // Percentages of every group are read up front as well.
    for (const auto* group : {&groupA(), &groupB(), &groupC(), &groupD()})
        for (const FeeRole& r : *group)
            percentOf(in, r);
    percentOf(in, refundManager());
    percentOf(in, refundExpert());

    Decimal memberFeeAll; // the value of ozv_mablagh_kol as its field holds it
    if (in.receipts) {
        checkAmount(in.fishMablagh, QStringLiteral("مبلغ واريز"));
        checkAmount(in.fishMablagh2, QStringLiteral("مبلغ واريز"));
        memberFeeAll = whole(guardedProduct(ozvKol, [&] { return n * ozv; }), ozvKol);
        write(QStringLiteral("ozv_mablagh_kol"), memberFeeAll);
        zero(groupD());
        const Decimal odatModir = whole(
            share(Decimal::fromInteger(in.fishMablagh), percentOf(in, refundManager()), refundManager().caption),
            refundManager().caption);
        write(refundManager().column, odatModir);
        const Decimal odatKar = whole(
            share(Decimal::fromInteger(in.fishMablagh2), percentOf(in, refundExpert()), refundExpert().caption),
            refundExpert().caption);
        write(refundExpert().column, odatKar);
        for (const FeeRole& r : groupA())
            write(r.column, whole(share(odatModir, percentOf(in, r), r.caption), r.caption));
        for (const FeeRole& r : groupB())
            write(r.column, whole(share(odatKar, percentOf(in, r), r.caption), r.caption));
    } else {
        const int members = wholeCount(in.ozvCnt, QStringLiteral("تعداد اعضاء"));
        memberFeeAll = whole(guardedProduct(ozvKol, [&] { return Decimal::divide(ozv, two(), 4) * n; }), ozvKol);
        write(QStringLiteral("ozv_mablagh_kol"), memberFeeAll);
        for (const FeeRole& r : groupD()) {
            const Decimal amount = guardedProduct(r.caption, [&] {
                const Decimal pool = Decimal::fromInteger(members) * ozv + Decimal::fromInteger(in.vartalisSahm)
                                     + Decimal::fromInteger(in.sabtSahm);
                const Decimal half = Decimal::divide(pool, two(), 4);
                return half * (Decimal::divide(percentOf(in, r), hundred(), Decimal::kFractionDigits) * n);
            });
            write(r.column, whole(amount, r.caption));
        }
        write(refundManager().column, Decimal());
        write(refundExpert().column, Decimal());
        zero(groupA());
        zero(groupB());
    }

    // The organisation's and the registry's shares keep their half rial as text; band3
    // is an amount field and holds whole rials.
    const Decimal shareOfMembers = Decimal::divide(memberFeeAll, two(), 4);
    write(QStringLiteral("sahm_vartalis"), shareOfMembers);
    write(QStringLiteral("sahm_sabt"), shareOfMembers);
    const QString band3Caption = QStringLiteral("موضوع بند 3 جلسه 8 هيات مرکزي ماده 14 قانون الحاق");
    const Decimal band3 = whole(shareOfMembers, band3Caption);
    write(QStringLiteral("band3"), band3);
    for (const FeeRole& r : groupC())
        write(r.column, whole(share(band3, percentOf(in, r), r.caption), r.caption));
    return out;
}

qint64 expertAmount(const QString& amountText, const QString& percentText)
{
    const auto amount = Decimal::parse(amountText);
    const auto percent = Decimal::parse(percentText);
    if (!amount || !percent)
        return 0;
    try {
        const Decimal w = (*amount * Decimal::divide(*percent, hundred(), Decimal::kFractionDigits)).roundedHalfEven(0);
        if (w > maxAmount() || w < -maxAmount())
            return 0;
        return w.toShortString(40).toLongLong();
    } catch (const Error&) {
        return 0;
    }
}

} // namespace tarvest::fees
