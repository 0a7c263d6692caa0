#pragma once
// The workstation's name and address, as the activity log records them.
#include <QString>

namespace tarvest::Workstation {

// The first IPv4 address of the machine that is not a loopback address, as dotted
// text; empty when the machine has none.
QString address();
// The machine's host name.
QString hostName();
// Fixes both for tests; empty texts return to the machine's own.
void setFixed(const QString& address, const QString& hostName);

} // namespace tarvest::Workstation
