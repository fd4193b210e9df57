#include "velkctl/CommandTable.h"

#include "common/Catalogue.h"

std::unique_ptr<Command> MakeClientsCommand();
std::unique_ptr<Command> MakeVarsCommand();
std::unique_ptr<Command> MakeCountersCommand();
std::unique_ptr<Command> MakeSetVarCommand();
std::unique_ptr<Command> MakePostCommand();
std::unique_ptr<Command> MakeSendStrCommand();
std::unique_ptr<Command> MakeSendArrCommand();
std::unique_ptr<Command> MakeStopAllCommand();
std::unique_ptr<Command> MakeMonitorCommand();
std::unique_ptr<Command> MakeEndSessionCommand();
std::unique_ptr<Command> MakeRecordCommand();
std::unique_ptr<Command> MakeReplayCommand();
std::unique_ptr<Command> MakeStatsCommand();
std::unique_ptr<Command> MakeExportCommand();
std::unique_ptr<Command> MakeBridgeCommand();
std::unique_ptr<Command> MakePlotCommand();
std::unique_ptr<Command> MakeReportCommand();
std::unique_ptr<Command> MakeTopCommand();
std::unique_ptr<Command> MakeSignalsCommand();
std::unique_ptr<Command> MakeSessionCommand();
std::unique_ptr<Command> MakeSimulateCommand();

const CommandRow kCommandTable[] = {
    { "clients", N_("list the registered windows: handle, mask, name, process id"), kNeedsBus, MakeClientsCommand },
    { "vars", N_("list the public variables, one INDEX=VALUE a line"), kNeedsBus, MakeVarsCommand },
    { "counters", N_("list the bus's counters: posted, delivered, dropped, expired, ..."), kNeedsBus,
      MakeCountersCommand },
    { "set-var", N_("set a public variable"), kNeedsBus, MakeSetVarCommand },
    { "post", N_("post a value message"), kNeedsBus, MakePostCommand },
    { "send-str", N_("post a string message on channel CH: TEXT or --file"), kNeedsBus, MakeSendStrCommand },
    { "send-arr", N_("post an array message on channel CH"), kNeedsBus, MakeSendArrCommand },
    { "stop-all", N_("post the stop-all message, code 80800000"), kNeedsBus, MakeStopAllCommand },
    { "monitor", N_("print one line per message received"), kNeedsBus, MakeMonitorCommand },
    { "end-session", N_("send WM_ENDSESSION to every other registered window"), kNeedsBus, MakeEndSessionCommand },
    { "record", N_("write the messages received to FILE, one line each: all, or around each --trigger"), kNeedsBus, MakeRecordCommand },
    { "replay", N_("post a recording's messages again with their recorded spacing"), kNeedsBus, MakeReplayCommand },
    { "stats", N_("messages per code, total rate and the bus counters, every interval"), kNeedsBus, MakeStatsCommand },
    { "export", N_("write a recording as CSV for Excel or LibreOffice"), kNeedsNoBus, MakeExportCommand },
    { "bridge", N_("join this bus to others: messages out as JSON lines on stdout, lines from stdin posted"), kNeedsBus,
      MakeBridgeCommand },
    { "plot", N_("draw codes of a recording as an SVG chart, for reports and tickets"), kNeedsNoBus, MakePlotCommand },
    { "report", N_("one page of a recording, with per code gaps and checks, per signal min/max/mean, limits, enums and charts"),
      kNeedsNoBus, MakeReportCommand },
    { "top", N_("one row per code with its latest value and rate, updated in place"), kNeedsBus, MakeTopCommand },
    { "signals", N_("check a signal file or show what it says: names, units, scaling, byte layouts; or import one from a DBC"), kNeedsNoBus,
      MakeSignalsCommand },
    { "session", N_("requests as JSON lines on stdin, answers on stdout: post, expect, collect, rate, ... for scripts"),
      kNeedsBus, MakeSessionCommand },
    { "simulate", N_("send the messages of a signal file on their periods, counters counting, checksums checking"),
      kNeedsBus, MakeSimulateCommand },
};

const size_t kCommandCount = sizeof kCommandTable / sizeof kCommandTable[0];
