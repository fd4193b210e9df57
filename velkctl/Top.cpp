#include "velkctl/Top.h"

#include <inttypes.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "velk/VelkApi.h"
#include "windows/SystemLeadByte.h"
#include "common/FormatText.h"
#include "client/BusBinding.h"
#include "protocol/BusCounters.h"
#include "windows/Clock.h"
#include "velkctl/CommandOutcome.h"
#include "client/ReceiveLoop.h"
#include "windows/StopSignal.h"
#include "velkctl/TopTable.h"
#include "client/SignalsOption.h"
#include "velkctl/TopSignalCells.h"
#include "windows/SystemCodePage.h"
#include "velkctl/ShowInformation.h"

namespace {

const size_t kPlainWidth = 120;          // a file or pipe has no width of its own
const uint64_t kKeyPollMicros = 100000;  // how soon a key is answered in a console

// Where the table goes: a console window redrawn in place, or plain blocks.
class TopOutput {
public:
    virtual ~TopOutput() {}
    // False when the output is gone (a closed pipe).
    virtual bool Show(const TopTable& table, uint64_t now, const std::string& summary, const std::string& bus,
                      bool losing, bool paused) = 0;
    // A key pressed since the last call, or 0.
    virtual char Key() { return 0; }
};

class PlainOutput : public TopOutput {
public:
    bool Show(const TopTable& table, uint64_t now, const std::string& summary, const std::string& bus, bool,
              bool) override
    {
        std::string block = LocalTimeLine();
        block.insert(block.size() - 1, " " + summary);
        for (const TopLine& line : table.Format(kPlainWidth, SIZE_MAX, now, IsSystemLeadByte))
            block += line.text + "\n";
        block += "bus: " + bus + "\n\n";
        fputs(block.c_str(), stdout);
        return fflush(stdout) == 0 && !ferror(stdout);
    }
};

// The table in a screen buffer of its own, so the console's own text comes
// back when top ends. Every line is written at its place, padded to the
// window's width: nothing scrolls and nothing is cleared first, so nothing
// flickers.
class ConsoleOutput : public TopOutput {
public:
    explicit ConsoleOutput(HANDLE original)
        : original_(original), screen_(CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                                                  CONSOLE_TEXTMODE_BUFFER, NULL)),
          input_(GetStdHandle(STD_INPUT_HANDLE)), inputMode_(0)
    {
        // The window says what runs in it, not the program's path.
        char title[1024];
        if (GetConsoleTitleA(title, sizeof title) > 0)
            title_ = title;
        SetConsoleTitleA(("velkctl top - " + BusNameForTitle()).c_str());
        if (screen_ != INVALID_HANDLE_VALUE) {
            SetConsoleActiveScreenBuffer(screen_);
            CONSOLE_CURSOR_INFO cursor = { 1, FALSE };
            SetConsoleCursorInfo(screen_, &cursor);
        }
        // Keys one at a time, unechoed; Ctrl+C still ends top.
        if (GetConsoleMode(input_, &inputMode_))
            SetConsoleMode(input_, ENABLE_PROCESSED_INPUT);
    }

    ~ConsoleOutput() override
    {
        if (!title_.empty())
            SetConsoleTitleA(title_.c_str());
        if (screen_ != INVALID_HANDLE_VALUE) {
            SetConsoleActiveScreenBuffer(original_);
            CloseHandle(screen_);
        }
        if (inputMode_ != 0)
            SetConsoleMode(input_, inputMode_);
    }

    bool Usable() const { return screen_ != INVALID_HANDLE_VALUE; }

