// A velkscope workspace: what was open and how it was shown, as a commented
// TOML file, so that an engineer picks up tomorrow where they stopped.
// Read strictly, as signal files are: every mistake at FILE:LINE:COLUMN,
// and a file with any mistake is not used. Pure logic: the caller reads
// the file, resolves the paths (relative to the workspace's folder) and
// the signal names, and applies it.
//
//   signals = "rig.toml"          # optional; relative to this file
//
//   [[recording]]                 # in order: recording = 1, 2, ...
//   path = "night.rec"
//   offset = 0.0                  # seconds the file's times are moved on the axis
//
//   [view]
//   from = 0.0                    # seconds on the axis (0: the earliest start)
//   to = 60.0
//   live = false                  # follow the bus (then the window counts)
//   window = "10s"                # the live window, 1s to 1h
//   wall_clock = false            # the time axis in local time of day
//   width = 1100                  # the window's size in pixels; optional
//   height = 720
//
//   [cursors]                     # either or both; seconds on the axis
//   a = 12.5
//   b = 13.0
//
//   [[pane]]                      # top to bottom
//   scale = "auto"                # or "fixed", with low and high
//
//   [[pane.trace]]
//   recording = 1                 # 0 or left out: the bus
//   code = "30000401"
//   signal = "pump.status.pressure"   # left out: the code's own value
//   colour = 1                    # 1 to 16; left out: the first one free
//   x = false                     # XY: this trace along the pane's x axis
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

struct WorkspaceTrace {
    size_t recording = 0;       // 0: the bus; else the [[recording]] counted from 1
    uint32_t code = 0;
    std::string signal;         // full name; empty: the code's own value
    int colour = -1;            // 0 to 15 (the file says 1 to 16); -1: the first one free
    bool x = false;
    unsigned line = 0, column = 0;   // of its signal key (for the caller's errors)
};

struct WorkspacePane {
    bool fixed = false;
    double low = 0, high = 1;
    std::vector<WorkspaceTrace> traces;
};

struct WorkspaceRecording {
    std::string path;           // UTF-8, as the file says it
    double offsetSeconds = 0;
    unsigned line = 0, column = 0;   // of its path
};

struct Workspace {
    std::string signals;        // empty: none
    unsigned signalsLine = 0, signalsColumn = 0;
    std::vector<WorkspaceRecording> recordings;
    bool viewGiven = false;
    double from = 0, to = 60;   // seconds on the axis
    bool live = false;
    uint64_t windowMicros = 10000000;
    bool wallClock = false;
    int width = 0, height = 0;  // the window's, in pixels; 0: not given
    bool cursorGiven[2] = { false, false };
    double cursor[2] = { 0, 0 };
    std::vector<WorkspacePane> panes;
};

enum {
    kMaxWorkspaceBytes = 1 << 20,
    kMaxWorkspaceRecordings = 16,
    kMinWindowWidth = 640,      // the smallest the window may be made
    kMinWindowHeight = 360,
    kMaxWindowSide = 16384,
    kMaxWorkspaceErrors = 50,
};

// text: the file's contents, fileName: its name in the messages. False with
// one "FILE:LINE:COLUMN: what is wrong" a mistake, in the file's order, and
// *workspace untouched. Never throws.
bool LoadWorkspace(const std::string& text, const std::string& fileName, Workspace* workspace,
                   std::vector<std::string>* errors);

// The file LoadWorkspace reads back the same, with comments that say what
// each key means.
std::string FormatWorkspace(const Workspace& workspace);

// A path to write in a workspace: relative to the workspace's folder when
// the file is in it or below it, else as it is. Either separator; Windows
// paths compare without case.
std::string RelativeToFolder(const std::string& folder, const std::string& path);
// A path read from a workspace, against its folder: absolute ones as they are.
std::string ResolveInFolder(const std::string& folder, const std::string& path);
