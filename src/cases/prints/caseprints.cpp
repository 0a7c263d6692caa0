#include "cases/prints/caseprints.h"

#include "common/clock.h"
#include "common/errors.h"
#include "common/jalali.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "reports/reportpreview.h"
#include "widgets/dialogs.h"

namespace tarvest::caseprints {

namespace {

caseprint::PrintSettings settingsOf(Session& session)
{
    return session.db() ? caseprint::PrintSettings::read(*session.db()) : caseprint::PrintSettings{};
}

} // namespace

void runPrint(const std::function<std::optional<PreparedPrint>()>& prepare, QWidget* parent)
{
    try {
        if (std::optional<PreparedPrint> p = prepare()) {
            if (!p->layout.loadProblem().isEmpty())
                Dialogs::instance().warning(p->layout.loadProblem());
            report::previewReport(p->layout, p->data, parent);
        }
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void apply(report::Layout& layout, const caseprint::FormFill& fill)
{
    for (auto it = fill.texts.cbegin(); it != fill.texts.cend(); ++it)
        if (layout.hasElement(it.key()) || layout.hasPlaceholder(it.key()))
            layout.setText(it.key(), it.value());
    for (auto it = fill.fontSizes.cbegin(); it != fill.fontSizes.cend(); ++it)
        if (layout.hasElement(it.key()))
            layout.setFontSize(it.key(), it.value());
    for (auto it = fill.ticks.cbegin(); it != fill.ticks.cend(); ++it)
        if (layout.hasElement(it.key()))
            layout.setFill(it.key(), it.value() ? QColor(Qt::black) : QColor(Qt::white));
}

std::optional<PreparedPrint> prepareCommissionSheetA4(Session& session)
{
    Dialogs& dialogs = Dialogs::instance();
    const QString date = dialogs.input(QStringLiteral("Date"), QStringLiteral("تاريخ"), TodayJalali());
    const QString sizeAnswer = dialogs.input(QStringLiteral("Font Size"), QStringLiteral("سايز توضيحات"),
                                             QStringLiteral("10"));
    const std::optional<int> size = caseprint::fontSizeAnswer(sizeAnswer);
    if (!size) {
        dialogs.warning(caseprint::badFontSizeMessage(sizeAnswer));
        return std::nullopt;
    }
    PreparedPrint p{report::Layout::load(CommissionSheetA4), nullptr};
    apply(p.layout,
          caseprint::commissionSheetA4(caseprint::currentRow(session.cases), settingsOf(session), date, *size));
    return p;
}

PreparedPrint prepareCommissionSheetA5(Session& session)
{
    PreparedPrint p{report::Layout::load(CommissionSheetA5), nullptr};
    apply(p.layout,
          caseprint::commissionSheetA5(caseprint::currentRow(session.cases), settingsOf(session), TodayJalali()));
    return p;
}

PreparedPrint prepareRegister(Session& session)
{
    PreparedPrint p{report::Layout::load(Register), &session.cases};
    // The title continues with the office's own province.
    p.layout.setText(QStringLiteral("province"), session.db() ? officeProvince(*session.db()).name : QString());
    return p;
}

PreparedPrint prepareMinutes(Session& session)
{
    const ResultSet& cases = session.cases;
    const QStringList villages = caseprint::villagesOf(cases);
    const QString time = Dialogs::instance().input(QStringLiteral("Time"), QStringLiteral("ساعت جلسه"),
                                                   Clock::timeOfDay().toString(QStringLiteral("HH:mm:ss")));
    // The meeting is the one the user searched for: its date and county are the last case's.
    const caseprint::CaseRow last = caseprint::rowAt(cases, cases.recordCount() - 1);
    PreparedPrint p{report::Layout::load(Minutes), &cases};
    apply(p.layout, caseprint::minutesSheet(villages, last, time));
    return p;
}

QString letterLayout(caseprint::DecisionLetter letter)
{
    using caseprint::DecisionLetter;
    switch (letter) {
    case DecisionLetter::Money:
        return MoneyLetter;
    case DecisionLetter::Share:
        return ShareLetter;
    case DecisionLetter::LandGroup:
        return LandGroupLetter;
    case DecisionLetter::MixedUse:
        return MixedUseLetter;
    case DecisionLetter::ConditionalUse:
        return ConditionalUseLetter;
    }
    return QString();
}

QString combinedFormLayout(caseprint::DecisionLetter letter)
{
    using caseprint::DecisionLetter;
    switch (letter) {
    case DecisionLetter::Money:
        return MoneyForm;
    case DecisionLetter::Share:
        return ShareForm;
    case DecisionLetter::MixedUse:
        return MixedForm;
    case DecisionLetter::ConditionalUse:
        return ConditionalForm;
    case DecisionLetter::LandGroup:
        break;
    }
    return QString();
}

PreparedPrint prepareDecisionLetter(Session& session, caseprint::DecisionLetter letter)
{
    PreparedPrint p{report::Layout::load(letterLayout(letter)), nullptr};
    apply(p.layout, caseprint::decisionLetter(letter, caseprint::currentRow(session.cases), settingsOf(session)));
    return p;
}

PreparedPrint prepareCombinedForm(Session& session, caseprint::DecisionLetter letter)
{
    PreparedPrint p{report::Layout::load(combinedFormLayout(letter)), nullptr};
    apply(p.layout, caseprint::combinedForm(letter, caseprint::currentRow(session.cases), settingsOf(session)));
    return p;
}

void printCommissionSheetA4(Session& session, QWidget* parent)
{
    runPrint([&] { return prepareCommissionSheetA4(session); }, parent);
}

void printCommissionSheetA5(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareCommissionSheetA5(session)); }, parent);
}

void printRegister(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareRegister(session)); }, parent);
}

void printMinutes(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareMinutes(session)); }, parent);
}

void printMoneyLetter(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareDecisionLetter(session, caseprint::DecisionLetter::Money)); }, parent);
}

void printShareLetter(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareDecisionLetter(session, caseprint::DecisionLetter::Share)); }, parent);
}

void printLandGroupLetter(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareDecisionLetter(session, caseprint::DecisionLetter::LandGroup)); },
             parent);
}

void printMixedUseLetter(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareDecisionLetter(session, caseprint::DecisionLetter::MixedUse)); },
             parent);
}

void printConditionalUseLetter(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareDecisionLetter(session, caseprint::DecisionLetter::ConditionalUse)); },
             parent);
}

void printConditionalForm(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareCombinedForm(session, caseprint::DecisionLetter::ConditionalUse)); },
             parent);
}

void printMixedForm(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareCombinedForm(session, caseprint::DecisionLetter::MixedUse)); }, parent);
}

void printMoneyForm(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareCombinedForm(session, caseprint::DecisionLetter::Money)); }, parent);
}

void printShareForm(Session& session, QWidget* parent)
{
    runPrint([&] { return std::optional(prepareCombinedForm(session, caseprint::DecisionLetter::Share)); }, parent);
}

} // namespace tarvest::caseprints
