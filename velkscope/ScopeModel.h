// velkscope's engine: the sources it shows (the bus while it runs, and any
// recordings opened), the traces drawn from them in panes stacked on one
// time axis, the view of that axis, and the two cursors. It knows no
// window; the dialog feeds it and reads it to paint. Pure logic.
//
// Time. Each source counts microseconds from its own start (the bus from
// velkscope's start, a recording from its first line's clock). On the
// shared axis a source starts at its '# start' clock's distance from the
// earliest start among the sources, plus the offset the user gave it
// (Origin()); a source without a start clock starts at 0 plus its offset.
//
// What a frame draws. A live trace following the bus draws from its strip
// (the moving window's min/max columns, kept as the samples come); any
// other view draws from the source's summary (velkscope/Summary.h), and
// where the view is finer than the summary, from the samples of that
// stretch read again (Detail) once the dialog has read them: until then
// the summary's coarser columns stand in. The cursors' readout reads the
// source again too (velkscope/Readout.h).
//
// Memory is bounded: per source the summary's budget and at most kMaxCodes
// rows; the bus's history (velkscope/History.h); at most kMaxScopeTraces
// traces with a strip each; one stretch of samples per source.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "chart/AxisScale.h"
#include "chart/ChartGeometry.h"
#include "chart/Columns.h"
#include "chart/TraceValue.h"
#include "common/LocalTime.h"
#include "protocol/LatestValue.h"
#include "formats/RecordLine.h"
#include "signals/SignalCodec.h"
#include "signals/SignalTraces.h"
#include "velkscope/History.h"
#include "velkscope/OffsetIndex.h"
#include "velkscope/RecordingPass.h"
#include "velkscope/Source.h"

enum : size_t {
    kMaxScopeTraces = 64,     // drawn at once, over all panes
    kMaxPanes = 8,
    kStripColumns = 4096,     // more than any screen is wide
    kDetailMessages = 400000, // the most samples read again for one stretch of a source
    kDefaultTraces = 8,       // ticked when a recording opens and nothing chose any
};
// The bus's summary starts at millisecond buckets: a flood would otherwise
// start with a bucket a sample, and the strip draws the live view finer.
const int64_t kLiveBaseMicros = 1024;

struct ScopeSource {
    std::string name;               // UTF-8: the file's name; empty for the bus
    std::string path;               // UTF-8, as it was opened (recordings)
    bool live = false;
    bool startKnown = false;
    WallTime start = {};
    int64_t offsetMicros = 0;       // the user's shift on the axis
    SourceData data;
    OffsetIndex index;              // recordings: where to read a stretch again
    std::vector<int64_t> triggers;  // recordings: times of the trigger marks
    // The reading pass of a recording.
    bool reading = false;
    uint64_t fileBytes = 0, bytesRead = 0, messages = 0, badLines = 0;   // the files' size; the text read
    uint64_t fileBytesRead = 0;     // of fileBytes: the progress
    std::string latestBadLine, notice, error;

    ScopeSource(const SignalDatabase* signals, ArrayValue arrayValue, size_t budget, int64_t baseWidth = 1)
        : data(signals, arrayValue, budget, baseWidth) {}
};

struct Trace {
    size_t source;
    uint32_t code;
    size_t signal;          // kRawTrace or the signal's index in its message
    size_t colour;          // TraceColour(colour)
    size_t pane;
    ColumnStrip strip;      // live traces: the moving window's columns

    Trace(size_t sourceIndex, uint32_t traceCode, size_t signalIndex, size_t colourIndex, size_t paneIndex,
          int64_t windowMicros);
};

struct Pane {
    bool fixed = false;     // the value axis stays at axis
    Axis axis;
    int xTrace = -1;        // XY: the trace along x; -1: time
};

// What the cursor reads at one pixel column.
struct CursorReading {
    double secondsBack;                // before the view's end
    std::vector<std::string> values;   // per trace: "12", "3..17", "0.25 bar" or "-"
};

