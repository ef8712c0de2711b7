// Steady-state analysis of the Kanban net.
//   quorvane_steady_bench [MAXN]     every phase of the command line's path
//                                    (build, graph, generator, solution,
//                                    values) for N = 1 ... MAXN (default 5)
//   quorvane_steady_bench N K [OMEGA] the iterative candidate K (0: the
//                                    default; all: each candidate, then the
//                                    sparse factorisations; lu: the
//                                    factorisations only) on N cards
//   quorvane_steady_bench N FILE.pn2 writes the net
//   quorvane_steady_bench FILE.rag   the time to read a graph file
#include <QCoreApplication>
#include <QElapsedTimer>

#include <Eigen/SparseLU>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <utility>
#include <vector>

#include "formula/formula.h"
#include "kanban_net.h"
#include "model/transitions.h"
#include "netfile/net_file.h"
#include "performance/calc_engine.h"
#include "performance/chain_graph.h"
#include "performance/sparse_generator.h"
#include "performance/steady_solvers.h"
#include "reach/large_memory.h"
#include "reach/reach_engine.h"

namespace {

// Processor time of every thread of the process so far (ms): on a busy
// machine a steadier figure than the wall clock.
qint64 processorMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The phases of `quorvane-cli steady NET --measure rate:tin4` on N cards.
void phases(int cards)
{
    auto net = KanbanNet(cards);
    QElapsedTimer clock;
    clock.start();
    // Each phase: wall ms and processor ms.
    std::vector<std::pair<qint64, qint64>> ms;
    qint64 cpu = processorMs();
    const auto lap = [&] {
        const qint64 now = processorMs();
        ms.emplace_back(clock.restart(), now - cpu);
        cpu = now;
    };
    // As the command line does: freed pages are kept for the later phases,
    // and the other core provides pages ahead while the graph is built.
    TLargeMemoryScope keepPages;
    TCalcEngine engine(net.get());
    {
        // The store goes once the chain is copied, so that the generator
        // reuses its pages.
        TReachEngine reach;
        reach.SetNet(net.get());
        reach.Settings.Limit = 100000000;
        {
            TWarmAhead warm(ChainPagesAhead);
            reach.BuildClassical();
        }
        lap();
        engine.LoadGraph(*reach.Store(), false);
    }
    lap();
    engine.AddItems(QString::fromLatin1(KindTexts::All[vkRate]), QStringLiteral("tin4"));
    engine.AddItems(QString::fromLatin1(KindTexts::All[vkTokens]), QStringLiteral("P*"));
    engine.ResolveDependencies();
    engine.Arg1Count = engine.Arg2Count = 1;
    engine.Arg1Values.assign(1, 0.0);
    engine.Arg2Values.assign(1, 0.0);
    engine.Results.assign(static_cast<std::size_t>(engine.Items.size()), 0.0);
    engine.Solver.Method = engine.MarkingCount() <= DenseGaussLimit ? smGauss : smIterative;
    clock.restart();
    cpu = processorMs();
    const bool built = engine.BuildGenerator();
    lap();
    const bool solved = built && engine.SolveSteadyState();
    lap();
    const bool valued = solved && engine.ComputeMeasures(0, 0);
    lap();
    std::printf("N=%d: %d markings, %lld entries, %d sweeps to residual %.2g%s, tin4 %.17g, peak %ld MB\n",
                cards, engine.MarkingCount(), static_cast<long long>(engine.Markings.EntryCount()),
                engine.LastSolve().Sweeps, engine.LastSolve().Residual,
                engine.Generator.RateIndex.empty() ? "" : " (rate indexes)",
                valued ? engine.Result(0, 0, 0) : -1.0, peakMegabytes());
    const char* phase[] = {"build", "graph", "generator", "solution", "values"};
    std::printf("     wall/processor ms:");
    for (std::size_t k = 0; k < ms.size(); ++k)
        std::printf("  %s %lld/%lld", phase[k], static_cast<long long>(ms[k].first),
                    static_cast<long long>(ms[k].second));
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QElapsedTimer clock;
    clock.start();
    // "FILE.rag": the time to read a graph file.
    if (argc > 1 && QString::fromLocal8Bit(argv[1]).endsWith(QLatin1String(".rag"))) {
        TChainGraph graph;
        const TGraphReadStatus status = ReadChainGraph(QString::fromLocal8Bit(argv[1]), graph);
        std::printf("read: %d markings, %lld entries, %lld ms, %zu MB held, %s\n", graph.MarkingCount,
                    static_cast<long long>(graph.EntryCount()), static_cast<long long>(clock.elapsed()),
                    graph.MemoryBytes() >> 20, status.Result == grOk ? "ok" : qPrintable(status.Message));
        return status.Result == grOk ? 0 : 1;
    }
    if (argc <= 2) {
        // Without a candidate: the phases up to N cards.
        const int last = argc > 1 ? atoi(argv[1]) : 5;
        for (int cards = 1; cards <= last; ++cards)
            phases(cards);
        return 0;
    }
    const int cards = atoi(argv[1]);
    // -1: every candidate and the factorisations; -2: the factorisations only.
    const int only = qstrcmp(argv[2], "all") == 0 ? -1 : qstrcmp(argv[2], "lu") == 0 ? -2 : atoi(argv[2]);
    auto net = KanbanNet(cards);
    // "N FILE.pn2" writes the net for quorvane-cli steady and stops.
    if (argc > 2 && QString::fromLocal8Bit(argv[2]).endsWith(QLatin1String(".pn2"))) {
        const QString failure = SaveNetFile(*net, QString::fromLocal8Bit(argv[2]));
        std::printf("%s\n", failure.isEmpty() ? "written" : qPrintable(failure));
        return failure.isEmpty() ? 0 : 1;
    }
    TReachEngine reach;
    reach.SetNet(net.get());
    reach.Settings.Limit = 100000000;
    reach.BuildClassical();
    std::printf("reach: %d markings, %lld arcs, %lld ms\n", reach.Store()->Count(),
                static_cast<long long>(reach.Store()->ArcCount()), static_cast<long long>(clock.restart()));
    TChainGraph graph;
    ChainGraphFromStore(*reach.Store(), false, graph);
    std::printf("graph: %lld ms, %zu MB\n", static_cast<long long>(clock.restart()),
                graph.MemoryBytes() >> 20);
    TLabelRates rates;
    for (const QString& label : graph.Labels) {
        auto* t = qobject_cast<TclsTransTimed*>(net->FindObject(label.section(QLatin1Char(','), 0, 0)));
        rates.Static.push_back(t ? t->Rate()->Value_Actual() : 0.0);
        rates.Dynamic.push_back(0);
    }
    TSparseGenerator g;
    bool stopped = false;
    BuildSparseGenerator(graph, rates, g, nullptr, stopped);
    std::printf("generator: %lld non-zeros, %lld ms\n", static_cast<long long>(g.NonZeros()),
                static_cast<long long>(clock.restart()));
    const char* names[] = {"default",     "Gauss-Seidel", "SOR",      "BiCGSTAB+Jacobi", "BiCGSTAB+ILUT",
                           "BiCGSTAB+GS", "GMRES+ILUT",   "GMRES+GS", "backward G-S",    "backward SOR"};
    for (int k = 0; k <= 9; ++k) {
        if (only == -2 || (only >= 0 && only != k))
            continue;
        TSteadySettings s;
        s.Method = smIterative;
        s.Kind = static_cast<TIterativeKind>(k);
        s.MaxSweeps = 3000;
        if (argc > 3)
            s.Omega = atof(argv[3]);
        std::vector<double> x;
        TSolveReport r;
        clock.restart();
        const qint64 cpu = processorMs();
        const bool ok = SolveSteady(g, s, x, nullptr, r);
        std::printf("%-18s %s %5d iterations, residual %.3g, %lld ms (processor %lld ms) %s\n", names[k],
                    ok ? "ok  " : "FAIL", r.Sweeps, r.Residual, static_cast<long long>(clock.elapsed()),
                    static_cast<long long>(processorMs() - cpu), qPrintable(r.Message));
    }
    if (g.Size <= 500000 && only < 0) {
        std::vector<double> x;
        TSolveReport r;
        clock.restart();
        const bool ok = SolveSparseLu(g, x, nullptr, r);
        std::printf("%-18s %s residual %.3g, %lld ms %s\n", "UMFPACK", ok ? "ok  " : "FAIL", r.Residual,
                    static_cast<long long>(clock.elapsed()), qPrintable(r.Message));
        // The same system through Eigen's SparseLU, for comparison.
        clock.restart();
        std::vector<Eigen::Triplet<double>> entries;
        const int n = g.Size;
        for (int j = 0; j + 1 < n; ++j) {
            entries.emplace_back(j, j, g.BalanceDiagonal(j));
            for (qint32 k = g.ColumnStart[static_cast<std::size_t>(j)];
                 k < g.ColumnStart[static_cast<std::size_t>(j) + 1]; ++k)
                entries.emplace_back(j, g.RowIndex[static_cast<std::size_t>(k)], g.ValueAt(k));
        }
        entries.emplace_back(n - 1, n - 1, 1.0);
        Eigen::SparseMatrix<double> a(n, n);
        a.setFromTriplets(entries.begin(), entries.end());
        Eigen::SparseLU<Eigen::SparseMatrix<double>, Eigen::COLAMDOrdering<int>> lu;
        lu.compute(a);
        Eigen::VectorXd b = Eigen::VectorXd::Zero(n);
        b[n - 1] = 1;
        const Eigen::VectorXd sol = lu.solve(b);
        std::vector<double> y(sol.data(), sol.data() + n);
        const double total = sol.sum();
        for (double& v : y)
            v /= total;
        std::printf("%-18s %s residual %.3g, %lld ms\n", "Eigen SparseLU",
                    lu.info() == Eigen::Success ? "ok  " : "FAIL", RelativeResidual(g, y),
                    static_cast<long long>(clock.elapsed()));
    }
    return 0;
}
