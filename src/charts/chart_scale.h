// Round tick steps for the axes of the result charts.
#pragma once

#include <QString>

#include <vector>

struct TAxisScale
{
    double Min = 0;
    double Max = 1;
    double Step = 0.2;
};

// The range lo … hi widened to multiples of a round step (1, 2 or 5 times a
// power of ten) with at most `maxTicks` ticks. An empty range is widened
// around its value, a range that is not finite becomes 0 … 1.
TAxisScale NiceScale(double lo, double hi, int maxTicks = 6);

// The multiples of `step` within lo … hi, a value within a billionth of a
// step from 0 written as 0.
std::vector<double> TicksWithin(double lo, double hi, double step);

// The text of a tick value.
QString TickLabel(double value);
