#pragma once
// The transfer types "انواع واگذاري و ضرائب آن": the list of `vagozarityp`, adding a
// type with its base-price coefficient, and deleting one, which puts its name and
// coefficient back into the inputs so that adding it again at once restores it.
#include "db/resultset.h"
#include "widgets/screen.h"

#include <QDialog>

class QAction;
class QComboBox;
class QPushButton;
class QTableView;

namespace tarvest {

class ResultSetModel;
class TRealEdit;

class Tghimat_typ : public QDialog, public AccessTarget {
    Q_OBJECT
public:
    explicit Tghimat_typ(Session& session, QWidget* parent = nullptr);
    ~Tghimat_typ() override;

    // The insert right enables the add button, the delete right the item "حذف".
    void applyRights(const PageRights& rights) override;
    // What the main menu does before showing the screen: the list is read, the name
    // emptied and the coefficient set to "0".
    void prepare();

    void add();        // ins_btn
    void removeType(); // the grid's "حذف"

    ResultSet& types() { return m_types; }

private:
    void reopen();

    Session& m_session;
    ResultSet m_types;
    ResultSetModel* m_model;
    QComboBox* m_name;
    TRealEdit* m_zarib;
    QPushButton* m_add;
    QTableView* m_grid;
    QAction* m_delete;
};

} // namespace tarvest
