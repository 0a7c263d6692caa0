#pragma once
// The county office's three forms of a case: the review form (the chain of internal
// notes from receipt to reply), the declaration form (the county director's covering
// letter with its checklist of attached documents and the director's signature) and
// the accounting form (the request to collect the fee). What they print is computed
// here from texts; the print commands (cases/prints/countyprints.h) ask the questions, look
// the signature up and copy these texts into their layouts.
#include "cases/prints/core/caseprint.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarvest {

class Database;

namespace caseprint {

// Review form ------------------------------------------------------------------------

// The land-affairs confirmation a county user needs before printing the review form.
QString landAffairsConfirmed();
// Whether a user of `level` may print the review form of case `c`: everyone but the
// county users, and they once the land affairs have confirmed the case.
bool reviewFormAllowed(const QString& level, const CaseRow& c);
// The message a county user gets instead of an unconfirmed case's review form.
QString reviewFormRefusal();
// The review form "فرم بررسي": the case's letter, county, applicant, village and request
// in each section that names them, the net area twice, the fee with its words in the
// fourth section and the grouped fee again in the fifth.
FormFill reviewForm(const CaseRow& c);

// Declaration form -------------------------------------------------------------------

// One input box of the declaration form's checklist and the circle it ticks. The first
// box chooses the subject of the request and has no circle of its own.
struct ChecklistQuestion {
    QString title;
    QString prompt;
    QString initialText;
    QString circle; // the circle of its document; empty for the subject box
};
// The fifteen boxes in the order they are asked.
const QList<ChecklistQuestion>& checklistQuestions();

// The attachment row that keeps the director's signature of a county.
QString signatureTitle(const QString& county);
// The message when no signature is found for the county and password.
QString signatureMissingMessage();
// The stored signature picture of the county for this password: nullopt when no row
// matches, the stored bytes (maybe empty) otherwise.
std::optional<QByteArray> signaturePicture(Database& db, const QString& county, const QString& password);

// The use change "(" karbari1 " به " karbari2 ")".
QString useChange(const QString& from, const QString& to);
// The area ceded to roads: twice the demolished area in shortest decimal form, empty
// when that is not a number.
QString cededArea(QStringView destroyedArea);
// Whether a checklist answer ticks its circle: exactly "1".
bool ticks(const QString& answer);

// The declaration form "فرم اعلام نظر": case values and the checklist circles from the
// answers of the fifteen boxes (missing answers tick nothing).
FormFill declarationForm(const CaseRow& c, const QStringList& answers);

// Accounting form --------------------------------------------------------------------

// The accounting form "فرم حسابداري-A5"; the fee prints as stored, not grouped.
FormFill accountingForm(const CaseRow& c);

namespace labels {
inline const QString SubjectExtension = QStringLiteral("mozo1");
inline const QString SubjectUseChange = QStringLiteral("mozo2");
inline QString document(int n)
{
    return QStringLiteral("doc%1").arg(n);
}
inline const QString UseChange = QStringLiteral("use_change");
inline const QString CededArea = QStringLiteral("ceded_area");
inline const QString Signature = QStringLiteral("signature");
inline const QString SignerTitle = QStringLiteral("signer_title");
inline const QString SignerCounty = QStringLiteral("city2");
inline const QString AmountFifth = QStringLiteral("malek_pardakhti5");
} // namespace labels

} // namespace caseprint
} // namespace tarvest
