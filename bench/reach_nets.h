// Scalable nets for the reachability benchmark, given as compiled nets.
#pragma once

#include <memory>

#include "reach/compiled_net.h"

// A ring of n processes: each process thinks, waits for one of k shared
// resources, works, and hands its customer on to the next process of the
// ring while releasing the resource. `customers` start at process 0.
// 3n + 1 places, 3n transitions.
std::shared_ptr<TCompiledNet> RingNet(int processes, int resources, int customers);

// n dining philosophers: think, take the left fork, take the right fork,
// eat, put both forks back. 4n places, 3n transitions.
std::shared_ptr<TCompiledNet> PhilosophersNet(int philosophers);

// A stochastic net: `jobs` circulate from a pool through a timed arrival to
// a routing place, where `queues` immediate transitions in conflict (weights
// 1, 2, 3, ...) send them to queues served by timed transitions.
// queues + 2 places.
std::shared_ptr<TCompiledNet> RoutingNet(int queues, int jobs);
