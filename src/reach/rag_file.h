// The reachability-graph file (.rag): a text of CR LF lines that the
// performance analyses read back.
#pragma once

#include <QString>

#include <memory>
#include <mutex>

#include "reach/marking_store.h"

class QIODevice;
class TSafeFile;

// Writes the graph of `store` to `device`. `limitWarning` adds the line that
// says the markings' limit was reached. False when writing failed.
bool WriteRagFile(const TMarkList& store, TRagMode mode, bool limitWarning, QIODevice& device);

// Writes the graph to a file; an existing file is only replaced once the new
// one is complete. Empty on success, otherwise the message.
QString SaveRagFile(const TMarkList& store, TRagMode mode, bool limitWarning, const QString& fileName);

// The graph file of a packed build in full mode, written while the build
// goes on: the lines of finished markings are formatted and written on
// another thread, after room for the header, whose length is known early
// for a build that stays within its limit (the count has as many digits as
// the limit less one, and there is no limit warning). Finish writes the rest
// and the header, or, when the header came out longer or shorter, the whole
// file again. The target is replaced only by a complete file.
class TRagStream
{
public:
    // `store` must have room reserved (TMarkList::Reserve) for what the build
    // can add; the stream may be made only while the store is packed.
    TRagStream(const TMarkList& store, const QString& fileName);
    ~TRagStream();
    TRagStream(const TRagStream&) = delete;
    TRagStream& operator=(const TRagStream&) = delete;

    // Empty when the temporary file was made, otherwise the message.
    QString OpenError() const { return m_openError; }
    // The build tells that more markings are finished; the writing starts
    // once the header's length is known.
    void Publish();
    // Held while the store's rows move (Repack): the writer reads nothing then.
    std::unique_lock<std::mutex> PauseReading();
    // The build leaves the bounds the writer relies on: the lines written so
    // far are dropped, and Finish writes the whole file.
    void Abandon();
    // After the build: the rest of the file, then the file put in place.
    // Empty on success, otherwise the message; the old file stays on failure.
    QString Finish(TRagMode mode, bool limitWarning);

    // For tests: whether the lines went to the file while the build ran.
    bool Overlapped() const { return m_started && !m_abandoned; }

private:
    struct TWriter;
    void stopWriter();

    const TMarkList& m_store;
    QString m_fileName;
    QString m_openError;
    std::unique_ptr<TSafeFile> m_file;
    std::unique_ptr<TWriter> m_writer;
    std::size_t m_headerBytes = 0; // the length the body was placed after
    bool m_started = false;
    bool m_abandoned = false;
};
