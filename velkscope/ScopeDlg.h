// velkscope's window: the codes seen in a list with check boxes, the chart
// of the ticked ones in panes on one time axis with the overview strip
// under it, the cursors' readout, a row of controls and the status line.
// It registers itself on the bus and feeds every message it receives to the
// model (ScopeModel); it opens recordings, each read on a thread of its own
// (PassWorker, its batches taken on a timer) while the chart draws what has come, and reads stretches of
// them again for a view finer than their summary (DetailWorker), for the
// readout and for the exports.
//
// The handlers live in files by job: ScopeDlg.cpp (the window, the bus, the
// frames), ScopeList.cpp (the list of codes), ScopeRecordings.cpp
// (recordings, their passes, a hover's text), ScopeFiles.cpp (what is named
// or dropped, signal files, workspaces, saving and exporting),
// ScopeReadout.cpp (the readout, and what a change of the chart sets off:
// the stretches read again for its detail), ScopeCommands.cpp (the controls
// and menu commands on the chart) and ScopeStatus.cpp (the status line, the
// title, the layout). No two of them call each other both ways:
// ScopeStatus.cpp calls none of the others, ScopeReadout.cpp only it.
#pragma once
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Framework.h"
#include "client/BusBinding.h"
#include "client/ReceiveLoop.h"
#include "client/WindowBatches.h"
#include "protocol/BusCounters.h"
#include "velkscope/ChartView.h"
#include "velkscope/DetailWorker.h"
#include "velkscope/OverviewView.h"
#include "velkscope/PassWorker.h"
#include "velkscope/Readout.h"
#include "velkscope/RecordingSet.h"
#include "velkscope/ScopeClock.h"
#include "velkscope/ScopeModel.h"
#include "velkscope/ScopeOptions.h"
#include "velkscope/Workspace.h"
#include "velkscope/resource.h"

// The bus messages come in batches (client/WindowBatches.h), each taken
// into the model, a frame drawn when one is due.
class CScopeDlg : public CDialog, private BatchWindow, private ChartHost {
public:
    // bus: bound, or all null to show recordings without the bus.
    CScopeDlg(const ScopeOptions& options, const BusBinding& bus);
    ~CScopeDlg() override;

    enum { IDD = IDD_SCOPE };

    // Creates the window and registers it on the bus. False with what failed
    // in *error (the window is gone again then).
    bool Start(std::wstring* error);
    // Closing the window ends the thread's message loop.
    void QuitOnClose() { m_quitOnClose = true; }

    const ScopeModel& Model() const { return m_model; }
    ScopeModel& MutableModel() { return m_model; }
    CChartView& Chart() { return m_chart; }
    int64_t Now() const { return m_clock.Now(); }

    // The signal file the traces and the list read from now on (the codes
    // ticked are drawn again by signal, the recordings read again). False
    // with every mistake in *errors, and nothing changed.
    bool OpenSignals(const std::wstring& path, std::wstring* errors);
    // Ticks the signals named (full names, or messages: each field), found
    // in the signal file; false with what is wrong in *error (UTF-8).
    bool TickSignals(const std::vector<std::string>& names, std::string* error);

    // The recordings and the workspace the command line names; false with
    // what is wrong in *error.
    bool OpenFromOptions(std::wstring* error);
    // A recording, read on a thread of its own from now on; false with why
    // it cannot be opened in *error.
    bool OpenRecording(const std::wstring& path, std::wstring* error);
    // Whether a recording is still being read.
    bool Reading() const;
    // A workspace: the signal file, recordings, panes, traces, view and
    // cursors it names, all or nothing; false with every mistake in *errors.
    bool OpenWorkspace(const std::wstring& path, std::wstring* errors);
    bool SaveWorkspace(const std::wstring& path, std::string* error);

    // The chart as a PNG file, drawn by the chart's own paint function.
    bool SavePng(const wchar_t* path, std::string* error);
    // The chart as SVG: each pane as the screen shows it.
    bool SaveSvg(const wchar_t* path, std::string* error);
    // The messages behind the traces between the cursors (with both set),
    // else in view, as velkctl export writes a recording.
    bool SaveCsv(const wchar_t* path, std::string* error);
    // The bus's history in velkctl's record format.
    bool SaveRecording(const wchar_t* path, std::string* error);

    // The readout as the window shows it, UTF-8 cells (a header row first).
    std::vector<std::vector<std::string>> ReadoutNow();

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnCancel() override;
    void OnDestroy();
    void PostNcDestroy() override;
    void OnSize(UINT type, int cx, int cy);
    void OnGetMinMaxInfo(MINMAXINFO* info);
    void OnTimer(UINT_PTR id);

