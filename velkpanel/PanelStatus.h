// The status line under a panel: the last note (the file shown, what was
// sent or refused and why) and the counts after it.
#pragma once
#include <stdint.h>

#include <string>

#include <windows.h>

struct PanelCounts {
    uint64_t sent = 0, received = 0;
    uint64_t lateCyclic = 0;   // the panel shown's cyclic deadlines missed
};

class PanelStatus {
public:
    // counts outlives the status line.
    explicit PanelStatus(const PanelCounts* counts) : counts_(counts) {}
    // The window it is shown in; null: kept until there is one.
    void Attach(HWND line) { line_ = line; }
    // Replaces the note and shows it at once.
    void SetNote(const std::wstring& note);
    const std::wstring& Note() const { return note_; }
    // The note and the counts as they stand now.
    void Show();

private:
    const PanelCounts* counts_;
    HWND line_ = nullptr;
    std::wstring note_;
};
