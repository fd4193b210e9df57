// The sending side of flood_bench: a process of its own that posts value
// messages through velk.dll at a steady rate.
#pragma once

const unsigned kFloodCode = 0x20000801;   // Write Value, Depth, channel 1
const unsigned kFloodMask = 0x00000800;   // Depth

// flood_bench --send RATE SECONDS: posts RATE messages a second for SECONDS
// and prints how many it posted and how long that took. Returns the exit code.
int RunSender(unsigned rate, unsigned seconds);
