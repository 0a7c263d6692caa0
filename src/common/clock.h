#pragma once
// The one source of today's date and the time of day. Every screen, stored stamp and
// printed form asks here, so a test can fix the moment with setFixed().
#include <QDate>
#include <QDateTime>
#include <QTime>
#include <optional>

namespace tarvest::Clock {

// The local calendar date at the moment of the call (or the fixed moment's date).
QDate today();
// The local time of day at the moment of the call (or the fixed moment's time).
QTime timeOfDay();
// Fix the clock at a moment (tests); std::nullopt returns to the system clock.
void setFixed(std::optional<QDateTime> moment);

} // namespace tarvest::Clock
