#pragma once
// A caption that acts as a button: underlined links of the login screen, field labels
// that fill their field with a preset, and similar.
#include <QLabel>

namespace tarvest {

class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace tarvest
