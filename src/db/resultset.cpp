#include "db/resultset.h"

#include "common/bidi.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/schema.h"
#include "db/uniquekey.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <numeric>

namespace tarvest {

namespace {

QString tableOfSelect(const QString& sql)
{
    static const QRegularExpression re(QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+([A-Za-z_][A-Za-z0-9_]*)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(sql);
    if (!m.hasMatch())
        return {};
    const Table* t = findTable(m.captured(1));
    return t ? t->name : QString();
}

bool isNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::Long:
        return true;
    default:
        return false;
    }
}

// Orders two field values: empty values first, numbers by value, everything
// else by its text (date texts order correctly as text).
int compareValues(const QVariant& a, const QVariant& b)
{
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    if (isNumber(a) && isNumber(b)) {
        if (a.typeId() == QMetaType::Double || b.typeId() == QMetaType::Double
            || a.typeId() == QMetaType::Float || b.typeId() == QMetaType::Float) {
            const double x = a.toDouble(), y = b.toDouble();
            return x < y ? -1 : (x > y ? 1 : 0);
        }
        const qint64 x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return QString::compare(a.toString(), b.toString(), Qt::CaseSensitive);
}

// A field value as the screens show it: whole numbers without a decimal part.
QString fieldText(const QVariant& v)
{
    if (v.isNull() || v.typeId() == QMetaType::QByteArray)
        return {};
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15);
    // Server times read the same from both kinds of database, as SQLite stores them.
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return v.toString();
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (isNumber(a) && isNumber(b))
        return compareValues(a, b) == 0;
    return a.toString() == b.toString();
}

} // namespace

ResultSet::ResultSet(Database* db, QObject* parent) : QObject(parent), m_db(db) {}

void ResultSet::open(const QString& sql, const QVariantList& params, const QString& table)
{
    if (!m_db)
        throw Error(QStringLiteral("اتصال به بانک اطلاعاتی برقرار نیست."));
    QSqlQuery q = m_db->exec(sql, params);
    const QSqlRecord rec = q.record();
    QStringList fields;
    for (int i = 0; i < rec.count(); ++i)
        fields << rec.fieldName(i);
    std::vector<QVariantList> rows;
    while (q.next()) {
        QVariantList row;
        row.reserve(fields.size());
        for (int i = 0; i < fields.size(); ++i)
            row << q.value(i);
        rows.push_back(std::move(row));
    }
    m_sql = sql;
    m_params = params;
    m_table = table.isEmpty() ? tableOfSelect(sql) : (findTable(table) ? findTable(table)->name : table);
    const Table* t = findTable(m_table);
    m_key = t ? t->key() : QString();
    m_fields = fields;
    m_rows = std::move(rows);
    m_open = true;
    m_sortField.clear();
    m_sortOrder = Qt::AscendingOrder;
    m_current = 0;
    m_eof = m_bof = m_rows.empty();
    emit reset();
    emit currentChanged(m_rows.empty() ? -1 : 0);
}

void ResultSet::refresh()
{
    if (!m_open)
        return;
    const int keyColumn = m_key.isEmpty() ? -1 : fieldIndex(m_key);
    const QVariant key = (keyColumn >= 0 && !m_rows.empty()) ? m_rows[m_current][keyColumn] : QVariant();
    const int oldRecNo = recNo();
    const QString sortField = m_sortField;
    const Qt::SortOrder sortOrder = m_sortOrder;
    open(m_sql, m_params, m_table);
    if (!sortField.isEmpty() && fieldIndex(sortField) >= 0)
        sort(sortField, sortOrder);
    if (!(key.isValid() && locate(m_key, key)) && oldRecNo > 0)
        moveTo(std::min(oldRecNo, recordCount()));
}

void ResultSet::close()
{
    m_open = false;
    m_fields.clear();
    m_rows.clear();
    m_current = 0;
    m_eof = m_bof = true;
    emit reset();
    emit currentChanged(-1);
}

void ResultSet::setCurrent(int row)
{
    m_current = row;
    m_eof = m_bof = false;
    emit currentChanged(row);
}

void ResultSet::first()
{
    if (m_rows.empty()) {
        m_eof = m_bof = true;
        return;
    }
    setCurrent(0);
    m_bof = true;
}

void ResultSet::last()
{
    if (m_rows.empty()) {
        m_eof = m_bof = true;
        return;
    }
    setCurrent(int(m_rows.size()) - 1);
    m_eof = true;
}

void ResultSet::next()
{
    if (m_rows.empty() || m_current + 1 >= int(m_rows.size())) {
        m_eof = true;
        return;
    }
    setCurrent(m_current + 1);
}

