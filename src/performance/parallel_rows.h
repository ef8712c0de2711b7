// Work over the rows of a large matrix on every core, while the calling
// thread keeps the user interface answering.
#pragma once

#include <QtGlobal>

#include <functional>

class IQRVProgress;

// The number of threads worth using for `rows` rows (1 for small work).
int WorkerCount(qint64 rows);

// Runs body(begin, end, part) over [0, rows), split into `parts` contiguous
// ranges of nearly equal size, one thread per range; part 0 runs on the
// calling thread. Each range is handed out in pieces of at most `piece`
// rows. Between pieces the calling thread lets `progress` pump events (when
// given) and every thread stops when it asks to stop. False when stopped.
bool RunParallelRows(qint64 rows, int parts, qint64 piece,
                     const std::function<void(qint64 begin, qint64 end, int part)>& body,
                     IQRVProgress* progress);

// The start of range `part` of `parts` over [0, rows).
inline qint64 PartStart(qint64 rows, int parts, int part)
{
    return rows * part / parts;
}
