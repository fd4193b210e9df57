// The series scope_open_bench opens: hours of traffic at 2,000 messages a
// second, written as `velkctl record run.txt.gz --split 256MiB` writes it
// (the record line formatter, the gzip member writer, the parts' names and
// header lines, a part begun when the next message would take the
// compressed bytes past 256 MiB), without a bus. Made once in its folder
// and kept there (a file made.txt says it is whole) for the next run.
#pragma once
#include <stdint.h>

#include <string>

const uint64_t kSeriesRate = 2000;              // messages a second
const uint64_t kSeriesStepMicros = 1000000 / kSeriesRate;

struct BenchSeries {
    std::string firstPart;   // folder\run-0001.txt.gz
    uint64_t messages = 0;
    unsigned parts = 0;
    uint64_t bytes = 0;      // compressed, all parts
    uint64_t text = 0;       // the text they hold
    uint64_t spikeAt = 0;    // the message that is a spike (of code 1)
    double seconds = 0;      // making it took; 0: made by an earlier run
};

// The traffic: 8 codes round robin, 6 of values and 2 of 3-byte arrays,
// values a slow sine of amplitude 1000, one message a spike of kSeriesSpike.
const int kSeriesCodes = 8;
const int32_t kSeriesSpike = 1000000;
uint32_t SeriesCode(int index);

// The series of hours in folder (made if it is not there whole); false
// with why printed.
bool MakeBenchSeries(const std::string& folder, unsigned hours, BenchSeries* series);
