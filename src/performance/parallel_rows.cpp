#include "performance/parallel_rows.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "model/progress.h"

int WorkerCount(qint64 rows)
{
    if (rows < 50000)
        return 1;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<int>(std::min<unsigned>(cores, 8));
}

bool RunParallelRows(qint64 rows, int parts, qint64 piece,
                     const std::function<void(qint64 begin, qint64 end, int part)>& body,
                     IQRVProgress* progress)
{
    parts = std::max(1, parts);
    piece = std::max<qint64>(1, piece);
    std::atomic<bool> stop{false};
    const auto runPart = [&](int part, bool pump) {
        const qint64 end = PartStart(rows, parts, part + 1);
        for (qint64 b = PartStart(rows, parts, part); b < end; b += piece) {
            if (stop.load(std::memory_order_relaxed))
                return;
            body(b, std::min(end, b + piece), part);
            if (pump && progress) {
                progress->Pump();
                if (progress->StopRequested())
                    stop = true;
            }
        }
    };
    std::vector<std::thread> workers;
    for (int p = 1; p < parts; ++p)
        workers.emplace_back(runPart, p, false);
    runPart(0, true);
    for (std::thread& w : workers)
        w.join();
    if (progress && !stop) {
        progress->Pump();
        if (progress->StopRequested())
            stop = true;
    }
    return !stop;
}
