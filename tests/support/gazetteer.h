#pragma once
// A small gazetteer for the place lookup tests: a county name shared by two provinces,
// a village with one code and one with two, a province name holding a quote, a row
// without a province, and a repeated row.
#include "db/database.h"

namespace tarvest::test {

namespace gz {
inline const QString Fars = QStringLiteral("فارس");
inline const QString Isfahan = QStringLiteral("اصفهان");
inline const QString Quoted = QStringLiteral("چهارمحال' و بختياري");
inline const QString Markazi = QStringLiteral("مرکزی"); // a county of Fars and of Isfahan
inline const QString Larestan = QStringLiteral("لارستان");
inline const QString Shahrekord = QStringLiteral("شهرکرد");
inline const QString Orphan = QStringLiteral("بی استان"); // a county with an empty province
} // namespace gz

inline void insertGazetteer(Database& db)
{
    using namespace gz;
    struct Row {
        QString ostan, shahrestan, shahr, bakhsh, dehestan, rosta, cod;
    };
    const Row rows[] = {
        {Fars, Markazi, "شیراز", "زرقان", "رحمت", "آبباریک", "101"},
        {Fars, Markazi, "شیراز", "زرقان", "رحمت", "آبباریک", "101"},
        {Fars, Markazi, "", "کوار", "طسوج", "کوشک", "102"},
        {Fars, Markazi, "", "کوار", "طسوج", "کوشک", "103"},
        {Isfahan, Markazi, "", "جرقویه", "جرقویه سفلی", "حسن آباد", "201"},
        {Fars, Larestan, "لار", "بنارویه", "بنارویه", "بنارویه", "301"},
        {Quoted, Shahrekord, "", "مرکزی", "طاقانک", "دستگرد", "401"},
        {"", Orphan, "", "یک", "دو", "سه", "501"},
    };
    for (const Row& r : rows)
        db.insert("abadiha", {{"ostan", r.ostan},
                              {"shahrestan", r.shahrestan},
                              {"shahr", r.shahr},
                              {"bakhsh", r.bakhsh},
                              {"dehestan", r.dehestan},
                              {"rosta", r.rosta},
                              {"cod", r.cod}});
}

} // namespace tarvest::test
