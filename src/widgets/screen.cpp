#include "widgets/screen.h"

#include <QDialog>

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

void setModalShower(std::function<void(QWidget*)> s)
{
    shower() = std::move(s);
}

} // namespace tarvest
