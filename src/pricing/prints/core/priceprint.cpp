#include "pricing/prints/core/priceprint.h"

namespace tarvest::priceprint {

QString groupBasePrice(const QString& stored)
{
    const int length = int(stored.size());
    const int head = length % 3;
    QString out = stored.left(head);
    for (int i = head; i < length; i += 3) {
        if (!out.isEmpty())
            out += u',';
        out += stored.mid(i, 3);
    }
    return out;
}

namespace {

TableRows streetRows(const QMap<QString, QString>& row)
{
    TableRows t;
    t.threeRows = true;
    t.number[0] = QStringLiteral("1");
    t.number[1] = QStringLiteral("2");
    t.number[2] = QStringLiteral("3");
    t.description[0] = QStringLiteral("قطعات مجاورمعبر کمتر از 12  متر از قرار هر متر مربع");
    t.description[1] = QStringLiteral("قطعات مجاورمعبر 12 تا 16متر از قرار هر متر مربع");
    t.description[2] = QStringLiteral("قطعات مجاور معبر بيش از 16 متر از قرار هر متر مربع ");
    t.amount[0] = row.value(QStringLiteral("mojaver12"));
    t.amount[1] = row.value(QStringLiteral("mojaver16"));
    t.amount[2] = row.value(QStringLiteral("mojaver_max"));
    return t;
}

} // namespace

TableRows provinceTable(const QString& karbari, const QMap<QString, QString>& row)
{
    if (karbari == kResidential)
        return streetRows(row);
    TableRows t;
    t.threeRows = false;
    t.number[1] = QStringLiteral("1");
    t.description[1] = QStringLiteral("قيمت اراضي با کاربري مذکور  از قرار هر متر مربع ");
    t.amount[1] = row.value(QStringLiteral("khadamati"));
    return t;
}

TableRows urbanHousingTable(const QMap<QString, QString>& row)
{
    return streetRows(row);
}

} // namespace tarvest::priceprint
