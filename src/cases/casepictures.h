#pragma once
// The attachments screen "ضمائم" of one case: stores files with a description, saves a
// stored file back to disk and opens it, deletes one with the delete password.
#include "db/session.h"

#include <QDialog>

#include <memory>

namespace tarvest {

class Tkomision_pic : public QDialog {
    Q_OBJECT
public:
    explicit Tkomision_pic(Session& session, QWidget* parent = nullptr);
    ~Tkomision_pic() override;

    // What the case search's attachments command does before showing the screen: the
    // rights decide the store button (insert) and the delete item (delete); the
    // description is emptied and the case's attachments listed.
    void openFor(qint64 casePk, const PageRights& rights);

    void storeFile();          // "ثبت"
    void saveAndOpen(int row); // a click on a row of the list
    void deleteSelected();     // "حذف" of the list's pop-up menu

private:
    void showEvent(QShowEvent* event) override; // refills the description choices
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tarvest
