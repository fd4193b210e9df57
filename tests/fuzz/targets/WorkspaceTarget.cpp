// A velkscope workspace from anyone: a refusal names a line and column for
// each mistake, in the file's order; a workspace taken is within every
// bound, and what FormatWorkspace writes of it reads back to the same text.
#include "tests/fuzz/FuzzTargets.h"

#include <vector>

#include "velkscope/ScopeModel.h"
#include "velkscope/Workspace.h"

void FuzzWorkspace(const uint8_t* data, size_t size)
{
    const std::string text = FuzzText(data, size);
    Workspace workspace;
    std::vector<std::string> errors;
    if (!LoadWorkspace(text, "w", &workspace, &errors)) {
        FUZZ_CHECK(!errors.empty() && errors.size() <= kMaxWorkspaceErrors + 1);
        for (const std::string& error : errors)
            FUZZ_CHECK(error.compare(0, 2, "w:") == 0);
        FUZZ_CHECK(workspace.panes.empty() && workspace.recordings.empty() && workspace.signals.empty());
        return;
    }
    FUZZ_CHECK(workspace.recordings.size() <= kMaxWorkspaceRecordings);
    FUZZ_CHECK(workspace.panes.size() <= kMaxPanes);
    size_t traces = 0;
    for (const WorkspacePane& pane : workspace.panes) {
        FUZZ_CHECK(!pane.fixed || pane.high > pane.low);
        size_t along = 0;
        for (const WorkspaceTrace& trace : pane.traces) {
            FUZZ_CHECK(trace.recording <= workspace.recordings.size());
            FUZZ_CHECK(trace.colour >= -1 && trace.colour < kTraceColours);
            along += trace.x ? 1 : 0;
            ++traces;
        }
        FUZZ_CHECK(along <= 1);
    }
    FUZZ_CHECK(traces <= kMaxScopeTraces);
    FUZZ_CHECK(!workspace.viewGiven || workspace.to > workspace.from);
    const std::string written = FormatWorkspace(workspace);
    Workspace again;
    FUZZ_CHECK(LoadWorkspace(written, "w", &again, &errors));
    FUZZ_CHECK(FormatWorkspace(again) == written);
}
