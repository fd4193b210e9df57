// CScopeDlg's handlers of files: what the command line names and what is
// dropped (sorted into recordings, workspaces and signal files), signal
// files, workspaces, saving and exporting (the recordings are
// ScopeRecordings.cpp's).
#include "velkscope/ScopeDlg.h"

#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <cmath>

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include "chart/SvgPlot.h"
#include "client/ExitStatus.h"
#include "client/ProgramMessages.h"
#include "client/SignalsOption.h"
#include "common/FormatText.h"
#include "windows/SystemCodePage.h"
#include "velkscope/Export.h"
#include "velkscope/PngFile.h"
#include "velkscope/ScopeParts.h"
#include "velkscope/ScopePaths.h"
#include "velkscope/WorkspaceCheck.h"
#include "common/Catalogue.h"
#include "windows/FileDialogs.h"
#include "windows/WideText.h"

namespace {

const size_t kErrorsShown = 20;          // lines in a message box: it must fit on the screen

std::wstring FileTimeName(const wchar_t* extension)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[64];
    swprintf(name, 64, L"velkscope-%04u%02u%02u-%02u%02u%02u.%ls", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond, extension);
    return name;
}

// Errors a line each, the first kErrorsShown of them.
std::wstring ErrorLines(const std::vector<std::string>& errors)
{
    std::wstring lines;
    for (size_t i = 0; i < errors.size() && i < kErrorsShown; ++i)
        lines += (i == 0 ? L"" : L"\n") + WideFromUtf8(LocalizedUtf8(errors[i], "\n"));
    if (errors.size() > kErrorsShown)
        lines += L"\n" + WideFromUtf8(LocalizedUtf8(FormatText(N_("... %zu more"), errors.size() - kErrorsShown), " "));
    return lines;
}

// A whole file, at most limit bytes; false with why in *error.
bool ReadWholeFile(const std::wstring& path, size_t limit, std::string* text, std::string* error)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        *error = FormatText(N_("cannot open %s"), Utf8FromWide(path).c_str()) + ": " + strerror(errno);
        return false;
    }
    char chunk[65536];
    size_t got = 0;
    text->clear();
    while (text->size() <= limit && (got = fread(chunk, 1, sizeof chunk, file)) > 0)
        text->append(chunk, got);
    const bool failed = ferror(file) != 0;
    fclose(file);
    if (failed)
        *error = FormatText(N_("cannot read %s"), Utf8FromWide(path).c_str());
    else if (text->size() > limit)
        *error = Utf8FromWide(path) + ": " + FormatText(N_("more than %zu bytes"), limit);
    return !failed && text->size() <= limit;
}

// Written whole or not at all: a half-written file is removed.
class OutputFile {
public:
    explicit OutputFile(const wchar_t* path) : path_(path), file_(_wfopen(path, L"wb")) {}
    ~OutputFile()
    {
        if (file_ != nullptr)
            fclose(file_);
    }
    bool Write(const std::string& bytes)
    {
        good_ = good_ && file_ != nullptr && fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
        return good_;
    }
    bool Close(std::string* error)
    {
        const bool opened = file_ != nullptr;
        const bool closed = opened && fclose(file_) == 0;
        file_ = nullptr;
        if (opened && closed && good_)
            return true;
        *error = strerror(errno);
        if (opened)
            _wremove(path_);
        return false;
    }

private:
    const wchar_t* path_;
    FILE* file_;
    bool good_ = true;
};

} // namespace

// ---- What the command line names, what is dropped on the window. ----

bool CScopeDlg::OpenFromOptions(std::wstring* error)
{
    for (const std::string& recording : m_options.recordings) {
        if (!OpenRecording(WideFromUtf8(recording), error))
            return false;
    }
    if (!m_options.workspace.empty() && !OpenWorkspace(WideFromUtf8(m_options.workspace), error)) {
        *error = L"\x5DE5\x4F5C\x533A\x6709\x8BEF bad workspace:\n" + *error;
        return false;
    }
    return true;
}

