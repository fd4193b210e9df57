// CScopeDlg's status line, title and the layout of its controls (the code
// list's value column takes the room left): what the other files call when
// what they show has changed; it calls none of them.
#include "velkscope/ScopeDlg.h"

#include <inttypes.h>

#include <algorithm>

#include <commctrl.h>

#include "velk/VelkApi.h"
#include "velk/VelkLibrary.h"
#include "velk/VelkResults.h"
#include "client/ProgramMessages.h"
#include "common/FormatText.h"
#include "windows/WideText.h"

namespace {

std::wstring WideOf(const std::string& text)
{
    return AfxWideFromNarrow(text.c_str());
}

void Place(HWND dialog, int id, int x, int y, int width, int height)
{
    SetWindowPos(GetDlgItem(dialog, id), nullptr, x, y, std::max(width, 0), std::max(height, 0), SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

void CScopeDlg::Layout(int width, int height)
{
    RECT unit = { 0, 0, 4, 8 };   // dialog units: 4 x 8 is one character cell
    MapDialogRect(m_hWnd, &unit);
    const int margin = unit.right;
    const int row = unit.bottom * 14 / 8;
    const int status = height - margin - row;
    const int controls = status - margin / 2 - row;
    // The list: code, count and marks (about 300 pixels with names), and
    // room for the value.
    const int listWidth = std::min(std::max(width * 9 / 20, 320), 560) + std::min(m_marksWidth - kMarksWidth, width / 8);
    const int right = 2 * margin + listWidth, rightWidth = width - 3 * margin - listWidth;
    const int bottom = controls - margin;
    const int readoutHeight = std::min(7 * row, std::max(bottom / 4, 3 * row));
    const int overviewHeight = 2 * row;

    Place(m_hWnd, IDC_CODES, margin, margin, listWidth, bottom - margin);
    FitValueColumn();
    Place(m_hWnd, IDC_CHART, right, margin, rightWidth, bottom - 3 * margin - readoutHeight - overviewHeight);
    Place(m_hWnd, IDC_OVERVIEW, right, bottom - 2 * margin - readoutHeight - overviewHeight, rightWidth, overviewHeight);
    Place(m_hWnd, IDC_READOUT, right, bottom - readoutHeight - margin, rightWidth, readoutHeight);
    // The readout's columns share its width: the values at the cursors widest.
    static const int kShares[] = { 30, 16, 16, 10, 7, 7, 7, 7 };
    for (int column = 0; column < 8; ++column)
        ListView_SetColumnWidth(m_readout, column, (rightWidth - 24) * kShares[column] / 100);

    struct Cell { int id; int dialogUnits; };
    const Cell cells[] = {
        { IDC_WINDOW_LABEL, 56 }, { IDC_WINDOW, 50 }, { IDC_PAUSE, 54 }, { IDC_CLEAR_CHART, 54 },
        { IDC_FIX_SCALE, 76 }, { IDC_SAVE_PNG, 50 }, { IDC_SAVE_CSV, 50 },
    };
    int x = margin;
    for (const Cell& cell : cells) {
        int cellWidth = cell.dialogUnits * unit.right / 4;
        // A drop-down list's height includes its list.
        Place(m_hWnd, cell.id, x, controls, cellWidth, cell.id == IDC_WINDOW ? row * 10 : row);
        x += cellWidth + margin;
    }
    const bool progress = Reading();
    const int progressWidth = progress ? std::min(200, width / 5) : 0;
    Place(m_hWnd, IDC_PROGRESS, margin, status + row / 4, progressWidth, row / 2);
    Place(m_hWnd, IDC_STATUS, margin + (progress ? progressWidth + margin : 0), status, width - 2 * margin - (progress ? progressWidth + margin : 0), row);
    m_chart.Invalidate(FALSE);
    m_overview.Invalidate(FALSE);
}

void CScopeDlg::FitValueColumn()
{
    RECT client;
    ::GetClientRect(m_codes, &client);
    int others = 0;
    for (int column : { kCodeColumn, kCountColumn, kMarksColumn })
        others += ListView_GetColumnWidth(m_codes, column);
    ListView_SetColumnWidth(m_codes, kValueColumn, std::max(80, static_cast<int>(client.right) - others));
}

bool CScopeDlg::Reading() const
{
    for (const Recording& recording : m_recordings) {
        if (m_model.Sources()[recording.source]->reading)
            return true;
    }
    return false;
}

void CScopeDlg::RefreshStatus(int64_t now)
{
    const double seconds = static_cast<double>(now - m_lastStatus) / 1e6;
    const uint64_t received = m_model.Received();
    const double rate = seconds > 0 && received >= m_receivedAtStatus
                      ? static_cast<double>(received - m_receivedAtStatus) / seconds : 0;
    m_lastStatus = now;
    m_receivedAtStatus = received;

    std::wstring text;
    // A recording being read: how far, how fast, how long still.
    uint64_t bytes = 0, total = 0, messages = 0;
    double elapsed = 0;
    for (const Recording& recording : m_recordings) {
        const ScopeSource& source = *m_model.Sources()[recording.source];
        if (!source.reading)
            continue;
        bytes += source.fileBytesRead;   // compressed bytes against the compressed size
        total += source.fileBytes;
        messages += source.messages;
        elapsed = std::max(elapsed, static_cast<double>(GetTickCount64() - recording.open.started) / 1000.0);
    }
    HWND progress = ::GetDlgItem(m_hWnd, IDC_PROGRESS);
    const bool showing = IsWindowVisible(progress) != FALSE;
    if (total > 0) {
        const double rateBytes = elapsed > 0 ? static_cast<double>(bytes) / elapsed : 0;
        const double left = rateBytes > 0 ? static_cast<double>(total - std::min(bytes, total)) / rateBytes : 0;
        text = WideFromUtf8(FormatText("\xE8\xAF\xBB\xE5\x8F\x96 reading %.1f / %.1f MB, %" PRIu64 " messages, %.0f MB/s, "
                                       "\xE8\xBF\x98\xE9\x9C\x80 %.0f s left (Esc \xE5\x81\x9C\xE6\xAD\xA2 stops)",
                                       static_cast<double>(bytes) / 1e6, static_cast<double>(total) / 1e6, messages,
                                       rateBytes / 1e6, left));
        ::SendMessageW(progress, PBM_SETPOS, static_cast<WPARAM>(static_cast<double>(bytes) * 1000 / static_cast<double>(total)), 0);
    }
    if ((total > 0) != showing) {
        ShowWindow(progress, total > 0 ? SW_SHOW : SW_HIDE);
        RECT client;
        GetClientRect(&client);
        Layout(client.right, client.bottom);
    }
    if (m_bound) {
        if (!text.empty())
            text += L" \x00B7 ";
        text += L"\x6536\x5230 received " + WideOf(FormatText("%" PRIu64 " (%.0f/s)", received, rate));
        int status = BusStatus(m_bus);
        if (status != kVelkOk) {
            text += L" \x00B7 \x603B\x7EBF\x4E0D\x53EF\x7528 bus unusable: " + LocalizedReason(VelkResultText(status));
        } else {
            CounterValues counters = ReadCounters(m_bus);
            bool losing = false;
            text += L" \x00B7 \x603B\x7EBF bus: " + LocalizedReason(FormatCounterChange(m_counters, counters, &losing));
            m_counters = counters;
        }
        if (m_model.Unlisted() != 0)
            text += L" \x00B7 \x672A\x5217\x51FA unlisted " + WideOf(FormatText("%" PRIu64, m_model.Unlisted()));
        if (m_model.LiveHistory().Dropped() != 0)
            text += L" \x00B7 \x5386\x53F2\x5DF2\x622A history cut: " +
                    LocalizedReason(FormatText(N_("%" PRIu64 " oldest messages dropped"), m_model.LiveHistory().Dropped()));
    } else if (text.empty()) {
        text = L"\x65E0\x603B\x7EBF no bus";
    }
    // What the recordings hold past the list (codes beyond the first
    // kMaxCodes, only counted) and what went wrong: bad lines, an error.
    for (const Recording& recording : m_recordings) {
        const ScopeSource& source = *m_model.Sources()[recording.source];
        if (source.data.Unlisted() != 0)
            text += L" \x00B7 " + WideFromUtf8(source.name) + L": \x672A\x5217\x51FA unlisted " +
                    WideOf(FormatText("%" PRIu64, source.data.Unlisted()));
        if (!source.error.empty())
            text += L" \x00B7 " + LocalizedReason(source.error);
        else if (source.badLines != 0)
            text += WideFromUtf8(FormatText(" \xC2\xB7 %" PRIu64 " \xE8\xA1\x8C\xE6\x9C\x89\xE8\xAF\xAF bad lines skipped, the latest ",
                                            source.badLines)) + LocalizedReason(source.latestBadLine);
    }
    if (!m_note.empty())
        text += L" \x00B7 " + m_note;
    SetStatus(text);
}

void CScopeDlg::SetStatus(const std::wstring& text)
{
    SetWindowTextW(::GetDlgItem(m_hWnd, IDC_STATUS), text.c_str());
}

void CScopeDlg::Note(const std::wstring& note)
{
    m_note = note;
    RefreshStatus(m_clock.Now());
}

// "velkscope - night.rec, day.rec" with recordings, else the bus's name.
void CScopeDlg::RefreshTitle()
{
    std::string names;
    for (const Recording& recording : m_recordings)
        names += (names.empty() ? "" : ", ") + m_model.Sources()[recording.source]->name;
    if (names.empty()) {
        SetWindowTextW(m_hWnd, (L"velkscope - " + WideOf(BusNameForTitle())).c_str());
        return;
    }
    SetWindowTextW(m_hWnd, (L"velkscope - " + WideFromUtf8(names)).c_str());
}
