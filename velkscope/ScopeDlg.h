// velkscope's window: the codes seen on the bus in a list with check boxes,
// the strip chart of the ticked ones, and a row of controls below (time
// window, pause, clear, fixed scale, save). It registers itself on the bus
// and feeds every message it receives to the model (ScopeModel).
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "framework/Framework.h"
#include "client/BusBinding.h"
#include "client/ReceiveLoop.h"
#include "protocol/BusCounters.h"
#include "velkscope/ChartView.h"
#include "velkscope/ScopeClock.h"
#include "velkscope/ScopeModel.h"
#include "velkscope/ScopeOptions.h"
#include "velkscope/resource.h"

// The batches of bus messages queued behind the one dispatched come through
// the clients' receive loop (MessageSink::Receive).
class CScopeDlg : public CDialog, private MessageSink {
public:
    CScopeDlg(const ScopeOptions& options, const BusBinding& bus);
    ~CScopeDlg() override;

    enum { IDD = IDD_SCOPE };

    // Creates the window and registers it on the bus. False with what failed
    // in *error (the window is gone again then).
    bool Start(std::wstring* error);
    // Closing the window ends the thread's message loop.
    void QuitOnClose() { m_quitOnClose = true; }

    const ScopeModel& Model() const { return m_model; }
    CChartView& Chart() { return m_chart; }
    int64_t Now() const { return m_clock.Now(); }

    // The signal file the traces and the list read from now on (the codes
    // ticked are drawn again by signal). False with every mistake in
    // *errors, and nothing changed.
    bool OpenSignals(const std::wstring& path, std::wstring* errors);
    // Ticks the signals named (full names, or messages: each field), found
    // in the signal file; false with what is wrong in *error (UTF-8).
    bool TickSignals(const std::vector<std::string>& names, std::string* error);

    // The chart as a PNG file, drawn by the chart's own paint function.
    bool SavePng(const wchar_t* path, std::string* error);
    // The messages behind what the chart shows, as velkctl export writes a
    // recording; false with what failed in *error.
    bool SaveCsv(const wchar_t* path, std::string* error);

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
    void OnCodesItemChanged(NMHDR* header, LRESULT* result);
    void OnCodesCustomDraw(NMHDR* header, LRESULT* result);
    void OnWindowChosen();
    void OnPause();
    void OnClearChart();
    void OnFixScale();
    void OnSavePng();
    void OnSaveCsv();
    void OnOpenSignals();

private:
    // The list's columns, as its items hold them.
    enum { kCodeColumn, kValueColumn, kCountColumn, kLateColumn, kListColumns };
    void SetUpCodeList();
    void FitValueColumn();
    void SetUpWindowChoices();
    void Layout(int width, int height);
    // One bus message into the model (and the list when its code is new).
    void Take(uint32_t code, LPARAM dataWord);
    // One of a batch: taken, with a frame drawn now and then while a flood
    // keeps the queue full.
    void Receive(UINT code, LPARAM dataWord) override;
    void InsertRow(size_t row);
    void SetChecked(size_t row, bool checked);
    // What is due: the chart's frame, the list's counts, the status line.
    void Frame(int64_t now);
    void RefreshList();
    void RefreshStatus(int64_t now);
    void SetStatus(const std::wstring& text);
    void SaveAs(const wchar_t* filter, const wchar_t* extension,
                bool (CScopeDlg::*save)(const wchar_t* path, std::string* error));

    ScopeOptions m_options;
    BusBinding m_bus;
    ScopeClock m_clock;
    ScopeModel m_model;
    std::unique_ptr<SignalDatabase> m_signals;   // the model reads it; null: none
    CChartView m_chart;
    HWND m_codes;
    HFONT m_font;                    // of the list, the chart and the status line
    bool m_quitOnClose;
    bool m_registered;
    bool m_checking;                 // the list's check boxes are being set by us
    int64_t m_lastFrame, m_lastList, m_lastStatus;
    int m_batchTaken;                // of the batch being taken
    uint64_t m_receivedAtStatus;
    CounterValues m_counters;        // the bus's, at the last status
    std::wstring m_note;             // said in the status line until the next change

    DECLARE_MESSAGE_MAP()
};