// The samples of one source's stretch, read again where the summary is too coarse.
typedef std::pair<uint32_t, size_t> TraceKey;   // code, signal
struct DetailRequest {
    size_t source;
    int64_t from, to;                  // the source's own time
    std::vector<TraceKey> keys;
};
struct Detail {
    int64_t from = 0, to = -1;
    std::vector<TraceKey> keys;
    std::vector<std::vector<Sample>> samples;   // per key
};

// The time axis as a frame labels it.
struct TimeScale {
    Axis axis;              // in the unit, from the anchor (or the local time of day)
    std::string caption;    // under the chart
    bool wall = false;      // ticks are local times of day, in seconds
    double unitMicros = 1e6;
    int64_t anchor = 0;     // axis micros at 0
};

class ScopeModel {
public:
    // summaryBudget: of each source's summary (velkscope/Summary.h).
    ScopeModel(int64_t windowMicros, ArrayValue arrayValue, size_t summaryBudget = kSummaryBudgetBytes);

    // ---- The bus. ----
    // A message at micros on velkscope's clock, decoded here once. Returns
    // its row in the bus's source, or -1 when the table is full and the
    // code is new (then only counted); *inserted tells a new row, placed at
    // that index (rows stay sorted by code). The message is kept in the
    // history too.
    int ReceiveMessage(ScopeMessage* message, bool* inserted);
    int Receive(uint32_t code, int64_t micros, const LatestValue& message, bool* inserted);
    const std::vector<SourceRow>& Rows() const { return Live().data.Rows(); }
    int RowOf(uint32_t code) const { return Live().data.RowOf(code); }
    void MarkShown(size_t row, bool late = false);
    uint64_t Received() const { return Live().data.Received(); }
    uint64_t Unlisted() const { return Live().data.Unlisted(); }
    const History& LiveHistory() const { return history_; }
    // Empties the bus's traces, counts and history; the rows stay, with their values.
    void Clear();

    // ---- Sources. The bus is source 0. ----
    const std::vector<std::unique_ptr<ScopeSource>>& Sources() const { return sources_; }
    ScopeSource& MutableSource(size_t source) { return *sources_[source]; }
    // A recording more: the recordings' summaries share one budget
    // (velkscope/RecordingBudget.h), so each one's is made smaller. The
    // caller keeps to kMaxRecordings (RoomForRecording).
    size_t AddRecording(const std::string& name, const std::string& path, uint64_t fileBytes);
    // Each recording's summary budget now.
    size_t RecordingBudget() const;
    // A recording's pass handed over a batch.
    void ApplyBatch(size_t source, PassBatch* batch);
    // A recording about to be read again from its start: its rows, summary,
    // index and marks emptied (its traces stay).
    void ResetForReading(size_t source);
    // Closes every recording: their traces go too.
    void CloseRecordings();
    size_t Recordings() const { return sources_.size() - 1; }
    void SetOffset(size_t source, int64_t micros);
    // Where the source's time 0 is on the axis.
    int64_t Origin(size_t source) const;
    // The wall-clock time of axis time 0; false when no source knows one.
    bool AxisStart(WallTime* start) const;

    // With a signal file (null: none) traces draw signals in physical
    // units, a code the file knows one trace per drawn signal. Every source
    // is read afresh (the recordings by the dialog: their summaries are
    // emptied here) and the codes drawn are ticked again; false when some
    // did not fit in kMaxScopeTraces (those stay unticked). The file must
    // outlive the model or the next call.
    bool SetSignals(const SignalDatabase* signals, const SignalCodePages& pages);
    const SignalDatabase* Signals() const { return signals_; }
    const SignalCodePages& Pages() const { return pages_; }