    LRESULT OnBusMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnDetail(WPARAM wParam, LPARAM lParam);
    LRESULT OnDropFiles(WPARAM wParam, LPARAM lParam);
    void OnCodesDisplayInfo(NMHDR* header, LRESULT* result);
    void OnCodesClick(NMHDR* header, LRESULT* result);
    void OnCodesKeyDown(NMHDR* header, LRESULT* result);
    void OnCodesCustomDraw(NMHDR* header, LRESULT* result);
    void OnWindowChosen();
    void OnPause();
    void OnClearChart();
    void OnFixScale();
    void OnSavePng();
    void OnSaveCsv();
    void OnOpenSignals();
    void OnOpenRecording();
    void OnCloseRecordings();
    void OnOpenWorkspace();
    void OnSaveWorkspace();
    void OnSaveRecording();
    void OnExportSvg();
    void OnExit();
    void OnCopyReadout();
    void OnClearCursors();
    void OnShowAll();
    void OnNewPane();
    void OnPaneLimits();
    void OnAutoScale();
    void OnXSelected();
    void OnXTime();
    void OnWallClock();
    void OnTimeOffset();

private:
    enum : UINT_PTR {
        kFrameTimer = 1,
        kReadTimer = 2,           // while a recording is read: its batches taken
    };
    enum : UINT { kReadTimerMs = 10 };

    // What the window holds for each open recording.
    struct RecordingFile {
        std::vector<std::string> parts;   // its files (UTF-8), one or a series' parts in order
        std::unique_ptr<PassWorker> pass;
        ULONGLONG started;                // when its pass began, for the progress
    };
    using Recording = RecordingSet<RecordingFile>::Recording;

    // ChartHost
    int64_t ChartNow() const override { return m_clock.Now(); }
    void ChartChanged() override;
    std::string EventText(size_t trace, int64_t from, int64_t to) override;

    // The list's columns, as its items hold them.
    enum { kCodeColumn, kValueColumn, kCountColumn, kMarksColumn, kListColumns };
    enum { kMarksWidth = 64 };           // the marks column's least width, "迟到 late" in it
    void SetUpCodeList();
    void FitValueColumn();
    void FitMarksColumn(const std::wstring& marks);
    void SetUpReadout();
    void SetUpWindowChoices();
    void Layout(int width, int height);
    // One bus message into the model (and the list when its code is new).
    void Take(uint32_t code, LPARAM dataWord);
    void TakeBusMessage(UINT code, LPARAM dataWord) override;
    void FrameIfDue() override;
    // The list holds the bus's rows, then each recording's.
    void RebuildList();
    size_t ListRowOf(size_t source, size_t row) const;
    // More than one source has rows: each row names its source.
    bool ListNamesSources() const;
    bool SourceRowOf(size_t listRow, size_t* source, size_t* row) const;
    void InsertRow(size_t listRow, size_t source, size_t row);
    // Ticks or unticks the row's code.
    void ToggleRow(size_t listRow);
    // What is due: the chart's frame, the list's counts, the status line.
    void Frame(int64_t now);
    void RefreshList();
    void RefreshStatus(int64_t now);
    void RefreshReadout();
    void RefreshTitle();
    void SetStatus(const std::wstring& text);
    void SaveAs(const wchar_t* filter, const wchar_t* extension,
                bool (CScopeDlg::*save)(const wchar_t* path, std::string* error));

    // Recordings: their passes, the stretches read again.
    void StartPass(Recording* recording);
    // Whether a recording was read to its end (then shown whole by the caller).
    bool TakeBatches();
    bool ApplyBatch(Recording* recording, PassBatch* batch);
    void CancelPasses();
    void ServeDetail();
    std::vector<StretchReader> Readers();
    // The signal file from now on; the passes are started again by it.
    void UseSignals(std::unique_ptr<SignalDatabase> loaded, const std::wstring& path);
    void Note(const std::wstring& note);

    ScopeOptions m_options;
    BusBinding m_bus;
    WindowBatches m_batches;
    bool m_bound;                    // the bus is there; else recordings only
    ScopeClock m_clock;
    ScopeModel m_model;
    std::unique_ptr<SignalDatabase> m_signals;   // the model reads it; null: none
    CChartView m_chart;
    COverviewView m_overview;
    HWND m_codes;
    HWND m_readout;
    HFONT m_font;                    // of the list, the chart and the status line
    bool m_quitOnClose;
    bool m_registered;
    int64_t m_lastFrame, m_lastList, m_lastStatus;
    uint64_t m_receivedAtStatus;
    CounterValues m_counters;        // the bus's, at the last status
    std::wstring m_note;             // said in the status line until the next change
    RecordingSet<RecordingFile> m_recordings;
    std::unique_ptr<DetailWorker> m_detail;
    bool m_readoutStale;             // the cursors or the data moved since the readout was made
    std::vector<std::vector<std::string>> m_readoutCells;
    std::string m_readoutKey;        // ReadoutKey when the readout was last made
    bool m_fitToData;                // the view shows all of the recordings as they are read
    bool m_workspaceTicks;           // a workspace chose the traces: none are ticked for a new recording
    bool m_listStale;                // a recording's rows changed: the list is made again on its next refresh
    int m_marksWidth;                // the marks column, widened to the widest marks shown
    std::wstring m_signalsPath, m_workspacePath;

    DECLARE_MESSAGE_MAP()
};
