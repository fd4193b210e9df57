// velk.dll's trace: with VELK_TRACE set (velk/TraceChannels.h), each traced
// entry point writes one line through OutputDebugStringA. Off, it costs the
// one test of TraceOn per call.
#pragma once
#include <stdint.h>

#include "velk/TraceChannels.h"

extern uint32_t g_traceChannels;   // read once, when the library is loaded

inline bool TraceOn(uint32_t channel)
{
    return (g_traceChannels & channel) != 0;
}

// Reads VELK_TRACE.
void StartTrace();
// "velk: " and the printf-formatted text, as one line of the debug output.
void TraceLine(const char* format, ...);
// Up to 48 bytes of a text the library returns, quoted, control bytes as \xNN.
const char* TraceText(const char* text, char (&buffer)[256]);
