#pragma once
// The settings screen: authorised users add values to the fixed setting lists and
// delete them.
#include "db/resultset.h"
#include "widgets/screen.h"

#include <QDialog>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tarvest {

class Session;
struct OfficeProvinceName;

class Tsetting : public QDialog, public AccessTarget {
    Q_OBJECT
public:
    explicit Tsetting(Session& session, QWidget* parent = nullptr);

    // What the menu does before showing the screen: every setting row in the grid, no
    // list chosen, the value field empty.
    void prepare();
    void applyRights(const PageRights& rights) override;

    // The commands, as the button and the grid's pop-up run them.
    void addValue();
    void deleteSelected();

    ResultSet& rows() { return m_rows; }

    // The line telling where the province printed in the forms' titles comes from.
    static QString provinceText(const OfficeProvinceName& province);

private:
    void showProvince();
    void showList(const QString& list);
    void arrangeColumns(); // id and def hidden, the list name as wide as its texts

    Session& m_session;
    ResultSet m_rows; // adoq_set
    ResultSetModel* m_model = nullptr;
    QComboBox* m_component = nullptr;
    QLineEdit* m_cmt = nullptr;
    QPushButton* m_insert = nullptr;
    QTableView* m_grid = nullptr;
    QAction* m_delete = nullptr;
    QLabel* m_province = nullptr;
};

} // namespace tarvest
