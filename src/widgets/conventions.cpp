#include "widgets/conventions.h"

#include "common/digits.h"
#include "db/resultset.h"
#include "db/schema.h"
#include "db/settinglists.h"
#include "widgets/dateedit.h"
#include "widgets/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QTableView>

namespace tarvest {

QColor fieldColor(const QWidget* field)
{
    return field->palette().color(QPalette::Active, QPalette::Base);
}

void setFieldYellow(QWidget* field, bool yellow)
{
    QPalette p = field->palette();
    const QPalette normal = QApplication::palette(field);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::Base, yellow ? focusYellow() : normal.color(group, QPalette::Base));
    field->setPalette(p);
}

bool canTakeFocus(const QWidget* control)
{
    return control && control->isEnabled() && control->isVisibleTo(control->window())
           && control->focusPolicy() != Qt::NoFocus;
}

// ---- Enter chain -------------------------------------------------------------

EnterChain::EnterChain(QObject* parent) : QObject(parent)
{
}

EnterChain& EnterChain::append(QWidget* control, std::function<void()> action, QWidget* target)
{
    m_links.push_back({control, std::move(action), target});
    control->installEventFilter(this);
    return *this;
}

EnterChain& EnterChain::add(QWidget* control)
{
    return append(control, {});
}

EnterChain& EnterChain::add(QWidget* control, std::function<void()> action)
{
    return append(control, std::move(action));
}

EnterChain& EnterChain::add(QWidget* control, QAbstractButton* button)
{
    QPointer<QAbstractButton> target(button);
    return append(control, [target] {
        if (target && target->isEnabled())
            target->click();
    });
}

EnterChain& EnterChain::addRange(QWidget* first, QWidget* second)
{
    return append(first, {}, second);
}

QList<QWidget*> EnterChain::controls() const
{
    QList<QWidget*> list;
    for (const Link& l : m_links)
        list << l.control.data();
    return list;
}

int EnterChain::indexOf(const QObject* control) const
{
    for (int i = 0; i < int(m_links.size()); ++i)
        if (m_links[i].control == control)
            return i;
    return -1;
}

bool EnterChain::focusFromIndex(int index)
{
    for (int i = index + 1; i < int(m_links.size()); ++i) {
        QWidget* w = m_links[i].control;
        if (canTakeFocus(w)) {
            w->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return false;
}

bool EnterChain::focusNextFrom(QWidget* from)
{
    const int i = indexOf(from);
    return i >= 0 && focusFromIndex(i);
}

bool EnterChain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    const int i = indexOf(watched);
    if (i < 0)
        return false;
    if (m_links[i].action) {
        // An action reads the dates of its window: an impossible or partial one
        // stops it with the date message, as leaving the field would.
        if (!DateEdit::acceptAll(static_cast<QWidget*>(watched)->window()))
            return true;
        // The action may show a window or rebuild the form; keep a copy.
        const auto action = m_links[i].action;
        action();
    } else if (QWidget* second = m_links[i].target) {
        if (canTakeFocus(second))
            second->setFocus(Qt::TabFocusReason);
        else if (const int j = indexOf(second); j >= 0)
            focusFromIndex(j);
    } else {
        focusFromIndex(i);
    }
    return true;
}

// ---- Focus highlight -----------------------------------------------------------

namespace {

class FocusHighlighter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            // Switching windows or opening a popup list is not leaving the field.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (event->type() == QEvent::FocusIn
                || (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason))
                setFieldYellow(static_cast<QWidget*>(watched), event->type() == QEvent::FocusIn);
        }
        return false;
    }
};

class DigitKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || m_forwarding)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            return false;
        const QString text = key->text();
        // Keys without a character (arrows, Delete) and control characters
        // (shortcuts such as Ctrl+C) are not typed characters.
        if (text.isEmpty() || !text.at(0).isPrint())
            return false;
        const QString ascii = normalizeDigits(text);
        for (QChar c : ascii)
            if (c < u'0' || c > u'9')
                return true; // discarded
        if (ascii == text)
            return false;
        QKeyEvent mapped(key->type(), key->key(), key->modifiers(), ascii, key->isAutoRepeat(), ushort(key->count()));
        m_forwarding = true;
        QApplication::sendEvent(watched, &mapped);
        m_forwarding = false;
        return true;
    }

private:
    bool m_forwarding = false;
};

} // namespace

void highlightOnFocus(QWidget* field)
{
    field->installEventFilter(new FocusHighlighter(field));
}

// ---- Filter check boxes --------------------------------------------------------

void bindFilter(QCheckBox* box, const QList<QWidget*>& fields)
{
    for (QWidget* f : fields)
        f->setEnabled(box->isChecked());
    QObject::connect(box, &QCheckBox::toggled, box, [fields](bool on) {
        for (QWidget* f : fields) {
            f->setEnabled(on);
            if (!on)
                setFieldYellow(f, false);
        }
        if (on && !fields.isEmpty()) {
            setFieldYellow(fields.first(), true);
            fields.first()->setFocus(Qt::OtherFocusReason);
        }
    });
}

bool filterOn(const QWidget* field)
{
    // The field's own switch, whatever its window's state.
    return !field->testAttribute(Qt::WA_ForceDisabled);
}

// ---- Digit keys ------------------------------------------------------------------

void acceptDigitKeysOnly(QWidget* field)
{
    field->installEventFilter(new DigitKeyFilter(field));
}

