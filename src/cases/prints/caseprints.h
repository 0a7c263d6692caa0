#pragma once
// The case search's print commands on the commission sheets, the decision letters and
// their A4 combined forms, the register "فرم شماره 12" and the minutes sheet of the
// land-use-change commission. Each command reads the
// selected case (or the whole result), the setting texts and its input-box answers,
// fills a fresh copy of its layout (layouts/<name>.json) and opens the preview. Nothing
// is written to the database, and the grid's selected case stays selected.
#include "cases/prints/core/caseprint.h"
#include "reports/reportlayout.h"

#include <functional>
#include <optional>

class QWidget;

namespace tarvest {

class ResultSet;
class Session;

namespace caseprints {

// Layout names (the files in layouts/).
inline const QString CommissionSheetA4 = QStringLiteral("Tkomision_chap");
inline const QString CommissionSheetA5 = QStringLiteral("Tkomision_chap2");
inline const QString Register = QStringLiteral("Tfrm12");
inline const QString Minutes = QStringLiteral("Tkomision_t_k_print");
inline const QString MoneyLetter = QStringLiteral("Tpishnevis_chap");
inline const QString ShareLetter = QStringLiteral("Tpishnevis_chap2");
inline const QString LandGroupLetter = QStringLiteral("Ttagheir_k");
inline const QString MixedUseLetter = QStringLiteral("Tchap_karbari_mokhtalet");
inline const QString ConditionalUseLetter = QStringLiteral("Tchap_karbari_mashrot");
inline const QString ConditionalForm = QStringLiteral("Tfrm_mashrot");
inline const QString MixedForm = QStringLiteral("Tfrm_mokhtalet");
inline const QString MoneyForm = QStringLiteral("Tfrm_riyali");
inline const QString ShareForm = QStringLiteral("Tfrm_sahmi");

// The layout of a decision letter and of its A4 combined form (the land group letter
// has none: an empty name).
QString letterLayout(caseprint::DecisionLetter letter);
QString combinedFormLayout(caseprint::DecisionLetter letter);

// A layout filled and ready to print, with the data it is bound to (null for none).
struct PreparedPrint {
    report::Layout layout;
    const ResultSet* data = nullptr;
};

// Writes a fill into a layout: texts, font sizes and circle fills (black when ticked,
// white when not) of the elements it names; a text whose name is a paragraph's
// placeholder becomes that value in the paragraph. An element the office removed from
// its layout is passed over.
void apply(report::Layout& layout, const caseprint::FormFill& fill);

// Prepares a print and opens its preview; a print that cannot be made shows why.
void runPrint(const std::function<std::optional<PreparedPrint>()>& prepare, QWidget* parent);

// The four prints up to the preview. The A4 sheet asks for the date and the font size
// of the opinions (nullopt, after a message, when the size is not a whole number); the
// minutes ask for the start time. Layout errors throw tarvest::Error.
std::optional<PreparedPrint> prepareCommissionSheetA4(Session& session);
PreparedPrint prepareCommissionSheetA5(Session& session);
PreparedPrint prepareRegister(Session& session);
PreparedPrint prepareMinutes(Session& session);
// The decision letters and the combined forms of the selected case; no input box.
PreparedPrint prepareDecisionLetter(Session& session, caseprint::DecisionLetter letter);
PreparedPrint prepareCombinedForm(Session& session, caseprint::DecisionLetter letter);

// The menu commands: prepare, then preview (through showModal). A layout that cannot
// be read is shown as an error.
void printCommissionSheetA4(Session& session, QWidget* parent = nullptr);
void printCommissionSheetA5(Session& session, QWidget* parent = nullptr);
void printRegister(Session& session, QWidget* parent = nullptr);
void printMinutes(Session& session, QWidget* parent = nullptr);
void printMoneyLetter(Session& session, QWidget* parent = nullptr);
void printShareLetter(Session& session, QWidget* parent = nullptr);
void printLandGroupLetter(Session& session, QWidget* parent = nullptr);
void printMixedUseLetter(Session& session, QWidget* parent = nullptr);
void printConditionalUseLetter(Session& session, QWidget* parent = nullptr);
void printConditionalForm(Session& session, QWidget* parent = nullptr);
void printMixedForm(Session& session, QWidget* parent = nullptr);
void printMoneyForm(Session& session, QWidget* parent = nullptr);
void printShareForm(Session& session, QWidget* parent = nullptr);

} // namespace caseprints
} // namespace tarvest
