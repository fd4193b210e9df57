// Whether a workspace read by LoadWorkspace can be used, all or nothing:
// its signal file loads, each recording opens and each trace's signal is
// in the signal file under the trace's code. Every mistake is named at the
// line and column of the key behind it; with any, nothing is used. Pure
// logic: the files are reached through WorkspaceFiles.
#pragma once
#include <stddef.h>

#include <memory>
#include <string>
#include <vector>

#include "signals/SignalDatabase.h"
#include "velkscope/Workspace.h"

// What the check needs of the files a workspace names (paths UTF-8,
// resolved against the workspace's folder).
class WorkspaceFiles {
public:
    virtual ~WorkspaceFiles() = default;
    // The signal file into *signals; false with its mistakes in *errors.
    virtual bool ReadSignals(const std::string& path, SignalDatabase* signals, std::vector<std::string>* errors) = 0;
    // Whether the recording can be opened for reading; false with why in *why.
    virtual bool CanOpen(const std::string& path, std::string* why) = 0;
};

// A workspace found usable, its names resolved.
struct CheckedWorkspace {
    std::unique_ptr<SignalDatabase> signals;        // null: the workspace names none
    std::string signalsPath;
    std::vector<std::string> recordingPaths;        // as workspace.recordings
    // Each pane's traces' signal: kRawTrace or its index in its message.
    std::vector<std::vector<size_t>> signalIndexes;
};

// workspace: as LoadWorkspace read it from fileName in folder (UTF-8).
// False with one "FILE:LINE:COLUMN: what is wrong" a mistake, in the
// file's order, and *checked untouched.
bool CheckWorkspace(const Workspace& workspace, const std::string& fileName, const std::string& folder,
                    WorkspaceFiles* files, CheckedWorkspace* checked, std::vector<std::string>* errors);
