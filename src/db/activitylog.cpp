#include "db/activitylog.h"

#include "common/clock.h"
#include "common/jalali.h"
#include "common/workstation.h"
#include "db/database.h"

#include <QLocale>

namespace tarvest {

void writeLogRecord(Database& db, const QString& userName, const QString& description)
{
    db.insert(QStringLiteral("log"),
              {{"karbar", userName},
               {"ip", Workstation::address()},
               {"computer_name", Workstation::hostName()},
               {"saat", QLocale().toString(Clock::timeOfDay(), QLocale::LongFormat)},
               {"tarikh", TodayJalali()},
               {"cmt", description}});
}

} // namespace tarvest
