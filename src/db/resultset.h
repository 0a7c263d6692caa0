#pragma once
// The rows of one query with a current row: the list a search screen shows, and
// the record its entry screen edits or appends to and the single-record prints read.
//
// A result over a table with an identity key keeps only the keys of its rows, in
// their order (the snapshot: which rows, in which order, as of the search), and
// reads the rows themselves from the table by key, a page at a time, as a grid, a
// print or an export reaches them; so its memory does not grow with the width of
// the rows. A row deleted elsewhere since the search reads as gone (isGone), never
// as an error; a row changed elsewhere reads with its new values when its page is
// next read. Sorting runs in the database. Other results (no key, computed rows)
// keep their rows as read.
//
// The keys are read on a thread of the result's own with its own connection, while
// the caller's event loop keeps running (the window repaints, a progress dialog can
// cancel); open() and sort() return when the keys are in, or when cancelled. Changes
// made through the result are written to its table at once.
#include <QAbstractTableModel>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <vector>

class QEventLoop;
class QIODevice;

namespace tarvest {

class Database;
struct UniqueRule;
class KeyReader;

// A search in parts, so that its keys, its count, its rows and its other orders can
// each be asked of the database on their own.
struct KeyedQuery {
    QString select;      // "SELECT <columns> FROM <table> ...": one row per key of the table
    QString where;       // conditions (no "WHERE"), empty for none; may name table columns
    QVariantList params; // values of the conditions
    QString order;       // the first order: result column names, e.g. "pk" or "cmt, id DESC"
    QString table;       // the table written to; its key is a column of the result
};

class ResultSet : public QObject {
    Q_OBJECT
public:
    explicit ResultSet(Database* db = nullptr, QObject* parent = nullptr);
    ~ResultSet() override;

    void setDatabase(Database* db);
    Database* database() const { return m_db; }

    // Runs the query. `table` names the table that append, edit and delete write
    // to; by default the table of a "select * from <table> ..." statement, which is
    // then read by key in pages.
    void open(const QString& sql, const QVariantList& params = {}, const QString& table = {});
    void open(const KeyedQuery& query);
    // Runs the last query again in its current order, keeping the current record
    // when it is still there.
    void refresh();
    void close();
    bool isOpen() const { return m_open; }
    QString table() const { return m_table; }

    // Reading the keys: true while open(), sort() or refresh() wait for them.
    bool isLoading() const { return m_loop != nullptr; }
    // Stops the reading: an open() keeps the rows read so far, a sort() the old order.
    void cancelLoad();
    // False after a cancelled open(): the rows are fewer than the search finds.
    bool isComplete() const { return m_complete; }
    // The number of rows the search finds, known before the rows are (-1 until then).
    qint64 expectedCount() const { return m_expected; }

    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }

    // Navigation. recNo() is 1-based (0 when empty); eof() is true after next()
    // has moved past the last row, or when there is no row.
    void first();
    void last();
    void next();
    void prior();
    bool moveTo(int recNo);
    int recNo() const { return isEmpty() ? 0 : m_current + 1; }
    bool eof() const { return isEmpty() || m_eof; }
    bool bof() const { return isEmpty() || m_bof; }

    int fieldCount() const { return int(m_fields.size()); }
    QString fieldName(int i) const { return m_fields.value(i); }
    QStringList fieldNames() const { return m_fields; }
    int fieldIndex(const QString& name) const; // case-insensitive; -1 when absent

    // Fields of the current row. Asking for a field the query does not have
    // throws tarvest::Error; a null value reads as empty text, 0 or false, and so
    // does every field but the key of a row deleted elsewhere.
    QVariant value(const QString& field) const;
    bool isNull(const QString& field) const;
    QString asString(const QString& field) const;
    double asFloat(const QString& field) const;
    qint64 asInteger(const QString& field) const;
    qint64 asCurrency(const QString& field) const; // whole rials
    bool asBoolean(const QString& field) const;
    QVariant valueAt(int row, int column) const; // 0-based, for grids and exports
    QString textAt(int row, int column) const;   // as asString reads it; stored files read as ""
    // The row was deleted by another workstation after the search.
    bool isGone(int row) const;

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

