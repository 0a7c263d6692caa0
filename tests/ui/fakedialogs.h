#pragma once
// Dialogs for widget tests: records every text shown, never blocks. Installed for the
// lifetime of the object.
#include "widgets/dialogs.h"

#include <QStringList>

namespace tarvest::test {

class FakeDialogs final : public Dialogs {
public:
    FakeDialogs() { Dialogs::install(this); }
    ~FakeDialogs() override { Dialogs::install(nullptr); }

    void message(const QString& text) override { shown << text; }
    void warning(const QString& text) override { shown << text; }
    bool openWithSystem(const QString& path) override
    {
        opened << path;
        return true;
    }

    QStringList shown;
    QStringList opened;
};

} // namespace tarvest::test
