// The report's tables as HTML with the charts, or as text (ReportTables.h).
#include "velkctl/ReportTables.h"

#include <algorithm>

#include "chart/SvgPlot.h"
#include "common/FormatText.h"

namespace {

const char kTitle[] = "\xE8\xAE\xB0\xE5\xBD\x95\xE6\x8A\xA5\xE5\x91\x8A Recording report";   // 记录报告

// Everything the page needs is in it: the policy forbids fetching anything
// (a report opens from a mail attachment, offline), the icon included.
const char kHead[] =
    "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'; img-src data:\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "<link rel=\"icon\" href=\"data:,\">\n";

const char kStyle[] =
    "<style>\n"
    "body { font-family: sans-serif; margin: 1.5em; color: #222; }\n"
    "h1 { font-size: 1.5em; } h2 { font-size: 1.2em; margin-top: 1.6em; }\n"
    "table { border-collapse: collapse; margin: 0.5em 0; }\n"
    "th, td { border: 1px solid #bbb; padding: 0.2em 0.6em; text-align: left; vertical-align: top; }\n"
    "th { background: #eef; } td.n { text-align: right; font-variant-numeric: tabular-nums; }\n"
    "p.more { color: #555; font-style: italic; }\n"
    ".charts { display: flex; flex-wrap: wrap; gap: 8px; }\n"
    ".charts svg { border: 1px solid #ddd; max-width: 100%; height: auto; }\n"
    "</style>\n";

// A cell that reads as a number (or the dash for none) aligns right.
bool Numeric(const std::string& cell)
{
    if (cell.empty())
        return false;
    return cell.find_first_not_of("0123456789.-+e") == std::string::npos || cell == "\xE2\x80\x94";
}

void AppendHtmlTable(const ReportTable& table, std::string* page)
{
    *page += "<h2>" + XmlText(table.title) + "</h2>\n<table>\n<thead><tr>";
    for (const std::string& head : table.head)
        *page += "<th>" + XmlText(head) + "</th>";
    *page += "</tr></thead>\n<tbody>\n";
    for (const std::vector<std::string>& row : table.rows) {
        *page += "<tr>";
        for (const std::string& cell : row)
            *page += (Numeric(cell) ? "<td class=\"n\">" : "<td>") + XmlText(cell) + "</td>";
        *page += "</tr>\n";
    }
    *page += "</tbody>\n</table>\n";
    if (!table.more.empty())
        *page += "<p class=\"more\">" + XmlText(table.more) + "</p>\n";
}

// An SVG document as an element of the page: without its XML declaration.
std::string InlineSvg(const std::string& svg)
{
    const size_t start = svg.find("<svg");
    return start == std::string::npos ? std::string() : svg.substr(start);
}

// Columns a text takes in a terminal: CJK and other wide characters two.
size_t TextColumns(const std::string& text)
{
    size_t columns = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) == 0x80)
            continue;
        columns += c >= 0xE1 ? 2 : 1;   // U+1000 and above: mostly CJK here
    }
    return columns;
}

void AppendTextTable(const ReportTable& table, std::string* text)
{
    *text += "\n" + table.title + "\n";
    std::vector<size_t> widths(table.head.size(), 0);
    std::vector<std::vector<std::string>> lines = table.rows;
    lines.insert(lines.begin(), table.head);
    for (const std::vector<std::string>& row : lines) {
        for (size_t c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], TextColumns(row[c]));
    }
    for (const std::vector<std::string>& row : lines) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            // User text keeps its characters but not its line breaks.
            std::string cell = row[c];
            std::replace_if(cell.begin(), cell.end(), [](char ch) { return ch == '\n' || ch == '\r' || ch == '\t'; }, ' ');
            line += cell;
            if (c + 1 < row.size() && c < widths.size())
                line += std::string(widths[c] - std::min(widths[c], TextColumns(cell)) + 2, ' ');
        }
        *text += line + "\n";
    }
    if (!table.more.empty())
        *text += table.more + "\n";
}

} // namespace

std::string ReportHtml(const RecordingReport& report, const ReportHeading& heading)
{
    std::string page = kHead;
    page += "<title>" + XmlText(std::string(kTitle) + ": " + heading.recording) + "</title>\n";
    page += kStyle;
    page += "</head>\n<body>\n<h1>" + XmlText(kTitle) + "</h1>\n";
    for (const ReportTable& table : ReportTables(report, heading))
        AppendHtmlTable(table, &page);
    page += "<h2>\xE6\x9B\xB2\xE7\xBA\xBF Charts</h2>\n<div class=\"charts\">\n";   // 曲线
    const std::vector<SvgChart> charts = report.Charts();
    for (const SvgChart& chart : charts)
        page += InlineSvg(WriteSvg(chart));
    page += "</div>\n";
    if (charts.empty())
        page += "<p class=\"more\">\xE6\x97\xA0 None</p>\n";   // 无
    if (report.UndrawnSignals() > 0)
        page += "<p class=\"more\">" +
                FormatText("\xE5\x8F\xA6\xE6\x9C\x89 %zu \xE4\xB8\xAA\xE4\xBF\xA1\xE5\x8F\xB7\xE6\x9C\xAA\xE7\x94\xBB "
                           "%zu more signals not drawn (at most %zu are)",   // 另有 N 个信号未画
                           report.UndrawnSignals(), report.UndrawnSignals(), static_cast<size_t>(kReportPlots)) +
                "</p>\n";
    page += "</body>\n</html>\n";
    return page;
}

std::string ReportText(const RecordingReport& report, const ReportHeading& heading)
{
    std::string text = std::string(kTitle) + "\n";
    for (const ReportTable& table : ReportTables(report, heading))
        AppendTextTable(table, &text);
    return text;
}
