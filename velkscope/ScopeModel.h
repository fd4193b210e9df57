// velkscope's engine: the codes seen on the bus, each with its count and
// latest value, and the traces drawn from the ticked ones. It knows no
// window; the dialog feeds it messages and reads it to paint. Pure logic.
//
// Memory is bounded whatever runs for however long: at most kMaxCodes rows
// (later new codes are only counted), at most kMaxTraces traces, each with
// a ring of kTraceSamples samples (the oldest overwritten; an array trace
// keeps their bytes beside them) and a strip of kStripColumns min/max
// columns over the time window.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

#include "chart/AxisScale.h"
#include "chart/ChartGeometry.h"
#include "chart/Columns.h"
#include "chart/TraceValue.h"
#include "protocol/LatestValue.h"
#include "formats/RecordLine.h"
#include "signals/SignalCodec.h"
#include "signals/SignalTraces.h"

enum : size_t {
    kMaxCodes = 1024,
    kTraceSamples = 1 << 18,   // 262,144 samples, 4 MiB, per trace
    kStripColumns = 4096,      // more than any screen is wide
};

// The last items of a trace, oldest first, at most the ring's capacity;
// the oldest are overwritten. Allocated whole, so memory stays flat as it
// fills.
template <typename Item>
class Ring {
public:
    explicit Ring(size_t capacity) : items_(capacity > 0 ? capacity : 1) {}
    void Add(const Item& item)
    {
        if (size_ < items_.size()) {
            items_[(start_ + size_) % items_.size()] = item;
            ++size_;
        } else {
            items_[start_] = item;
            start_ = (start_ + 1) % items_.size();
        }
    }
    void Clear() { start_ = size_ = 0; }
    size_t Size() const { return size_; }
    const Item& At(size_t i) const { return items_[(start_ + i) % items_.size()]; }

private:
    std::vector<Item> items_;
    size_t start_ = 0;
    size_t size_ = 0;
};

class SampleRing : public Ring<Sample> {
public:
    explicit SampleRing(size_t capacity) : Ring<Sample>(capacity) {}
    // The first sample at or after micros (Size() when none).
    size_t LowerBound(int64_t micros) const;
};

// An array message's bytes as a trace keeps them, for Save CSV: all of an
// array the console can send, the head of a longer one.
enum { kArrayHeadBytes = 20 };
struct ArrayHead {
    int32_t length;
    unsigned char bytes[kArrayHeadBytes];
};

struct CodeRow {
    uint32_t code;
    uint64_t count = 0;
    LatestValue latest;
    int64_t lastMicros = 0; // when the latest came
    bool changed = true;    // not shown since its count or value changed
    bool shownLate = false; // as the list shows it
};

struct Trace {
    uint32_t code;
    size_t signal;          // the drawn signal's index in its message; kRawTrace: the code's raw value
    size_t colour;          // TraceColour(colour)
    SampleRing ring;        // raw values, or a signal's physical ones
    Ring<ArrayHead> arrays; // an array trace's bytes, sample for sample; empty for others
    Ring<int32_t> words;    // a value signal's data words, sample for sample; empty for others
    ColumnStrip strip;
    std::vector<Column> frozen;   // what the strip showed at the pause (paused only; empty shows nothing)

    Trace(uint32_t traceCode, size_t signalIndex, size_t colourIndex, int64_t windowMicros);
};

// What the cursor reads at one pixel column.
struct CursorReading {
    double secondsBack;           // before now (or the pause)
    std::vector<std::string> values;   // per trace: "12", "3..17", "0.25 bar" or "-"
};

class ScopeModel {
public:
    ScopeModel(int64_t windowMicros, ArrayValue arrayValue);

    // A message at micros on velkscope's clock. Returns its row, or -1
    // when the table is full and the code is new (then only counted);
    // *inserted tells a new row, placed at that index (rows stay sorted by code).
    int Receive(uint32_t code, int64_t micros, const LatestValue& message, bool* inserted);