    bool Show(const TopTable& table, uint64_t now, const std::string& summary, const std::string& bus, bool losing,
              bool paused) override
    {
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (!GetConsoleScreenBufferInfo(screen_, &info))
            return true;
        // The buffer the size of the window: no scroll bars, nothing below.
        const SHORT width = static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1);
        const SHORT height = static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1);
        if (info.dwSize.X != width || info.dwSize.Y != height) {
            COORD size = { width, height };
            SetConsoleScreenBufferSize(screen_, size);
        }
        if (width < 20 || height < 4)
            return true;
        const size_t rows = static_cast<size_t>(height) - 3;   // title, heads, footer
        std::vector<TopLine> lines = table.Format(static_cast<size_t>(width), rows, now, IsSystemLeadByte);

        std::string title = "velkctl top  " + summary + (table.SortedByRate() ? "  by rate" : "  by code") +
                            (paused ? "  PAUSED" : "") + "  q quit, space pause, c clear, s sort";
        if (table.Codes() > rows)
            title += FormatText("  (%zu codes not shown)", table.Codes() - rows);
        Write(0, title, kTitle, width);
        for (SHORT y = 1; y < height - 1; ++y) {
            size_t index = static_cast<size_t>(y - 1);
            if (index < lines.size())
                Write(y, lines[index].text, AttributeOf(lines[index].mark), width);
            else
                Write(y, std::string(), kPlain, width);
        }
        Write(static_cast<SHORT>(height - 1), "bus: " + bus, losing ? kLoss : kPlain, width);
        return true;
    }

    char Key() override
    {
        DWORD waiting = 0;
        while (GetNumberOfConsoleInputEvents(input_, &waiting) && waiting > 0) {
            INPUT_RECORD record;
            DWORD read = 0;
            if (!ReadConsoleInputA(input_, &record, 1, &read) || read == 0)
                break;
            if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown && record.Event.KeyEvent.uChar.AsciiChar != 0)
                return record.Event.KeyEvent.uChar.AsciiChar;
        }
        return 0;
    }

private:
    enum : WORD {
        kPlain = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE,
        kTitle = BACKGROUND_BLUE | FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE | FOREGROUND_INTENSITY,
        kChanged = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_INTENSITY,   // bright yellow
        kSilent = FOREGROUND_INTENSITY,                                         // dark grey
        kLoss = FOREGROUND_RED | FOREGROUND_INTENSITY,
        kLate = FOREGROUND_RED | FOREGROUND_BLUE | FOREGROUND_INTENSITY,                 // magenta
    };

    static WORD AttributeOf(TopMark mark)
    {
        switch (mark) {
        case kTopChanged: return kChanged;
        case kTopSilent: return kSilent;
        case kTopBeyondLimit: return kLoss;
        case kTopLate: return kLate;
        default: return kPlain;
        }
    }

    void Write(SHORT y, const std::string& text, WORD attribute, SHORT width)
    {
        std::string line = text.substr(0, static_cast<size_t>(width));
        line.resize(static_cast<size_t>(width), ' ');
        COORD at = { 0, y };
        DWORD written = 0;
        WriteConsoleOutputCharacterA(screen_, line.data(), static_cast<DWORD>(line.size()), at, &written);
        FillConsoleOutputAttribute(screen_, attribute, static_cast<DWORD>(width), at, &written);
    }

    HANDLE original_;
    HANDLE screen_;
    HANDLE input_;
    DWORD inputMode_;
    std::string title_;   // the console's own, given back at the end
};

class TopSink : public MessageSink {
public:
    TopSink(const BusBinding& bus, const TopOptions& options, TopOutput* output, const TopSignals* signals)
        : bus_(bus), options_(options), output_(output), start_(ClockTicks()),
          counters_(ReadCounters(bus))
    {
        table_.UseSignals(signals);
    }

    void FilteredOut(UINT) override { ++filteredOut_; }

    void Receive(UINT code, LPARAM dataWord) override
    {
        ++received_;
        table_.Receive(code, ClockMicrosSince(start_), TakeLatest(bus_, code, dataWord));
    }

