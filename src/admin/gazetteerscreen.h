#pragma once
// The village gazetteer "آبادي ها": search with its filters and count, the grid with its
// pop-up menu (new, edit, delete, row-by-row and bulk renaming), the export, and the
// replacement of the whole gazetteer from a spreadsheet with its preview and progress;
// and the village entry dialog "ثبت/ويرايش آبادي".
#include "admin/core/gazetteer.h"
#include "common/spreadsheet.h"
#include "db/resultset.h"
#include "widgets/screen.h"

#include <QDialog>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;

namespace tarvest {

class PlaceLists;
class ResultSetModel;
class SheetPreviewModel;
class Tabadiha;

class Tabadiha_ins : public QDialog {
    Q_OBJECT
public:
    Tabadiha_ins(Session& session, Tabadiha& list, QWidget* parent = nullptr);
    ~Tabadiha_ins() override;

    void prepareNew();                                            // empty fields, "ثبت" shown
    void prepareEdit(const QVariant& id, const QVariantMap& row); // the row's fields, "ويرايش" shown
    void saveNew();                                               // ins_btn
    void saveChanges();                                           // edit_btn

    Village fields() const;
    void setFields(const Village& v);

protected:
    void showEvent(QShowEvent* event) override;

private:
    Session& m_session;
    Tabadiha& m_list;
    QList<QComboBox*> m_combos; // ostan, shahrestan, shahr, bakhsh, dehestan, rosta, cod
    PlaceLists* m_places;
    QPushButton* m_ins;
    QPushButton* m_edit;
    QVariant m_id;
    QVariantMap m_loaded;
};

class Tabadiha : public QDialog, public AccessTarget {
    Q_OBJECT
public:
    explicit Tabadiha(Session& session, QWidget* parent = nullptr);
    ~Tabadiha() override;

    // "ثبت" and the replace button follow the insert right, "ويرايش" and the renamings the
    // edit right, "حذف" the delete right.
    void applyRights(const PageRights& rights) override;
    // What the main menu does before showing the screen: the filters are emptied, both
    // counts show "0", and the list stays empty until the first search.
    void prepare();

    void search();                         // BitBtn1
    void newVillage();                     // "ثبت"
    void editVillage();                    // "ويرايش"
    void deleteVillage();                  // "حذف"
    void renameRows(GazetteerLevel level); // an item of "تغيير نام موردي"
    void renameBulk(GazetteerLevel level); // an item of "تغيير نام دسته جمعي"
    void exportList();                     // Excel_btn
    void browse();                         // BitBtn2
    bool loadSheet(const QString& path);   // the preview of a chosen file
    void replace();                        // ins_btn

    GazetteerFilters filters() const;
    ResultSet& villages() { return m_villages; }
    Tabadiha_ins& entryScreen();
    // After a new village is saved the list shows that row alone until the next search.
    void showOnly(qint64 id);

private:
    void updateCount();
    void arrangeColumns();
    QList<ListedVillage> listedRows() const;

    Session& m_session;
    ResultSet m_villages;
    GazetteerFilters m_lastFilters;
    SheetTable m_sheet;
    bool m_sheetLoaded = false;

    QList<QLineEdit*> m_filterFields; // cod, dehestan, ostan, bakhsh, shahrestan, rosta
    QLabel* m_count;
    QLabel* m_sheetCount;
    QTableView* m_grid;
    ResultSetModel* m_model;
    QTableView* m_preview;
    SheetPreviewModel* m_previewModel;
    QProgressBar* m_progress;
    QPushButton* m_replace;
    QAction* m_new;
    QAction* m_edit;
    QAction* m_delete;
    QMenu* m_rowRenames;
    QMenu* m_bulkRenames;
    std::unique_ptr<Tabadiha_ins> m_entry;
};

} // namespace tarvest
