#include "velk/InfoTexts.h"

#include <inttypes.h>
#include <string.h>

#include "velk/VelkApi.h"
#include "common/FormatText.h"
#include "velk/BusLink.h"
#include "velk/BusLock.h"
#include "velk/Departures.h"
#include "velk/PostLedger.h"
#include "velk/Registry.h"
#include "velk/VelkLibrary.h"
#include "velk/VelkResults.h"

namespace {

// A name is one word of the line: blanks and control characters would split it.
std::string NameWord(const char* name)
{
    std::string word;
    for (size_t i = 0; i < kClientNameBytes && name[i] != '\0'; ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        word += c <= ' ' || c == 0x7F ? '_' : static_cast<char>(c);
    }
    return word.empty() ? "-" : word;
}

// Handles are printed sign-extended to 64 bits, the platform's rule, so a
// parser of either width that cuts to its own width gets its own handle value.
uint64_t HandleValue(uint32_t window)
{
    return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(window)));
}

std::string HandleList(SharedBus* bus)
{
    PruneVanishedClients(bus);
    BusClient clients[kMaxClients];
    uint32_t count;
    {
        BusLock lock(bus);
        count = CopyClients(bus, clients);
    }
    std::string text;
    for (uint32_t i = 0; i < count; ++i)
        text += FormatText("%" PRIx64 " %" PRIx32 " %s %" PRIu32 "\r\n", HandleValue(clients[i].window),
                     clients[i].mask, NameWord(clients[i].name).c_str(), clients[i].pid);
    return text;
}

std::string Variables(const SharedBus* bus)
{
    std::string text;
    for (uint32_t i = 0; i < kPublicVarCount; ++i)
        text += FormatText("%" PRIu32 "=%" PRId32 "\r\n", i, bus->vars[i]);
    return text;
}

std::string Counters(SharedBus* bus)
{
    SettleDeadSenders(bus);
    BusCounters counters;
    uint32_t clientCount;
    uint64_t pending;
    {
        BusLock lock(bus);
        clientCount = ClientCount(bus);
        pending = PendingDeliveries(bus);
        counters = bus->counters;
    }
    std::string text = FormatText("clients %" PRIu32 "\r\n", clientCount);
    const struct {
        const char* name;
        uint64_t value;
    } lines[] = {
        { "posted", counters.posted },
        { "delivered", counters.delivered },
        { "dropped", counters.dropped },
        { "expired", counters.expired },
        { "refused", counters.refused },
        { "pruned", counters.pruned },
        { "lock-recoveries", counters.lockRecoveries },
        { "mutex-recoveries", counters.mutexRecoveries },
        { "routed", counters.routed },
        { "abandoned", counters.abandoned },
        { "pending", pending },
        { "unknown", counters.unknown },
        { "repaired", counters.repaired },
    };
    for (const auto& line : lines)
        text += FormatText("%s %" PRIu64 "\r\n", line.name, line.value);
    return text;
}

} // namespace

std::string InfoText(SharedBus* bus, int busStatus, int selector)
{
    switch (selector) {
    case kInfoVersion:
        return VELK_VERSION_TEXT;
    case kInfoBuild:
        return __DATE__;
    case kInfoHandles:
        return bus != NULL ? HandleList(bus) : std::string();
    case kInfoVariables:
        return bus != NULL ? Variables(bus) : std::string();
    case kInfoFurther:
        if (bus == NULL)
            return FormatText("no bus: %s (%d)\r\n", VelkResultText(busStatus), busStatus);
        return Counters(bus);
    case VELK_INFO_ATTACHED_PROCESSES: {
        int processes = bus != NULL ? AttachedProcessCount() : 0;
        return processes > 0 ? FormatText("%d", processes) : std::string();
    }
    default:
        return std::string();
    }
}
