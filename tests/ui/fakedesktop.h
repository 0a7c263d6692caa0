#pragma once
// What the desktop answers when asked for its program for a kind of file, for widget
// tests: no test depends on what the machine running it has set.
#include "widgets/spreadsheetexport.h"

#include <QStringList>

#include <optional>

namespace tarvest::test {

// The answer of the whole test run (installed by the runner): a program for every kind.
inline std::optional<QString> everyKindHasAProgram(const QString&)
{
    return QStringLiteral("libreoffice-calc.desktop");
}

// A desktop of the test's own for the lifetime of the object.
class FakeDesktop {
public:
    FakeDesktop()
    {
        setDefaultProgramQuery([this](const QString& mimeType) {
            asked << mimeType;
            return program;
        });
    }
    ~FakeDesktop() { setDefaultProgramQuery(everyKindHasAProgram); }
    FakeDesktop(const FakeDesktop&) = delete;
    FakeDesktop& operator=(const FakeDesktop&) = delete;

    // The program set for every kind ("": none; nullopt: the desktop cannot be asked).
    std::optional<QString> program = everyKindHasAProgram({});
    QStringList asked; // the MIME types asked about
};

} // namespace tarvest::test
