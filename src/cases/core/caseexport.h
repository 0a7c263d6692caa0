#pragma once
// The case register's export "اكسل": the whole current result as one table that the
// spreadsheet program opens, either an HTML table (for .xls and any other name) or a
// real .xlsx workbook when the chosen name ends in .xlsx.
#include <QHash>
#include <QString>

namespace tarvest {

class ResultSet;

// The header title of each case column the export names, by lower-case column name.
// Every column of a case row (and pic_count) has one.
const QHash<QString, QString>& caseExportTitles();

// Writes every row of the result, in its current order, to `path` (replacing any file
// there). For an HTML table: UTF-8 with its character set declared, right to left, one
// element per line, a leading "رديف" column numbering the rows from 1, values with markup
// characters escaped. Amounts and areas that read as numbers are marked as numbers and
// every other text with a digit in it (codes, phone numbers, dates) as text, in the ways
// Excel and LibreOffice honour, so no leading zero is lost and the figures can be summed. The result's current row is
// left where it was. Throws tarvest::Error with a Persian message when the file cannot be written.
void writeCaseListHtml(const ResultSet& rs, const QString& path);

} // namespace tarvest
