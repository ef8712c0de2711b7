// Writing a file so that a failure never costs the file that was there.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;

// Writes `fileName` through `write`, which writes the whole content to the
// device it is given and returns false when it could not. The content goes to
// a temporary file beside the target; only when every byte reached the disk
// (each write complete, the file synced) is it renamed over the target. On any
// failure the target stays as it was and nothing is left beside it.
// Returns an empty text on success, otherwise "Cannot write NAME: reason",
// NAME being the file's name without its folder.
QString SaveFileSafely(const QString& fileName, const std::function<bool(QIODevice&)>& write);

// A file written over a while, with the same guarantee: Open makes the
// temporary file, Device takes the bytes (at any position: the device seeks),
// Commit syncs it and puts it in place of the target. Destroyed without a
// successful Commit, it leaves the target as it was and nothing beside it.
// The device may be written from another thread than the one that opened it,
// as long as only one thread uses it at a time.
class TSafeFile
{
public:
    explicit TSafeFile(const QString& fileName);
    ~TSafeFile();
    TSafeFile(const TSafeFile&) = delete;
    TSafeFile& operator=(const TSafeFile&) = delete;

    // Empty on success, otherwise "Cannot write NAME: reason".
    QString Open();
    QIODevice& Device();
    // Drops every byte written so far (the file is empty again).
    bool Clear();
    // `written`: the writer's own verdict. Empty on success, otherwise the message.
    QString Commit(bool written = true);
    void Cancel();

private:
    struct TState;
    std::unique_ptr<TState> m_state;
};

// The same for content that is already in memory.
QString SaveBytesSafely(const QString& fileName, const QByteArray& bytes);

// For tests: from now on every file saved through these functions takes
// `bytes` bytes and then fails as a full disk would ("No space left on
// device"). A negative value ends this.
void SetSaveFailureAfterBytes(qint64 bytes);
