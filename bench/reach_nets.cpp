#include "reach_nets.h"

namespace {

QString p(int number)
{
    return QStringLiteral("p%1").arg(number);
}

} // namespace

std::shared_ptr<TCompiledNet> RingNet(int processes, int resources, int customers)
{
    auto net = std::make_shared<TCompiledNet>();
    const int resource = net->AddPlace(p(3 * processes + 1), resources);
    std::vector<int> think, wait, work;
    for (int i = 0; i < processes; ++i) {
        think.push_back(net->AddPlace(p(3 * i + 1), i == 0 ? customers : 0));
        wait.push_back(net->AddPlace(p(3 * i + 2), 0));
        work.push_back(net->AddPlace(p(3 * i + 3), 0));
    }
    int name = 1;
    for (int i = 0; i < processes; ++i) {
        const int ask = net->AddTransition(QStringLiteral("t%1").arg(name++), tcTimed);
        net->AddInputArc(ask, think[size_t(i)], lkNormal, 1);
        net->AddOutputArc(ask, wait[size_t(i)], lkNormal, 1);
        const int take = net->AddTransition(QStringLiteral("t%1").arg(name++), tcTimed);
        net->AddInputArc(take, wait[size_t(i)], lkNormal, 1);
        net->AddInputArc(take, resource, lkNormal, 1);
        net->AddOutputArc(take, work[size_t(i)], lkNormal, 1);
        const int pass = net->AddTransition(QStringLiteral("t%1").arg(name++), tcTimed);
        net->AddInputArc(pass, work[size_t(i)], lkNormal, 1);
        net->AddOutputArc(pass, resource, lkNormal, 1);
        net->AddOutputArc(pass, think[size_t((i + 1) % processes)], lkNormal, 1);
    }
    net->Finish();
    return net;
}

std::shared_ptr<TCompiledNet> PhilosophersNet(int n)
{
    auto net = std::make_shared<TCompiledNet>();
    std::vector<int> think, left, eat, fork;
    for (int i = 0; i < n; ++i) {
        think.push_back(net->AddPlace(p(4 * i + 1), 1));
        left.push_back(net->AddPlace(p(4 * i + 2), 0));
        eat.push_back(net->AddPlace(p(4 * i + 3), 0));
        fork.push_back(net->AddPlace(p(4 * i + 4), 1));
    }
    int name = 1;
    for (int i = 0; i < n; ++i) {
        const int right = (i + 1) % n;
        const int takeLeft = net->AddTransition(QStringLiteral("t%1").arg(name++), tcTimed);
        net->AddInputArc(takeLeft, think[size_t(i)], lkNormal, 1);
        net->AddInputArc(takeLeft, fork[size_t(i)], lkNormal, 1);
        net->AddOutputArc(takeLeft, left[size_t(i)], lkNormal, 1);
        const int takeRight = net->AddTransition(QStringLiteral("t%1").arg(name++), tcTimed);
        net->AddInputArc(takeRight, left[size_t(i)], lkNormal, 1);
        net->AddInputArc(takeRight, fork[size_t(right)], lkNormal, 1);
        net->AddOutputArc(takeRight, eat[size_t(i)], lkNormal, 1);
        const int release = net->AddTransition(QStringLiteral("t%1").arg(name++), tcTimed);
        net->AddInputArc(release, eat[size_t(i)], lkNormal, 1);
        net->AddOutputArc(release, think[size_t(i)], lkNormal, 1);
        net->AddOutputArc(release, fork[size_t(i)], lkNormal, 1);
        net->AddOutputArc(release, fork[size_t(right)], lkNormal, 1);
    }
    net->Finish();
    return net;
}

std::shared_ptr<TCompiledNet> RoutingNet(int queues, int jobs)
{
    auto net = std::make_shared<TCompiledNet>();
    const int pool = net->AddPlace(p(1), jobs);
    const int route = net->AddPlace(p(2), 0);
    std::vector<int> queue;
    for (int i = 0; i < queues; ++i)
        queue.push_back(net->AddPlace(p(3 + i), 0));
    int name = 1;
    const int arrive = net->AddTransition(QStringLiteral("t%1").arg(name++), tcTimed);
    net->AddInputArc(arrive, pool, lkNormal, 1);
    net->AddOutputArc(arrive, route, lkNormal, 1);
    for (int i = 0; i < queues; ++i) {
        const int send = net->AddTransition(QStringLiteral("t%1").arg(name++), tcImmediate, 1, 0, i + 1);
        net->AddInputArc(send, route, lkNormal, 1);
        net->AddOutputArc(send, queue[size_t(i)], lkNormal, 1);
    }
    for (int i = 0; i < queues; ++i) {
        const int serve = net->AddTransition(QStringLiteral("t%1").arg(name++), tcTimed);
        net->AddInputArc(serve, queue[size_t(i)], lkNormal, 1);
        net->AddOutputArc(serve, pool, lkNormal, 1);
    }
    net->Finish();
    return net;
}
