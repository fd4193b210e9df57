#include "velkctl/Plot.h"

#include <inttypes.h>
#include <stdio.h>

#include <windows.h>

#include "chart/TraceValue.h"
#include "client/SignalsOption.h"
#include "windows/Clock.h"
#include "windows/SystemCodePage.h"
#include "velkctl/CommandOutcome.h"
#include "client/InputFile.h"
#include "client/ProgramMessages.h"
#include "common/Catalogue.h"

namespace {

// One message to the signal traces of its code: decoded once, however many
// of its fields are drawn.
void AddSignalValues(const RecordedMessage& message, const SignalDatabase& signals,
                     const std::vector<SignalTraceRef>& traces, std::vector<DecodedSignal>* decoded,
                     PlotCollector* collector)
{
    const SignalMessage* known = nullptr;
    for (size_t t = 0; t < traces.size(); ++t) {
        if (traces[t].code != message.code)
            continue;
        double value = 0;
        if (traces[t].index == kRawTrace) {
            int32_t raw = 0;
            if (TraceValueOf(message.kind, message.value, message.bytes, kArrayFirstByte, &raw))
                collector->AddValue(t, message.micros, raw);
            continue;
        }
        if (known == nullptr) {
            known = signals.FindCode(message.code);
            if (known == nullptr)
                return;
            DecodeMessage(*known, message.value, message.bytes, WindowsSignalCodePages(), decoded);
        }
        if (DrawnValue(*decoded, traces[t].index, &value))
            collector->AddValue(t, message.micros, value);
    }
}

} // namespace

int PlotRecording(const std::string& path, const PlotRequest& request, const SignalDatabase& signals,
                  const std::vector<SignalTraceRef>& traces, const std::string& outPath)
{
    const uint64_t started = ClockTicks();
    PlotCollector collector(request);
    uint64_t read = 0;
    std::vector<DecodedSignal> decoded;
    int status = ReadInputMessages(path, [&](const RecordedMessage& message) {
        if (request.signals.empty())
            collector.Add(message);
        else
            AddSignalValues(message, signals, traces, &decoded, &collector);
        ++read;
    });
    if (status != kExitOk)
        return status;

    const bool toStdout = outPath == "-";
    const int written = WriteDocument(WriteSvg(collector.Chart()), outPath);
    if (written != kExitOk)
        return written;

    for (uint32_t code : collector.Undrawn())
        PrintMessage("velkctl: %08" PRIx32 " has nothing to draw in %s (its legend says no data)\n", code,
                     InputFileName(path).c_str());
    for (const std::string& name : collector.UndrawnSignals())
        PrintMessage("velkctl: %s has nothing to draw in %s (its legend says no data)\n",
                     SystemFromUtf8(name).c_str(), InputFileName(path).c_str());
    PrintMessage("velkctl: plotted %" PRIu64 " of %" PRIu64 " messages to %s in %.3f s\n", collector.Drawn(), read,
                 toStdout ? N_("standard output") : outPath.c_str(), static_cast<double>(ClockMicrosSince(started)) / 1e6);
    return kExitOk;
}
