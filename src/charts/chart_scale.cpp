#include "charts/chart_scale.h"

#include <algorithm>
#include <cmath>

#include "model/numbers.h"

namespace {

double roundStep(double rough)
{
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    const double fraction = rough / magnitude;
    const double nice = fraction <= 1 ? 1 : fraction <= 2 ? 2 : fraction <= 5 ? 5 : 10;
    return nice * magnitude;
}

} // namespace

TAxisScale NiceScale(double lo, double hi, int maxTicks)
{
    if (!std::isfinite(lo) || !std::isfinite(hi))
        return TAxisScale();
    if (hi < lo)
        std::swap(lo, hi);
    if (hi - lo <= std::max(std::fabs(lo), std::fabs(hi)) * 1e-12) {
        const double spread = lo == 0 ? 1.0 : std::fabs(lo) * 0.1;
        lo -= spread;
        hi += spread;
    }
    maxTicks = std::max(maxTicks, 3);
    const double step = roundStep((hi - lo) / (maxTicks - 1));
    if (!std::isfinite(step) || step <= 0)
        return TAxisScale();
    TAxisScale scale;
    scale.Step = step;
    scale.Min = std::floor(lo / step + 1e-9) * step;
    scale.Max = std::ceil(hi / step - 1e-9) * step;
    return scale;
}

std::vector<double> TicksWithin(double lo, double hi, double step)
{
    std::vector<double> ticks;
    if (!(step > 0) || !std::isfinite(lo) || !std::isfinite(hi) || hi < lo)
        return ticks;
    const double first = std::ceil(lo / step - 1e-9);
    const double last = std::floor(hi / step + 1e-9);
    if (last - first > 1000)
        return ticks;
    for (double k = first; k <= last; ++k) {
        const double t = k * step;
        ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
    }
    return ticks;
}

QString TickLabel(double value)
{
    return FormatGeneral(value, 6);
}
