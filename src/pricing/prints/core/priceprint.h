#pragma once
// What the three price forms print of the selected assessment: the texts of its
// columns, the base price grouped in threes, and which table the province form shows
// (three street prices for residential land, one service price otherwise).
#include <QMap>
#include <QString>

namespace tarvest::priceprint {

// The residential use, spelled with the Arabic kaf: only this spelling prints the three
// street prices on the province form.
inline const QString kResidential = QStringLiteral("مسكوني");

// The stored text grouped in threes from the right with "," ("1500000" → "1,500,000",
// "950" → "950"); each group of three is preceded by "," unless it starts the text.
QString groupBasePrice(const QString& stored);

// The province form's table: three rows (plots by street width) or one row (the
// service price of the other uses).
struct TableRows {
    bool threeRows = true;
    // number, description and amount of each row, top to bottom; in the one-row form
    // the middle row holds the single row and the others are empty.
    QString number[3];
    QString description[3];
    QString amount[3];
};

// The row texts for an assessment of that use and those prices (stored texts).
TableRows provinceTable(const QString& karbari, const QMap<QString, QString>& row);
// The urban-housing form always prints the three rows.
TableRows urbanHousingTable(const QMap<QString, QString>& row);

} // namespace tarvest::priceprint
