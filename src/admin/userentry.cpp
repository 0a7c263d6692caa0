#include "admin/userentry.h"

#include "common/errors.h"
#include "db/database.h"
#include "db/places.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"
#include "widgets/entryguard.h"
#include "widgets/recordchanged.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvest {

namespace {
const QString kDuplicate = QStringLiteral("خطا، نام كاربري تكراري است");
const QString kNoName = QStringLiteral("خطا! نام كاربري (کد ملي) را وارد نماييد");
const QString kSaved = QStringLiteral("ثبت شد");
const QString kNoAdminEdit = QStringLiteral("امکان ويرايش مدير نيست");

QComboBox* combo(const char* name, bool editable)
{
    auto* c = new QComboBox;
    c->setObjectName(QLatin1String(name));
    c->setEditable(editable);
    c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

QLineEdit* field(const char* name)
{
    auto* f = new QLineEdit;
    f->setObjectName(QLatin1String(name));
    highlightOnFocus(f);
    return f;
}

// Puts the choices into a list and keeps the text that stood in it.
void offer(QComboBox* c, const QStringList& choices)
{
    const QString text = c->currentText();
    c->clear();
    c->addItems(choices);
    c->setCurrentIndex(-1);
    c->setEditText(text);
    if (!c->isEditable())
        c->setCurrentIndex(c->findText(text));
}
} // namespace

Tusers_ins::Tusers_ins(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Tusers_ins"));
    setWindowTitle(QStringLiteral("ثبت/ويرايش کاربران"));
    setLayoutDirection(Qt::RightToLeft);

    m_us = field("us");
    m_ps = field("ps");
    m_ps->setEchoMode(QLineEdit::Password);
    m_ostan = combo("ostan", true);
    m_semat = combo("semat", true);
    m_nam = field("nam");
    m_mobile = field("mobile");
    showLatinDigits(m_mobile);
    m_lev = combo("lev", true); // a typed level is allowed
    m_lev->addItems(userLevels());
    m_status = combo("status", true);
    m_insert = new QPushButton(QStringLiteral("ثبت"));
    m_insert->setObjectName(QStringLiteral("ins_btn"));
    m_edit = new QPushButton(QStringLiteral("ويرايش"));
    m_edit->setObjectName(QStringLiteral("edit_btn"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("نام كاربري (کد ملي)"), m_us);
    form->addRow(QStringLiteral("رمز"), m_ps);
    form->addRow(QStringLiteral("استان"), m_ostan);
    form->addRow(QStringLiteral("گروه کاربري"), m_semat);
    form->addRow(QStringLiteral("نام و نام خانوادگي"), m_nam);
    form->addRow(QStringLiteral("موبايل"), m_mobile);
    form->addRow(QStringLiteral("سطح"), m_lev);
    form->addRow(QStringLiteral("وضعيت"), m_status);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_insert);
    buttons->addWidget(m_edit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setMinimumWidth(380);

    limitToColumnWidths(this, QStringLiteral("users"));
    keepOpenOnEscape(this);
    auto* chain = new EnterChain(this);
    chain->add(m_us).add(m_ps).add(m_ostan).add(m_semat).add(m_nam).add(m_mobile).add(m_lev).add(m_status);
    connect(m_insert, &QPushButton::clicked, this, &Tusers_ins::insert);
    connect(m_edit, &QPushButton::clicked, this, &Tusers_ins::save);
    new EntryGuard(this, {m_insert, m_edit});
}

void Tusers_ins::showEvent(QShowEvent* event)
{
    fillLists();
    QDialog::showEvent(event);
}

void Tusers_ins::fillLists()
{
    Database* db = m_session.db();
    if (!db)
        return;
    try {
        offer(m_ostan, placeValues(*db, QStringLiteral("ostan")));
        offer(m_semat, settingChoices(*db, lists::UserGroup));
        offer(m_status, settingChoices(*db, lists::UserStatus));
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tusers_ins::prepareNew()
{
    m_id = 0;
    m_loaded.clear();
    for (QLineEdit* f : {m_us, m_ps, m_nam, m_mobile})
        f->clear();
    for (QComboBox* c : {m_lev, m_ostan, m_semat}) {
        c->setCurrentIndex(-1);
        c->setEditText(QString());
    }
    m_status->setCurrentIndex(-1);
    m_status->setEditText(QStringLiteral("فعال"));
    m_insert->show();
    m_edit->hide();
    EntryGuard::of(this)->markLoaded();
}

void Tusers_ins::prepareEdit(qint64 id, const QVariantMap& loaded)
{
    m_id = id;
    m_loaded = loaded;
    const auto text = [&](const char* column) { return loaded.value(QLatin1String(column)).toString(); };
    m_us->setText(text("us"));
    m_ps->clear(); // the stored hash is never shown; an empty password keeps it
    m_nam->setText(text("nam"));
    m_mobile->setText(text("mobile"));
    const QList<std::pair<QComboBox*, const char*>> choices{
        {m_lev, "lev"}, {m_semat, "semat"}, {m_ostan, "ostan"}, {m_status, "status"}};
    for (const auto& [c, column] : choices) {
        c->setCurrentIndex(c->findText(text(column)));
        c->setEditText(text(column));
    }
    m_insert->hide();
    m_edit->show();
    EntryGuard::of(this)->markLoaded();
}

UserFields Tusers_ins::fields() const
{
    return {m_us->text(),           m_ps->text(),     m_lev->currentText(), m_ostan->currentText(),
            m_semat->currentText(), m_mobile->text(), m_nam->text(),        m_status->currentText()};
}

bool Tusers_ins::showOutcome(UserSave outcome)
{
    switch (outcome) {
    case UserSave::Saved:
        return true;
    case UserSave::NoName:
        Dialogs::instance().warning(kNoName);
        m_us->setFocus();
        return false;
    case UserSave::Duplicate:
        Dialogs::instance().warning(kDuplicate);
        m_us->setFocus();
        return false;
    case UserSave::Administrator:
        Dialogs::instance().warning(kNoAdminEdit);
        return false;
    }
    return false;
}

void Tusers_ins::insert()
{
    Database* db = m_session.db();
    if (!db)
        return;
    try {
        if (!showOutcome(addUser(*db, fields(), m_session.login.userName)))
            return;
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    EntryGuard::of(this)->markSaved();
    Dialogs::instance().message(kSaved);
    emit saved();
}

void Tusers_ins::save()
{
    Database* db = m_session.db();
    if (!db || m_id == 0)
        return;
    try {
        if (!showOutcome(updateUser(*db, m_id, fields(), m_loaded, m_session.login.userName)))
            return;
    } catch (const RecordChanged& changed) {
        offerReload(changed);
        emit saved(); // the list shows the row as it now stands
        close();
        return;
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    EntryGuard::of(this)->markSaved();
    emit saved();
    close();
}

} // namespace tarvest
