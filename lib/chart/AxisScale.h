// Axis ranges and ticks that read well: steps of 1, 2 or 5 times a power of
// ten, a range that holds the data with the ends on ticks, and labels short
// enough for the margin. Pure logic.
#pragma once
#include <string>
#include <vector>

struct Axis {
    double low = 0, high = 1;   // the range shown; low < high always
    double step = 1;            // between ticks
    std::vector<double> ticks;  // multiples of step from low to high
};

// A range holding [min, max] with at most maxTicks ticks. A constant value
// (or a single point) is centred in a range of its own, integers stepping by
// at least integerStep (1 for integer data, 0 for none). Any input gives a
// usable axis: a reversed range is put in order, NaN and infinities give
// 0 to 1.
Axis NiceAxis(double min, double max, int maxTicks, double integerStep);

// The axis over exactly [low, high] (a fixed scale, a time window): ticks
// at nice steps inside it, the ends left as they are.
Axis FixedAxis(double low, double high, int maxTicks);

// A tick's label, with as many decimals as the step needs and, on an axis
// reaching 100,000 or more, one k, M or G unit for all its ticks:
// "-3", "0.25", "150k", "-2.5G".
std::string TickLabel(double value, const Axis& axis);

// The time window's axis in seconds back from 0 ("now"); minutes from a
// window of 5 minutes up. *unit is "s" or "min"; values are in that unit.
Axis TimeAxis(double windowSeconds, int maxTicks, const char** unit);
