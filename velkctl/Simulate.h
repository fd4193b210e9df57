// velkctl simulate: the rest of the rig from a signal file. Every chosen
// message is posted on its own period (velkctl/Simulation.h) while JSON
// request lines on standard input change values and schedules, each
// answered on standard output (docs/simulate.md).
#pragma once
#include <stdint.h>
#include <windows.h>

#include "client/BusBinding.h"
#include "velkctl/Simulation.h"

// A simulation on the bus, for the loop that runs it (velkctl simulate's,
// the session's): its deadlines on velkctl's clock, its due messages posted,
// its requests answered with their sends posted.
class SimulationSender {
public:
    SimulationSender(const BusBinding& bus, HWND window, Simulation* simulation);

    // Microseconds since it was made: the simulation's clock.
    uint64_t Now() const;
    // MessageSink's DueTicks and Due.
    uint64_t DueTicks();
    void SendDue();
    // The answer line of a request read from line lineNumber.
    std::string Answer(const SimulationRequest& request, uint64_t lineNumber);
    // Whether the bus refused a periodic post (each is counted in the summary).
    bool Refused() const { return refused_; }

private:
    const BusBinding& bus_;
    HWND window_;
    Simulation* simulation_;
    const uint64_t start_;
    const uint64_t rate_;
    bool refused_ = false;
};

struct SimulateOptions {
    uint64_t durationMicros = 0;   // 0: until Ctrl+C or the end of standard input
};

// simulation prepared and its messages chosen. Runs until Ctrl+C, the
// duration, the end of input (without a duration) or the session's end,
// then writes the summary to stderr. The exit status: kExitOk; kExitRefused
// when the window cannot register or the bus refused a post; kExitIo when
// standard output is closed or input cannot be read.
int RunSimulate(const BusBinding& bus, HWND window, Simulation* simulation, const SimulateOptions& options);
