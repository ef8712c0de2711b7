// Writing a file so that a failure never costs the file that was there.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

// Writes `fileName` through `write`, which writes the whole content to the
// device it is given and returns false when it could not. The content goes to
// a temporary file beside the target; only when every byte reached the disk is
// it renamed over the target. On any failure the target stays as it was.
// Returns an empty text on success, otherwise "Cannot write NAME: reason".
QString SaveFileSafely(const QString& fileName, const std::function<bool(QIODevice&)>& write);

// The same for content that is already in memory.
QString SaveBytesSafely(const QString& fileName, const QByteArray& bytes);
