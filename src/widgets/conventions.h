#pragma once
// The interaction rules every screen shares: how Enter moves through a form, the
// yellow colour of the field being worked on, filter check boxes of the search
// screens, fields that take digits only, grids of records and grids that sort by a click
// on a title, and the delete password prompt. Each screen attaches these to its own
// controls.
#include <QAbstractItemView>
#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QDialog;
class QLineEdit;
class QTableView;
class QWidget;

namespace tarvest {

class Database;
class ResultSet;

// The colour of a field that is being worked on.
inline QColor focusYellow()
{
    return QColor(0xFF, 0xFF, 0x00);
}

// The background colour a field shows now (its palette's base colour).
QColor fieldColor(const QWidget* field);
// Paints a field yellow, or gives it back the normal base colour of the palette.
void setFieldYellow(QWidget* field, bool yellow);

// The Enter key of a form. Each control of the chain reacts to Enter in the way
// given when it was added; the chain's order is the order of adding. When the
// control Enter moves to cannot take the focus (hidden, disabled), the focus goes
// on along the chain to the first one that can; when none can, it stays. Every
// other key keeps its normal meaning, and Tab still follows the tab order.
class EnterChain : public QObject {
    Q_OBJECT
public:
    explicit EnterChain(QObject* parent = nullptr);

    // Enter moves the focus to the next control of the chain.
    EnterChain& add(QWidget* control);
    // (An action or button started by Enter runs only when every edited date field
    // of the window holds a blank or a real date; otherwise the date message shows.)
    // Enter runs the action (a search, a calculation, a login).
    EnterChain& add(QWidget* control, std::function<void()> action);
    // Enter clicks the button, as if the user clicked it.
    EnterChain& add(QWidget* control, QAbstractButton* button);
    // The first date of a range: Enter moves to the second date. Add the second
    // date next, with its own reaction. When the second date cannot take the
    // focus, the focus moves on along the chain from it.
    EnterChain& addRange(QWidget* first, QWidget* second);

    QList<QWidget*> controls() const;

    // Moves the focus from `from` to the first control after it that can take it;
    // false (the focus stays) when there is none.
    bool focusNextFrom(QWidget* from);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Link {
        QPointer<QWidget> control;
        std::function<void()> action; // empty: move on along the chain
        QPointer<QWidget> target;     // the second date of a range
    };
    EnterChain& append(QWidget* control, std::function<void()> action, QWidget* target = nullptr);
    int indexOf(const QObject* control) const;
    bool focusFromIndex(int index);

    std::vector<Link> m_links;
};

// True when the control can take the focus now: shown within its window, enabled,
// and accepting focus at all.
bool canTakeFocus(const QWidget* control);

// A field that turns yellow when it gets the focus and returns to the normal
// colour when it loses it.
void highlightOnFocus(QWidget* field);

// A search filter: the check box switches its fields on and off. The fields start
// disabled. Ticking enables them, colours the first yellow and gives it the focus;
// unticking disables them and restores their normal colour.
void bindFilter(QCheckBox* box, const QList<QWidget*>& fields);
// Whether a filter takes part in the search: its field is enabled.
bool filterOn(const QWidget* field);

// A count or percentage field that takes only the keys "0" to "9" (Persian and
// Arabic-Indic digits turn into them), Backspace and Enter; any other typed
// character is discarded before it reaches the field.
void acceptDigitKeysOnly(QWidget* field);

// Every text field of an entry screen takes at most the width of the column it edits
// (the field's objectName is the column's name), so the clerk sees the limit while
// typing. Date fields keep their own ten characters; the text of a list (which may be
// a chosen value) is left whole, for the save to refuse by the field's caption.
void limitToColumnWidths(QWidget* screen, const QString& table);

// A number field whose Persian and Arabic-Indic digits are written as Latin digits as
// they are typed or pasted, so the field shows, computes and stores one kind of digit.
void showLatinDigits(QLineEdit* field);

// An entry screen that Escape never closes: what was typed stays; the window's close
// box (and the screen's own commands) still close it.
void keepOpenOnEscape(QDialog* screen);

// A grid of records: a click chooses its whole row, one row at a time (or several, with
// ExtendedSelection), and no cell is edited in place.
void setUpRecordGrid(QTableView* grid, QAbstractItemView::SelectionMode selection = QAbstractItemView::SingleSelection);
// The grid of records of a list screen: its rows as high as a line of its text plus 8
// pixels, its last column taking the room left.
void setUpListGrid(QTableView* grid, QAbstractItemView::SelectionMode selection = QAbstractItemView::SingleSelection);

// The columns a grid over a result set shows, in this order, each `width` pixels wide (the
// grid's default width where 0); the result's other columns are hidden. Columns the
// result lacks are passed over.
struct ShownColumn {
    QString column;
    int width = 0;
};
void showColumnsInOrder(QTableView* grid, const ResultSet& rows, const QList<ShownColumn>& columns);

// The delete password prompt: the input box "Delete Password" with `prompt`, typed
// hidden over "?". True when the typed text is the delete password (the first value of
// its setting list, read before the box shows). Where no password is set, a screen
// either deletes nothing or takes an empty typed text as the password.
enum class EmptyDeletePassword { DeletesNothing, MatchesEmptyText };
bool deletePasswordGiven(Database& db, const QString& prompt,
                         EmptyDeletePassword empty = EmptyDeletePassword::DeletesNothing);

// Sorting of a grid by a click on a column title. The grid must show a
// ResultSetModel; for any other model a click does nothing. The clicked title
// turns bold (the one bold before turns regular) and the result set is sorted in
// memory by that column: ascending on the first click, then descending, then
// ascending again; the current record stays current.
class TitleSort : public QObject {
    Q_OBJECT
public:
    // Attaches title sorting to the grid (the sorter belongs to the grid).
    static TitleSort* attach(QTableView* grid);
    // The sorter attached to a grid, or nullptr.
    static TitleSort* of(const QTableView* grid);

    // The column whose title is bold, -1 before the first click.
    int boldColumn() const { return m_boldColumn; }
    // What a click on the title of `column` does.
    void titleClicked(int column);

private:
    explicit TitleSort(QTableView* grid);
    QTableView* m_grid;
    int m_boldColumn = -1;
};

// Whether the title of a grid column is shown bold.
bool isTitleBold(const QTableView* grid, int column);

} // namespace tarvest
