#include "velkctl/CodeStats.h"

#include <inttypes.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "common/FormatText.h"

namespace {

double Rate(uint64_t count, uint64_t micros)
{
    return micros == 0 ? 0.0 : static_cast<double>(count) * 1e6 / static_cast<double>(micros);
}

} // namespace

std::string CodeStats::Format(uint64_t intervalMicros, size_t limit) const
{
    std::vector<std::pair<uint32_t, uint64_t>> ranked(counts_.begin(), counts_.end());
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const std::pair<uint32_t, uint64_t>& a, const std::pair<uint32_t, uint64_t>& b) {
                         return a.second > b.second;
                     });
    std::string text = FormatText("%s in %.3f s, %.1f msg/s, %s\n", CountOf(total_, "message").c_str(),
                                  static_cast<double>(intervalMicros) / 1e6, Rate(total_, intervalMicros),
                                  CountOf(counts_.size(), "code").c_str());
    for (size_t i = 0; i < ranked.size() && i < limit; ++i)
        text += FormatText("  %08x %10" PRIu64 " %10.1f/s\n", static_cast<unsigned>(ranked[i].first),
                           ranked[i].second, Rate(ranked[i].second, intervalMicros));
    if (ranked.size() > limit)
        text += FormatText("  (%zu more codes)\n", ranked.size() - limit);
    return text;
}
