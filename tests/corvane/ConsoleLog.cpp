#include "tests/corvane/ConsoleLog.h"

#include <gtest/gtest.h>

#include <ctype.h>
#include <stdlib.h>

namespace {

FARPROC RecordingExport(const char* name)
{
    HMODULE bus = GetModuleHandleW(L"velk.dll");
    FARPROC function = bus != nullptr ? GetProcAddress(bus, name) : nullptr;
    if (function == nullptr)
        ADD_FAILURE() << "the installed bus library has no " << name;
    return function;
}

template <typename Function>
Function Recording(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(RecordingExport(name)));
}

size_t DeltaLength(const std::string& line)
{
    size_t digits = 0;
    while (digits < line.size() && isdigit(static_cast<unsigned char>(line[digits])))
        ++digits;
    if (digits < 5 || digits >= line.size() || line[digits] != ' ')
        return 0;
    return digits;
}

} // namespace

std::string LastLogLine(ConsoleSession& console)
{
    return console.OnGui([&] {
        const LineRing& ring = console.DialogObject()->m_logView.Ring();
        return std::string(ring.Row((ring.WriteIndex() + kLogRows - 1) % kLogRows));
    });
}

uint32_t LoggedLineCount(ConsoleSession& console)
{
    return console.OnGui([&] {
        const LineRing& ring = console.DialogObject()->m_logView.Ring();
        return ring.FirstLineNumber() + static_cast<uint32_t>(ring.WriteIndex());
    });
}

std::string WithoutTimeDelta(const std::string& line)
{
    size_t digits = DeltaLength(line);
    return digits == 0 ? std::string() : line.substr(digits + 1);
}

long long TimeDeltaOf(const std::string& line)
{
    size_t digits = DeltaLength(line);
    return digits == 0 ? -1 : strtoll(line.substr(0, digits).c_str(), nullptr, 10);
}

void SetFakePayload(const std::string& bytes)
{
    PFN_fakeSetPayload setPayload = Recording<PFN_fakeSetPayload>("fakeSetPayload");
    if (setPayload != nullptr)
        setPayload(bytes.data(), static_cast<int>(bytes.size()));
}

void SetFakePostHook(PFN_fakePostHook hook, void* context)
{
    PFN_fakeSetPostHook setHook = Recording<PFN_fakeSetPostHook>("fakeSetPostHook");
    if (setHook != nullptr)
        setHook(hook, context);
}

std::string PostedBytes(const FakeCall& call)
{
    size_t kept = call.payloadLength < 0 ? 0 : static_cast<size_t>(call.payloadLength);
    if (kept > sizeof call.payload)
        kept = sizeof call.payload;
    return std::string(reinterpret_cast<const char*>(call.payload), kept);
}
