// CScopeDlg's handlers of files: recordings and their passes, the stretches
// read again, signal files, workspaces, saving and exporting.
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
#include "common/ClosestWord.h"
#include "common/FormatText.h"
#include "windows/SystemCodePage.h"
#include "velkscope/Export.h"
#include "velkscope/PngFile.h"
#include "velkscope/RecordingBudget.h"
#include "velkscope/ValueDlg.h"
#include "common/Catalogue.h"
#include "windows/FileDialogs.h"
#include "windows/WideText.h"

namespace {

const ULONGLONG kBatchTakingMs = 25;     // of each read tick, at most
const size_t kErrorsShown = 20;          // lines in a message box: it must fit on the screen
const size_t kEventTextScan = 64;        // messages looked at for a hover's text

std::wstring FileTimeName(const wchar_t* extension)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[64];
    swprintf(name, 64, L"velkscope-%04u%02u%02u-%02u%02u%02u.%ls", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond, extension);
    return name;
}

std::wstring FileNameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
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

// ---- Recordings. ----

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

bool CScopeDlg::OpenRecording(const std::wstring& path, std::wstring* error)
{
    std::string full;
    if (!RoomForRecording(m_recordings.size(), &full)) {
        *error = L"\x65E0\x6CD5\x6253\x5F00 cannot open " + path + L": " + LocalizedReason(full);
        return false;
    }
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        *error = L"\x65E0\x6CD5\x6253\x5F00 cannot open " + path + L": " + LocalizedReason(strerror(errno));
        return false;
    }
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    uint64_t size = 0;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes))
        size = (static_cast<uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    const size_t source = m_model.AddRecording(Utf8FromWide(FileNameOf(path)), Utf8FromWide(path), size);
    Recording recording;
    recording.token = m_nextToken++;
    recording.source = source;
    recording.path = path;
    recording.file = file;
    recording.started = GetTickCount64();
    // The traces chosen so far (the other recordings', the command line's)
    // are this one's too; without a bus the bus's go.
    recording.ticked = !m_workspaceTicks && m_model.MirrorTraces(source);
    if (!m_bound)
        m_model.UntickSource(0);
    m_recordings.push_back(std::move(recording));
    // The first recording takes the view from the bus, and fills it as it is read.
    if (m_recordings.size() == 1) {
        m_model.Pause(m_clock.Now());
        SetDlgItemTextW(m_hWnd, IDC_PAUSE, L"\x7EE7\x7EED Resume");
        m_fitToData = true;
    }
    StartPass(&m_recordings.back());
    RefreshTitle();
    RefreshStatus(m_clock.Now());
    return true;
}

void CScopeDlg::StartPass(Recording* recording)
{
    m_model.MutableSource(recording->source).reading = true;
    FILE* file = _wfopen(recording->path.c_str(), L"rb");
    std::wstring why;
    if (file == nullptr) {
        ScopeSource& source = m_model.MutableSource(recording->source);
        source.reading = false;
        source.error = FormatText(N_("cannot open %s"), source.name.c_str()) + ": " + strerror(errno);
        return;
    }
    recording->started = GetTickCount64();
    // Read on a thread from the first byte: however many codes or bad lines
    // the file starts with, the window answers at once.
    std::unique_ptr<RecordingPass> pass(new RecordingPass(file, m_model.Sources()[recording->source]->name, m_signals.get(),
                                                          WindowsSignalCodePages(), m_options.arrayValue));
    recording->pass.reset(new PassWorker(std::move(pass), file));
    if (!recording->pass->Start()) {
        recording->pass.reset();
        m_model.MutableSource(recording->source).reading = false;
        m_model.MutableSource(recording->source).error = N_("cannot start reading");
        return;
    }
    SetTimer(m_hWnd, kReadTimer, kReadTimerMs, nullptr);
}

bool CScopeDlg::Reading() const
{
    for (const Recording& recording : m_recordings) {
        if (m_model.Sources()[recording.source]->reading)
            return true;
    }
    return false;
}

void CScopeDlg::CancelPasses()
{
    for (Recording& recording : m_recordings) {
        if (recording.pass != nullptr)
            recording.pass->Cancel();
    }
}

CScopeDlg::Recording* CScopeDlg::RecordingOf(size_t source)
{
    for (Recording& recording : m_recordings) {
        if (recording.source == source)
            return &recording;
    }
    return nullptr;
}

