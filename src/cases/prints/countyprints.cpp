#include "cases/prints/countyprints.h"

#include "cases/prints/core/countyprint.h"
#include "common/errors.h"
#include "db/session.h"
#include "reports/reportpreview.h"
#include "widgets/dialogs.h"

namespace tarvest::countyprints {

namespace {

using caseprints::PreparedPrint;
using caseprints::runPrint;

// The signer's typed title lines in front, the picture emptied behind them.
void leaveUnsigned(report::Layout& layout)
{
    namespace labels = caseprint::labels;
    layout.setPicture(labels::Signature, QImage());
    layout.sendToBack(labels::Signature);
    layout.bringToFront(labels::SignerTitle);
    layout.bringToFront(labels::SignerCounty);
}

// Asks for the signature password and puts the county director's signature over the
// title lines, or leaves the form unsigned.
void sign(Session& session, report::Layout& layout, const QString& county)
{
    namespace labels = caseprint::labels;
    Dialogs& dialogs = Dialogs::instance();
    layout.bringToFront(labels::Signature);
    const QString password = dialogs.input(QStringLiteral("Signature"), QStringLiteral("رمز امضا"), QStringLiteral("?"),
                                           true);
    const std::optional<QByteArray> stored = session.db() ? caseprint::signaturePicture(*session.db(), county, password)
                                                          : std::nullopt;
    if (!stored) {
        dialogs.message(caseprint::signatureMissingMessage());
        leaveUnsigned(layout);
        return;
    }
    if (stored->isEmpty()) {
        leaveUnsigned(layout);
        return;
    }
    const QImage picture = signatureImage(*stored);
    if (picture.isNull()) {
        // A damaged attachment prints the form unsigned, as a missing one does.
        dialogs.message(caseprint::signatureMissingMessage());
        leaveUnsigned(layout);
        return;
    }
    layout.setPicture(labels::Signature, picture);
}

} // namespace

QImage signatureImage(const QByteArray& stored)
{
    QImage image;
    if (!image.loadFromData(stored, "JPEG"))
        return QImage();
    return image;
}

std::optional<PreparedPrint> prepareReviewForm(Session& session)
{
    const caseprint::CaseRow c = caseprint::currentRow(session.cases);
    PreparedPrint p{report::Layout::load(ReviewForm), nullptr};
    caseprints::apply(p.layout, caseprint::reviewForm(c));
    if (!caseprint::reviewFormAllowed(session.login.level, c)) {
        Dialogs::instance().message(caseprint::reviewFormRefusal());
        return std::nullopt;
    }
    return p;
}

PreparedPrint prepareDeclarationForm(Session& session)
{
    const caseprint::CaseRow c = caseprint::currentRow(session.cases);
    PreparedPrint p{report::Layout::load(DeclarationForm), nullptr};
    sign(session, p.layout, caseprint::field(c, QStringLiteral("city")));
    QStringList answers;
    for (const caseprint::ChecklistQuestion& q : caseprint::checklistQuestions())
        answers << Dialogs::instance().input(q.title, q.prompt, q.initialText);
    caseprints::apply(p.layout, caseprint::declarationForm(c, answers));
    return p;
}

PreparedPrint prepareAccountingForm(Session& session)
{
    PreparedPrint p{report::Layout::load(AccountingForm), nullptr};
    caseprints::apply(p.layout, caseprint::accountingForm(caseprint::currentRow(session.cases)));
    return p;
}

void printReviewForm(Session& session, QWidget* parent)
{
    runPrint([&] { return prepareReviewForm(session); }, parent);
}

void printDeclarationForm(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareDeclarationForm(session)); }, parent);
}

void printAccountingForm(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareAccountingForm(session)); }, parent);
}

} // namespace tarvest::countyprints