void ResultSet::prior()
{
    if (m_rows.empty() || m_current == 0) {
        m_bof = true;
        return;
    }
    setCurrent(m_current - 1);
}

bool ResultSet::moveTo(int n)
{
    if (n < 1 || n > int(m_rows.size()))
        return false;
    setCurrent(n - 1);
    return true;
}

int ResultSet::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int ResultSet::column(const QString& field) const
{
    const int i = fieldIndex(field);
    if (i < 0)
        throw Error(QStringLiteral("فیلد %1 در نتیجه جستجو نیست.").arg(field));
    return i;
}

void ResultSet::requireCurrent() const
{
    if (m_rows.empty())
        throw Error(QStringLiteral("رکوردی انتخاب نشده است."));
}

QVariant ResultSet::value(const QString& field) const
{
    const int c = column(field);
    requireCurrent();
    return m_rows[m_current][c];
}

bool ResultSet::isNull(const QString& field) const
{
    return value(field).isNull();
}

QString ResultSet::asString(const QString& field) const
{
    return fieldText(value(field));
}

double ResultSet::asFloat(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull() || v.toString().trimmed().isEmpty())
        return 0.0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw Error(QStringLiteral("مقدار «%1» فیلد %2 عدد نیست.").arg(v.toString(), field));
    return d;
}

qint64 ResultSet::asInteger(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull() || v.toString().trimmed().isEmpty())
        return 0;
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (!ok)
        throw Error(QStringLiteral("مقدار «%1» فیلد %2 عدد صحیح نیست.").arg(v.toString(), field));
    return n;
}

qint64 ResultSet::asCurrency(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return 0;
    return toWholeRials(v);
}

bool ResultSet::asBoolean(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return false;
    if (isNumber(v) || v.typeId() == QMetaType::Bool)
        return v.toLongLong() != 0 || v.toBool();
    const QString s = v.toString().trimmed().toLower();
    return !(s.isEmpty() || s == QLatin1String("0") || s == QLatin1String("false"));
}

QVariant ResultSet::valueAt(int row, int col) const
{
    if (row < 0 || row >= int(m_rows.size()) || col < 0 || col >= m_fields.size())
        return {};
    return m_rows[row][col];
}

QString ResultSet::textAt(int row, int col) const
{
    return fieldText(valueAt(row, col));
}

void ResultSet::requireWritable() const
{
    if (!m_open || !m_db)
        throw Error(QStringLiteral("نتیجه جستجو باز نیست."));
    if (m_table.isEmpty() || m_key.isEmpty())
        throw Error(QStringLiteral("این فهرست به جدولی با کلید وصل نیست و نمی توان آن را تغییر داد."));
}

bool ResultSet::reloadRow(int row, const QVariant& key)
{
    QSqlQuery q = m_db->exec("SELECT * FROM " + m_table + " WHERE " + m_key + " = ?", {key});
    if (!q.next())
        return false;
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i) {
        const int c = fieldIndex(rec.fieldName(i));
        if (c >= 0)
            m_rows[row][c] = q.value(i);
    }
    return true;
}

QVariantMap ResultSet::loadedRow() const
{
    QVariantMap loaded;
    for (int i = 0; i < m_fields.size(); ++i)
        loaded.insert(m_fields[i], m_rows[m_current][i]);
    return loaded;
}

bool ResultSet::reloadCurrent()
{
    requireWritable();
    requireCurrent();
    if (reloadRow(m_current, value(m_key))) {
        emit rowChanged(m_current);
        return true;
    }
    dropCurrent();
    return false;
}

void ResultSet::dropCurrent()
{
    const int r = m_current;
    m_rows.erase(m_rows.begin() + r);
    emit rowRemoved(r);
    if (m_rows.empty()) {
        m_current = 0;
        m_eof = m_bof = true;
        emit currentChanged(-1);
    } else {
        setCurrent(std::min(r, int(m_rows.size()) - 1));
    }
}

void ResultSet::append(const QVariantMap& values, const UniqueRule* rule)
{
    requireWritable();
    qint64 key = 0;
    const auto insert = [&] { key = m_db->insert(m_table, values); };
    if (rule)
        saveUnique(*m_db, *rule, values, {}, insert);
    else
        insert();
    QVariantList row;
    for (const QString& f : m_fields) {
        QVariant v;
        for (auto it = values.begin(); it != values.end(); ++it)
            if (it.key().compare(f, Qt::CaseInsensitive) == 0)
                v = it.value();
        row << v;
    }
    m_rows.push_back(row);
    const int r = int(m_rows.size()) - 1;
    reloadRow(r, key);
    emit rowInserted(r);
    setCurrent(r);
}