// The batches read since, for at most a share of the time between two
// ticks: the window stays with the user, and what has come is drawn.
void CScopeDlg::TakeBatches()
{
    const ULONGLONG started = GetTickCount64();
    bool more = true;
    while (more && GetTickCount64() - started < kBatchTakingMs) {
        more = false;
        for (size_t r = 0; r < m_recordings.size(); ++r) {
            if (m_recordings[r].pass == nullptr)
                continue;
            std::unique_ptr<PassBatch> batch = m_recordings[r].pass->Take();
            if (batch != nullptr) {
                ApplyBatch(&m_recordings[r], batch.get());
                more = true;
            }
        }
    }
}

void CScopeDlg::ApplyBatch(Recording* recording, PassBatch* batch)
{
    ScopeSource& source = m_model.MutableSource(recording->source);
    const size_t rows = source.data.Rows().size();
    const bool first = source.messages == 0 && source.bytesRead == 0;
    m_model.ApplyBatch(recording->source, batch);
    if (batch->done) {
        recording->pass.reset();   // its thread has ended
        if (batch->cancelled)
            source.error = source.name + FormatText(": \xE5\xB7\xB2\xE5\x81\x9C\xE6\xAD\xA2 stopped at %.0f%%",
                                                    source.fileBytes == 0 ? 100.0 : 100.0 * static_cast<double>(batch->bytes) / static_cast<double>(source.fileBytes));
        if (!batch->notice.empty())
            m_note = LocalizedReason(batch->notice);
    }
    // What came first is drawn at once: the traces the other recordings
    // draw, or with none the first few of this one's codes.
    if (first && !m_workspaceTicks && !recording->ticked && !batch->latest.empty()) {
        recording->ticked = true;
        if (!m_model.MirrorTraces(recording->source)) {
            std::vector<uint32_t> codes;
            for (const PassLatest& latest : batch->latest)
                codes.push_back(latest.message.message.code);
            m_model.TickDefaults(recording->source, codes);
        }
        m_chart.Redraw();
        ChartChanged();
    }
    // The list is made again at most four times a second, not per batch.
    m_listStale = m_listStale || source.data.Rows().size() != rows;
    if (m_listStale && batch->done)
        RebuildList();
    if (m_fitToData)
        m_model.ShowAll(m_clock.Now());
    m_readoutStale = true;
    if (batch->done) {
        RefreshStatus(m_clock.Now());
        RefreshReadout();
        m_chart.Redraw();
        m_overview.Redraw();
    }
}

void CScopeDlg::OnOpenRecording()
{
    for (const std::wstring& path : AskOpenPaths(m_hWnd, L"\x8BB0\x5F55 Recordings (*.txt;*.rec;*.log)\0*.txt;*.rec;*.log\0"
                                                         L"\x6240\x6709\x6587\x4EF6 All files (*.*)\0*.*\0", true)) {
        std::wstring error;
        if (!OpenRecording(path, &error))
            AfxMessageBox(error.c_str(), MB_OK | MB_ICONERROR);
    }
}

