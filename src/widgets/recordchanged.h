#pragma once
// What every screen says when a save or a delete finds its record changed by another
// workstation since it was loaded (RecordChanged): nothing was written; the user may
// reload the record to see the other change.
#include "db/database.h"
#include "widgets/dialogs.h"

#include <QString>

namespace tarvest {

inline const QString kReloadChangedRecord = QStringLiteral("آیا رکورد با تغییرات کاربر دیگر دوباره خوانده شود؟");

// Shows the refusal with the reload question; true when the user chose to reload.
bool offerReload(const RecordChanged& changed);

// Runs a command of a screen: a record changed elsewhere offers the reload, any other
// refusal or failure of the database shows in the error box, and the screen goes on.
template <typename F>
void guarded(F&& f)
{
    try {
        f();
    } catch (const RecordChanged& changed) {
        offerReload(changed);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

} // namespace tarvest