    // ---- Traces and panes. ----
    // Ticks a code (listed or not yet seen) of a source into the active
    // pane: its traces. False, ticking none, when they would be more than
    // kMaxScopeTraces. Unticking drops the code's traces.
    bool Tick(uint32_t code) { return TickIn(0, code); }
    bool TickIn(size_t source, uint32_t code);
    // One trace; false when kMaxScopeTraces are drawn already.
    bool TickSignal(const SignalTraceRef& trace) { return AddTrace(0, trace.code, trace.index, activePane_); }
    bool AddTrace(size_t source, uint32_t code, size_t signal, size_t pane, int colour = -1);
    // Ticks in source `to` the traces the other recordings draw (with none,
    // the bus's), each into the same pane: every open recording shows the
    // same traces. False when there were none to copy.
    bool MirrorTraces(size_t to);
    // The traces of the codes chosen when a recording opens and nothing
    // chose any (velkscope/DefaultTraces.h): the panes made afresh, one per
    // unit, when no trace is drawn yet. False when none.
    bool TickDefaults(size_t source, const std::vector<uint32_t>& codes);
    void Untick(uint32_t code) { UntickIn(0, code); }
    void UntickIn(size_t source, uint32_t code);
    // Every trace of a source goes.
    void UntickSource(size_t source);
    int TraceOf(uint32_t code) const { return TraceOfIn(0, code); }
    int TraceOfIn(size_t source, uint32_t code) const;
    const std::vector<Trace>& Traces() const { return traces_; }
    uint64_t TraceSamples(size_t trace) const;
    // The legend's name of a trace: the code in hex, or the signal's name,
    // with its unit ("pump.status.pressure [bar]"), and its file's name
    // before it when it comes from a recording ("night.rec: 20001001"), UTF-8.
    std::string TraceName(size_t trace) const;
    std::string TraceUnit(size_t trace) const;
    // Whether the traces drawn come from more than one source: then their
    // names say which.
    bool MixedSources() const;
    // The signal a trace draws; null for a raw one.
    const Signal* TraceSignal(size_t trace) const;
    bool IsEvents(size_t trace) const;

    const std::vector<Pane>& Panes() const { return panes_; }
    // No traces, and panes empty panes (a workspace fills them again).
    void ResetPanes(size_t panes);
    size_t ActivePane() const { return activePane_; }
    void SetActivePane(size_t pane) { activePane_ = pane < panes_.size() ? pane : activePane_; }
    // A new pane below the others; false at kMaxPanes.
    bool AddPane();
    // Moves a trace to a pane (panes.size(): a new one); a pane left empty
    // goes, unless it is the only one.
    void MoveTrace(size_t trace, size_t pane);
    void SetPaneScale(size_t pane, const Axis* fixed);
    // XY: the pane draws its other traces against xTrace's value; -1: time.
    void SetPaneX(size_t pane, int xTrace);

    // The row's code and, with a signal file that knows it, its message's
    // name (UTF-8); its latest value as the file reads it, empty without.
    std::string RowName(size_t row) const { return RowNameIn(0, row); }
    std::string RowNameIn(size_t source, size_t row) const;
    std::string RowSignalText(size_t row) const { return RowSignalTextIn(0, row); }
    std::string RowSignalTextIn(size_t source, size_t row) const;
    // Whether the bus row's message is later than twice its period at now.
    bool Late(size_t row, int64_t now) const;

    // ---- The view. ----
    // The live window, 1 s to 1 h: the strips are rebuilt from the history.
    void SetWindow(int64_t windowMicros, int64_t now);
    int64_t Window() const { return window_; }
    // Paused, the view stays where it is (and can be moved); messages are
    // still taken, counted and kept. Resume follows the bus again.
    void Pause(int64_t now);
    void Resume();
    bool Paused() const { return !following_; }
    // The axis time the view's labels count from: now (live), the pause,
    // or the axis start with recordings.
    int64_t ShownNow(int64_t now) const;
    // The axis stretch shown, [*from, *to].
    void View(int64_t now, int64_t* from, int64_t* to) const;
    void SetView(int64_t from, int64_t to);
    // Navigation; each stops following the bus.
    void ZoomTime(int64_t now, int64_t centre, double factor);
    void PanTime(int64_t now, double fraction);
    void ShowAll(int64_t now);
    // The axis stretch holding every source's data; false when none has any.
    bool Extent(int64_t now, int64_t* first, int64_t* last) const;
    // Zooms a pane's values around value (the pane's scale is fixed then).
    void ZoomValues(size_t pane, double value, double factor);

