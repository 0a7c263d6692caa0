#pragma once
// Writing a file so that the file already there is replaced only by a complete one.
//
// Everything goes to a hidden temporary file in the target's own folder (so the final
// rename never crosses a file system). Every write is checked, the data is flushed to the
// disk, and only then is the temporary file renamed over the target. Any failure removes
// the temporary file and throws tarvest::Error with a Persian message that names the file
// and the reason (a full disk, no permission, ...); the earlier file stays as it was. A
// program killed half way leaves the earlier file untouched (and at most a hidden
// ".name.XXXXXX" file beside it, which a later write of the same file removes once it is an
// hour old).
//
// Exports, attachments saved or opened, files fetched from the database and backups all
// write through this one mechanism.
#include <QByteArray>
#include <QString>

namespace tarvest {

class SafeFile {
public:
    // Creates the temporary file beside `target`; throws when the folder is missing or
    // not writable.
    explicit SafeFile(const QString& target);
    ~SafeFile(); // removes the temporary file unless commit() succeeded
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    const QString& target() const { return m_target; }

    // The temporary file, for a library that opens and writes a path itself; commit()
    // then checks that file before putting it in place.
    const QString& tempPath() const { return m_temp; }

    // Appends bytes to the temporary file; throws with the reason when not all were written.
    void write(const QByteArray& bytes);

    // Flushes the temporary file to the disk and renames it over the target. Throws
    // (after removing the temporary file) when any step fails.
    void commit();

    // Like commit(), but puts the file in place under `target` (in the same folder as the
    // target given at construction) only when no file of that name is there yet: false,
    // with the temporary file kept for another name, when one is. A backup never replaces
    // an earlier one this way, not even one written at the same moment.
    bool commitAsNew(const QString& target);

    // Removes the temporary file and throws the failure of writing this file for `reason`.
    // For callers that found a fault of their own (a library's error code) mid-way.
    [[noreturn]] void fail(const QString& reason);

private:
    void discard();
    void flushTemp();
    void syncFolder();
    [[noreturn]] void failErrno(int err);

    QString m_target;
    QString m_temp;
    int m_fd = -1;
    bool m_done = false;
};

// Writes `bytes` to `path` through a SafeFile.
void writeFileSafely(const QString& path, const QByteArray& bytes);

// The Persian message of a file that could not be written: "خطا! فايل «…» نوشته نشد: reason".
QString fileWriteFailure(const QString& path, const QString& reason);

// The Persian reason for an operating-system error number (ENOSPC: a full disk, ...).
QString fileErrorReason(int err);

// A file path as a message shows it: native separators, isolated as a left-to-right run so
// that a right-to-left sentence keeps its folders and extension in reading order.
QString shownPath(const QString& path);

} // namespace tarvest
