#include "velkctl/SessionAnswer.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/FormatText.h"
#include "formats/JsonLine.h"

namespace {

std::string Id(uint64_t id)
{
    return FormatText("{\"id\":%llu", static_cast<unsigned long long>(id));
}

} // namespace

std::string JsonNumber(double value)
{
    if (!isfinite(value))
        return "null";
    // An exponent only where plain digits would be long: 50, not 5e+01.
    const double size = fabs(value);
    const bool plain = size == 0 || (size >= 1e-4 && size < 1e16);
    std::string text;
    for (int precision = 1; precision <= 17; ++precision) {
        text = FormatText("%.*g", precision, value);
        if (strtod(text.c_str(), nullptr) == value && (!plain || text.find('e') == std::string::npos))
            break;
    }
    return text;
}

std::string FormatSessionMessage(const RecordedMessage& message, bool expired, const CodePage& codePage,
                                 const std::string& signalsJson)
{
    std::string line = "{\"t\":" + FormatSeconds(message.micros) + "," +
                       FormatMessageMembers(message, expired, codePage);
    if (!signalsJson.empty())
        line += ",\"signals\":" + signalsJson;
    return line + "}";
}

std::string FormatOkAnswer(uint64_t id, const std::string& members)
{
    return Id(id) + ",\"ok\":true" + members + "}";
}

std::string FormatErrorAnswer(const SessionRequest& request, const std::string& error)
{
    return (request.hasId ? Id(request.id) : std::string("{\"id\":null")) + ",\"ok\":false,\"error\":" +
           JsonString(error) + "}";
}

std::string FormatMatchAnswer(uint64_t id, const std::string& message)
{
    return FormatOkAnswer(id, ",\"matched\":true,\"msg\":" + message);
}

std::string FormatTimeoutAnswer(uint64_t id, uint64_t seen, const std::string& lastOrEmpty)
{
    std::string members = FormatText(",\"matched\":false,\"seen\":%llu", static_cast<unsigned long long>(seen));
    if (!lastOrEmpty.empty())
        members += ",\"last\":" + lastOrEmpty;
    return FormatOkAnswer(id, members);
}

std::string FormatCollectAnswer(uint64_t id, uint64_t count, const std::vector<std::string>& messages)
{
    std::string members = FormatText(",\"count\":%llu,\"cut\":%s,\"msgs\":[", static_cast<unsigned long long>(count),
                                     count > messages.size() ? "true" : "false");
    for (size_t i = 0; i < messages.size(); ++i)
        members += (i == 0 ? "" : ",") + messages[i];
    return FormatOkAnswer(id, members + "]");
}

std::string FormatRecentAnswer(uint64_t id, const std::vector<std::string>& messages)
{
    std::string members = ",\"msgs\":[";
    for (size_t i = 0; i < messages.size(); ++i)
        members += (i == 0 ? "" : ",") + messages[i];
    return FormatOkAnswer(id, members + "]");
}

std::string FormatRateAnswer(uint64_t id, uint64_t count, uint64_t firstMicros, uint64_t lastMicros,
                             uint64_t overMicros)
{
    const uint64_t span = count >= 2 && lastMicros > firstMicros ? lastMicros - firstMicros : 0;
    const double hz = span > 0 ? static_cast<double>(count - 1) * 1e6 / static_cast<double>(span)
                               : static_cast<double>(count) * 1e6 / static_cast<double>(overMicros);
    return FormatOkAnswer(id, FormatText(",\"count\":%llu,\"hz\":", static_cast<unsigned long long>(count)) +
                                  JsonNumber(hz) + ",\"span\":" + FormatSeconds(span) +
                                  ",\"over\":" + FormatSeconds(overMicros));
}

std::string FormatReplayAnswer(uint64_t id, const SessionReplayCounts& counts)
{
    std::string members = FormatText(",\"posted\":%llu,\"triggers\":%llu,\"expired\":%llu,\"parts\":%llu,\"seconds\":",
                                      static_cast<unsigned long long>(counts.posted),
                                      static_cast<unsigned long long>(counts.triggers),
                                      static_cast<unsigned long long>(counts.expired),
                                      static_cast<unsigned long long>(counts.parts)) +
                          FormatSeconds(counts.micros);
    if (!counts.notice.empty())
        members += ",\"notice\":" + JsonString(counts.notice);
    return FormatOkAnswer(id, members);
}

std::vector<SessionClient> ParseClientList(const char* list)
{
    std::vector<SessionClient> clients;
    for (const char* at = list; at != nullptr && *at != '\0';) {
        const char* end = strchr(at, '\n');
        std::string line(at, end != nullptr ? static_cast<size_t>(end - at) : strlen(at));
        at = end != nullptr ? end + 1 : nullptr;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        unsigned long long handle = 0;
        unsigned mask = 0, pid = 0;
        char name[256];
        int used = 0;
        if (sscanf(line.c_str(), "%llx %x %255s %u%n", &handle, &mask, name, &pid, &used) == 4 &&
            static_cast<size_t>(used) == line.size())
            clients.push_back(SessionClient{ handle & 0xFFFFFFFFull, mask, pid, name });   // HWNDs are 32 bits wide
    }
    return clients;
}

std::string FormatClientsAnswer(uint64_t id, const std::vector<SessionClient>& clients)
{
    std::string members = ",\"clients\":[";
    for (size_t i = 0; i < clients.size(); ++i) {
        const SessionClient& client = clients[i];
        members += FormatText("%s{\"handle\":\"%08llx\",\"mask\":\"%08x\",\"pid\":%u,\"name\":", i == 0 ? "" : ",",
                              static_cast<unsigned long long>(client.handle), static_cast<unsigned>(client.mask),
                              static_cast<unsigned>(client.processId)) +
                   JsonString(client.name) + "}";
    }
    return FormatOkAnswer(id, members + "]");
}

std::string FormatCountersAnswer(uint64_t id, const CounterValues& counters)
{
    std::string members;
    for (const auto& counter : counters)
        members += (members.empty() ? "" : ",") + JsonString(counter.first) +
                   FormatText(":%llu", static_cast<unsigned long long>(counter.second));
    return FormatOkAnswer(id, ",\"counters\":{" + members + "}");
}

std::string FormatMessageEvent(uint64_t sub, const std::string& message)
{
    // The message's members after the event's own.
    return FormatText("{\"ev\":\"msg\",\"sub\":%llu,", static_cast<unsigned long long>(sub)) + message.substr(1);
}
