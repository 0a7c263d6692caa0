#pragma once
// The calculator "محاسبه": the owner's payment schedule for an area and a price per
// square metre, outside any case. Opened from the main menu "محاسبه تغيير كاربري".
#include <QDialog>

namespace tarvest {

class Thesab : public QDialog {
    Q_OBJECT
public:
    explicit Thesab(QWidget* parent = nullptr);
    ~Thesab() override;

    void prepare();   // what opening does: fields to "0", rounding texts emptied
    void calculate(); // "محاسبه"

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tarvest
