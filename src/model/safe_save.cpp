#include "model/safe_save.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

QString cannotWrite(const QString& fileName, const QString& reason)
{
    return QStringLiteral("Cannot write %1: %2").arg(QFileInfo(fileName).fileName(), reason);
}

} // namespace

QString SaveFileSafely(const QString& fileName, const std::function<bool(QIODevice&)>& write)
{
    QSaveFile file(fileName);
    // Never fall back to writing the target in place: a failure would cut it.
    file.setDirectWriteFallback(false);
    // Unbuffered, so that every write reports its own failure at once.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cannotWrite(fileName, file.errorString());
    const bool written = write(file);
    if (!written || file.error() != QFileDevice::NoError) {
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString()
                                                                    : QStringLiteral("the content could not be written");
        file.cancelWriting();
        return cannotWrite(fileName, reason);
    }
    if (!file.commit())
        return cannotWrite(fileName, file.errorString());
    return QString();
}

QString SaveBytesSafely(const QString& fileName, const QByteArray& bytes)
{
    return SaveFileSafely(fileName, [&bytes](QIODevice& device) {
        return device.write(bytes) == bytes.size();
    });
}
