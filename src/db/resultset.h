#pragma once
// A snapshot of the rows of one query with a current row: the list a search
// screen shows, and the record its entry screen edits or appends to and the
// single-record prints read. Changes made through it are written to its table at
// once and reflected in the snapshot; other statements never disturb it.
#include <QAbstractTableModel>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <vector>

class QIODevice;

namespace tarvest {

class Database;
struct UniqueRule;

class ResultSet : public QObject {
    Q_OBJECT
public:
    explicit ResultSet(Database* db = nullptr, QObject* parent = nullptr);

    void setDatabase(Database* db) { m_db = db; }
    Database* database() const { return m_db; }

    // Runs the query and keeps all its rows. `table` names the table that
    // append, edit and delete write to; by default the table of a
    // "select * from <table> ..." statement.
    void open(const QString& sql, const QVariantList& params = {}, const QString& table = {});
    // Runs the last query again, keeping the current record when it is still there.
    void refresh();
    void close();
    bool isOpen() const { return m_open; }
    QString table() const { return m_table; }

    int recordCount() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }

    // Navigation. recNo() is 1-based (0 when empty); eof() is true after next()
    // has moved past the last row, or when there is no row.
    void first();
    void last();
    void next();
    void prior();
    bool moveTo(int recNo);
    int recNo() const { return m_rows.empty() ? 0 : m_current + 1; }
    bool eof() const { return m_rows.empty() || m_eof; }
    bool bof() const { return m_rows.empty() || m_bof; }

    int fieldCount() const { return int(m_fields.size()); }
    QString fieldName(int i) const { return m_fields.value(i); }
    QStringList fieldNames() const { return m_fields; }
    int fieldIndex(const QString& name) const; // case-insensitive; -1 when absent

    // Fields of the current row. Asking for a field the query does not have
    // throws tarvest::Error; a null value reads as empty text, 0 or false.
    QVariant value(const QString& field) const;
    bool isNull(const QString& field) const;
    QString asString(const QString& field) const;
    double asFloat(const QString& field) const;
    qint64 asInteger(const QString& field) const;
    qint64 asCurrency(const QString& field) const; // whole rials
    bool asBoolean(const QString& field) const;
    QVariant valueAt(int row, int column) const; // 0-based, for grids and exports
    QString textAt(int row, int column) const;   // as asString reads it; stored files read as ""

    // Writes through to the table. append() inserts a row (the database fills its
    // identity key), adds it at the end of the snapshot and makes it current;
    // edit() changes the current row; remove() deletes it. Given a uniqueness rule,
    // the insert, or an edit that changes the rule's key, runs under that key's lock
    // (db/uniquekey.h) and throws DuplicateKey when the key is taken. edit() and
    // remove() write only while the stored row still holds the values this snapshot
    // loaded, and throw RecordChanged otherwise (reloadCurrent() then shows the
    // stored row); edit() writes only the columns whose value changes.
    void append(const QVariantMap& values, const UniqueRule* rule = nullptr);
    void edit(const QVariantMap& values, const UniqueRule* rule = nullptr);
    void remove();
    // Reads the current row again from its table; a row deleted meanwhile leaves the
    // snapshot. Returns false when it was gone.
    bool reloadCurrent();

    // Makes the first row whose field equals value current; false when none does.
    bool locate(const QString& field, const QVariant& value);

    // Large objects of the current row.
    QByteArray blob(const QString& field) const;
    void blobToFile(const QString& field, const QString& path) const;
    void blobToStream(const QString& field, QIODevice& out) const;
    void loadBlobFromFile(const QString& field, const QString& path);
    void loadBlobFromStream(const QString& field, QIODevice& in);

    // Client-side sort on one field; the current record stays current.
    void sort(const QString& field, Qt::SortOrder order);
    QString sortField() const { return m_sortField; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

signals:
    void reset();                 // new rows or a new order
    void rowChanged(int row);     // 0-based
    void rowInserted(int row);
    void rowRemoved(int row);
    void currentChanged(int row); // 0-based, -1 when empty

private:
    int column(const QString& field) const; // throws when absent
    void requireCurrent() const;
    void requireWritable() const;
    void setCurrent(int row);
    bool reloadRow(int row, const QVariant& key);
    QVariantMap loadedRow() const;
    void dropCurrent();

    Database* m_db = nullptr;
    QString m_sql;
    QVariantList m_params;
    QString m_table;
    QString m_key;
    bool m_open = false;
    QStringList m_fields;
    std::vector<QVariantList> m_rows;
    int m_current = 0;
    bool m_eof = true;
    bool m_bof = true;
    QString m_sortField;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

// Table model over a ResultSet for the grids; header titles by field name.
class ResultSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultSetModel(ResultSet* rs, QObject* parent = nullptr);
    void setTitles(const QHash<QString, QString>& titlesByField);
    ResultSet* resultSet() const { return m_rs; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    ResultSet* m_rs;
    QHash<QString, QString> m_titles; // lower-case field name → title
};

} // namespace tarvest
