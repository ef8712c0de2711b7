// The reachability-graph file (.rag): a text of CR LF lines that the
// performance analyses read back.
#pragma once

#include <QString>

#include "reach/marking_store.h"

class QIODevice;

// Writes the graph of `store` to `device`. `limitWarning` adds the line that
// says the markings' limit was reached. False when writing failed.
bool WriteRagFile(const TMarkList& store, TRagMode mode, bool limitWarning, QIODevice& device);

// Writes the graph to a file; an existing file is only replaced once the new
// one is complete. Empty on success, otherwise the message.
QString SaveRagFile(const TMarkList& store, TRagMode mode, bool limitWarning, const QString& fileName);