LRESULT CScopeDlg::OnDropFiles(WPARAM wParam, LPARAM)
{
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::wstring> paths;
    for (UINT i = 0; i < count; ++i) {
        std::vector<wchar_t> path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size()));
        paths.push_back(path.data());
    }
    DragFinish(drop);
    for (const std::wstring& path : paths) {
        std::wstring errors;
        const std::wstring lower = FileNameOf(path);
        const bool toml = lower.size() > 5 && _wcsicmp(lower.c_str() + lower.size() - 5, L".toml") == 0;
        // A .toml is a workspace, or else a signal file.
        if (toml) {
            std::wstring asSignals;
            if (!OpenWorkspace(path, &errors) && !OpenSignals(path, &asSignals))
                AfxMessageBox((L"\x672A\x8F7D\x5165 not loaded:\n" + errors + L"\n\n" + asSignals).c_str(), MB_OK | MB_ICONERROR);
        } else if (!OpenRecording(path, &errors)) {
            AfxMessageBox(errors.c_str(), MB_OK | MB_ICONERROR);
        }
    }
    return 0;
}

// ---- Signal files. ----

bool CScopeDlg::OpenSignals(const std::wstring& path, std::wstring* errors)
{
    std::unique_ptr<SignalDatabase> loaded(new SignalDatabase);
    std::vector<std::string> found;
    if (ReadSignalsFile(path, loaded.get(), &found) != kExitOk) {
        *errors = ErrorLines(found);
        return false;
    }
    UseSignals(std::move(loaded), path);
    return true;
}

// The passes and the stretch reader let go of the old file before it goes;
// the recordings are read again by the new one.
void CScopeDlg::UseSignals(std::unique_ptr<SignalDatabase> loaded, const std::wstring& path)
{
    if (m_detail != nullptr)
        m_detail->Flush();
    for (Recording& recording : m_recordings)
        recording.open.pass.reset();
    const bool fitted = m_model.SetSignals(loaded.get(), WindowsSignalCodePages());
    m_signals.swap(loaded);
    m_signalsPath = path;
    for (Recording& recording : m_recordings)
        StartPass(&recording);
    m_note = fitted ? L"\x4FE1\x53F7\x6587\x4EF6 signals: " + path
                    : WideFromUtf8(FormatText("\xE6\x9C\x80\xE5\xA4\x9A\xE7\x94\xBB %d \xE6\x9D\xA1\xE6\x9B\xB2\xE7\xBA\xBF, "
                                              "\xE9\x83\xA8\xE5\x88\x86\xE4\xBB\xA3\xE7\xA0\x81\xE6\x9C\xAA\xE7\x94\xBB at most %d "
                                              "traces: some codes are no longer drawn",
                                              static_cast<int>(kMaxScopeTraces), static_cast<int>(kMaxScopeTraces)));
    if (m_hWnd == nullptr)
        return;
    ListView_SetColumnWidth(m_codes, kCodeColumn, 170);   // the code and its name
    FitValueColumn();
    RebuildList();
    RefreshStatus(m_clock.Now());
    m_chart.Redraw();
    ChartChanged();
}

bool CScopeDlg::TickSignals(const std::vector<std::string>& names, std::string* error)
{
    if (names.empty())
        return true;
    if (m_signals == nullptr) {
        *error = N_("--signal needs a signal file: --signals FILE or VELK_SIGNALS");
        return false;
    }
    std::vector<SignalTraceRef> traces;
    if (!FindSignalTraces(*m_signals, names, &traces, error))
        return false;
    for (const SignalTraceRef& trace : traces) {
        if (!m_model.TickSignal(trace)) {
            *error = FormatText(N_("at most %d traces are drawn at once (each array field is one)"),
                                static_cast<int>(kMaxScopeTraces));
            return false;
        }
    }
    return true;
}

