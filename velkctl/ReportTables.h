// velkctl report's pages: what RecordingReport gathered as tables of text
// cells, Chinese first then English in every heading, written as one
// self-contained HTML page (tables and the signals' charts inline, no
// script, nothing fetched) or as plain text. Pure logic.
#pragma once
#include <string>
#include <vector>

#include "common/LocalTime.h"
#include "velkctl/RecordingReport.h"

struct ReportHeading {
    std::string recording;      // the recording's name, UTF-8
    std::string signalFile;     // the signal file's name, UTF-8; empty: none
    bool startKnown = false;
    WallTime start = {};        // the recording's "# start" line
};

struct ReportTable {
    std::string title;                           // UTF-8, "中文 English"
    std::vector<std::string> head;               // column headings
    std::vector<std::vector<std::string>> rows;  // cells, UTF-8 user text as it is
    std::string more;                            // what the rows leave out; empty: nothing
};

// The summary, codes, gaps, signals, violations and transitions; a table
// with nothing to show has a row saying so.
std::vector<ReportTable> ReportTables(const RecordingReport& report, const ReportHeading& heading);

// The whole page, every text escaped.
std::string ReportHtml(const RecordingReport& report, const ReportHeading& heading);

// The tables as aligned text, UTF-8, lines ending "\n".
std::string ReportText(const RecordingReport& report, const ReportHeading& heading);
