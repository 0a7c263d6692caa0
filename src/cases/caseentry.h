#pragma once
// The case entry screen "ثبت اطلاعات برگه كميسيون معاملات": creates a case and writes
// every later step of its handling into the same record. It is opened by the case
// search, for a new case or for the case selected there, and works on the session's
// shared case result set (Session::cases).
#include <QDialog>

#include <memory>

namespace tarvest {

class Session;

class Tkomision : public QDialog {
    Q_OBJECT
public:
    explicit Tkomision(Session& session, QWidget* parent = nullptr);
    ~Tkomision() override;

    // Prepares the screen for a new case (fields emptied or preset, the level's enable
    // set, "ثبت" shown). The caller then shows it modally.
    void prepareNew();
    // Loads the selected case of Session::cases for editing ("ويرايش" shown). Returns
    // false, after showing its message, when the user's level may not edit this case;
    // the caller then does not show the screen.
    bool prepareEdit();

    void saveNew();  // "ثبت"
    void saveEdit(); // "ويرايش"

protected:
    // Every showing refills the lists (the province list only while it is empty).
    void showEvent(QShowEvent* event) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tarvest
