#pragma once
// The two numeric entry fields: TMonEdit for amounts in whole rials shown with thousands
// separators (only the digits of what is typed count), TRealEdit for decimal quantities (areas, coefficients). Each
// cleans its text after every change, typed or set by a screen, and puts the caret at the end.
#include <QLineEdit>

namespace tarvest {

class TMonEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TMonEdit(QWidget* parent = nullptr);

    // The amount in whole rials; 0 when the field holds no digit. Throws tarvest::Error
    // when the number is beyond the 64-bit range.
    qint64 asInteger() const;

private:
    void clean(const QString& text);

    QString m_lastFormatted; // the text this field produced the last time it cleaned itself
};

// A typed or pasted second decimal point is refused: the text stays as it was.
class TRealEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TRealEdit(QWidget* parent = nullptr);

    // The quantity; 0 when the field is empty. Throws tarvest::Error when the text is
    // not a number (for example a lone ".").
    double asFloat() const;

private:
    void clean(const QString& text);
};

} // namespace tarvest