void ResultSet::edit(const QVariantMap& values, const UniqueRule* rule)
{
    requireWritable();
    requireCurrent();
    const QVariant key = value(m_key);
    const QVariantMap loaded = loadedRow();
    const auto update = [&] { m_db->updateUnchanged(m_table, values, key, loaded); };
    if (rule && changesKey(*rule, values, loaded))
        saveUnique(*m_db, *rule, values, key, update);
    else
        update();
    reloadRow(m_current, key);
    emit rowChanged(m_current);
}

void ResultSet::remove()
{
    requireWritable();
    requireCurrent();
    m_db->removeUnchanged(m_table, value(m_key), loadedRow());
    dropCurrent();
}

bool ResultSet::locate(const QString& field, const QVariant& v)
{
    const int c = column(field);
    for (int r = 0; r < int(m_rows.size()); ++r) {
        if (sameValue(m_rows[r][c], v)) {
            setCurrent(r);
            return true;
        }
    }
    return false;
}

QByteArray ResultSet::blob(const QString& field) const
{
    return value(field).toByteArray();
}

void ResultSet::blobToStream(const QString& field, QIODevice& out) const
{
    const QByteArray data = blob(field);
    if (out.write(data) != data.size())
        throw Error(QStringLiteral("نوشتن فایل انجام نشد: %1").arg(out.errorString()));
}

void ResultSet::blobToFile(const QString& field, const QString& path) const
{
    const QByteArray data = blob(field);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Error(QStringLiteral("فایل %1 نوشته نشد: %2").arg(path, f.errorString()));
    if (f.write(data) != data.size())
        throw Error(QStringLiteral("فایل %1 نوشته نشد: %2").arg(path, f.errorString()));
}

void ResultSet::loadBlobFromStream(const QString& field, QIODevice& in)
{
    edit({{field, in.readAll()}});
}

void ResultSet::loadBlobFromFile(const QString& field, const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("فایل %1 خوانده نشد: %2").arg(path, f.errorString()));
    loadBlobFromStream(field, f);
}

void ResultSet::sort(const QString& field, Qt::SortOrder order)
{
    const int c = column(field);
    const bool hadCurrent = !m_rows.empty();
    std::vector<int> idx(m_rows.size());
    std::iota(idx.begin(), idx.end(), 0);
    std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) {
        const int cmp = compareValues(m_rows[a][c], m_rows[b][c]);
        return order == Qt::AscendingOrder ? cmp < 0 : cmp > 0;
    });
    std::vector<QVariantList> sorted;
    sorted.reserve(m_rows.size());
    int newCurrent = 0;
    for (int i = 0; i < int(idx.size()); ++i) {
        if (idx[i] == m_current)
            newCurrent = i;
        sorted.push_back(std::move(m_rows[idx[i]]));
    }
    m_rows = std::move(sorted);
    m_sortField = m_fields[c];
    m_sortOrder = order;
    emit reset();
    if (hadCurrent)
        setCurrent(newCurrent);
}

ResultSetModel::ResultSetModel(ResultSet* rs, QObject* parent) : QAbstractTableModel(parent), m_rs(rs)
{
    connect(rs, &ResultSet::reset, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(rs, &ResultSet::rowChanged, this, [this](int row) {
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    connect(rs, &ResultSet::rowInserted, this, [this](int row) {
        beginInsertRows({}, row, row);
        endInsertRows();
    });
    connect(rs, &ResultSet::rowRemoved, this, [this](int row) {
        beginRemoveRows({}, row, row);
        endRemoveRows();
    });
}

void ResultSetModel::setTitles(const QHash<QString, QString>& titles)
{
    m_titles.clear();
    for (auto it = titles.begin(); it != titles.end(); ++it)
        m_titles.insert(it.key().toLower(), it.value());
    emit headerDataChanged(Qt::Horizontal, 0, std::max(0, columnCount() - 1));
}

int ResultSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rs->recordCount();
}

int ResultSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rs->fieldCount();
}

QVariant ResultSetModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    // Cells read as typed inside the right-to-left grid: dates, times, addresses and
    // codes keep their left-to-right order.
    return isolateLeftToRight(fieldText(m_rs->valueAt(index.row(), index.column())));
}

QVariant ResultSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    const QString name = m_rs->fieldName(section);
    return m_titles.value(name.toLower(), name);
}

void ResultSetModel::sort(int column, Qt::SortOrder order)
{
    if (column >= 0 && column < m_rs->fieldCount())
        m_rs->sort(m_rs->fieldName(column), order);
}

} // namespace tarvest
