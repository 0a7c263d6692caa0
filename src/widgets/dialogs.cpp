#include "widgets/dialogs.h"

#include "common/safefile.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace tarvest {

namespace {

class QtDialogs final : public Dialogs {
public:
    void message(const QString& text) override { show(QMessageBox::Information, text); }
    void warning(const QString& text) override { show(QMessageBox::Warning, text); }
    void error(const QString& text) override { show(QMessageBox::Critical, text); }

    Answer question(const QString& text) override
    {
        QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), text,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QApplication::activeWindow());
        box.setLayoutDirection(Qt::RightToLeft);
        box.setDefaultButton(QMessageBox::Yes);
        switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
        }
    }

    QString input(const QString& caption, const QString& prompt, const QString& defaultText, bool secret) override
    {
        QInputDialog box(QApplication::activeWindow());
        box.setLayoutDirection(Qt::RightToLeft);
        box.setWindowTitle(caption);
        box.setLabelText(prompt);
        box.setTextValue(defaultText);
        box.setTextEchoMode(secret ? QLineEdit::Password : QLineEdit::Normal);
        return box.exec() == QDialog::Accepted ? box.textValue() : defaultText;
    }

    QString openFileName(const QString& caption, const QString& filter) override
    {
        return QFileDialog::getOpenFileName(QApplication::activeWindow(), caption, QString(), filter);
    }

    QString saveFileName(const QString& caption, const QString& suggestedName, const QString& filter) override
    {
        return QFileDialog::getSaveFileName(QApplication::activeWindow(), caption, suggestedName, filter);
    }

    QString folder(const QString& caption) override
    {
        return QFileDialog::getExistingDirectory(QApplication::activeWindow(), caption);
    }

    // xdg-open is watched to its end: it starts at once even where no program is set for
    // the file's type, and only its exit status tells.
    bool openWithSystem(const QString& path) override
    {
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (opener.isEmpty())
            return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
        auto* process = new QProcess(qApp);
        process->setProgram(opener);
        process->setArguments({path});
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        QObject::connect(process, &QProcess::finished, process, [process, path](int code, QProcess::ExitStatus status) {
            process->deleteLater();
            if (status != QProcess::NormalExit || code != 0)
                Dialogs::instance().warning(
                    QStringLiteral(
                        "فایل %1 باز نشد: برنامه‌ای برای باز کردن آن پیدا نشد.")
                        .arg(shownPath(path)));
        });
        process->start();
        if (!process->waitForStarted(5000)) {
            delete process;
            return false;
        }
        return true;
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
    static QtDialogs standard;
    return g_installed ? *g_installed : standard;
}

void Dialogs::install(Dialogs* dialogs)
{
    g_installed = dialogs;
}

} // namespace tarvest
