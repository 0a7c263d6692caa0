#pragma once
// What every working screen shares: it is shown modally through one function (which
// tests replace with a non-blocking show), and a screen opened from the menu after a
// page check takes that user's insert, edit and delete rights.
#include "db/session.h"

#include <QWidget>

#include <functional>

namespace tarvest {

// Shows a screen modally: production waits until it closes; tests install a shower
// that returns at once.
void showModal(QWidget* screen);
void setModalShower(std::function<void(QWidget*)> shower); // empty returns to the default

// Gives a screen the wanted size where the screen's available area (without panels)
// allows it, its title bar and frame included, and centres it there. `near` chooses
// the monitor (the main window); without it, the primary one.
void fitInsideAvailableArea(QWidget* screen, QSize wanted, const QWidget* near = nullptr);

// A screen whose commands follow the page rights of the user.
class AccessTarget {
public:
    virtual ~AccessTarget();
    // Enables or disables the screen's insert, edit and delete commands; the screen
    // keeps these states until the next check.
    virtual void applyRights(const PageRights& rights) = 0;
};

} // namespace tarvest
