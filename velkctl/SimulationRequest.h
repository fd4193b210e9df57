// The requests of a simulation, one JSON object a line: velkctl simulate's
// standard input, and the same kinds among velkctl session's requests
// (docs/simulate.md). Pure logic.
//
//   {"op":"set","signal":"motor.speed","value":150}
//   {"op":"start","message":"pump.status","period":"50ms"}   message and period optional
//   {"op":"stop","message":"pump.status"}                    message optional: all
//   {"op":"period","message":"pump.status","period":0.05}
//   {"op":"send","message":"pump.status","values":{"mode":"auto"}}
//   {"op":"describe","message":"pump.status"}
//   {"op":"simulate","only":"motor.speed motor.state"}       the session's; or "except"
#pragma once
#include <stdint.h>
#include <string>
#include <utility>
#include <vector>

enum SimulationOp { kSimulate, kSimulationSet, kSimulationStart, kSimulationStop, kSimulationPeriod,
                    kSimulationSend, kSimulationDescribe };

struct SimulationRequest {
    bool hasId = false;
    uint64_t id = 0;
    SimulationOp op = kSimulationDescribe;
    std::string signal;                     // set: a full signal name
    std::string value;                      // set: a number as written, an enum name, true/false or a text
    std::string message;                    // start, stop: empty for every simulated message
    uint64_t periodMicros = 0;              // period; start: 0 for the message's own
    std::vector<std::string> only, except;  // simulate: message names
    std::vector<std::pair<std::string, std::string>> values;   // send: field, value as set takes it
};

enum SimulationParse {
    kSimulationNotOne,     // no simulation request: another kind, or no request at all (*error says why)
    kSimulationRead,
    kSimulationRefused,    // a simulation request with a fault (*error: "line N: ...")
};

// One line without its end; lineNumber counts from 1. idRequired: a line
// without "id" is refused (the session's rule); else it is answered with
// "id":null. *request holds the id of a refused line that had a good one.
// The simulation's ops, blank-separated in their order: a session names
// them among its own when an op is unknown.
std::string SimulationOpNames();

SimulationParse ParseSimulationRequest(const std::string& line, uint64_t lineNumber, bool idRequired,
                                       SimulationRequest* request, std::string* error);

// {"id":N,"ok":true<members>}, "id":null for a request without one.
std::string FormatSimulationOk(const SimulationRequest& request, const std::string& members = std::string());
// {"id":N,"ok":false,"error":"..."}.
std::string FormatSimulationError(const SimulationRequest& request, const std::string& error);
