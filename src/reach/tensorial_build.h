// The tensorial construction of the reachability graph: the graph of every
// group of the net is built on its own (the classical build restricted to
// the group), and the graphs are combined group by group, the accumulated
// graph of groups 1 ... k with the graph of group k + 1.
//
// A transition that takes part in both graphs of a step fires in both at
// once, as it fires in the net; every other transition moves its own graph
// only. Only the markings reachable from the initial one are kept, numbered
// in breadth-first order with each marking's arcs in the net order of their
// transitions. For groups whose graphs are complete by themselves, the
// result is therefore the graph the classical build finds, marking for
// marking and arc for arc.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "reach/marking_store.h"

class IQRVProgress;
class TQRVDesigner;

// The texts the tensorial build shows.
namespace TensorialTexts {
inline const char* const Kronecker = "Kronecker operations in process !";
inline const char* const RemoveUnsteady = "Remove unsteady markings !";
inline const char* const PrepareStatistics = "Prepare statistics !";
inline const char* const GroupIndexIncorrect = "Group Index is incorrect !";
inline const char* const NeedsTwoGroups = "The tensorial construction needs groups 1 and 2";
} // namespace TensorialTexts

// The net order of what a combined graph lists: the places (their entry
// order follows the place order of markings, ties in net order) and the
// transitions (arc labels), with the exponentially timed ones marked
// (they make a marking tangible).
struct TCombineOrder
{
    QStringList Places;
    QStringList Transitions;
    std::vector<bool> Timed; // parallel to Transitions
};

// The order of a drawn net.
TCombineOrder CombineOrderOf(const TQRVDesigner& net);

struct TCombineResult
{
    std::unique_ptr<TMarkList> Store;
    bool Stopped = false;
    bool LimitReached = false;
    bool DeadMarking = false; // an expanded marking without arcs
    QString Error;            // a place name without a number, a place in both graphs
};

// Combines two graphs whose places are disjoint into the graph of their
// markings reachable from the pair of initial markings. The markings' limit
// and stop requests work as in the classical build (checked before each
// marking is expanded, with the same message); with `openContinuous` the
// continuous transitions enabled in both graphs are recorded per marking.
TCombineResult CombineGraphs(const TMarkList& accumulated, const TMarkList& group, const TCombineOrder& order,
                             qint64 limit, bool openContinuous, IQRVProgress& progress);
