#include "velkctl/Report.h"

#include <inttypes.h>
#include <stdio.h>
#include <memory>
#include <string>
#include <vector>

#include "client/InputFile.h"
#include "client/ProgramMessages.h"
#include "client/SignalsOption.h"
#include "velkctl/CommandOutcome.h"
#include "velkctl/ReportTables.h"
#include "windows/Clock.h"
#include "windows/SystemCodePage.h"

int ReportRecording(const ReportOptions& options)
{
    const uint64_t started = ClockTicks();
    SignalDatabase none;
    RecordingReport report(options.signals != nullptr ? *options.signals : none, WindowsSignalCodePages());
    ReportHeading heading;
    heading.recording = Utf8FromSystem(InputFileName(options.path));
    heading.signalFile = Utf8FromSystem(options.signalsFile);
    int status = ReadInputMessages(options.path, [&report](const RecordedMessage& message) { report.Add(message); },
                                   &heading.start, &heading.startKnown);
    if (status != kExitOk)
        return status;

    std::string page;
    if (!options.text)
        page = ReportHtml(report, heading);
    else if (options.out == "-")
        page = SystemFromUtf8(ReportText(report, heading));
    else
        page = ReportText(report, heading);
    status = WriteDocument(page, options.out);
    if (status != kExitOk)
        return status;
    PrintMessage("velkctl: reported %" PRIu64 " messages of %zu codes to %s in %.3f s\n", report.Messages(),
                 report.Codes().size(), options.out == "-" ? N_("standard output") : options.out.c_str(),
                 static_cast<double>(ClockMicrosSince(started)) / 1e6);
    return kExitOk;
}
