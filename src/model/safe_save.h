// Writing a file so that a failure never costs the file that was there.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

// Writes `fileName` through `write`, which writes the whole content to the
// device it is given and returns false when it could not. The content goes to
// a temporary file beside the target; only when every byte reached the disk
// (each write complete, the file synced) is it renamed over the target. On any
// failure the target stays as it was and nothing is left beside it.
// Returns an empty text on success, otherwise "Cannot write NAME: reason",
// NAME being the file's name without its folder.
QString SaveFileSafely(const QString& fileName, const std::function<bool(QIODevice&)>& write);

// The same for content that is already in memory.
QString SaveBytesSafely(const QString& fileName, const QByteArray& bytes);

// For tests: from now on every file saved through these functions takes
// `bytes` bytes and then fails as a full disk would ("No space left on
// device"). A negative value ends this.
void SetSaveFailureAfterBytes(qint64 bytes);
