#include "widgets/screen.h"

#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <QStyle>

namespace tarvest {

namespace {
std::function<void(QWidget*)>& shower()
{
    static std::function<void(QWidget*)> s;
    return s;
}
} // namespace

AccessTarget::~AccessTarget() = default;

void showModal(QWidget* screen)
{
    if (shower()) {
        shower()(screen);
        return;
    }
    if (auto* dialog = qobject_cast<QDialog*>(screen)) {
        dialog->exec();
        return;
    }
    screen->setWindowModality(Qt::ApplicationModal);
    screen->show();
}

void fitInsideAvailableArea(QWidget* screen, QSize wanted, const QWidget* near)
{
    const QScreen* monitor = near && near->screen() ? near->screen() : QGuiApplication::primaryScreen();
    if (!monitor) {
        screen->resize(wanted);
        return;
    }
    const QRect area = monitor->availableGeometry();
    // The window manager's frame: known once the window was shown, otherwise the
    // style's title bar and frame width stand for it.
    int top = screen->geometry().top() - screen->frameGeometry().top();
    int side = screen->geometry().left() - screen->frameGeometry().left();
    if (top <= 0) {
        side = std::max(side, screen->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, screen));
        top = screen->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, screen) + side;
    }
    const QSize room(area.width() - 2 * side, area.height() - top - side);
    const QSize size = wanted.boundedTo(room).expandedTo(QSize(1, 1));
    screen->setMinimumSize(screen->minimumSize().boundedTo(size));
    screen->resize(size);
    screen->move(area.left() + (area.width() - size.width() - 2 * side) / 2,
                 area.top() + (area.height() - size.height() - top - side) / 2);
}

void setModalShower(std::function<void(QWidget*)> s)
{
    shower() = std::move(s);
}

} // namespace tarvest
