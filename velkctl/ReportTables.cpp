#include "velkctl/ReportTables.h"

#include <inttypes.h>

#include "common/FormatText.h"

namespace {

const char kNone[] = "\xE2\x80\x94";   // an em dash: nothing to show

std::string Seconds(uint64_t micros)
{
    return FormatText("%.6f", static_cast<double>(micros) / 1e6);
}

std::string Count(uint64_t count)
{
    return FormatText("%" PRIu64, count);
}

std::string Number(double value)
{
    return FormatText("%.6g", value);
}

std::string CodeText(uint32_t code)
{
    return FormatText("%08x", static_cast<unsigned>(code));
}

std::string More(uint64_t total, size_t listed)
{
    // 另有 N 条未列出
    return total > listed ? FormatText("\xE5\x8F\xA6\xE6\x9C\x89 %" PRIu64 " \xE6\x9D\xA1\xE6\x9C\xAA\xE5\x88\x97\xE5\x87\xBA %" PRIu64
                                       " more not listed", total - listed, total - listed)
                          : std::string();
}

// Messages per second over the whole recording.
std::string Rate(uint64_t count, const RecordingReport& report)
{
    const uint64_t span = report.LastMicros() - report.FirstMicros();
    return span == 0 ? std::string(kNone) : FormatText("%.3f", static_cast<double>(count) * 1e6 / static_cast<double>(span));
}

std::string Limits(const Signal& signal)
{
    if (signal.hasMin && signal.hasMax)
        return Number(signal.min) + " .. " + Number(signal.max);
    if (signal.hasMin)
        return ">= " + Number(signal.min);
    if (signal.hasMax)
        return "<= " + Number(signal.max);
    return kNone;
}

std::string EnumText(const Signal& signal, int64_t raw)
{
    const std::string* name = signal.EnumName(raw);
    const std::string number = FormatText("%" PRId64, raw);
    return name != nullptr ? *name + " (" + number + ")" : number;
}

ReportTable Summary(const RecordingReport& report, const ReportHeading& heading)
{
    ReportTable table;
    table.title = "\xE6\xA6\x82\xE8\xA6\x81 Summary";   // 概要
    table.head = { "\xE9\xA1\xB9 Item", "\xE5\x80\xBC Value" };   // 项, 值
    table.rows.push_back({ "\xE8\xAE\xB0\xE5\xBD\x95 Recording", heading.recording });   // 记录
    table.rows.push_back({ "\xE5\xBC\x80\xE5\xA7\x8B Start",   // 开始
                           heading.startKnown ? FormatLocalTime(heading.start) : std::string(kNone) });
    table.rows.push_back({ "\xE4\xBF\xA1\xE5\x8F\xB7\xE6\x96\x87\xE4\xBB\xB6 Signal file",   // 信号文件
                           heading.signalFile.empty() ? std::string(kNone) : heading.signalFile });
    table.rows.push_back({ "\xE6\xB6\x88\xE6\x81\xAF Messages", Count(report.Messages()) });   // 消息
    table.rows.push_back({ "\xE6\x97\xB6\xE9\x95\xBF Duration (s)",   // 时长
                           Seconds(report.LastMicros() - report.FirstMicros()) });
    table.rows.push_back({ "\xE4\xBB\xA3\xE7\xA0\x81 Codes", Count(report.Codes().size()) });   // 代码
    if (report.UnlistedMessages() > 0)
        table.more = FormatText("\xE5\x8F\xA6\xE6\x9C\x89 %" PRIu64 " \xE6\x9D\xA1\xE6\xB6\x88\xE6\x81\xAF\xE5\xB1\x9E\xE4\xBA\x8E\xE5\x89\x8D %zu "
                                "\xE4\xB8\xAA\xE4\xBB\xA3\xE7\xA0\x81\xE4\xB9\x8B\xE5\xA4\x96\xE7\x9A\x84\xE4\xBB\xA3\xE7\xA0\x81\xEF\xBC\x8C\xE5\x8F\xAA\xE8\xAE\xA1\xE6\x95\xB0 "
                                "%" PRIu64 " messages of codes past the first %zu, only counted",   // 另有 N 条消息属于前 M 个代码之外的代码，只计数
                                report.UnlistedMessages(), static_cast<size_t>(kReportCodes), report.UnlistedMessages(),
                                static_cast<size_t>(kReportCodes));
    return table;
}

ReportTable Codes(const RecordingReport& report)
{
    ReportTable table;
    table.title = "\xE4\xBB\xA3\xE7\xA0\x81 Codes";   // 代码
    table.head = { "\xE4\xBB\xA3\xE7\xA0\x81 Code", "\xE5\x90\x8D\xE7\xA7\xB0 Name", "\xE6\x95\xB0\xE9\x87\x8F Count",
                   "\xE9\x80\x9F\xE7\x8E\x87 Rate (/s)", "\xE5\x91\xA8\xE6\x9C\x9F Period (s)",
                   "\xE6\x9C\x80\xE9\x95\xBF\xE9\x97\xB4\xE9\x9A\x94 Longest gap (s)",
                   "\xE9\x95\xBF\xE9\x97\xB4\xE9\x9A\x94 Gaps > 3 periods",
                   "!crc", "\xE9\xA6\x96\xE6\xAC\xA1 First !crc (s)", "!cnt", "\xE9\xA6\x96\xE6\xAC\xA1 First !cnt (s)" };
    // 代码, 名称, 数量, 速率, 周期, 最长间隔, 长间隔, 首次
    for (const CodeReport& code : report.Codes()) {
        table.rows.push_back({ CodeText(code.code), code.message != nullptr ? code.message->name : std::string(),
                               Count(code.count), Rate(code.count, report),
                               code.periodMicros > 0 ? Seconds(code.periodMicros) : std::string(kNone),
                               code.count > 1 ? Seconds(code.longest.lengthMicros) : std::string(kNone),
                               code.periodMicros > 0 ? Count(code.longGaps) : std::string(kNone),
                               Count(code.checksumFaults),
                               code.checksumFaults > 0 ? Seconds(code.firstChecksumFault) : std::string(kNone),
                               Count(code.counterFaults),
                               code.counterFaults > 0 ? Seconds(code.firstCounterFault) : std::string(kNone) });
    }
    return table;
}

ReportTable Gaps(const RecordingReport& report)
{
    ReportTable table;
    table.title = "\xE8\xB6\x85\xE8\xBF\x87\xE4\xB8\x89\xE4\xB8\xAA\xE5\x91\xA8\xE6\x9C\x9F\xE7\x9A\x84\xE9\x97\xB4\xE9\x9A\x94 "
                  "Gaps over three periods";   // 超过三个周期的间隔
    table.head = { "\xE4\xBB\xA3\xE7\xA0\x81 Code", "\xE5\x90\x8D\xE7\xA7\xB0 Name", "\xE8\x87\xAA From (s)",
                   "\xE9\x95\xBF\xE5\xBA\xA6 Length (s)", "\xE5\x91\xA8\xE6\x9C\x9F\xE6\x95\xB0 Periods" };
    // 代码, 名称, 自, 长度, 周期数
    uint64_t total = 0;
    for (const CodeReport& code : report.Codes()) {
        for (const ReportGap& gap : code.gaps)
            table.rows.push_back({ CodeText(code.code), code.message != nullptr ? code.message->name : std::string(),
                                   Seconds(gap.fromMicros), Seconds(gap.lengthMicros),
                                   FormatText("%.1f", static_cast<double>(gap.lengthMicros) / static_cast<double>(code.periodMicros)) });
        total += code.longGaps;
    }
    table.more = More(total, table.rows.size());
    return table;
}

ReportTable Signals(const RecordingReport& report)
{
    ReportTable table;
    table.title = "\xE4\xBF\xA1\xE5\x8F\xB7 Signals";   // 信号
    table.head = { "\xE4\xBF\xA1\xE5\x8F\xB7 Signal", "\xE5\x8D\x95\xE4\xBD\x8D Unit", "\xE6\x95\xB0\xE9\x87\x8F Count",
                   "\xE6\x9C\x80\xE5\xB0\x8F Min", "\xE6\x9C\x80\xE5\xA4\xA7 Max", "\xE5\xB9\xB3\xE5\x9D\x87 Mean",
                   "\xE9\x99\x90\xE5\x80\xBC Limits", "\xE8\xB6\x8A\xE9\x99\x90 Violations",
                   "\xE6\x9E\x9A\xE4\xB8\xBE\xE5\x8F\x98\xE5\x8C\x96 Enum transitions" };
    // 信号, 单位, 数量, 最小, 最大, 平均, 限值, 越限, 枚举变化
    for (const SignalReport& signal : report.Signals()) {
        const bool any = signal.count > 0;
        table.rows.push_back({ signal.signal->name, signal.signal->unit, Count(signal.count),
                               any ? Number(signal.min) : std::string(kNone), any ? Number(signal.max) : std::string(kNone),
                               any ? Number(signal.Mean()) : std::string(kNone), Limits(*signal.signal),
                               Count(signal.violations),
                               signal.signal->enums.empty() ? std::string(kNone) : Count(signal.transitions) });
    }
    return table;
}

ReportTable Violations(const RecordingReport& report)
{
    ReportTable table;
    table.title = "\xE8\xB6\x8A\xE9\x99\x90 Limit violations";   // 越限
    table.head = { "\xE4\xBF\xA1\xE5\x8F\xB7 Signal", "\xE6\x97\xB6\xE9\x97\xB4 Time (s)", "\xE5\x80\xBC Value",
                   "\xE9\x99\x90\xE5\x80\xBC Limit" };   // 信号, 时间, 值, 限值
    uint64_t total = 0;
    for (const SignalReport& signal : report.Signals()) {
        for (const ReportValue& value : signal.violationList) {
            const Signal& limits = *signal.signal;
            const bool below = limits.hasMin && value.value < limits.min;
            table.rows.push_back({ limits.name, Seconds(value.micros), Number(value.value),
                                   below ? "\xE4\xBD\x8E\xE4\xBA\x8E below min " + Number(limits.min)      // 低于
                                         : "\xE9\xAB\x98\xE4\xBA\x8E above max " + Number(limits.max) });  // 高于
        }
        total += signal.violations;
    }
    table.more = More(total, table.rows.size());
    return table;
}

ReportTable Transitions(const RecordingReport& report)
{
    ReportTable table;
    table.title = "\xE6\x9E\x9A\xE4\xB8\xBE\xE5\x8F\x98\xE5\x8C\x96 Enum transitions";   // 枚举变化
    table.head = { "\xE4\xBF\xA1\xE5\x8F\xB7 Signal", "\xE4\xBB\x8E From", "\xE5\x88\xB0 To", "\xE6\xAC\xA1\xE6\x95\xB0 Count" };
    // 信号, 从, 到, 次数
    uint64_t total = 0, listed = 0;
    for (const SignalReport& signal : report.Signals()) {
        for (const EnumTransition& transition : signal.transitionList) {
            table.rows.push_back({ signal.signal->name, EnumText(*signal.signal, transition.from),
                                   EnumText(*signal.signal, transition.to), Count(transition.count) });
            listed += transition.count;
        }
        total += signal.transitions;
    }
    if (total > listed)
        table.more = FormatText("\xE5\x85\xB6\xE4\xBB\x96 %" PRIu64 " \xE6\xAC\xA1 %" PRIu64 " of other kinds",   // 其他 N 次
                                total - listed, total - listed);
    return table;
}

} // namespace

std::vector<ReportTable> ReportTables(const RecordingReport& report, const ReportHeading& heading)
{
    std::vector<ReportTable> tables = { Summary(report, heading), Codes(report), Gaps(report), Signals(report),
                                        Violations(report), Transitions(report) };
    for (ReportTable& table : tables) {
        if (table.rows.empty())
            table.rows.push_back({ "\xE6\x97\xA0 None" });   // 无
    }
    return tables;
}
