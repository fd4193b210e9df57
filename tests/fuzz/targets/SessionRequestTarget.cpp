// A session request line from a script: a refusal names its line and says
// why; what is taken holds only values in their ranges and fitting its op.
#include "tests/fuzz/FuzzTargets.h"

#include "formats/RecordLine.h"
#include "velkctl/SessionRequest.h"
#include "velkctl/SimulationRequest.h"
#include "protocol/MessageCode.h"
#include "tests/unit/FakeSignals.h"

namespace {

void CheckTaken(const SessionRequest& request, const SignalResolver* signals)
{
    FUZZ_CHECK(request.hasId && request.id <= kMaxSessionId);
    FUZZ_CHECK(request.op >= kSessionPost && request.op <= kSessionQuit);
    FUZZ_CHECK(request.signal.empty() || (signals != nullptr && request.pattern.mask == 0xFFFFFFFF));
    switch (request.op) {
    case kSessionPost:
        FUZZ_CHECK(request.pattern.mask == 0xFFFFFFFF);
        if (!request.signal.empty())
            FUZZ_CHECK(request.postKind == kPostValue);
        else if (request.postKind == kPostValue)
            FUZZ_CHECK(!IsPayloadShapedValue(request.pattern.code) && request.payload.empty());
        else if (request.postKind == kPostText)
            FUZZ_CHECK(ClassifyCode(request.pattern.code) == kStringPayload);
        else
            FUZZ_CHECK(ClassifyCode(request.pattern.code) != kValueMessage);
        FUZZ_CHECK(request.payload.size() <= kMaxRecordedPayload);
        break;
    case kSessionExpect:
    case kSessionRate:
        FUZZ_CHECK(request.micros > 0);
        break;
    case kSessionCollect:
        FUZZ_CHECK(request.micros > 0 && request.max >= 1 && request.max <= kMaxCollectMax);
        break;
    case kSessionVarGet:
    case kSessionVarSet:
        FUZZ_CHECK(request.index < kSessionVariables);
        break;
    case kSessionRecent:
        FUZZ_CHECK(request.max >= 1 && request.max <= kMaxRecentMax);
        break;
    case kSessionUnsubscribe:
        FUZZ_CHECK(request.sub >= 1 && request.sub <= kMaxSessionId);
        break;
    default:
        break;
    }
}

} // namespace

// The simulation's requests, read first by the session: one kind or the
// other, never both; a refusal names its line.
void CheckSimulation(const std::string& line, uint64_t number, const std::string& prefix)
{
    SimulationRequest request;
    SessionRequest session;
    std::string error, sessionError;
    const SimulationParse parsed = ParseSimulationRequest(line, number, true, &request, &error);
    FUZZ_CHECK(parsed == kSimulationRead || (error.size() > prefix.size() && error.compare(0, prefix.size(), prefix) == 0));
    if (parsed == kSimulationNotOne)
        return;
    FUZZ_CHECK(!ParseSessionRequest(line, number, nullptr, &session, &sessionError));
    FUZZ_CHECK(!request.hasId || request.id <= kMaxSessionId);
    if (parsed == kSimulationRead) {
        FUZZ_CHECK(request.hasId);
        FUZZ_CHECK(request.op != kSimulationPeriod || request.periodMicros > 0);
        FUZZ_CHECK(request.only.empty() || request.except.empty());
        for (const std::string& name : request.only)
            FUZZ_CHECK(!name.empty() && name.find(' ') == std::string::npos);
    }
}

void FuzzSessionRequest(const uint8_t* data, size_t size)
{
    const std::string line = FuzzText(data, size);
    const uint64_t number = 1 + (size == 0 ? 0 : data[0]);
    const std::string prefix = "line " + std::to_string(number) + ": ";
    CheckSimulation(line, number, prefix);
    const FakeSignals fake;
    bool takenWithout = false;
    SessionRequest without;
    for (const SignalResolver* signals : { static_cast<const SignalResolver*>(nullptr),
                                           static_cast<const SignalResolver*>(&fake) }) {
        SessionRequest request;
        std::string error;
        if (!ParseSessionRequest(line, number, signals, &request, &error)) {
            FUZZ_CHECK(error.size() > prefix.size() && error.compare(0, prefix.size(), prefix) == 0);
            FUZZ_CHECK(!request.hasId || request.id <= kMaxSessionId);
            // Names only add to what codes say: what is taken without them is taken with them.
            FUZZ_CHECK(!takenWithout);
            continue;
        }
        CheckTaken(request, signals);
        if (signals == nullptr) {
            takenWithout = true;
            without = request;
        } else if (takenWithout) {
            FUZZ_CHECK(request.id == without.id && request.op == without.op && request.payload == without.payload);
        }
    }
}