void CScopeDlg::OnCloseRecordings()
{
    if (m_detail != nullptr)
        m_detail->Flush();
    for (Recording& recording : m_recordings) {
        recording.pass.reset();
        if (recording.file != nullptr)
            fclose(recording.file);
    }
    m_recordings.clear();
    m_model.CloseRecordings();
    m_fitToData = false;
    RebuildList();
    RefreshTitle();
    RefreshStatus(m_clock.Now());
    m_chart.Redraw();
    ChartChanged();
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

// ---- Stretches read again. ----

std::vector<StretchReader> CScopeDlg::Readers()
{
    std::vector<StretchReader> readers;
    readers.push_back([this](uint64_t from, uint64_t to, const std::function<bool(const RecordedMessage&)>& visit) {
        m_model.LiveHistory().ForEach(from, to, visit);
    });
    for (size_t source = 1; source < m_model.Sources().size(); ++source) {
        Recording* recording = RecordingOf(source);
        FILE* file = recording != nullptr ? recording->file : nullptr;
        readers.push_back([this, file, source](uint64_t from, uint64_t to,
                                               const std::function<bool(const RecordedMessage&)>& visit) {
            if (file == nullptr)
                return;
            const ScopeSource& read = *m_model.Sources()[source];
            std::string error;
            if (!ReadRecordStretch(file, read.name, read.index, from, to, visit, &error))
                Note(LocalizedReason(error));
        });
    }
    return readers;
}

void CScopeDlg::ServeDetail()
{
    for (const DetailRequest& request : m_model.TakeDetailRequests()) {
        if (request.source == 0) {
            // The bus's history is at hand: read now.
            DetailCollector collector(request, m_signals.get(), WindowsSignalCodePages(), m_options.arrayValue);
            m_model.LiveHistory().ForEach(static_cast<uint64_t>(std::max<int64_t>(request.from, 0)),
                                          static_cast<uint64_t>(std::max<int64_t>(request.to, 0)),
                                          [&collector](const RecordedMessage& message) {
                                              collector.Add(message);
                                              return true;
                                          });
            m_model.SetDetail(0, collector.Take());
            m_chart.Invalidate(FALSE);
            continue;
        }
        Recording* recording = RecordingOf(request.source);
        if (recording == nullptr || m_detail == nullptr)
            continue;
        const ScopeSource& source = *m_model.Sources()[request.source];
        DetailJob job;
        job.token = recording->token;
        job.path = recording->path;
        job.name = source.name;
        job.mark = source.index.MarkFor(static_cast<uint64_t>(std::max<int64_t>(request.from, 0)));
        job.request = request;
        job.signals = m_signals.get();
        job.pages = WindowsSignalCodePages();
        job.arrayValue = m_options.arrayValue;
        m_detail->Request(job);
    }
}

LRESULT CScopeDlg::OnDetail(WPARAM, LPARAM lParam)
{
    std::unique_ptr<DetailResult> result(reinterpret_cast<DetailResult*>(lParam));
    for (const Recording& recording : m_recordings) {
        if (recording.token == result->token) {
            m_model.SetDetail(recording.source, std::move(result->detail));
            m_chart.Redraw();
        }
    }
    return 0;
}

std::string CScopeDlg::EventText(size_t trace, int64_t from, int64_t to)
{
    const Trace& shown = m_model.Traces()[trace];
    const int64_t origin = m_model.Origin(shown.source);
    if (to - origin < 0)
        return std::string();
    std::string text;
    size_t looked = 0;
    Readers()[shown.source](static_cast<uint64_t>(std::max<int64_t>(from - origin, 0)), static_cast<uint64_t>(to - origin),
                            [&](const RecordedMessage& message) {
        if (message.code != shown.code)
            return ++looked < kEventTextScan;
        ScopeMessage decoded;
        decoded.message = message;
        DecodeScopeMessage(m_signals.get(), WindowsSignalCodePages(), &decoded);
        text = decoded.known != nullptr && !decoded.signals.empty() ? decoded.signals.front().text
                                                                   : PayloadText(message.bytes, SystemCodePage());
        return false;
    });
    return text;
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
        recording.pass.reset();
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
    const std::wstring folder = FolderOf(path);
    const std::string folderUtf8 = Utf8FromWide(folder);
    auto at = [&](unsigned line, unsigned column) { return FormatText("%s:%u:%u: ", name.c_str(), line, column); };
    std::unique_ptr<SignalDatabase> signals;
    std::wstring signalsPath;
    if (!workspace.signals.empty()) {
        signalsPath = WideFromUtf8(ResolveInFolder(folderUtf8, workspace.signals));
        std::vector<std::string> found;
        signals.reset(new SignalDatabase);
        if (ReadSignalsFile(signalsPath, signals.get(), &found) != kExitOk)
            for (const std::string& line : found)
                errors.push_back(at(workspace.signalsLine, workspace.signalsColumn) + N_("signal file") + ": " + line);
    }
    std::vector<std::wstring> recordings;
    for (const WorkspaceRecording& recording : workspace.recordings) {
        recordings.push_back(WideFromUtf8(ResolveInFolder(folderUtf8, recording.path)));
        FILE* probe = _wfopen(recordings.back().c_str(), L"rb");
        if (probe == nullptr)
            errors.push_back(at(recording.line, recording.column) + FormatText(N_("cannot open '%s'"), recording.path.c_str()) +
                             ": " + strerror(errno));
        else
            fclose(probe);
    }
    std::vector<std::vector<size_t>> signalIndexes(workspace.panes.size());
    for (size_t p = 0; p < workspace.panes.size(); ++p) {
        for (const WorkspaceTrace& trace : workspace.panes[p].traces) {
            size_t index = kRawTrace;
            if (!trace.signal.empty()) {
                const SignalRef found = signals != nullptr ? signals->FindSignal(trace.signal) : SignalRef{ nullptr, nullptr };
                if (signals == nullptr)
                    errors.push_back(at(trace.line, trace.column) +
                                     FormatText(N_("signal '%s' needs a signal file (signals = ...)"), trace.signal.c_str()));
                else if (found.signal == nullptr)
                    errors.push_back(at(trace.line, trace.column) +
                                     FormatText(N_("no signal '%s' in the signal file"), trace.signal.c_str()));
                else if (found.message->code != trace.code)
                    errors.push_back(at(trace.line, trace.column) + FormatText(N_("signal '%s' is not of code %08x"),
                                                                               trace.signal.c_str(),
                                                                               static_cast<unsigned>(trace.code)));
                else
                    index = static_cast<size_t>(found.signal - found.message->signals.data());
            }
            signalIndexes[p].push_back(index);
        }
    }
    if (!errors.empty()) {
        *errorsOut = ErrorLines(errors);
        return false;
    }

    // Now it is used, whole.
    OnCloseRecordings();
    if (signals != nullptr)
        UseSignals(std::move(signals), signalsPath);
    m_workspaceTicks = true;
    for (size_t r = 0; r < recordings.size(); ++r) {
        std::wstring why;
        if (OpenRecording(recordings[r], &why))
            m_model.SetOffset(m_recordings.back().source, static_cast<int64_t>(llround(workspace.recordings[r].offsetSeconds * 1e6)));
    }
    m_fitToData = false;
    m_model.ResetPanes(std::max<size_t>(workspace.panes.size(), 1));
    for (size_t p = 0; p < workspace.panes.size(); ++p) {
        const WorkspacePane& pane = workspace.panes[p];
        for (size_t t = 0; t < pane.traces.size(); ++t) {
            const WorkspaceTrace& trace = pane.traces[t];
            const Recording* recording = trace.recording == 0 || trace.recording > m_recordings.size()
                                       ? nullptr : &m_recordings[trace.recording - 1];
            const size_t source = recording != nullptr ? recording->source : 0;
            m_model.AddTrace(source, trace.code, signalIndexes[p][t], p, trace.colour);
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
            for (size_t r = 0; r < m_recordings.size(); ++r) {
                if (m_recordings[r].source == trace.source)
                    kept.recording = r + 1;
            }
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

// ---- Typed values. ----

void CScopeDlg::OnTimeOffset()
{
    const int selected = m_chart.SelectedTrace();
    const size_t source = selected >= 0 ? m_model.Traces()[static_cast<size_t>(selected)].source
                        : m_recordings.empty() ? 0 : m_recordings.back().source;
    if (source == 0) {
        Note(L"\x5148\x6253\x5F00\x8BB0\x5F55\x5E76\x9009\x4E00\x6761\x5176\x66F2\x7EBF open a recording and click one of its traces' legend first");
        return;
    }
    const ScopeSource& shifted = *m_model.Sources()[source];
    std::wstring value = WideFromUtf8(FormatText("%.6f", static_cast<double>(shifted.offsetMicros) / 1e6));
    CValueDlg ask(this, WideFromUtf8("\xE6\x97\xB6\xE9\x97\xB4\xE5\x81\x8F\xE7\xA7\xBB (\xE7\xA7\x92) time offset in seconds of " + shifted.name), value);
    if (ask.Ask(&value) != IDOK)
        return;
    wchar_t* end = nullptr;
    const double seconds = wcstod(value.c_str(), &end);
    if (end == value.c_str() || *end != L'\0' || !std::isfinite(seconds) || fabs(seconds) > 1e9) {
        Note(L"\x65E0\x6548\x7684\x504F\x79FB bad offset '" + value + L"': seconds, like -1.25");
        return;
    }
    m_model.SetOffset(source, static_cast<int64_t>(llround(seconds * 1e6)));
    m_chart.Redraw();
    ChartChanged();
}

void CScopeDlg::OnPaneLimits()
{
    const size_t pane = m_model.ActivePane();
    const Axis& shown = m_model.Panes()[pane].fixed ? m_model.Panes()[pane].axis : m_chart.ShownAxis();
    std::wstring value = WideFromUtf8(FormatText("%.10g %.10g", shown.low, shown.high));
    CValueDlg ask(this, L"\x7A97\x683C\x523B\x5EA6: \x6700\x5C0F \x6700\x5927 pane scale: low high", value);
    if (ask.Ask(&value) != IDOK)
        return;
    double low = 0, high = 0;
    wchar_t extra = 0;
    if (swscanf(value.c_str(), L"%lf %lf %lc", &low, &high, &extra) != 2 || !std::isfinite(low) || !std::isfinite(high) || !(high > low)) {
        Note(L"\x65E0\x6548\x7684\x523B\x5EA6 bad scale '" + value + L"': two numbers, the low first");
        return;
    }
    Axis fixed;
    fixed.low = low;
    fixed.high = high;
    m_model.SetPaneScale(pane, &fixed);
    m_chart.Redraw();
}