// ---- Column widths, Latin digits, Escape -------------------------------------------

void limitToColumnWidths(QWidget* screen, const QString& table)
{
    for (QLineEdit* field : screen->findChildren<QLineEdit*>()) {
        // Date fields keep their mask; a list's own line edit would cut a chosen value
        // short without a word, so a list's text is checked when saving instead.
        if (qobject_cast<DateEdit*>(field) || qobject_cast<QComboBox*>(field->parentWidget()))
            continue;
        if (const int width = textWidth(table, field->objectName()); width > 0)
            field->setMaxLength(width);
    }
}

void showLatinDigits(QLineEdit* field)
{
    QObject::connect(field, &QLineEdit::textEdited, field, [field](const QString& text) {
        const QString ascii = normalizeDigits(text);
        if (ascii == text)
            return;
        const int caret = field->cursorPosition(); // one character for one: the caret stays
        field->setText(ascii);
        field->setCursorPosition(caret);
        field->setModified(true);
    });
}

namespace {

class EscapeKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // A dialog closes on Escape in its own key handling, after its fields
        // passed the key on; it stops here.
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            event->accept();
            return true;
        }
        return false;
    }
};

} // namespace

void keepOpenOnEscape(QDialog* screen)
{
    screen->installEventFilter(new EscapeKeeper(screen));
}

// ---- Title click sorting ---------------------------------------------------------

namespace {

// A column header that shows one title bold.
class TitleHeader : public QHeaderView {
public:
    explicit TitleHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}
    int bold = -1;

    void setBold(int section)
    {
        const int before = bold;
        bold = section;
        if (before >= 0)
            updateSection(before);
        updateSection(section);
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        if (logicalIndex == bold) {
            QFont f = painter->font();
            f.setBold(true);
            painter->setFont(f);
        }
        QHeaderView::paintSection(painter, rect, logicalIndex);
    }
};

} // namespace

TitleSort::TitleSort(QTableView* grid) : QObject(grid), m_grid(grid)
{
    setObjectName(QStringLiteral("titleSort"));
    QHeaderView* old = grid->horizontalHeader();
    auto* header = new TitleHeader(grid);
    header->setStretchLastSection(old->stretchLastSection());
    header->setDefaultAlignment(old->defaultAlignment());
    header->setHighlightSections(old->highlightSections());
    header->setMinimumSectionSize(old->minimumSectionSize());
    header->setDefaultSectionSize(old->defaultSectionSize());
    grid->setSortingEnabled(false); // the grid sorts only through its result set
    grid->setHorizontalHeader(header);
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this, &TitleSort::titleClicked);
}

void setUpRecordGrid(QTableView* grid, QAbstractItemView::SelectionMode selection)
{
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(selection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void setUpListGrid(QTableView* grid, QAbstractItemView::SelectionMode selection)
{
    setUpRecordGrid(grid, selection);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
}

void showColumnsInOrder(QTableView* grid, const ResultSet& rows, const QList<ShownColumn>& columns)
{
    QHeaderView* header = grid->horizontalHeader();
    for (int c = 0; c < rows.fieldCount(); ++c)
        grid->setColumnHidden(c, true);
    int visual = 0;
    for (const ShownColumn& col : columns) {
        const int logical = rows.fieldIndex(col.column);
        if (logical < 0)
            continue;
        grid->setColumnHidden(logical, false);
        header->moveSection(header->visualIndex(logical), visual++);
        grid->setColumnWidth(logical, col.width > 0 ? col.width : header->defaultSectionSize());
    }
}

bool deletePasswordGiven(Database& db, const QString& prompt, EmptyDeletePassword empty)
{
    const QString password = settingValue(db, lists::DeletePassword);
    const QString typed = Dialogs::instance().input(QStringLiteral("Delete Password"), prompt, QStringLiteral("?"),
                                                    true);
    if (password.isEmpty() && empty == EmptyDeletePassword::DeletesNothing)
        return false;
    return typed == password;
}

TitleSort* TitleSort::attach(QTableView* grid)
{
    if (TitleSort* existing = of(grid))
        return existing;
    return new TitleSort(grid);
}

TitleSort* TitleSort::of(const QTableView* grid)
{
    return grid->findChild<TitleSort*>(QStringLiteral("titleSort"), Qt::FindDirectChildrenOnly);
}

void TitleSort::titleClicked(int column)
{
    auto* model = qobject_cast<ResultSetModel*>(m_grid->model());
    if (!model)
        return;
    ResultSet* rs = model->resultSet();
    if (column < 0 || column >= rs->fieldCount())
        return;
    if (auto* header = dynamic_cast<TitleHeader*>(m_grid->horizontalHeader()))
        header->setBold(column);
    m_boldColumn = column;

    // A click on the column the rows are sorted by ascending sorts them descending;
    // any other click sorts ascending. The field is compared whole, so a column
    // whose name begins with another's ("saat", "saat_sys") starts ascending too.
    const QString field = rs->fieldName(column);
    const bool ascendingNow = rs->sortField().compare(field, Qt::CaseInsensitive) == 0
                              && rs->sortOrder() == Qt::AscendingOrder;
    rs->sort(field, ascendingNow ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool isTitleBold(const QTableView* grid, int column)
{
    const auto* header = dynamic_cast<const TitleHeader*>(grid->horizontalHeader());
    return header && column >= 0 && header->bold == column;
}

} // namespace tarvest
