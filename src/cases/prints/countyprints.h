#pragma once
// The case search's county prints: the review form, the declaration form with the
// director's signature and its checklist, and the accounting form. Each command reads
// the selected case and its answers, fills a fresh copy of its layout
// (layouts/<name>.json) and opens the preview. Nothing is written to the database.
#include "cases/prints/caseprints.h"

#include <QImage>

#include <optional>

class QWidget;

namespace tarvest {

class Session;

namespace countyprints {

// Layout names (the files in layouts/).
inline const QString ReviewForm = QStringLiteral("Tchap_shahrestan");
inline const QString DeclarationForm = QStringLiteral("Telamnazar");
inline const QString AccountingForm = QStringLiteral("Thesabdari_frm");

// The signature picture of stored bytes: a null image when they are not a JPEG.
QImage signatureImage(const QByteArray& stored);

// The three prints up to the preview. The review form is refused (nullopt, after its
// message) to a county user while the land affairs have not confirmed the case. The
// declaration form asks for the signature password and the fifteen checklist answers;
// without a readable signature it prints with the typed title lines. Layout errors
// throw tarvest::Error.
std::optional<caseprints::PreparedPrint> prepareReviewForm(Session& session);
caseprints::PreparedPrint prepareDeclarationForm(Session& session);
caseprints::PreparedPrint prepareAccountingForm(Session& session);

// The menu commands: prepare, then preview (through showModal).
void printReviewForm(Session& session, QWidget* parent = nullptr);
void printDeclarationForm(Session& session, QWidget* parent = nullptr);
void printAccountingForm(Session& session, QWidget* parent = nullptr);

} // namespace countyprints
} // namespace tarvest
