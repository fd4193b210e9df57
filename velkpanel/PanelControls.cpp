#include "velkpanel/PanelControls.h"

#include <math.h>

#include "common/FormatText.h"

namespace {

const int kMaxEndSteps = 1024;

// As the decoder turns a raw value into a physical one.
double Physical(const Signal& signal, int64_t raw)
{
    return static_cast<double>(raw) * signal.scale + signal.offset;
}

bool Within(const Signal& signal, int64_t raw)
{
    const double physical = Physical(signal, raw);
    return physical >= signal.min && physical <= signal.max;
}

} // namespace

bool IsToggleSignal(const Signal& signal)
{
    return signal.type == kSignalBool || (signal.type != kSignalStr && !IsFloatType(signal.type) && signal.bits == 1);
}

std::string ToggleValue(const Signal& signal, bool on)
{
    const int64_t raw = on ? 1 : 0;
    if (const std::string* name = signal.EnumName(raw))
        return *name;
    if (signal.type == kSignalBool)
        return on ? "true" : "false";
    return FormatText("%.17g", Physical(signal, raw));
}

bool IsWrittenOnSend(const Signal& signal)
{
    return signal.counter || signal.checksum != nullptr;
}

PanelControlKind ChooseControl(const Signal& signal)
{
    if (IsWrittenOnSend(signal))
        return kControlReadout;
    if (signal.type == kSignalStr)
        return kControlText;
    if (IsToggleSignal(signal))
        return kControlToggle;
    if (!signal.enums.empty())
        return kControlDropdown;
    SliderScale scale;
    return MakeSliderScale(signal, &scale) ? kControlSlider : kControlNumber;
}

bool MakeSliderScale(const Signal& signal, SliderScale* scale)
{
    if (!signal.hasMin || !signal.hasMax || !signal.enums.empty() || signal.type == kSignalStr ||
        IsToggleSignal(signal) || !(signal.min <= signal.max))
        return false;
    if (IsFloatType(signal.type)) {
        if (!isfinite(signal.max - signal.min))
            return false;
        *scale = SliderScale();
        scale->isFloat = true;
        scale->min = signal.min;
        scale->max = signal.max;
        scale->last = signal.min == signal.max ? 0 : kFloatSliderSteps;
        return true;
    }
    const double a = (signal.min - signal.offset) / signal.scale;
    const double b = (signal.max - signal.offset) / signal.scale;
    const double low = fmin(a, b), high = fmax(a, b);
    if (!(fabs(low) < 4e18 && fabs(high) < 4e18))
        return false;
    int64_t lowest, highest;
    signal.RawLimits(&lowest, &highest);
    int64_t from = static_cast<int64_t>(ceil(low)), to = static_cast<int64_t>(floor(high));
    // The division's rounding may leave an end one count off: judged, as
    // the encoder judges, by the physical value.
    if (from > lowest && Within(signal, from - 1))
        --from;
    if (to < highest && Within(signal, to + 1))
        ++to;
    // A physical value coarser than the scale (a huge offset) can take a
    // few counts more; past that the signal is not worth a slider.
    for (int step = 0; step < kMaxEndSteps && from <= to && !Within(signal, from); ++step)
        ++from;
    for (int step = 0; step < kMaxEndSteps && to >= from && !Within(signal, to); ++step)
        --to;
    if (from <= to && !(Within(signal, from) && Within(signal, to)))
        return false;
    from = from < lowest ? lowest : from;
    to = to > highest ? highest : to;
    if (from > to || static_cast<uint64_t>(to - from) > static_cast<uint64_t>(kMaxSliderPositions))
        return false;
    *scale = SliderScale();
    scale->direction = signal.scale > 0 ? 1 : -1;
    scale->firstRaw = signal.scale > 0 ? from : to;
    scale->last = static_cast<int>(to - from);
    return true;
}

double SliderPhysical(const Signal& signal, const SliderScale& scale, int position)
{
    position = position < 0 ? 0 : position > scale.last ? scale.last : position;
    if (scale.isFloat) {
        if (position == scale.last)
            return scale.max;
        return scale.min + (scale.max - scale.min) * position / scale.last;
    }
    return Physical(signal, scale.firstRaw + scale.direction * position);
}

int SliderPosition(const Signal& signal, const SliderScale& scale, double physical)
{
    double position;
    if (scale.isFloat)
        position = scale.last == 0 ? 0 : (physical - scale.min) / (scale.max - scale.min) * scale.last;
    else
        position = ((physical - signal.offset) / signal.scale - static_cast<double>(scale.firstRaw)) *
                   static_cast<double>(scale.direction);
    if (!(position > 0))
        return 0;
    if (position >= scale.last)
        return scale.last;
    return static_cast<int>(floor(position + 0.5));
}

std::string PeriodText(uint64_t micros)
{
    if (micros == 0)
        return std::string();
    if (micros % 1000000 == 0)
        return FormatText("%llus", static_cast<unsigned long long>(micros / 1000000));
    if (micros % 1000 == 0)
        return FormatText("%llums", static_cast<unsigned long long>(micros / 1000));
    return FormatText("%lluus", static_cast<unsigned long long>(micros));
}
