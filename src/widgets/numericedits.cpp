#include "widgets/numericedits.h"

#include "common/digits.h"

#include <QValidator>

namespace tarvest {

namespace {
// Size of a field placed without a layout.
constexpr int kDefaultWidth = 100;
constexpr int kDefaultHeight = 50;

// Refuses a typed or pasted text with a second decimal point, so the keystroke is
// ignored and the quantity stays as it was; every other text goes on to the cleaning.
class OnePointValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        return hasSecondDecimalPoint(normalizeDigits(input)) ? Invalid : Acceptable;
    }
};
} // namespace

TMonEdit::TMonEdit(QWidget* parent) : QLineEdit(parent)
{
    resize(kDefaultWidth, kDefaultHeight);
    connect(this, &QLineEdit::textChanged, this, &TMonEdit::clean);
}

void TMonEdit::clean(const QString& text)
{
    if (text == m_lastFormatted || text.isEmpty())
        return;
    const QString cleaned = cleanAmountText(text);
    m_lastFormatted = cleaned;
    const bool edited = isModified();
    setText(cleaned);
    setModified(edited);
    setCursorPosition(int(cleaned.size()));
}

qint64 TMonEdit::asInteger() const
{
    return parseWholeRials(text());
}

TRealEdit::TRealEdit(QWidget* parent) : QLineEdit(parent)
{
    resize(kDefaultWidth, kDefaultHeight);
    setValidator(new OnePointValidator(this));
    connect(this, &QLineEdit::textChanged, this, &TRealEdit::clean);
}

void TRealEdit::clean(const QString& text)
{
    const QString cleaned = cleanQuantityText(text);
    if (cleaned != text) {
        const bool edited = isModified();
        setText(cleaned);
        setModified(edited);
    }
    setCursorPosition(int(cleaned.size()));
}

double TRealEdit::asFloat() const
{
    return parseQuantity(text());
}

} // namespace tarvest
