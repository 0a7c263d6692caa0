#include "widgets/entryguard.h"

#include "widgets/conventions.h"
#include "widgets/dialogs.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>

namespace tarvest {

namespace {

QList<QPointer<EntryGuard>>& allGuards()
{
    static QList<QPointer<EntryGuard>> guards;
    return guards;
}

// A widget that lives inside another input (a list's own text field, a spin box's
// editor) is that input's part, not a field of its own.
bool partOfAnotherInput(const QWidget* w)
{
    const QWidget* parent = w->parentWidget();
    return parent && (qobject_cast<const QComboBox*>(parent) || qobject_cast<const QAbstractSpinBox*>(parent));
}

bool isInput(const QWidget* w)
{
    return entryFieldValue(w).isValid() && !partOfAnotherInput(w);
}

bool holdsSomething(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (v.typeId() == QMetaType::QStringList)
        return !v.toStringList().isEmpty();
    return !v.toString().isEmpty();
}

} // namespace

QVariant entryFieldValue(const QWidget* field)
{
    if (!field)
        return {};
    if (auto* e = qobject_cast<const QLineEdit*>(field))
        return e->text();
    if (auto* c = qobject_cast<const QComboBox*>(field))
        return c->currentText();
    if (auto* b = qobject_cast<const QAbstractButton*>(field))
        return b->isCheckable() ? QVariant(b->isChecked()) : QVariant();
    if (auto* t = qobject_cast<const QPlainTextEdit*>(field))
        return t->toPlainText();
    if (auto* t = qobject_cast<const QTextEdit*>(field))
        return t->toPlainText();
    if (auto* list = qobject_cast<const QListWidget*>(field)) {
        // A check list: which items are ticked. A plain list holds no work.
        QStringList ticked;
        bool checkable = false;
        for (int i = 0; i < list->count(); ++i) {
            const QListWidgetItem* item = list->item(i);
            if (!(item->flags() & Qt::ItemIsUserCheckable))
                continue;
            checkable = true;
            if (item->checkState() == Qt::Checked)
                ticked << item->text();
        }
        return checkable ? QVariant(ticked) : QVariant();
    }
    if (auto* spin = qobject_cast<const QAbstractSpinBox*>(field))
        return spin->text();
    return {};
}

EntryGuard::EntryGuard(QDialog* screen, QList<QAbstractButton*> saveButtons, QList<QWidget*> fields)
    : QObject(screen), m_screen(screen)
{
    setObjectName(QStringLiteral("entryGuard"));
    for (QAbstractButton* b : saveButtons)
        m_saveButtons << b;
    for (QWidget* f : fields)
        m_fields << f;
    screen->installEventFilter(this);
    neutraliseDefaultButtons();
    auto* shortcut = new QShortcut(QKeySequence::Save, screen);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this] { save(); });
    allGuards() << this;
    markLoaded();
}

EntryGuard::~EntryGuard()
{
    allGuards().removeAll(this);
}

EntryGuard* EntryGuard::of(const QWidget* screen)
{
    return screen ? screen->findChild<EntryGuard*>(QStringLiteral("entryGuard"), Qt::FindDirectChildrenOnly) : nullptr;
}

QList<QWidget*> EntryGuard::fields() const
{
    QList<QWidget*> out;
    if (!m_fields.isEmpty()) {
        for (const QPointer<QWidget>& f : m_fields)
            if (f)
                out << f.data();
        return out;
    }
    // The screen's own inputs: a dialog opened from it (a window of its own) keeps its own.
    for (QWidget* w : m_screen->findChildren<QWidget*>())
        if (isInput(w) && w->window() == m_screen)
            out << w;
    return out;
}

QList<QVariant> EntryGuard::values() const
{
    QList<QVariant> out;
    for (QWidget* f : fields())
        out << entryFieldValue(f);
    return out;
}

void EntryGuard::markLoaded()
{
    m_storedFields.clear();
    for (QWidget* f : fields())
        m_storedFields << f;
    m_stored = values();
    // A screen prepared before it is shown may still fill its fields as it shows (lists
    // refilled, settings read): what stands once it is shown is what was loaded.
    m_markOnShow = !m_screen->isVisible();
}

void EntryGuard::markSaved()
{
    markLoaded();
    emit saved();
}

void EntryGuard::setReloader(std::function<bool()> loader)
{
    m_reloader = std::move(loader);
}

