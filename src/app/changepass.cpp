#include "app/changepass.h"

#include "app/login.h"
#include "app/shell.h"
#include "common/errors.h"
#include "db/login.h"
#include "widgets/dialogs.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvest {

Tchange_pass::Tchange_pass(Shell& shell, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_shell(shell)
{
    setObjectName(QStringLiteral("Tchange_pass"));
    setWindowTitle(QStringLiteral("تغيير کلمه عبور"));
    setLayoutDirection(Qt::RightToLeft);
    m_new = new QLineEdit(this);
    m_new->setObjectName(QStringLiteral("Edit1"));
    m_new->setEchoMode(QLineEdit::Password);
    m_repeat = new QLineEdit(this);
    m_repeat->setObjectName(QStringLiteral("Edit2"));
    m_repeat->setEchoMode(QLineEdit::Password);
    auto* ok = new QPushButton(QStringLiteral("تغيير"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("انصراف"), this);
    cancel->setObjectName(QStringLiteral("BitBtn2"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("كلمه عبور جديد"), m_new);
    form->addRow(QStringLiteral("تاييد كلمه عبور"), m_repeat);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setMinimumWidth(320);

    connect(ok, &QPushButton::clicked, this, &Tchange_pass::change);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

void Tchange_pass::change()
{
    if (m_new->text().isEmpty() && m_repeat->text().isEmpty()) {
        Dialogs::instance().message(QStringLiteral("كلمه عبور صحيح نيست"));
        return;
    }
    if (m_new->text() != m_repeat->text()) {
        Dialogs::instance().message(QStringLiteral("كلمه عبور جديد همخواني ندارد"));
        return;
    }
    Tlogin& login = m_shell.login();
    try {
        if (!changePassword(*m_shell.session().db(), login.typedUserName(), login.typedPassword(), m_new->text())) {
            Dialogs::instance().message(QStringLiteral("كلمه عبور فعلي پذيرفته نشد و كلمه عبور تغيير نيافت"));
            return;
        }
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    Dialogs::instance().message(QStringLiteral("كلمه عبور تغيير يافت"));
    close();
}

void Tchange_pass::reject()
{
    // A dialog's Escape hides it without a close event; the login window must come
    // back all the same, or the program would end with no window.
    close();
}

void Tchange_pass::closeEvent(QCloseEvent* event)
{
    // Back to the login window, which still holds the old password in its field.
    m_shell.login().show();
    event->accept();
}

} // namespace tarvest
