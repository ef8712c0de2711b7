// Helpers shared by the tests.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <ostream>

#include "model/designer.h"
#include "model/edits.h"
#include "model/safe_save.h"

// Failed comparisons print texts as texts.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '{';
    for (int i = 0; i < list.size(); ++i)
        *os << (i ? ", " : "") << '"' << list[i].toStdString() << '"';
    *os << '}';
}

// A net container whose messages are collected instead of shown.
class TTestDesigner : public TQRVDesigner
{
public:
    TTestDesigner()
    {
        SetErrorReporter([this](const QString& m) { Errors << m; });
    }
    QStringList Errors;
};

// The folder of test data inside the project.
inline QString TestDataDir()
{
    return QStringLiteral(QUORVANE_TEST_DATA);
}

// The bundled example nets.
inline QString ExamplesDir()
{
    return QStringLiteral(QUORVANE_EXAMPLES_DIR);
}

// The folder of nets written by other tools; empty when it is not there
// (a user's clone has none), and tests that need it skip.
inline QString SharedPnmlDir()
{
    const QString dir = QStringLiteral(QUORVANE_SHARED_DIR) + QStringLiteral("/testdata/pnml");
    return QDir(dir).exists() ? dir : QString();
}

// While it lives, every file saved through SaveFileSafely takes `bytes` bytes
// and then fails as on a full disk.
class TFullDisk
{
public:
    explicit TFullDisk(qint64 bytes) { SetSaveFailureAfterBytes(bytes); }
    ~TFullDisk() { SetSaveFailureAfterBytes(-1); }
    TFullDisk(const TFullDisk&) = delete;
    TFullDisk& operator=(const TFullDisk&) = delete;
};

// The bytes of a file; empty when it cannot be read.
inline QByteArray ReadFileBytes(const QString& fileName)
{
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes a file (for a previous version that a failed save must keep).
inline bool WriteFileBytes(const QString& fileName, const QByteArray& bytes)
{
    QFile f(fileName);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
