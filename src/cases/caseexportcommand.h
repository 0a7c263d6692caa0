#pragma once
// The case search's command "اكسل": asks where to save the current result (a workbook
// "rep.xlsx" proposed in the folder of the last export, else the documents folder), writes
// it and opens the file with the desktop's spreadsheet program.
namespace tarvest {

class ResultSet;

// Cancelling the save dialog ends the command; a file that cannot be written is
// reported and nothing is opened. The result's current row stays where it was.
void exportCasesWithDialog(const ResultSet& rs);

} // namespace tarvest
