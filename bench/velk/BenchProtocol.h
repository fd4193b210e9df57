// What the two processes of velk_bench say to each other. Control messages
// go by raw PostMessage, so they cost the same in every kind of run. The
// measured messages are WM_BUS_MESSAGE whichever way they go, and carry
// their send time: in the data word of a value, in the text of a payload.
#pragma once
#include <windows.h>

#include "velk/VelkApi.h"

enum BenchKind {
    kRawValue,     // PostMessage straight to the peer's window
    kBusValue,     // vPostData of a value message
    kBusPayload,   // vPostData of a 64-byte string
};

enum BenchMessage {
    kBeginBurst = WM_APP + 1, // wParam: messages to expect; lParam: the driver's window
    kBeginRoundTrips,         // the same, and the peer answers every message
    kAnswer,                  // peer to driver, after each message of a round-trip run
    kRunDone,                 // peer to driver: wParam median, lParam 99th percentile (ns)
    kQuit,
};

const UINT kBenchValueCode = 0x20000801;     // Depth
const UINT kBenchPayloadCode = 0x30000201;   // String, channel 1
const int kBenchPayloadBytes = 64;
const char kPeerClassName[] = "VelkBenchPeer";

// QueryPerformanceCounter in nanoseconds: one clock for both processes.
long long NowNs();

int RunPeer();
