// The Kanban net with N cards per station, with timed transitions and the
// rates the steady-state benchmark uses.
#pragma once

#include <memory>

#include "model/designer.h"

// 16 places p1 .. p16 (per station k: the free cards p(4k-3), the machine
// p(4k-2), the rework p(4k-1) and the output p(4k)) and the 16 transitions
// tin4, tredo1..4, tok1..4, tback1..4, tsynch1_23, tsynch4_23, tout1. The
// free-card places hold N tokens. N = 5 gives 2,546,432 markings.
std::unique_ptr<TQRVDesigner> KanbanNet(int cards);
