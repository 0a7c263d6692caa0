#pragma once
// The keyboard layer: after login the program asks for the Persian layout. A desktop
// offers no common way to switch layouts, so the switch is a command the office
// configures (environment variable TARVEST_PERSIAN_KEYBOARD, for example
// "setxkbmap ir,us"); without one nothing happens.
namespace tarvest {

// Starts the configured command without waiting; false when none is configured or
// it could not be started.
bool activatePersianKeyboard();

} // namespace tarvest