    void SetWallClock(bool wall) { wallClock_ = wall; }
    bool WallClock() const { return wallClock_; }
    TimeScale TimeScaleOf(int64_t now, int maxTicks) const;
    std::string TimeLabel(const TimeScale& scale, double tick) const;
    // An axis time as the readout says it: seconds from the view's zero, or
    // the local time of day.
    std::string FormatTime(int64_t now, int64_t axisMicros) const;

    // ---- Cursors. ----
    void SetCursor(size_t which, int64_t axisMicros);
    void ClearCursors();
    bool CursorSet(size_t which) const { return cursorSet_[which]; }
    int64_t Cursor(size_t which) const { return cursor_[which]; }

    // ---- A frame. ----
    // A trace's columns across width pixels over the view.
    std::vector<Column> TraceColumns(size_t trace, int64_t now, size_t width);
    // The stretches the last frames wanted read again, once each.
    std::vector<DetailRequest> TakeDetailRequests();
    // Whether a stretch asked for has not come yet.
    bool DetailPending() const { return !wanted_.empty(); }
    void SetDetail(size_t source, Detail detail);

    // The pane's value axis: auto-scaled to the columns given, or its fixed one.
    Axis ValueAxis(size_t pane, const std::vector<std::vector<Column>>& shown, int maxTicks) const;
    // Fixes the active pane's scale at axis; unfixes with null.
    void FixScale(const Axis* axis) { SetPaneScale(activePane_, axis); }
    bool ScaleFixed() const { return panes_[activePane_].fixed; }

    CursorReading ReadAt(const std::vector<std::vector<Column>>& shown, size_t pixel, int64_t now = 0) const;
    std::string ValueText(size_t trace, double value) const;

private:
    ScopeSource& Live() { return *sources_[0]; }
    const ScopeSource& Live() const { return *sources_[0]; }
    void RebuildStrip(Trace* trace, int64_t now) const;
    size_t FreeColour() const;
    void DropEmptyPanes();

    int64_t window_;
    ArrayValue arrayValue_;
    size_t summaryBudget_;
    const SignalDatabase* signals_ = nullptr;
    SignalCodePages pages_ = {};
    std::vector<std::unique_ptr<ScopeSource>> sources_;
    History history_;
    std::vector<Trace> traces_;
    std::vector<Pane> panes_;
    size_t activePane_ = 0;
    bool following_ = true;
    int64_t viewFrom_ = 0, viewTo_ = 1;
    int64_t pausedAt_ = 0;
    bool wallClock_ = false;
    int64_t cursor_[2] = { 0, 0 };
    bool cursorSet_[2] = { false, false };
    std::vector<Detail> details_;            // per source
    std::vector<DetailRequest> wanted_;     // asked for, not yet set
    bool pendingNew_ = false;               // wanted_ changed since it was last taken
};

// The samples of a stretch for a Detail, from its messages in order, each
// decoded once.
class DetailCollector {
public:
    DetailCollector(const DetailRequest& request, const SignalDatabase* signals, const SignalCodePages& pages,
                    ArrayValue arrayValue);
    void Add(const RecordedMessage& message);
    Detail Take() { return std::move(detail_); }

private:
    const SignalDatabase* signals_;
    SignalCodePages pages_;
    ArrayValue arrayValue_;
    Detail detail_;
    ScopeMessage decoded_;
};

// As a data word shows ("-5"), or with the fraction a physical value has.
std::string NumberText(double value);
// The name an enum signal's drawn (physical) value has; null when none.
const std::string* EnumNameAt(const Signal& signal, double value);
