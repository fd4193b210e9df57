#include "protocol/BusCounters.h"

#include <inttypes.h>

#include "common/Catalogue.h"
#include "common/FormatText.h"

CounterValues ParseCounters(const char* text)
{
    CounterValues values;
    if (text == nullptr)
        return values;
    std::string all(text);
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos)
            end = all.size();
        std::string line = all.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t space = line.find(' ');
        if (space == 0 || space == std::string::npos || space + 1 == line.size())
            continue;
        uint64_t value = 0;
        bool number = true;
        for (size_t i = space + 1; i < line.size() && number; ++i) {
            const uint64_t digit = static_cast<uint64_t>(line[i] - '0');
            number = line[i] >= '0' && line[i] <= '9' && value <= (UINT64_MAX - digit) / 10;
            if (number)
                value = value * 10 + digit;
        }
        if (number)
            values[line.substr(0, space)] = value;
    }
    return values;
}

std::string FormatCounterChange(const CounterValues& before, const CounterValues& after, bool* losing)
{
    static const struct { const char* name; bool loss; } kShown[] = {
        { "posted", false }, { "delivered", false }, { "dropped", true }, { "expired", true },
        { "abandoned", true },   // left undecided by a sender that died mid-post
    };
    *losing = false;
    std::string changes[5];
    for (size_t i = 0; i < 5; ++i) {
        const char* name = kShown[i].name;
        CounterValues::const_iterator from = before.find(name);
        CounterValues::const_iterator to = after.find(name);
        if (from == before.end() || to == after.end()) {
            changes[i] = "?";
            continue;
        }
        // A bus restarted meanwhile starts again from 0.
        uint64_t change = to->second >= from->second ? to->second - from->second : to->second;
        changes[i] = FormatText("+%" PRIu64, change);
        if (change != 0 && kShown[i].loss) {
            changes[i] = FormatText(N_("%s (LOSING)"), changes[i].c_str());
            *losing = true;
        }
    }
    // One format, so that the catalogue has the line whole.
    return FormatText(N_("posted %s, delivered %s, dropped %s, expired %s, abandoned %s"), changes[0].c_str(),
                      changes[1].c_str(), changes[2].c_str(), changes[3].c_str(), changes[4].c_str());
}
