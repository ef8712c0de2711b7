#include "model/safe_save.h"

#include <QFileInfo>
#include <QSaveFile>

#include <atomic>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

std::atomic<qint64> g_failAfter{-1};

QString cannotWrite(const QString& fileName, const QString& reason)
{
    return QStringLiteral("Cannot write %1: %2").arg(QFileInfo(fileName).fileName(), reason);
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Passes every write on to the file and insists that all of it arrives: a
// short write is continued, so that the call that finds the disk full reports
// why. The first failure is kept, with its reason, and every later write fails.
class TCheckedDevice : public QIODevice
{
public:
    explicit TCheckedDevice(QSaveFile& file) : m_file(file), m_limit(g_failAfter.load())
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

    bool Failed() const { return !m_reason.isEmpty(); }
    QString Reason() const { return m_reason; }

protected:
    qint64 readData(char*, qint64) override { return -1; }

    qint64 writeData(const char* data, qint64 len) override
    {
        if (Failed())
            return -1;
        qint64 done = 0;
        while (done < len) {
            qint64 chunk = len - done;
            if (m_limit >= 0 && m_written + chunk > m_limit) {
                chunk = m_limit - m_written;
                if (chunk <= 0) {
                    fail(systemReason(ENOSPC));
                    return -1;
                }
            }
            errno = 0;
            const qint64 n = m_file.write(data + done, chunk);
            if (n <= 0) {
                const int error = errno;
                QString reason = m_file.error() != QFileDevice::NoError ? m_file.errorString() : QString();
                if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
                    reason = error != 0 ? systemReason(error) : QStringLiteral("the disk took no more bytes");
                fail(reason);
                return -1;
            }
            done += n;
            m_written += n;
        }
        return len;
    }

private:
    void fail(const QString& reason)
    {
        m_reason = reason;
        setErrorString(reason);
    }

    QSaveFile& m_file;
    qint64 m_limit;
    qint64 m_written = 0;
    QString m_reason;
};

// Waits until the file's bytes are on the disk. A file system that cannot
// sync this kind of file is not an error.
QString syncToDisk(QSaveFile& file)
{
#ifdef Q_OS_UNIX
    const int fd = file.handle();
    if (fd >= 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP)
        return systemReason(errno);
#else
    Q_UNUSED(file);
#endif
    return QString();
}

} // namespace

void SetSaveFailureAfterBytes(qint64 bytes)
{
    g_failAfter.store(bytes < 0 ? -1 : bytes);
}

QString SaveFileSafely(const QString& fileName, const std::function<bool(QIODevice&)>& write)
{
    QSaveFile file(fileName);
    // Never fall back to writing the target in place: a failure would cut it.
    file.setDirectWriteFallback(false);
    // Unbuffered: nothing waits in a buffer whose failure to reach the disk
    // would only show when the file is committed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cannotWrite(fileName, file.errorString());
    TCheckedDevice device(file);
    const bool written = write(device);
    QString reason;
    if (device.Failed())
        reason = device.Reason();
    else if (!written)
        reason = QStringLiteral("the content could not be written");
    else
        reason = syncToDisk(file);
    if (!reason.isEmpty()) {
        file.cancelWriting();
        return cannotWrite(fileName, reason);
    }
    if (!file.commit())
        return cannotWrite(fileName, file.errorString());
    return QString();
}

QString SaveBytesSafely(const QString& fileName, const QByteArray& bytes)
{
    return SaveFileSafely(fileName,
                          [&bytes](QIODevice& device) { return device.write(bytes) == bytes.size(); });
}