void CScopeDlg::OnOpenSignals()
{
    std::vector<std::wstring> paths = AskOpenPaths(m_hWnd, L"\x4FE1\x53F7\x6587\x4EF6 Signal files (*.toml)\0*.toml\0"
                                                           L"\x6240\x6709\x6587\x4EF6 All files (*.*)\0*.*\0", false);
    if (paths.empty())
        return;
    std::wstring errors;
    if (!OpenSignals(paths[0], &errors))
        AfxMessageBox((L"\x4FE1\x53F7\x6587\x4EF6\x6709\x8BEF, \x672A\x8F7D\x5165 the signal file was not loaded:\n" + errors).c_str(),
                      MB_OK | MB_ICONERROR);
}

// ---- Workspaces. ----

namespace {

// The files a workspace names, as this window reads them.
class WindowsWorkspaceFiles : public WorkspaceFiles {
public:
    bool ReadSignals(const std::string& path, SignalDatabase* signals, std::vector<std::string>* errors) override
    {
        return ReadSignalsFile(WideFromUtf8(path), signals, errors) == kExitOk;
    }
    bool CanOpen(const std::string& path, std::string* why) override
    {
        // A recording in parts is named by its first part, a glob or its folder.
        std::vector<std::string> parts;
        if (!FindScopeRecording(WideFromUtf8(path), &parts, why))
            return false;
        FILE* probe = _wfopen(WideFromUtf8(parts.front()).c_str(), L"rb");
        if (probe == nullptr) {
            *why = strerror(errno);
            return false;
        }
        fclose(probe);
        return true;
    }
};

}  // namespace

