#include "db/activitylog.h"

#include "common/clock.h"
#include "common/jalali.h"
#include "common/workstation.h"
#include "db/database.h"

#include <QTime>

namespace tarvest {

void writeLogRecord(Database& db, const QString& userName, const QString& description)
{
    db.insert(QStringLiteral("log"), {{"karbar", userName},
                                      {"ip", Workstation::address()},
                                      {"computer_name", Workstation::hostName()},
                                      // The time of day beside the date, as every workstation writes it:
                                      // HH:MM:SS in Latin digits, without a zone or a locale's own digits.
                                      {"saat", Clock::timeOfDay().toString(QStringLiteral("HH:mm:ss"))},
                                      {"tarikh", TodayJalali()},
                                      {"cmt", description}});
}

} // namespace tarvest
