// The large net of the benchmarks: 2,000 places with their name labels,
// 2,000 timed transitions and 4,000 arcs in a grid (10,000 elements), as a
// user's large model would be.
#pragma once

class TQRVDesigner;

// Fills an empty container with the net, its regions built.
void BuildLargeNet(TQRVDesigner& net);
