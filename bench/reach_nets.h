// Scalable nets for the reachability benchmark, made of the net's own
// elements in a net container.
#pragma once

#include <memory>

#include "model/designer.h"

// A ring of n processes: each process thinks, waits for one of k shared
// resources, works, and hands its customer on to the next process of the
// ring while releasing the resource. `customers` start at process 0.
// 3n + 1 places, 3n transitions.
std::unique_ptr<TQRVDesigner> RingNet(int processes, int resources, int customers);

// n dining philosophers: think, take the left fork, take the right fork,
// eat, put both forks back. 4n places, 3n transitions.
std::unique_ptr<TQRVDesigner> PhilosophersNet(int philosophers);

// A cycle of n places and n transitions, p1 -> t1 -> p2 -> ... -> tn -> p1,
// with one token in p1: 2n arcs.
std::unique_ptr<TQRVDesigner> CycleNet(int places);

// A stochastic net: `jobs` circulate from a pool through a timed arrival to
// a routing place, where `queues` immediate transitions in conflict (weights
// 1, 2, 3, ...) send them to queues served by timed transitions.
// queues + 2 places.
std::unique_ptr<TQRVDesigner> RoutingNet(int queues, int jobs);