bool EntryGuard::reload()
{
    if (!m_reloader || !m_reloader())
        return false;
    markLoaded();
    return true;
}

QStringList EntryGuard::changedFields() const
{
    QStringList out;
    for (qsizetype i = 0; i < m_storedFields.size(); ++i) {
        const QWidget* f = m_storedFields[i];
        if (f && entryFieldValue(f) != m_stored.value(i))
            out << f->objectName();
    }
    // A field that came after the last marking counts when it holds something.
    for (QWidget* f : fields())
        if (!m_storedFields.contains(f) && holdsSomething(entryFieldValue(f)))
            out << f->objectName();
    return out;
}

bool EntryGuard::hasUnsavedWork() const
{
    return !changedFields().isEmpty();
}

QString EntryGuard::question()
{
    return QStringLiteral("تغييرات اين صفحه ذخيره نشده است. آيا ذخيره شود؟\n"
                          "بله: ذخيره و بستن - خير: بستن بدون ذخيره - انصراف: ماندن در صفحه");
}

bool EntryGuard::save()
{
    for (const QPointer<QAbstractButton>& b : m_saveButtons) {
        if (b && b->isVisibleTo(m_screen) && b->isEnabled()) {
            b->click();
            return true;
        }
    }
    return false;
}

bool EntryGuard::confirmClose()
{
    if (!hasUnsavedWork())
        return true;
    switch (Dialogs::instance().question(question())) {
    case Dialogs::Answer::Yes:
        // Closes only when the save went through; a refused save showed its message
        // and the values stay for the clerk to mend.
        return save() && !hasUnsavedWork();
    case Dialogs::Answer::No:
        markLoaded(); // discarded: the next question is about new typing
        return true;
    case Dialogs::Answer::Cancel:
        break;
    }
    return false;
}

bool EntryGuard::confirmCloseAll()
{
    const QList<QPointer<EntryGuard>> guards = allGuards();
    // The most recently opened screens are on top: ask them first.
    for (qsizetype i = guards.size() - 1; i >= 0; --i) {
        EntryGuard* g = guards[i];
        if (!g || !g->m_screen->isVisible())
            continue;
        if (!g->confirmClose()) {
            g->m_screen->raise();
            g->m_screen->activateWindow();
            return false;
        }
    }
    return true;
}

void EntryGuard::neutraliseDefaultButtons()
{
    for (QPushButton* b : m_screen->findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
}

void EntryGuard::moveOnFrom(QWidget* from)
{
    if (from && partOfAnotherInput(from))
        from = from->parentWidget();
    if (!from || from->window() != m_screen)
        return;
    // The next field in the screen's reading (tab) order that can take the focus; when
    // none is left after this one, the focus stays.
    for (QWidget* w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain()) {
        if (w == m_screen)
            return; // the tab order came round to the screen again: this is the last field
        if (w->window() != m_screen || !isInput(w) || !canTakeFocus(w) || !(w->focusPolicy() & Qt::TabFocus))
            continue;
        w->setFocus(Qt::TabFocusReason);
        return;
    }
}

bool EntryGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_screen)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        // Buttons added since are no default buttons either.
        neutraliseDefaultButtons();
        if (m_markOnShow) {
            // The screen's own showing first: what it changes in the fields (lists
            // refilled, settings read) belongs to what was loaded; what was set before
            // the showing stays to be compared.
            QHash<const QWidget*, QVariant> before;
            for (QWidget* f : fields())
                before.insert(f, entryFieldValue(f));
            static_cast<QObject*>(m_screen)->event(event);
            for (qsizetype i = 0; i < m_storedFields.size(); ++i) {
                const QWidget* f = m_storedFields[i];
                if (!f || !before.contains(f))
                    continue;
                const QVariant now = entryFieldValue(f);
                if (now != before.value(f))
                    m_stored[i] = now;
            }
            m_markOnShow = false;
            return true;
        }
        break;
    case QEvent::KeyPress: {
        // Enter reaches the screen when no field of its Enter chain took it: it never
        // presses a button; in a field it moves on in reading order.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            break;
        QWidget* focus = QApplication::focusWidget();
        if (focus && isInput(focus) && (key->modifiers() & ~Qt::KeypadModifier) == 0)
            moveOnFrom(focus);
        event->accept();
        return true;
    }
    case QEvent::Close:
        if (m_screen->isVisible() && !confirmClose()) {
            event->ignore();
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

} // namespace tarvest
