#pragma once
// The progress of a long search, sort or walk over a result: a small window that
// appears when the work takes more than a moment, counts the rows, and offers
// "انصراف" to stop it. Every search screen attaches one to its result set.
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QProgressDialog;
class QWidget;

namespace tarvest {

class ResultSet;

class LoadProgress : public QObject {
    Q_OBJECT
public:
    // Shows over `parent` while `rs` reads its keys.
    static LoadProgress* attach(QWidget* parent, ResultSet* rs);

    // The dialog while it is up, for tests; nullptr otherwise.
    QProgressDialog* dialog() const { return m_dialog; }

private:
    LoadProgress(QWidget* parent, ResultSet* rs);
    void started();
    void progress(qint64 read, qint64 expected);
    void finished();

    QWidget* m_parent;
    ResultSet* m_rs;
    QProgressDialog* m_dialog = nullptr;
    bool m_loading = false;
};

// While it lives, a walk over every row of a result (an export, a print) that lasts more
// than a moment shows how far it has come. The walk cannot be stopped half way: a file
// or a print is written whole or not at all.
class WalkProgress {
public:
    WalkProgress(const ResultSet& rs, const QString& caption);
    ~WalkProgress();
    WalkProgress(const WalkProgress&) = delete;
    WalkProgress& operator=(const WalkProgress&) = delete;

private:
    void reading(int row);

    const ResultSet& m_rs;
    QString m_caption;
    QMetaObject::Connection m_connection;
    QElapsedTimer m_clock;
    QProgressDialog* m_dialog = nullptr;
};

} // namespace tarvest
