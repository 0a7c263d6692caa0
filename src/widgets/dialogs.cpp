#include "widgets/dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QMessageBox>

namespace tarvest {

namespace {

class MessageBoxDialogs final : public Dialogs {
public:
    void message(const QString& text) override { show(QMessageBox::Information, text); }
    void warning(const QString& text) override { show(QMessageBox::Warning, text); }
    bool openWithSystem(const QString& path) override
    {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }

private:
    static void show(QMessageBox::Icon icon, const QString& text)
    {
        QMessageBox box(icon, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setLayoutDirection(Qt::RightToLeft);
        box.exec();
    }
};

Dialogs* g_installed = nullptr;

} // namespace

Dialogs::~Dialogs() = default;

Dialogs& Dialogs::instance()
{
    static MessageBoxDialogs standard;
    return g_installed ? *g_installed : standard;
}

void Dialogs::install(Dialogs* dialogs)
{
    g_installed = dialogs;
}

} // namespace tarvest
