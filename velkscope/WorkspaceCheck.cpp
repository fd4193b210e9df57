#include "velkscope/WorkspaceCheck.h"

#include "common/Catalogue.h"
#include "common/FormatText.h"
#include "signals/SignalTraces.h"

namespace {

std::string At(const std::string& fileName, unsigned line, unsigned column)
{
    return FormatText("%s:%u:%u: ", fileName.c_str(), line, column);
}

// The trace's signal index, or kRawTrace with the mistake in *error.
size_t TraceSignal(const WorkspaceTrace& trace, const SignalDatabase* signals, std::string* error)
{
    if (trace.signal.empty())
        return kRawTrace;
    if (signals == nullptr) {
        *error = FormatText(N_("signal '%s' needs a signal file (signals = ...)"), trace.signal.c_str());
        return kRawTrace;
    }
    const SignalRef found = signals->FindSignal(trace.signal);
    if (found.signal == nullptr)
        *error = FormatText(N_("no signal '%s' in the signal file"), trace.signal.c_str());
    else if (found.message->code != trace.code)
        *error = FormatText(N_("signal '%s' is not of code %08x"), trace.signal.c_str(), static_cast<unsigned>(trace.code));
    else
        return static_cast<size_t>(found.signal - found.message->signals.data());
    return kRawTrace;
}

}  // namespace

bool CheckWorkspace(const Workspace& workspace, const std::string& fileName, const std::string& folder,
                    WorkspaceFiles* files, CheckedWorkspace* checked, std::vector<std::string>* errors)
{
    const size_t before = errors->size();
    CheckedWorkspace found;
    if (!workspace.signals.empty()) {
        found.signalsPath = ResolveInFolder(folder, workspace.signals);
        found.signals.reset(new SignalDatabase);
        std::vector<std::string> lines;
        if (!files->ReadSignals(found.signalsPath, found.signals.get(), &lines)) {
            for (const std::string& line : lines)
                errors->push_back(At(fileName, workspace.signalsLine, workspace.signalsColumn) + N_("signal file") + ": " + line);
        }
    }
    for (const WorkspaceRecording& recording : workspace.recordings) {
        found.recordingPaths.push_back(ResolveInFolder(folder, recording.path));
        std::string why;
        if (!files->CanOpen(found.recordingPaths.back(), &why))
            errors->push_back(At(fileName, recording.line, recording.column) +
                              FormatText(N_("cannot open '%s'"), recording.path.c_str()) + ": " + why);
    }
    for (const WorkspacePane& pane : workspace.panes) {
        found.signalIndexes.emplace_back();
        for (const WorkspaceTrace& trace : pane.traces) {
            std::string error;
            found.signalIndexes.back().push_back(TraceSignal(trace, found.signals.get(), &error));
            if (!error.empty())
                errors->push_back(At(fileName, trace.line, trace.column) + error);
        }
    }
    if (errors->size() != before)
        return false;
    *checked = std::move(found);
    return true;
}
