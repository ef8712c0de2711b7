// Steady-state analysis of the Kanban net: the generator, each solver
// candidate, and the residual each reaches.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <Eigen/SparseLU>
#include <cstdio>

#include "formula/formula.h"
#include "kanban_net.h"
#include "model/transitions.h"
#include "netfile/net_file.h"
#include "performance/chain_graph.h"
#include "performance/sparse_generator.h"
#include "performance/steady_solvers.h"
#include "reach/reach_engine.h"

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
    const int cards = argc > 1 ? atoi(argv[1]) : 3;
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
    const char* names[] = {"default",       "Gauss-Seidel", "SOR 1.1",    "BiCGSTAB+Jacobi",
                           "BiCGSTAB+ILUT", "BiCGSTAB+GS",  "GMRES+ILUT", "GMRES+GS"};
    for (int k = 1; k <= 7; ++k) {
        if (argc > 2 && atoi(argv[2]) != k)
            continue;
        TSteadySettings s;
        s.Method = smIterative;
        s.Kind = static_cast<TIterativeKind>(k);
        s.MaxSweeps = 3000;
        std::vector<double> x;
        TSolveReport r;
        clock.restart();
        const bool ok = SolveSteady(g, s, x, nullptr, r);
        std::printf("%-18s %s %5d iterations, residual %.3g, %lld ms %s\n", names[k], ok ? "ok  " : "FAIL",
                    r.Sweeps, r.Residual, static_cast<long long>(clock.elapsed()), qPrintable(r.Message));
    }
    if (g.Size <= 500000 && (argc <= 2 || atoi(argv[2]) == 0)) {
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
                entries.emplace_back(j, g.RowIndex[static_cast<std::size_t>(k)],
                                     g.Value[static_cast<std::size_t>(k)]);
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
