// velkpanel's window: the panel (the automatic one of a signal file, or a
// panel file's tabs) above a status line. It opens the files, registers on
// the bus, hands what arrives to the model, and wakes the sender (which
// carries out what the controls set) on the ticker's wake-ups.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "client/BusBinding.h"
#include "client/WindowBatches.h"
#include "framework/Framework.h"
#include "velkpanel/PanelModel.h"
#include "velkpanel/PanelSender.h"
#include "velkpanel/PanelStatus.h"
#include "velkpanel/PanelTicker.h"
#include "velkpanel/PanelView.h"
#include "velkpanel/resource.h"

// Mistakes in a file, for a message box: enough lines to see what is wrong,
// few enough for the box to fit on the screen; each in Chinese too where the
// catalogue has it.
std::wstring ErrorLines(const std::vector<std::string>& errors);

class CPanelDlg : public CDialog, private BatchWindow {
public:
    explicit CPanelDlg(const BusBinding& bus);
    ~CPanelDlg() override;

    enum { IDD = IDD_PANEL };

    // The automatic panel of a signal file. kExitOk, or kExitUsage /
    // kExitIo with every mistake (UTF-8, FILE:LINE:COLUMN: ...) in *errors;
    // the panel shown stays as it was then.
    int OpenSignals(const std::wstring& path, std::vector<std::string>* errors);
    // A panel file, over signals when given, else the signal file it names
    // itself (beside it), else the one open now, else %VELK_SIGNALS%.
    int OpenPanel(const std::wstring& path, const std::wstring& signals, std::vector<std::string>* errors);

    // Creates the window and registers it on the bus; false with what failed.
    bool Start(std::wstring* error);
    void QuitOnClose() { m_quitOnClose = true; }

    // What tests and the benchmark look at.
    PanelView* View() { return m_view.get(); }
    PanelModel* Model() { return m_model.get(); }
    const std::wstring& Note() const { return m_status.Note(); }
    uint64_t Sent() const { return m_counts.sent; }
    uint64_t Received() const { return m_counts.received; }
    uint64_t Refreshes() const { return m_refreshes; }
    // Shows what changed now, as the timer does.
    void Refresh(bool all);

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy();
    void PostNcDestroy() override;
    void OnSize(UINT type, int cx, int cy);
    void OnGetMinMaxInfo(MINMAXINFO* info);
    void OnTimer(UINT_PTR id);

    LRESULT OnBusMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnTick(WPARAM wParam, LPARAM lParam);
    void OnTabChanged(NMHDR* header, LRESULT* result);
    void OnOpenSignals();
    void OnOpenPanel();

private:
    // The bus's messages, in batches (client/WindowBatches.h).
    void TakeBusMessage(UINT code, LPARAM dataWord) override;
    void FrameIfDue() override;

    // Replaces the panel shown (and its cyclic sends) by another.
    void Install(std::shared_ptr<SignalDatabase> signals, std::unique_ptr<Panel> panel, bool automatic,
                 const std::wstring& title, const std::wstring& note);
    bool BuildView();
    void Layout();
    void RefreshStatus();
    int64_t Now() const;
    // Asks for a file to open; empty when the user cancels.
    std::wstring AskOpenPath(const wchar_t* filter);

    BusBinding m_bus;
    WindowBatches m_batches;
    uint64_t m_startTicks;
    PanelCounts m_counts;
    PanelStatus m_status;
    PanelSender m_sender;
    // Declared in the order they are made: each is gone before what it reads.
    std::shared_ptr<SignalDatabase> m_signals;
    std::wstring m_signalsPath;
    std::unique_ptr<Panel> m_panel;
    std::unique_ptr<PanelModel> m_model;
    std::unique_ptr<PanelView> m_view;
    bool m_automatic;
    std::wstring m_title;
    std::unique_ptr<PanelTicker> m_ticker;
    bool m_registered;
    bool m_quitOnClose;
    int64_t m_lastRefresh, m_lastStatus;
    uint64_t m_refreshes;

    DECLARE_MESSAGE_MAP()
};
