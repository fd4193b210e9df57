#include "velkscope/Workspace.h"

#include <math.h>
#include <ctype.h>

#include <algorithm>

#include "common/Catalogue.h"
#include "common/ClosestWord.h"
#include "common/FormatText.h"
#include "common/WordList.h"
#include "formats/CodeArgument.h"
#include "formats/Duration.h"
#include "signals/FileErrors.h"
#include "signals/TomlText.h"
#include "signals/TomlValues.h"
#include "velkscope/ScopeModel.h"
#include "velkscope/ScopeOptions.h"

namespace {

const Words kRootKeys = { "signals", "recording", "view", "cursors", "pane" };
const Words kRecordingKeys = { "path", "offset" };
const Words kViewKeys = { "from", "to", "live", "window", "wall_clock", "width", "height" };
const Words kCursorKeys = { "a", "b" };
const Words kPaneKeys = { "scale", "low", "high", "trace" };
const Words kTraceKeys = { "recording", "code", "signal", "colour", "x" };

// Seconds on the axis, far beyond any recording and inside its microseconds.
const double kMostSeconds = 1e9;

class Loader : private TomlErrors {
public:
    Loader(const std::string& fileName, std::vector<std::string>* errors)
        : fileName_(fileName), errors_(errors), found_(fileName, kMaxWorkspaceErrors, errors) {}

    void Load(const std::string& text, Workspace* workspace);

private:
    void Error(const toml::source_region& where, const std::string& what) { found_.At(where, what); }
    void At(const toml::source_region& where, const std::string& what) override { Error(where, what); }
    // Every key of table is one of keys; false after saying which is not.
    bool Keys(const toml::table& table, const Words& keys, const char* what);
    bool Seconds(const toml::node& node, const char* what, double* seconds);
    bool Boolean(const toml::node& node, const char* what, bool* value);
    // The array of tables at key, or null after saying it is not one.
    const toml::array* Tables(const toml::node& node, const char* key);

    void LoadRecording(const toml::table& table, Workspace* workspace);
    void LoadView(const toml::table& table, Workspace* workspace);
    void LoadCursors(const toml::table& table, Workspace* workspace);
    void LoadPane(const toml::table& table, Workspace* workspace);
    bool LoadTrace(const toml::table& table, WorkspaceTrace* trace);

