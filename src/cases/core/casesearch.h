#pragma once
// The case search: which cases a user sees for a set of filters. The count and the
// result come from the same conditions; every value is bound.
#include "db/dialect.h"
#include "db/session.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace tarvest {

enum class AreaComparison { Equal, AtLeast, AtMost };

// The filters that take part in a search; an unset filter takes no part.
struct CaseFilters {
    std::optional<QString> ostan;    // province, contains
    std::optional<QString> paperNo;  // county letter number, contains
    std::optional<QString> city;     // county, contains
    std::optional<QString> rosta;    // village, contains
    std::optional<QString> darkhast; // applicant, contains
    // Net residential area compared as a number; no comparison chosen adds nothing.
    std::optional<AreaComparison> areaComparison;
    double area = 0;
    std::optional<std::pair<QString, QString>> meetingDates;      // komision_t_k_dat range, inclusive
    std::optional<std::pair<QString, QString>> registrationDates; // reg_dat range, inclusive
    std::optional<QList<qint64>> ids;                             // the case-id list
    std::optional<QString> taeidZamin;                            // equals
    std::optional<QString> manzor;                                // equals
};

struct CaseQuery {
    QString countSql;  // one row, column c
    QString resultSql; // komision.* and pic_count (NULL for a case without pictures)
    QVariantList params;
    // The same search in parts, for a result set that reads the cases by key as the
    // grid reaches them: the same columns, conditions and order.
    KeyedQuery paged;
};

// Users of every level but "admin" see only the cases of the counties in their
// county list (dastrasi2).
CaseQuery buildCaseSearch(const CaseFilters& filters, const LoginState& user, DbKind kind);

// The applicant's name as cases store it: every Persian keheh becomes the Arabic kaf.
QString toArabicKaf(QString text);

// Grid column order and titles of the case search.
struct CaseColumn {
    const char* name;
    const char16_t* title;
};
const QList<CaseColumn>& caseSearchColumns();

} // namespace tarvest
