#pragma once
// Commands of tarvest-admin, the command-line companion of the program.
#include <QStringList>
#include <QTextStream>

// tarvest-admin date [YYYY-MM-DD]: prints the Jalali date text (today by default).
int runDateCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// tarvest-admin provision --sqlite FILE | --pg CONNINFO: creates the tables a
// database lacks and prints, per table, created / already present / failed.
int runProvisionCommand(const QStringList& args, QTextStream& out, QTextStream& err);
