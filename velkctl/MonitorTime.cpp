#include "velkctl/MonitorTime.h"

bool ParseMonitorTime(const std::string& text, MonitorTime* time)
{
    static const struct { const char* name; MonitorTime time; } kTimes[] = {
        { "rel", kMonitorTimeRelative },
        { "abs", kMonitorTimeAbsolute },
        { "delta", kMonitorTimeDelta },
    };
    for (const auto& entry : kTimes) {
        if (text == entry.name) {
            *time = entry.time;
            return true;
        }
    }
    return false;
}
