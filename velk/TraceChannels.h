// VELK_TRACE: which of velk.dll's entry points say what they were called
// with and what they answered, one line each through OutputDebugStringA
// (shown under Wine with WINEDEBUG=+debugstr). Pure: the parse of the
// variable's text.
#pragma once
#include <stdint.h>

enum TraceChannel : uint32_t {
    kTracePost = 1u << 0,         // vPostData
    kTraceRegister = 1u << 1,     // vRegister
    kTraceUnregister = 1u << 2,   // vUnregister
    kTraceGetVar = 1u << 3,       // vGetPublicVar
    kTraceSetVar = 1u << 4,       // vSetPublicVar
    kTraceGetp = 1u << 5,         // vGetp
    kTraceInfo = 1u << 6,         // vGetInfo
    kTraceStatus = 1u << 7,       // velkBusStatus
    kTraceAll = (1u << 8) - 1,
};

// "1" or "all": every entry point; otherwise a list of channel names split
// by commas or blanks, as Wine's debug channels are written: post, register,
// unregister, getvar, setvar, getp, info, status. Null, empty, "0" and names
// not in the list give none of them. Case is ignored.
uint32_t ParseTraceChannels(const char* text);
