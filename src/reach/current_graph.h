// Where the graph of the last successful build is kept for the performance
// analyses: "current.rag" in the program's folder, or, when that folder
// cannot be written (a system-wide install), in the user's data folder of
// the program. Every writer and reader of the file asks here.
#pragma once

#include <QString>

// The path of "current.rag" for a program installed in `programDir`.
QString CurrentGraphFileIn(const QString& programDir);

// The path of "current.rag" for the running program.
QString CurrentGraphFile();

// Keeps "current.rag" in `folder` from now on (an empty folder restores the
// program's own choice). Test programs running side by side each take their
// own folder, so that one build never overwrites another's graph.
void SetCurrentGraphFolder(const QString& folder);
