#pragma once
// How a cell's stored value becomes the text an import sees, shared by the .xlsx and .xls
// readers so that both kinds of file give the same texts for the same sheet.
#include <QString>
#include <QStringView>

#include <optional>

namespace tarvest {

// How a number format shows its value.
enum class DateKind : quint8 {
    None,     // a number
    Date,     // "YYYY-MM-DD"
    DateTime, // "YYYY-MM-DD HH:MM:SS"
    Time,     // "HH:MM:SS", the time of day
    Elapsed,  // "[h]:mm:ss": hours counted past a day, "255:10:10"
};

// The kind of a built-in number format (14 "m/d/yyyy", 22 "m/d/yyyy h:mm", 46 "[h]:mm:ss", ...).
DateKind builtinDateKind(int id);

// The kind of a custom format code such as "yyyy/mm/dd", "[$-409]h:mm AM/PM", "[h]:mm:ss"
// or "#,##0.00". Quoted texts, escaped characters and bracketed locale or colour parts say
// nothing of dates; the first section decides.
DateKind customDateKind(QStringView code);

// The text of date serial `serial` under a format of kind `kind` in the workbook's date
// system (1900, or 1904 when `dates1904`): "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", "HH:MM:SS"
// or "H:MM:SS" with the elapsed hours. Dates before the date system's start (LibreOffice
// stores them as negative serials counted from 1899-12-30) are the proleptic Gregorian
// dates the sheet shows. Nullopt for kind None, a value that is no number, or a date
// outside the years 1 to 9999.
std::optional<QString> serialText(double serial, DateKind kind, bool dates1904);

// A number cell's text: plain digits with ".", the shortest that reads back the same value;
// a whole number in full, without exponent or fraction (1e20 reads "100000000000000000000").
QString numberText(double v);

// A number under a date format: its date text, or, when no date can show it (a serial past
// 9999-12-31), the hashes a spreadsheet program shows in its place, never a bare number.
QString dateCellText(double serial, DateKind kind, bool dates1904);

// The refusal of a file protected by a password (an encrypted .xlsx package, or an .xls
// with a password to open it): Persian, naming the file and the protection.
QString passwordProtectedMessage(const QString& path);

} // namespace tarvest
