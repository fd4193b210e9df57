// CScopeDlg's recordings: opening them, their passes (each on a thread of
// its own, its batches taken on a timer), the chart's detail as it comes
// back and a hover's text (the stretches are read in ScopeReadout.cpp).
// What the command line names and what is dropped on the window are sorted
// in ScopeFiles.cpp.
#include "velkscope/ScopeDlg.h"

#include <errno.h>
#include <string.h>

#include <algorithm>

#include "client/ProgramMessages.h"
#include "client/SignalsOption.h"
#include "common/Catalogue.h"
#include "common/FormatText.h"
#include "velkscope/ScopeParts.h"
#include "velkscope/ScopePaths.h"
#include "windows/FileDialogs.h"
#include "windows/SystemCodePage.h"
#include "windows/WideText.h"

namespace {

const ULONGLONG kBatchTakingMs = 25;     // of each read tick, at most
const size_t kEventTextScan = 64;        // messages looked at for a hover's text

} // namespace

// ---- Recordings. ----

bool CScopeDlg::OpenRecording(const std::wstring& path, std::wstring* error)
{
    std::string full;
    if (!m_recordings.Room(&full)) {
        *error = L"\x65E0\x6CD5\x6253\x5F00 cannot open " + path + L": " + LocalizedReason(full);
        return false;
    }
    // A file, or a series of parts by its first part, a glob or its folder: one recording.
    std::vector<std::string> parts;
    std::string why;
    if (!FindScopeRecording(path, &parts, &why)) {
        *error = L"\x65E0\x6CD5\x6253\x5F00 cannot open " + path + L": " + LocalizedReason(why);
        return false;
    }
    FILE* probe = _wfopen(WideFromUtf8(parts.front()).c_str(), L"rb");
    if (probe == nullptr) {
        *error = L"\x65E0\x6CD5\x6253\x5F00 cannot open " + path + L": " + LocalizedReason(strerror(errno));
        return false;
    }
    fclose(probe);
    const size_t source =
        m_model.AddRecording(Utf8FromWide(FileNameOf(path)), Utf8FromWide(path), ScopeRecordingBytes(parts));
    Recording* recording = m_recordings.Add(source, path, RecordingFile{ parts, nullptr, GetTickCount64() }, &full);
    // The traces chosen so far (the other recordings', the command line's)
    // are this one's too; without a bus the bus's go.
    recording->ticked = !m_workspaceTicks && m_model.MirrorTraces(source);
    if (!m_bound)
        m_model.UntickSource(0);
    // The first recording takes the view from the bus, and fills it as it is read.
    if (m_recordings.Size() == 1) {
        m_model.Pause(m_clock.Now());
        SetDlgItemTextW(m_hWnd, IDC_PAUSE, L"\x7EE7\x7EED Resume");
        m_fitToData = true;
    }
    StartPass(recording);
    RefreshTitle();
    RefreshStatus(m_clock.Now());
    return true;
}

void CScopeDlg::StartPass(Recording* recording)
{
    m_model.MutableSource(recording->source).reading = true;
    recording->open.started = GetTickCount64();
    // Read on a thread from the first byte: however many codes or bad lines
    // the file starts with, the window answers at once. A part that cannot
    // be opened ends the pass with its name.
    std::unique_ptr<RecordingPass> pass(new RecordingPass(ReadScopeRecording(recording->open.parts), m_signals.get(),
                                                          WindowsSignalCodePages(), m_options.arrayValue));
    recording->open.pass.reset(new PassWorker(std::move(pass)));
    if (!recording->open.pass->Start()) {
        recording->open.pass.reset();
        m_model.MutableSource(recording->source).reading = false;
        m_model.MutableSource(recording->source).error = N_("cannot start reading");
        return;
    }
    SetTimer(m_hWnd, kReadTimer, kReadTimerMs, nullptr);
}

void CScopeDlg::CancelPasses()
{
    for (Recording& recording : m_recordings) {
        if (recording.open.pass != nullptr)
            recording.open.pass->Cancel();
    }
}

// The batches read since, for at most a share of the time between two
// ticks: the window stays with the user, and what has come is drawn.
// Whether a recording was read to its end.
bool CScopeDlg::TakeBatches()
{
    bool ended = false;
    const ULONGLONG started = GetTickCount64();
    bool more = true;
    while (more && GetTickCount64() - started < kBatchTakingMs) {
        more = false;
        for (Recording& recording : m_recordings) {
            if (recording.open.pass == nullptr)
                continue;
            std::unique_ptr<PassBatch> batch = recording.open.pass->Take();
            if (batch != nullptr) {
                ended = ApplyBatch(&recording, batch.get()) || ended;
                more = true;
            }
        }
    }
    return ended;
}

bool CScopeDlg::ApplyBatch(Recording* recording, PassBatch* batch)
{
    ScopeSource& source = m_model.MutableSource(recording->source);
    const size_t rows = source.data.Rows().size();
    const bool first = source.messages == 0 && source.bytesRead == 0;
    m_model.ApplyBatch(recording->source, batch);
    if (batch->done) {
        recording->open.pass.reset();   // its thread has ended
        if (batch->cancelled)
            source.error = source.name + FormatText(": \xE5\xB7\xB2\xE5\x81\x9C\xE6\xAD\xA2 stopped at %.0f%%",
                                                    source.fileBytes == 0 ? 100.0 : 100.0 * static_cast<double>(batch->fileBytes) / static_cast<double>(source.fileBytes));
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
    return batch->done;
}

void CScopeDlg::OnOpenRecording()
{
    for (const std::wstring& path : AskOpenPaths(m_hWnd, L"\x8BB0\x5F55 Recordings (*.txt;*.rec;*.log;*.gz)\0*.txt;*.rec;*.log;*.gz\0"
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
    for (Recording& recording : m_recordings)
        recording.open.pass.reset();
    m_recordings.Clear();
    m_model.CloseRecordings();
    m_fitToData = false;
    RebuildList();
    RefreshTitle();
    RefreshStatus(m_clock.Now());
    m_chart.Redraw();
    ChartChanged();
}

// ---- The chart's detail as it comes back, a hover's text. ----

LRESULT CScopeDlg::OnDetail(WPARAM, LPARAM lParam)
{
    std::unique_ptr<DetailResult> result(reinterpret_cast<DetailResult*>(lParam));
    if (const Recording* recording = m_recordings.ByToken(result->token)) {
        m_model.SetDetail(recording->source, std::move(result->detail));
        m_chart.Redraw();
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