    const std::vector<CodeRow>& Rows() const { return rows_; }
    int RowOf(uint32_t code) const;   // -1 when not listed
    void MarkShown(size_t row, bool late = false)
    {
        rows_[row].changed = false;
        rows_[row].shownLate = late;
    }
    uint64_t Received() const { return received_; }
    uint64_t Unlisted() const { return unlisted_; }

    // With a signal file (null: none) traces draw signals in physical
    // units, a code the file knows one trace per drawn signal. The traces
    // drawn are dropped and their codes ticked again; false when some did
    // not fit in kMaxTraces (those stay unticked). The file must outlive
    // the model or the next call.
    bool SetSignals(const SignalDatabase* signals, const SignalCodePages& pages);
    const SignalDatabase* Signals() const { return signals_; }

    // Ticks a code (listed or not yet seen): its traces start empty. False,
    // ticking none, when they would be more than kMaxTraces. Unticking
    // drops the code's traces and their data.
    bool Tick(uint32_t code);
    // One signal's trace; false when kMaxTraces are drawn already.
    bool TickSignal(const SignalTraceRef& trace);
    void Untick(uint32_t code);
    int TraceOf(uint32_t code) const;   // the code's first trace; -1 when not ticked
    // The legend's name of a trace: the code in hex, or the signal's name
    // and unit ("pump.status.pressure [bar]"), UTF-8.
    std::string TraceName(size_t trace) const;

    // The row's code and, with a signal file that knows it, its message's
    // name (UTF-8); its latest value as the file reads it, empty without.
    std::string RowName(size_t row) const;
    std::string RowSignalText(size_t row) const;
    // Whether the row's message is later than twice its period at now.
    bool Late(size_t row, int64_t now) const;
    const std::vector<Trace>& Traces() const { return traces_; }

    // The window, 1 s to 1 h: the strips are rebuilt from the rings.
    void SetWindow(int64_t windowMicros, int64_t now);
    int64_t Window() const { return window_; }

    // Paused, the chart keeps what it showed at the pause; messages are
    // still taken, counted and kept.
    void Pause(int64_t now);
    void Resume();
    bool Paused() const { return paused_; }
    int64_t ShownNow(int64_t now) const { return paused_ ? pausedAt_ : now; }

    // Empties the traces and the counts; the rows stay, with their values.
    void Clear();

    // A trace's columns across width pixels, ending at now (or the pause).
    std::vector<Column> TraceColumns(size_t trace, int64_t now, size_t width) const;

    // The value axis: auto-scaled to the columns given, or the fixed one.
    Axis ValueAxis(const std::vector<std::vector<Column>>& shown, int maxTicks) const;
    // Fixes the scale at axis; unfixes with null.
    void FixScale(const Axis* axis);
    bool ScaleFixed() const { return scaleFixed_; }

    CursorReading ReadAt(const std::vector<std::vector<Column>>& shown, size_t pixel) const;

    // The messages behind every trace's visible samples, in time order.
    std::vector<RecordedMessage> VisibleMessages(int64_t now) const;

private:
    // The window's strip of the samples the ring holds up to end.
    ColumnStrip StripFromRing(const Trace& trace, int64_t end) const;
    bool AddTrace(uint32_t code, size_t signal);
    // A sample for each trace of code.
    void Draw(uint32_t code, int64_t micros, const LatestValue& message);

    int64_t window_;
    ArrayValue arrayValue_;
    const SignalDatabase* signals_ = nullptr;
    SignalCodePages pages_ = {};
    std::vector<DecodedSignal> decoded_;
    std::vector<CodeRow> rows_;
    std::vector<Trace> traces_;
    uint64_t received_ = 0;
    uint64_t unlisted_ = 0;
    bool paused_ = false;
    int64_t pausedAt_ = 0;
    bool scaleFixed_ = false;
    Axis fixedAxis_;
};
