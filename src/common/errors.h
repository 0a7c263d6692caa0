#pragma once
// The one exception type of the core library. Its message is a Persian text fit
// to show the user as it stands; callers catch it at the screen and show it.
#include <QString>
#include <stdexcept>

namespace tarvest {

class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

} // namespace tarvest
