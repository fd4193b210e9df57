#include "velkscope/DefaultTraces.h"

#include <algorithm>
#include <string>

#include "velkscope/Source.h"

std::vector<DefaultTrace> ChooseDefaultTraces(const std::vector<uint32_t>& codes, const SignalDatabase* signals,
                                              size_t most, size_t panes)
{
    std::vector<DefaultTrace> chosen;
    std::vector<std::string> units;   // a pane's unit, by pane
    for (uint32_t code : codes) {
        const SignalMessage* known = signals != nullptr ? signals->FindCode(code) : nullptr;
        for (size_t signal : TracesOfCode(code, known)) {
            if (chosen.size() >= most || panes == 0)
                return chosen;
            const Signal* drawn = known != nullptr && signal < known->signals.size() ? &known->signals[signal] : nullptr;
            if (drawn != nullptr && (drawn->counter || drawn->checksum != nullptr))
                continue;
            const std::string unit = drawn != nullptr ? drawn->unit : std::string();
            size_t pane = static_cast<size_t>(std::find(units.begin(), units.end(), unit) - units.begin());
            if (pane == units.size() && units.size() < panes)
                units.push_back(unit);
            chosen.push_back(DefaultTrace{ code, signal, std::min(pane, panes - 1) });
        }
    }
    return chosen;
}
