#pragma once
// The log viewer: lists the activity log (table log), filtered by user, date range,
// host name, description and address, newest first, and exports the list.
#include "db/resultset.h"

#include <QDialog>
#include <QHash>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;

namespace tarvest {

class DateEdit;
class EnterChain;
class Session;

class Tlog : public QDialog {
    Q_OBJECT
public:
    explicit Tlog(Session& session, QWidget* parent = nullptr);

    // Before each opening: empties the user, host, description and address fields
    // and lists the rows the filters left ticked select, so the viewer never opens
    // on an old list.
    void prepare();

    // Counts and lists the rows of the enabled filters (BitBtn1). A database error
    // is shown and leaves the viewer as it was.
    void search();
    // Sends the listed rows to a new workbook (SpeedButton1).
    void exportList();

    // The rows listed, in the grid's order.
    ResultSet& rows() { return m_rows; }

    // Header titles of the exported workbook, by field.
    static QHash<QString, QString> exportTitles();
    // Column titles of the grid, by field.
    static QHash<QString, QString> gridTitles();

private:
    void fillUserNames();

    Session& m_session;
    ResultSet m_rows;
    ResultSetModel* m_model;

    QCheckBox* m_userBox;
    QCheckBox* m_dateBox;
    QCheckBox* m_hostBox;
    QCheckBox* m_descriptionBox;
    QCheckBox* m_addressBox;
    QComboBox* m_user;
    DateEdit* m_from;
    DateEdit* m_to;
    QLineEdit* m_host;
    QLineEdit* m_description;
    QLineEdit* m_address;
    QPushButton* m_search;
    QToolButton* m_export;
    QLabel* m_count;
    QTableView* m_grid;
    EnterChain* m_enter;
};

} // namespace tarvest