    bool Tick() override
    {
        if (!Keys())
            return false;
        const uint64_t now = ClockMicrosSince(start_);
        if (now < (intervals_ + 1) * options_.intervalMicros)
            return true;
        // Intervals missed while busy are skipped, not shown in a burst.
        intervals_ = now / options_.intervalMicros;
        table_.EndInterval(now, options_.intervalMicros);
        CounterValues counters = ReadCounters(bus_);
        change_ = FormatCounterChange(counters_, counters, &losing_);
        counters_ = counters;
        summary_ = FormatText("%zu codes, %" PRIu64 " messages in %.3f s", table_.Codes(), received_ - receivedBefore_,
                              static_cast<double>(options_.intervalMicros) / 1e6);
        if (filteredOut_ != 0)
            summary_ += FormatText(", %" PRIu64 " filtered out", filteredOut_ - filteredBefore_);
        if (table_.Unlisted() != 0)
            summary_ += FormatText(", %" PRIu64 " from codes past the %zu kept", table_.Unlisted(), static_cast<size_t>(kTopMaxCodes));
        receivedBefore_ = received_;
        filteredBefore_ = filteredOut_;
        ++shown_;
        if (!paused_ && !output_->Show(table_, now, summary_, change_, losing_, paused_)) {
            failed_ = true;
            return false;
        }
        return options_.count == 0 || shown_ < options_.count;
    }

    bool Failed() const { return failed_; }

private:
    // False for q.
    bool Keys()
    {
        for (char key = output_->Key(); key != 0; key = output_->Key()) {
            switch (key) {
            case 'q': case 'Q':
                return false;
            case ' ':
                paused_ = !paused_;
                break;
            case 'c': case 'C':
                table_.ClearCounts();
                break;
            case 's': case 'S':
                table_.SortByRate(!table_.SortedByRate());
                break;
            default:
                break;
            }
            // Shown at once, not at the interval's end (only a console has keys).
            output_->Show(table_, ClockMicrosSince(start_), summary_, change_, losing_, paused_);
        }
        return true;
    }

    const BusBinding& bus_;
    TopOptions options_;
    TopOutput* output_;
    uint64_t start_;
    CounterValues counters_;
    TopTable table_;
    uint64_t received_ = 0, receivedBefore_ = 0;
    uint64_t filteredOut_ = 0, filteredBefore_ = 0;
    uint64_t intervals_ = 0, shown_ = 0;
    bool paused_ = false;
    bool failed_ = false;
    std::string summary_, change_;   // of the last interval
    bool losing_ = false;
};

} // namespace

int RunTop(const BusBinding& bus, HWND window, const TopOptions& options)
{
    HANDLE standardOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    bool console = GetConsoleMode(standardOutput, &mode) != 0;
    PlainOutput plain;
    ConsoleOutput* screen = console ? new ConsoleOutput(standardOutput) : NULL;
    if (screen != NULL && !screen->Usable()) {
        delete screen;
        screen = NULL;
    }
    TopOutput* output = screen != NULL ? static_cast<TopOutput*>(screen) : &plain;

    CatchStopRequests();
    const SignalDatabase none;
    TopSignalCells cells(options.signals != NULL ? *options.signals : none, WindowsSignalCodePages(), SystemFromUtf8);
    TopSink sink(bus, options, output, options.signals != NULL ? &cells : NULL);
    ReceiveOptions receive = { options.mask, 0, 0,
                               screen != NULL ? std::min(options.intervalMicros, kKeyPollMicros) : options.intervalMicros,
                               options.filter.PassesAll() ? NULL : &options.filter };
    int end = ReceiveBusMessages(bus, window, receive, &sink);
    delete screen;   // the console's own screen back
    StopHandled();
    if (end < 0) {
        fprintf(stderr, "velkctl: top refused: %s (%d)\n", VelkResultText(end), end);
        return kExitRefused;
    }
    // Output that cannot be written is said once, when velkctl ends.
    return sink.Failed() ? kExitIo : kExitOk;
}