bool CScopeDlg::OpenWorkspace(const std::wstring& path, std::wstring* errorsOut)
{
    std::string text, error;
    if (!ReadWholeFile(path, kMaxWorkspaceBytes, &text, &error)) {
        *errorsOut = WideFromUtf8(LocalizedUtf8(error, "\n"));
        return false;
    }
    const std::string name = Utf8FromWide(FileNameOf(path));
    Workspace workspace;
    std::vector<std::string> errors;
    if (!LoadWorkspace(text, name, &workspace, &errors)) {
        *errorsOut = ErrorLines(errors);
        return false;
    }
    // Everything it names is checked before anything changes.
    WindowsWorkspaceFiles files;
    CheckedWorkspace checked;
    if (!CheckWorkspace(workspace, name, Utf8FromWide(FolderOf(path)), &files, &checked, &errors)) {
        *errorsOut = ErrorLines(errors);
        return false;
    }

    // Now it is used, whole.
    OnCloseRecordings();
    if (checked.signals != nullptr)
        UseSignals(std::move(checked.signals), WideFromUtf8(checked.signalsPath));
    m_workspaceTicks = true;
    for (size_t r = 0; r < checked.recordingPaths.size(); ++r) {
        std::wstring why;
        if (OpenRecording(WideFromUtf8(checked.recordingPaths[r]), &why))
            m_model.SetOffset(m_recordings.Last().source, static_cast<int64_t>(llround(workspace.recordings[r].offsetSeconds * 1e6)));
    }
    m_fitToData = false;
    m_model.ResetPanes(std::max<size_t>(workspace.panes.size(), 1));
    for (size_t p = 0; p < workspace.panes.size(); ++p) {
        const WorkspacePane& pane = workspace.panes[p];
        for (size_t t = 0; t < pane.traces.size(); ++t) {
            const WorkspaceTrace& trace = pane.traces[t];
            const Recording* recording = m_recordings.Numbered(trace.recording);
            const size_t source = recording != nullptr ? recording->source : 0;
            m_model.AddTrace(source, trace.code, checked.signalIndexes[p][t], p, trace.colour);
            if (trace.x)
                m_model.SetPaneX(p, static_cast<int>(m_model.Traces().size()) - 1);
        }
        if (pane.fixed) {
            Axis fixed;
            fixed.low = pane.low;
            fixed.high = pane.high;
            m_model.SetPaneScale(p, &fixed);
        }
    }
    if (workspace.width > 0 && workspace.height > 0 && !IsZoomed(m_hWnd))
        SetWindowPos(m_hWnd, nullptr, 0, 0, workspace.width, workspace.height, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    m_model.SetWallClock(workspace.wallClock);
    CheckMenuItem(GetMenu(m_hWnd), IDM_WALL_CLOCK, MF_BYCOMMAND | (workspace.wallClock ? MF_CHECKED : MF_UNCHECKED));
    m_model.SetWindow(static_cast<int64_t>(workspace.windowMicros), m_clock.Now());
    if (workspace.live && m_bound) {
        m_model.Resume();
    } else if (workspace.viewGiven) {
        m_model.SetView(static_cast<int64_t>(llround(workspace.from * 1e6)), static_cast<int64_t>(llround(workspace.to * 1e6)));
    }
    m_model.ClearCursors();
    for (size_t which = 0; which < 2; ++which) {
        if (workspace.cursorGiven[which])
            m_model.SetCursor(which, static_cast<int64_t>(llround(workspace.cursor[which] * 1e6)));
    }
    SetDlgItemTextW(m_hWnd, IDC_PAUSE, m_model.Paused() ? L"\x7EE7\x7EED Resume" : L"\x6682\x505C Pause");
    m_workspacePath = path;
    RebuildList();
    m_note = L"\x5DE5\x4F5C\x533A workspace: " + path;
    RefreshStatus(m_clock.Now());
    m_chart.Redraw();
    ChartChanged();
    return true;
}

bool CScopeDlg::SaveWorkspace(const std::wstring& path, std::string* error)
{
    const std::string folder = Utf8FromWide(FolderOf(path));
    Workspace workspace;
    if (!m_signalsPath.empty())
        workspace.signals = RelativeToFolder(folder, Utf8FromWide(m_signalsPath));
    for (const Recording& recording : m_recordings) {
        WorkspaceRecording saved;
        saved.path = RelativeToFolder(folder, Utf8FromWide(recording.path));
        saved.offsetSeconds = static_cast<double>(m_model.Sources()[recording.source]->offsetMicros) / 1e6;
        workspace.recordings.push_back(saved);
    }
    int64_t from = 0, to = 0;
    m_model.View(m_clock.Now(), &from, &to);
    workspace.viewGiven = true;
    workspace.from = static_cast<double>(from) / 1e6;
    workspace.to = static_cast<double>(std::max(to, from + 1)) / 1e6;
    workspace.live = !m_model.Paused();
    workspace.windowMicros = static_cast<uint64_t>(m_model.Window());
    workspace.wallClock = m_model.WallClock();
    // The window's size as it is when not maximised.
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (GetWindowPlacement(m_hWnd, &placement)) {
        workspace.width = std::max<int>(placement.rcNormalPosition.right - placement.rcNormalPosition.left, kMinWindowWidth);
        workspace.height = std::max<int>(placement.rcNormalPosition.bottom - placement.rcNormalPosition.top, kMinWindowHeight);
    }
    for (size_t which = 0; which < 2; ++which) {
        workspace.cursorGiven[which] = m_model.CursorSet(which);
        workspace.cursor[which] = static_cast<double>(m_model.Cursor(which)) / 1e6;
    }
    for (size_t p = 0; p < m_model.Panes().size(); ++p) {
        const Pane& pane = m_model.Panes()[p];
        WorkspacePane saved;
        saved.fixed = pane.fixed;
        saved.low = pane.axis.low;
        saved.high = pane.axis.high;
        for (size_t t = 0; t < m_model.Traces().size(); ++t) {
            const Trace& trace = m_model.Traces()[t];
            if (trace.pane != p)
                continue;
            WorkspaceTrace kept;
            kept.recording = m_recordings.NumberOf(trace.source);
            kept.code = trace.code;
            const Signal* signal = m_model.TraceSignal(t);
            kept.signal = signal != nullptr ? signal->name : std::string();
            kept.colour = static_cast<int>(trace.colour % kTraceColours);
            kept.x = pane.xTrace == static_cast<int>(t);
            saved.traces.push_back(kept);
        }
        workspace.panes.push_back(saved);
    }
    OutputFile file(path.c_str());
    file.Write(FormatWorkspace(workspace));
    if (!file.Close(error))
        return false;
    m_workspacePath = path;
    return true;
}

void CScopeDlg::OnOpenWorkspace()
{
    std::vector<std::wstring> paths = AskOpenPaths(m_hWnd, L"\x5DE5\x4F5C\x533A Workspaces (*.toml)\0*.toml\0"
                                                           L"\x6240\x6709\x6587\x4EF6 All files (*.*)\0*.*\0", false);
    std::wstring errors;
    if (!paths.empty() && !OpenWorkspace(paths[0], &errors))
        AfxMessageBox((L"\x5DE5\x4F5C\x533A\x6709\x8BEF, \x672A\x8F7D\x5165 the workspace was not opened:\n" + errors).c_str(),
                      MB_OK | MB_ICONERROR);
}

void CScopeDlg::OnSaveWorkspace()
{
    std::wstring path = AskSavePath(m_hWnd, L"\x5DE5\x4F5C\x533A Workspaces (*.toml)\0*.toml\0", L"toml",
                                    FileTimeName(L"toml"));
    std::string error;
    if (path.empty())
        return;
    if (!SaveWorkspace(path, &error)) {
        AfxMessageBox((L"\x65E0\x6CD5\x4FDD\x5B58 cannot save " + path + L": " + LocalizedReason(error)).c_str());
        return;
    }
    Note(L"\x5DF2\x4FDD\x5B58 saved " + path);
}

// ---- Saving and exporting. ----

// Asks where, saves there, and says how it went.
void CScopeDlg::SaveAs(const wchar_t* filter, const wchar_t* extension,
                       bool (CScopeDlg::*save)(const wchar_t* path, std::string* error))
{
    std::wstring path = AskSavePath(m_hWnd, filter, extension, FileTimeName(extension));
    if (path.empty())
        return;
    std::string error;
    if (!(this->*save)(path.c_str(), &error)) {
        AfxMessageBox((L"\x65E0\x6CD5\x4FDD\x5B58 cannot save " + path + L": " + LocalizedReason(error)).c_str());
        return;
    }
    Note(L"\x5DF2\x4FDD\x5B58 saved " + path);
}

bool CScopeDlg::SavePng(const wchar_t* path, std::string* error)
{
    RECT client;
    m_chart.GetClientRect(&client);
    HDC screen = GetDC(m_chart.m_hWnd);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1));
    ReleaseDC(m_chart.m_hWnd, screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    m_chart.Paint(memory, client);
    SelectObject(memory, old);
    DeleteDC(memory);
    bool saved = SaveBitmapAsPng(bitmap, path, error);
    DeleteObject(bitmap);
    return saved;
}