    // Orders the rows by one field, empty values first, texts by their characters'
    // code order on both databases, ties in the order they had; the current record
    // stays current. A keyed result asks the database, on the same conditions.
    void sort(const QString& field, Qt::SortOrder order);
    QString sortField() const { return m_sortField; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // The statements a keyed result runs, as it would run them now, and their values:
    // for benchmarks and diagnostics.
    QString countStatement() const;
    QString keyStatement() const;
    QString rowStatement(int keys) const; // rows by key, for that many keys
    QVariantList statementParams() const { return m_query.params; }
    const KeyedQuery& keyedQuery() const { return m_query; }

signals:
    void reset();             // new rows or a new order
    void rowChanged(int row); // 0-based
    void rowInserted(int row);
    void rowsAppended(int first, int last); // more keys of the search have come in
    void rowRemoved(int row);
    void currentChanged(int row); // 0-based, -1 when empty
    void loadStarted();
    void counted(qint64 count); // the number of rows the search finds
    void loadProgress(qint64 read, qint64 expected);
    void loadFinished(bool complete);
    // Rows from `row` on are about to be read by key: a print or an export walking a
    // long result shows its progress by it.
    void pageReading(int row);

private:
    struct Job;
    enum class Mode { Rows, Keys };
    struct OrderTerm {
        QString field;
        Qt::SortOrder order;
    };

    int column(const QString& field) const; // throws when absent
    void requireCurrent() const;
    void requireWritable() const;
    void setCurrent(int row);
    bool reloadRow(int row, const QVariant& key);
    QVariantMap loadedRow() const;
    void dropCurrent();
    void openRows(const QString& sql, const QVariantList& params, const QString& table);
    void openKeys(const KeyedQuery& query);
    QString keySql(bool withAppended, QVariantList& params) const;
    QString orderSql() const;
    // Reads the keys of the query; false when cancelled. The new keys replace the
    // snapshot as they come (replaceAtOnce false) or when all are in.
    bool loadKeys(bool replaceAtOnce, bool withCount);
    void acceptKeys(quint64 generation, const std::vector<qint64>& keys);
    void acceptCount(quint64 generation, qint64 count);
    void finishLoad(quint64 generation, const QString& error);
    const QVariantList& rowAt(int row) const; // empty for a gone row
    void fetchPage(int row) const;
    void clientSort(int column, Qt::SortOrder order);

    Database* m_db = nullptr;
    Mode m_mode = Mode::Rows;
    QString m_sql;
    QVariantList m_params;
    KeyedQuery m_query; // keyed results: the search in parts
    QString m_table;
    QString m_key;
    bool m_open = false;
    QStringList m_fields;
    QString m_fieldsOf; // the select whose columns m_knownFields are
    QStringList m_knownFields;
    int m_keyColumn = -1;
    std::vector<QVariantList> m_rows;            // rows as read (Mode::Rows)
    std::vector<qint64> m_keys;                  // the snapshot (Mode::Keys)
    std::vector<qint64> m_appended;              // keys added through append(), kept by a new order
    mutable QHash<qint64, QVariantList> m_cache; // rows read by key; an empty list: gone
    mutable int m_lastPage = -1;
    int m_current = 0;
    bool m_eof = true;
    bool m_bof = true;
    QString m_sortField;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    std::vector<OrderTerm> m_sortTerms; // newest first

    // Reading keys.
    std::unique_ptr<KeyReader> m_reader;
    quint64 m_generation = 0;
    QEventLoop* m_loop = nullptr;
    bool m_replaceAtOnce = false;
    bool m_firstBatch = false;
    std::vector<qint64> m_incoming;
    QString m_loadError;
    bool m_complete = true;
    qint64 m_expected = -1;
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