    std::string fileName_;
    std::vector<std::string>* errors_;
    FileErrors found_;   // in the file's order
    size_t traces_ = 0;
    std::vector<toml::source_region> recordingRefs_;   // each trace's recording key, checked at the end
    std::vector<size_t> recordingWanted_;
};

bool Loader::Keys(const toml::table& table, const Words& keys, const char* what)
{
    bool good = true;
    for (auto&& [key, value] : table) {
        const std::string word(key.str());
        if (std::find(keys.begin(), keys.end(), word) != keys.end())
            continue;
        std::string list;
        for (const std::string& known : keys)
            list += (list.empty() ? "" : ", ") + known;
        const std::string closest = ClosestWord(word, keys);
        Error(key.source(), closest.empty()
                                ? FormatText(N_("unknown key '%s' in %s (it takes %s)"), word.c_str(), what, list.c_str())
                                : FormatText(N_("unknown key '%s' in %s (did you mean '%s'?)"), word.c_str(), what,
                                             closest.c_str()));
        good = false;
        (void)value;
    }
    return good;
}

bool Loader::Seconds(const toml::node& node, const char* what, double* seconds)
{
    double value = NAN;
    if (node.is_integer())
        value = static_cast<double>(node.as_integer()->get());
    else if (node.is_floating_point())
        value = node.as_floating_point()->get();
    if (!isfinite(value) || fabs(value) > kMostSeconds) {
        Error(node.source(), FormatText(N_("%s must be a number of seconds from -1e9 to 1e9"), what));
        return false;
    }
    *seconds = value;
    return true;
}

bool Loader::Boolean(const toml::node& node, const char* what, bool* value)
{
    if (!node.is_boolean()) {
        Error(node.source(), FormatText(N_("%s must be true or false"), what));
        return false;
    }
    *value = node.as_boolean()->get();
    return true;
}

const toml::array* Loader::Tables(const toml::node& node, const char* key)
{
    const toml::array* list = node.as_array();
    if (list == nullptr || !list->is_array_of_tables()) {
        Error(node.source(), FormatText(N_("%s must be [[%s]] tables"), key, key));
        return nullptr;
    }
    return list;
}

void Loader::LoadRecording(const toml::table& table, Workspace* workspace)
{
    Keys(table, kRecordingKeys, "a [[recording]]");
    WorkspaceRecording recording;
    const toml::node* path = table.get("path");
    if (path == nullptr) {
        Error(table.source(), N_("a [[recording]] needs its path"));
    } else if (ReadTomlString(this, *path, "path", &recording.path)) {
        recording.line = static_cast<unsigned>(path->source().begin.line);
        recording.column = static_cast<unsigned>(path->source().begin.column);
        if (recording.path.empty())
            Error(path->source(), N_("path must name a file"));
    }
    if (const toml::node* offset = table.get("offset"))
        Seconds(*offset, "offset", &recording.offsetSeconds);
    if (workspace->recordings.size() == kMaxWorkspaceRecordings)
        Error(table.source(), FormatText(N_("at most %d recordings are opened at once"), kMaxWorkspaceRecordings));
    workspace->recordings.push_back(recording);
}

void Loader::LoadView(const toml::table& table, Workspace* workspace)
{
    Keys(table, kViewKeys, "[view]");
    workspace->viewGiven = true;
    const toml::node* from = table.get("from");
    const toml::node* to = table.get("to");
    if (from == nullptr || to == nullptr)
        Error(table.source(), N_("[view] needs from and to"));
    const bool times = from != nullptr && to != nullptr && Seconds(*from, "from", &workspace->from) &&
                       Seconds(*to, "to", &workspace->to);
    if (times && !(workspace->to > workspace->from))
        Error(to->source(), N_("to must be after from"));
    if (const toml::node* live = table.get("live"))
        Boolean(*live, "live", &workspace->live);
    if (const toml::node* wall = table.get("wall_clock"))
        Boolean(*wall, "wall_clock", &workspace->wallClock);
    if (const toml::node* width = table.get("width"))
        ReadTomlInteger(this, *width, "width", static_cast<int>(kMinWindowWidth), static_cast<int>(kMaxWindowSide), &workspace->width);
    if (const toml::node* height = table.get("height"))
        ReadTomlInteger(this, *height, "height", static_cast<int>(kMinWindowHeight), static_cast<int>(kMaxWindowSide),
                        &workspace->height);
    if (const toml::node* window = table.get("window")) {
        std::string text, why;
        uint64_t micros = 0;
        if (ReadTomlString(this, *window, "window", &text)) {
            if (!ParseDuration(text, &micros, &why))
                Error(window->source(), FormatText(N_("window '%s'"), text.c_str()) + ": " + why);
            else if (micros < static_cast<uint64_t>(kMinWindowMicros) || micros > static_cast<uint64_t>(kMaxWindowMicros))
                Error(window->source(), FormatText(N_("window '%s'"), text.c_str()) + ": " + N_("from 1s to 1h"));
            else
                workspace->windowMicros = micros;
        }
    }
}

void Loader::LoadCursors(const toml::table& table, Workspace* workspace)
{
    Keys(table, kCursorKeys, "[cursors]");
    const char* names[2] = { "a", "b" };
    for (size_t which = 0; which < 2; ++which) {
        if (const toml::node* at = table.get(names[which]))
            workspace->cursorGiven[which] = Seconds(*at, names[which], &workspace->cursor[which]);
    }
}

bool Loader::LoadTrace(const toml::table& table, WorkspaceTrace* trace)
{
    bool good = Keys(table, kTraceKeys, "a [[pane.trace]]");
    int64_t number = 0;
    if (const toml::node* recording = table.get("recording")) {
        if (ReadTomlInteger(this, *recording, "recording", 0, kMaxWorkspaceRecordings, &number)) {
            trace->recording = static_cast<size_t>(number);
            recordingRefs_.push_back(recording->source());
            recordingWanted_.push_back(trace->recording);
        } else {
            good = false;
        }
    }
    const toml::node* code = table.get("code");
    std::string text, why;
    if (code == nullptr) {
        Error(table.source(), N_("a [[pane.trace]] needs its code"));
        good = false;
    } else if (ReadTomlString(this, *code, "code", &text) && !ParseCodeArgument(text, "code", &trace->code, &why)) {
        Error(code->source(), why);
        good = false;
    }
    if (const toml::node* signal = table.get("signal")) {
        if (ReadTomlString(this, *signal, "signal", &trace->signal) && !trace->signal.empty()) {
            trace->line = static_cast<unsigned>(signal->source().begin.line);
            trace->column = static_cast<unsigned>(signal->source().begin.column);
        } else {
            if (trace->signal.empty() && signal->is_string())
                Error(signal->source(), N_("signal must name a signal (leave it out for the code's own value)"));
            good = false;
        }
    }
    if (const toml::node* colour = table.get("colour")) {
        if (ReadTomlInteger(this, *colour, "colour", 1, kTraceColours, &number))
            trace->colour = static_cast<int>(number - 1);
        else
            good = false;
    }
    if (const toml::node* x = table.get("x"))
        good = Boolean(*x, "x", &trace->x) && good;
    return good;
}

void Loader::LoadPane(const toml::table& table, Workspace* workspace)
{
    Keys(table, kPaneKeys, "a [[pane]]");
    WorkspacePane pane;
    std::string scale = "auto";
    const toml::node* scaleNode = table.get("scale");
    if (scaleNode != nullptr && ReadTomlString(this, *scaleNode, "scale", &scale) && scale != "auto" && scale != "fixed")
        Error(scaleNode->source(), N_("scale must be \"auto\" or \"fixed\""));
    pane.fixed = scale == "fixed";
    const toml::node* low = table.get("low");
    const toml::node* high = table.get("high");
    if (pane.fixed) {
        if (low == nullptr || high == nullptr)
            Error(table.source(), N_("a fixed scale needs low and high"));
        else if (Seconds(*low, "low", &pane.low) && Seconds(*high, "high", &pane.high) && !(pane.high > pane.low))
            Error(high->source(), N_("high must be above low"));
    } else if (low != nullptr || high != nullptr) {
        Error((low != nullptr ? low : high)->source(), N_("low and high go with scale = \"fixed\""));
    }
    if (const toml::node* list = table.get("trace")) {
        if (const toml::array* traces = Tables(*list, "pane.trace")) {
            bool anyX = false;
            for (const toml::node& node : *traces) {
                WorkspaceTrace trace;
                const toml::table& traceTable = *node.as_table();
                if (!LoadTrace(traceTable, &trace))
                    continue;
                if (++traces_ == kMaxScopeTraces + 1)
                    Error(traceTable.source(), FormatText(N_("at most %d traces are drawn at once"), static_cast<int>(kMaxScopeTraces)));
                if (trace.x && anyX)
                    Error(traceTable.get("x")->source(), N_("a pane has one trace along x"));
                anyX = anyX || trace.x;
                const bool twice = std::any_of(workspace->panes.begin(), workspace->panes.end(), [&](const WorkspacePane& p) {
                    return std::any_of(p.traces.begin(), p.traces.end(), [&](const WorkspaceTrace& t) {
                        return t.recording == trace.recording && t.code == trace.code && t.signal == trace.signal;
                    });
                }) || std::any_of(pane.traces.begin(), pane.traces.end(), [&](const WorkspaceTrace& t) {
                    return t.recording == trace.recording && t.code == trace.code && t.signal == trace.signal;
                });
                if (twice)
                    Error(traceTable.source(), N_("this trace is drawn already"));
                pane.traces.push_back(trace);
            }
        }
    }
    if (workspace->panes.size() == kMaxPanes)
        Error(table.source(), FormatText(N_("at most %d panes"), static_cast<int>(kMaxPanes)));
    workspace->panes.push_back(pane);
}

void Loader::Load(const std::string& text, Workspace* workspace)
{
    toml::table root;
    TomlProblem problem;
    if (text.size() > static_cast<size_t>(kMaxWorkspaceBytes)) {
        errors_->push_back(fileName_ + ": " + FormatText(N_("over %d KiB, more than a workspace holds"), kMaxWorkspaceBytes >> 10));
        return;
    }
    if (!ParseTomlText(text, fileName_, &root, &problem)) {
        found_.Toml(problem);
        found_.Finish();
        return;
    }
    Keys(root, kRootKeys, N_("the workspace"));
    if (const toml::node* signals = root.get("signals")) {
        if (ReadTomlString(this, *signals, "signals", &workspace->signals)) {
            workspace->signalsLine = static_cast<unsigned>(signals->source().begin.line);
            workspace->signalsColumn = static_cast<unsigned>(signals->source().begin.column);
        }
    }
    if (const toml::node* list = root.get("recording")) {
        if (const toml::array* recordings = Tables(*list, "recording")) {
            for (const toml::node& node : *recordings)
                LoadRecording(*node.as_table(), workspace);
        }
    }
    const char* single[2] = { "view", "cursors" };
    for (const char* key : single) {
        const toml::node* node = root.get(key);
        if (node == nullptr)
            continue;
        if (!node->is_table()) {
            Error(node->source(), FormatText(N_("%s must be a [%s] table"), key, key));
            continue;
        }
        if (std::string(key) == "view")
            LoadView(*node->as_table(), workspace);
        else
            LoadCursors(*node->as_table(), workspace);
    }
    if (const toml::node* list = root.get("pane")) {
        if (const toml::array* panes = Tables(*list, "pane")) {
            for (const toml::node& node : *panes)
                LoadPane(*node.as_table(), workspace);
        }
    }
    for (size_t i = 0; i < recordingRefs_.size(); ++i) {
        if (recordingWanted_[i] > workspace->recordings.size())
            Error(recordingRefs_[i], FormatText(N_("recording %zu: the workspace opens %zu"), recordingWanted_[i],
                                                workspace->recordings.size()));
    }
    found_.Finish();
}

std::string Seconds(double value)
{
    std::string text = FormatText("%.6f", value);
    return text == "-0.000000" ? "0.000000" : text;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsAbsolute(const std::string& path)
{
    return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

} // namespace

bool LoadWorkspace(const std::string& text, const std::string& fileName, Workspace* workspace,
                   std::vector<std::string>* errors)
{
    return RunFileLoader(fileName, errors, [&] {
        Workspace loaded;
        Loader(fileName, errors).Load(text, &loaded);
        if (errors->empty())
            *workspace = loaded;
    });
}

std::string FormatWorkspace(const Workspace& workspace)
{
    std::string text = "# velkscope workspace: what was open and how it was shown.\n"
                       "# Paths are relative to this file; times are seconds on the time axis,\n"
                       "# 0 being the earliest start of the recordings (or of velkscope, for the bus).\n\n";
    if (!workspace.signals.empty())
        text += "signals = " + TomlBasicString(workspace.signals) + "   # the signal file the traces are read by\n\n";
    for (const WorkspaceRecording& recording : workspace.recordings) {
        text += "[[recording]]                # recording = 1, 2, ... in this order\n";
        text += "path = " + TomlBasicString(recording.path) + "\n";
        text += "offset = " + Seconds(recording.offsetSeconds) + "   # seconds its times are moved on the axis\n\n";
    }
    if (workspace.viewGiven) {
        text += "[view]\n";
        text += "from = " + Seconds(workspace.from) + "\n";
        text += "to = " + Seconds(workspace.to) + "\n";
        text += std::string("live = ") + (workspace.live ? "true" : "false") + "   # follow the bus\n";
        std::string window = FormatText("%llu.%06llu", static_cast<unsigned long long>(workspace.windowMicros / 1000000),
                                        static_cast<unsigned long long>(workspace.windowMicros % 1000000));
        while (window.back() == '0')
            window.pop_back();
        if (window.back() == '.')
            window.pop_back();
        text += "window = \"" + window + "s";
        text += "\"   # the live window\n";
        text += std::string("wall_clock = ") + (workspace.wallClock ? "true" : "false") + "   # time axis in local time of day\n";
        if (workspace.width > 0 && workspace.height > 0)
            text += FormatText("width = %d   # the window's size in pixels\nheight = %d\n", workspace.width, workspace.height);
        text += "\n";
    }
    if (workspace.cursorGiven[0] || workspace.cursorGiven[1]) {
        text += "[cursors]\n";
        if (workspace.cursorGiven[0])
            text += "a = " + Seconds(workspace.cursor[0]) + "\n";
        if (workspace.cursorGiven[1])
            text += "b = " + Seconds(workspace.cursor[1]) + "\n";
        text += "\n";
    }
    for (const WorkspacePane& pane : workspace.panes) {
        text += "[[pane]]                     # top to bottom\n";
        if (pane.fixed)
            text += "scale = \"fixed\"\nlow = " + FormatText("%.17g", pane.low) + "\nhigh = " + FormatText("%.17g", pane.high) + "\n";
        else
            text += "scale = \"auto\"               # or \"fixed\" with low and high\n";
        for (const WorkspaceTrace& trace : pane.traces) {
            text += "\n[[pane.trace]]\n";
            text += FormatText("recording = %zu", trace.recording) + (trace.recording == 0 ? "   # 0: the bus\n" : "\n");
            text += FormatText("code = \"%08x\"\n", static_cast<unsigned>(trace.code));
            if (!trace.signal.empty())
                text += "signal = " + TomlBasicString(trace.signal) + "\n";
            if (trace.colour >= 0)
                text += FormatText("colour = %d", trace.colour + 1) + "   # 1 to 16\n";
            if (trace.x)
                text += "x = true                     # drawn along the pane's x axis\n";
        }
        text += "\n";
    }
    return text;
}

std::string RelativeToFolder(const std::string& folder, const std::string& path)
{
    std::string base = folder;
    while (!base.empty() && (base.back() == '\\' || base.back() == '/'))
        base.pop_back();
    if (base.empty() || path.size() <= base.size() + 1)
        return path;
    const char separator = path[base.size()];
    if ((separator != '\\' && separator != '/') || Lower(path.substr(0, base.size())) != Lower(base))
        return path;
    return path.substr(base.size() + 1);
}

std::string ResolveInFolder(const std::string& folder, const std::string& path)
{
    if (IsAbsolute(path) || folder.empty())
        return path;
    const char last = folder.back();
    return folder + (last == '\\' || last == '/' ? "" : "\\") + path;
}
