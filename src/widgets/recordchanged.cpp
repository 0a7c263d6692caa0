#include "widgets/recordchanged.h"

#include "widgets/dialogs.h"

namespace tarvest {

bool offerReload(const RecordChanged& changed)
{
    return Dialogs::instance().question(changed.message() + u'\n' + kReloadChangedRecord) == Dialogs::Answer::Yes;
}

} // namespace tarvest
