#pragma once
// Reading printed forms back from their PDF, for comparing with what should stand there.
// pdftotext gives Arabic presentation forms, directional marks, the Persian forms of yeh
// and kaf and blanks of its own, so printed text and expected text are both normalised.
#include <QString>

namespace tarvest::test {

// The text of a PDF as pdftotext reads it (with -layout when asked; one page, or all for 0).
QString pdfToText(const QString& path, bool layout = false, int page = 0);

// Presentation forms folded back to letters, directional marks removed, Persian yeh and
// keheh read as Arabic yeh and kaf; blanks kept.
QString normalisePrintedText(QString text);

// As normalisePrintedText, with zero-width non-joiners and every blank left out.
QString foldPrintedText(const QString& text);

} // namespace tarvest::test
