#include "model/safe_save.h"

#include <QFileInfo>
#include <QSaveFile>

#include <atomic>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
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

    bool seek(qint64 pos) override
    {
        if (Failed())
            return false;
        if (!m_file.seek(pos)) {
            fail(m_file.errorString());
            return false;
        }
        return QIODevice::seek(pos);
    }

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
            startWriteback(n);
        }
        return len;
    }

private:
    // Large files have the disk write what they hold so far while more
    // comes, so that the sync at the end waits for little: every 32 MB the
    // bytes of the step before are waited for and the new ones sent off.
    // The sync at the end still decides.
    void startWriteback(qint64 bytes)
    {
#ifdef Q_OS_LINUX
        m_unstarted += bytes;
        if (m_unstarted < (qint64(32) << 20))
            return;
        m_unstarted = 0;
        const int fd = m_file.handle();
        const qint64 end = m_file.pos();
        if (fd < 0 || end <= 0)
            return;
        if (m_sentOff > 0 && m_sentOff <= end)
            ::sync_file_range(fd, 0, m_sentOff,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                  SYNC_FILE_RANGE_WAIT_AFTER);
        ::sync_file_range(fd, 0, end, SYNC_FILE_RANGE_WRITE);
        m_sentOff = end;
#else
        Q_UNUSED(bytes);
#endif
    }

    void fail(const QString& reason)
    {
        m_reason = reason;
        setErrorString(reason);
    }

    QSaveFile& m_file;
    qint64 m_limit;
    qint64 m_written = 0;
    qint64 m_unstarted = 0; // bytes written since the disk was last asked to write
    qint64 m_sentOff = 0;   // the end of what it was asked to write then
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

struct TSafeFile::TState
{
    explicit TState(const QString& name) : FileName(name), File(name) {}
    QString FileName;
    QSaveFile File;
    std::unique_ptr<TCheckedDevice> Device;
};

TSafeFile::TSafeFile(const QString& fileName) : m_state(std::make_unique<TState>(fileName)) {}

TSafeFile::~TSafeFile()
{
    Cancel();
}

QString TSafeFile::Open()
{
    QSaveFile& file = m_state->File;
    // Never fall back to writing the target in place: a failure would cut it.
    file.setDirectWriteFallback(false);
    // Unbuffered: nothing waits in a buffer whose failure to reach the disk
    // would only show when the file is committed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cannotWrite(m_state->FileName, file.errorString());
    m_state->Device = std::make_unique<TCheckedDevice>(file);
    return QString();
}

QIODevice& TSafeFile::Device()
{
    return *m_state->Device;
}

bool TSafeFile::Clear()
{
    return m_state->Device && !m_state->Device->Failed() && m_state->File.resize(0) &&
           m_state->Device->seek(0);
}

QString TSafeFile::Commit(bool written)
{
    QSaveFile& file = m_state->File;
    if (!m_state->Device)
        return cannotWrite(m_state->FileName, QStringLiteral("the file is not open"));
    QString reason;
    if (m_state->Device->Failed())
        reason = m_state->Device->Reason();
    else if (!written)
        reason = QStringLiteral("the content could not be written");
    else
        reason = syncToDisk(file);
    m_state->Device.reset();
    if (!reason.isEmpty()) {
        file.cancelWriting();
        return cannotWrite(m_state->FileName, reason);
    }
    if (!file.commit())
        return cannotWrite(m_state->FileName, file.errorString());
    return QString();
}

void TSafeFile::Cancel()
{
    if (!m_state->File.isOpen())
        return;
    m_state->Device.reset();
    m_state->File.cancelWriting();
    m_state->File.commit();
}

QString SaveFileSafely(const QString& fileName, const std::function<bool(QIODevice&)>& write)
{
    TSafeFile file(fileName);
    const QString failure = file.Open();
    if (!failure.isEmpty())
        return failure;
    return file.Commit(write(file.Device()));
}

QString SaveBytesSafely(const QString& fileName, const QByteArray& bytes)
{
    return SaveFileSafely(fileName,
                          [&bytes](QIODevice& device) { return device.write(bytes) == bytes.size(); });
}
