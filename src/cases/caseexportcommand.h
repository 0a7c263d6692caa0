#pragma once
// The case search's command "اكسل": asks where to save the current result, writes it
// and opens the file with the desktop's spreadsheet program.
namespace tarvest {

class ResultSet;

// Cancelling the save dialog ends the command; a file that cannot be written is
// reported and nothing is opened. The result's current row stays where it was.
void exportCasesWithDialog(const ResultSet& rs);

} // namespace tarvest
