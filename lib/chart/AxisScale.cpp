#include "chart/AxisScale.h"

#include <math.h>
#include <stdio.h>

#include <algorithm>

namespace {

// The smallest of 1, 2, 5 x 10^k that is at least raw.
double NiceStep(double raw)
{
    if (!(raw > 0) || !isfinite(raw))
        return 1;
    double power = pow(10, floor(log10(raw)));
    for (double multiple : { 1.0, 2.0, 5.0, 10.0 }) {
        if (multiple * power >= raw * (1 - 1e-9))
            return multiple * power;
    }
    return 10 * power;
}

std::vector<double> TicksBetween(double low, double high, double step)
{
    std::vector<double> ticks;
    double first = ceil(low / step - 1e-9);
    for (double k = first; k * step <= high + step * 1e-9 && ticks.size() < 1000; k += 1)
        ticks.push_back(k * step == 0 ? 0 : k * step);   // no "-0"
    return ticks;
}

} // namespace

Axis NiceAxis(double min, double max, int maxTicks, double integerStep)
{
    if (!isfinite(min) || !isfinite(max)) {
        min = 0;
        max = 1;
    }
    if (min > max)
        std::swap(min, max);
    maxTicks = std::max(maxTicks, 2);
    if (max - min == 0) {
        // Constant: a band around the value, an integer step or 10 % of it.
        double half = std::max(integerStep, fabs(min) * 0.1);
        if (half == 0)
            half = 1;
        min -= half;
        max += half;
    }
    Axis axis;
    double step = NiceStep((max / 2 - min / 2) * 2 / (maxTicks - 1));   // halves: no overflow
    if (integerStep > 0)
        step = std::max(step, integerStep);
    // Widen until the rounded-out ends still leave at most maxTicks ticks.
    for (int guard = 0; guard < 8; ++guard) {
        axis.low = floor(min / step) * step;
        axis.high = ceil(max / step) * step;
        if ((axis.high - axis.low) / step + 1 <= maxTicks + 1e-9)
            break;
        step = NiceStep(step * 1.01);
    }
    if (axis.high <= axis.low)
        axis.high = axis.low + step;
    axis.step = step;
    axis.ticks = TicksBetween(axis.low, axis.high, step);
    return axis;
}

Axis FixedAxis(double low, double high, int maxTicks)
{
    if (!isfinite(low) || !isfinite(high)) {
        low = 0;
        high = 1;
    }
    if (low > high)
        std::swap(low, high);
    if (high - low == 0)
        high = low + 1;
    Axis axis;
    axis.low = low;
    axis.high = high;
    axis.step = NiceStep((high / 2 - low / 2) * 2 / std::max(maxTicks - 1, 1));
    axis.ticks = TicksBetween(low, high, axis.step);
    return axis;
}

std::string TickLabel(double value, const Axis& axis)
{
    static const struct { double size; const char* suffix; } kUnits[] = {
        { 1e9, "G" }, { 1e6, "M" }, { 1e3, "k" },
    };
    // One unit for the whole axis, from its larger end.
    double largest = std::max(fabs(axis.low), fabs(axis.high));
    double size = 1;
    const char* suffix = "";
    for (const auto& unit : kUnits) {
        if (largest >= 1e5 && largest >= unit.size) {
            size = unit.size;
            suffix = unit.suffix;
            break;
        }
    }
    // Enough decimals to tell neighbouring ticks apart, in the unit shown.
    double scaledStep = axis.step / size;
    int decimals = scaledStep >= 1 || !(scaledStep > 0) ? 0 : static_cast<int>(ceil(-log10(scaledStep) - 1e-9));
    decimals = std::min(decimals, 9);
    char text[64];
    snprintf(text, sizeof text, "%.*f%s", decimals, value / size, value == 0 ? "" : suffix);
    std::string label(text);
    if (label[0] == '-' && label.find_first_not_of("-0.") == std::string::npos)
        label.erase(0, 1);   // "-0.00" is 0
    return label;
}

Axis TimeAxis(double windowSeconds, int maxTicks, const char** unit)
{
    bool minutes = windowSeconds >= 300;
    *unit = minutes ? "min" : "s";
    double span = minutes ? windowSeconds / 60 : windowSeconds;
    return FixedAxis(-span, 0, maxTicks);
}