void CScopeDlg::OnSavePng()
{
    SaveAs(L"PNG (*.png)\0*.png\0", L"png", &CScopeDlg::SavePng);
}

bool CScopeDlg::SaveSvg(const wchar_t* path, std::string* error)
{
    RECT client;
    m_chart.GetClientRect(&client);
    const int64_t now = m_clock.Now();
    SvgStack stack;
    stack.width = std::max<int>(client.right, 320);
    stack.height = std::max<int>(client.bottom, 240);
    std::string title;
    for (const Recording& recording : m_recordings)
        title += (title.empty() ? "" : ", ") + m_model.Sources()[recording.source]->name;
    stack.title = "velkscope" + (title.empty() ? std::string() : " - " + title);
    // The times in seconds from the view's zero, as the chart labels them.
    const TimeScale scale = m_model.TimeScaleOf(now, 10);
    int64_t from = 0, to = 0;
    m_model.View(now, &from, &to);
    const double unit = scale.wall ? 1e6 : scale.unitMicros;
    stack.fromSeconds = static_cast<double>(from - scale.anchor) / unit;
    stack.toSeconds = static_cast<double>(to - scale.anchor) / unit;
    stack.timeLabel = scale.caption;
    const size_t width = static_cast<size_t>(SvgStackPlotWidth(stack.width, stack.height, m_model.Panes().size()));
    for (size_t p = 0; p < m_model.Panes().size(); ++p) {
        SvgPane pane;
        pane.fixed = m_model.Panes()[p].fixed;
        pane.low = m_model.Panes()[p].axis.low;
        pane.high = m_model.Panes()[p].axis.high;
        std::string unitShared;
        bool first = true, same = true;
        for (size_t t = 0; t < m_model.Traces().size(); ++t) {
            if (m_model.Traces()[t].pane != p || m_model.IsEvents(t))
                continue;
            SvgTrace trace;
            trace.name = m_model.TraceName(t);
            trace.colour = TraceColour(m_model.Traces()[t].colour);
            trace.columns = m_model.TraceColumns(t, now, width);
            const Signal* signal = m_model.TraceSignal(t);
            trace.steps = signal != nullptr && !signal->enums.empty();
            pane.traces.push_back(trace);
            same = same && (first || unitShared == m_model.TraceUnit(t));
            unitShared = m_model.TraceUnit(t);
            first = false;
        }
        pane.valueLabel = same ? unitShared : std::string();
        stack.panes.push_back(pane);
    }
    static const char* kNames[2] = { "A", "B" };
    for (size_t which = 0; which < 2; ++which) {
        if (m_model.CursorSet(which))
            stack.marks.push_back(SvgMark{ static_cast<double>(m_model.Cursor(which) - scale.anchor) / unit, kNames[which],
                                           which == 0 ? 0x000000u : 0x707070u });
    }
    for (size_t s = 0; s < m_model.Sources().size(); ++s) {
        for (int64_t trigger : m_model.Sources()[s]->triggers)
            stack.marks.push_back(SvgMark{ static_cast<double>(trigger + m_model.Origin(s) - scale.anchor) / unit, "T", 0xE07000u });
    }
    OutputFile file(path);
    file.Write(WriteSvgStack(stack));
    return file.Close(error);
}

void CScopeDlg::OnExportSvg()
{
    SaveAs(L"SVG (*.svg)\0*.svg\0", L"svg", &CScopeDlg::SaveSvg);
}

bool CScopeDlg::SaveCsv(const wchar_t* path, std::string* error)
{
    int64_t from = 0, to = 0;
    if (m_model.CursorSet(0) && m_model.CursorSet(1)) {
        from = std::min(m_model.Cursor(0), m_model.Cursor(1));
        to = std::max(m_model.Cursor(0), m_model.Cursor(1));
    } else {
        m_model.View(m_clock.Now(), &from, &to);
    }
    OutputFile file(path);
    WriteShownCsv(m_model, Readers(), from, to, SystemCodePage(), [&file](const std::string& line) { return file.Write(line); });
    return file.Close(error);
}

void CScopeDlg::OnSaveCsv()
{
    SaveAs(L"CSV (*.csv)\0*.csv\0", L"csv", &CScopeDlg::SaveCsv);
}

bool CScopeDlg::SaveRecording(const wchar_t* path, std::string* error)
{
    OutputFile file(path);
    file.Write(std::string(kRecordHeader) + "\n" + FormatStartLine(m_clock.Start()) + "\n");
    m_model.LiveHistory().ForEach(0, UINT64_MAX, [&file](const RecordedMessage& message) {
        const std::string note = message.expired ? std::string(kExpiredNote) + "\n" : std::string();
        return file.Write(note + FormatRecordLine(message) + "\n");
    });
    return file.Close(error);
}

void CScopeDlg::OnSaveRecording()
{
    SaveAs(L"\x8BB0\x5F55 Recordings (*.txt)\0*.txt\0", L"txt", &CScopeDlg::SaveRecording);
}
