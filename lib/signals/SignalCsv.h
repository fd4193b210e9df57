// export's signal columns (formats/CsvExport.h) from a signal file. Pure logic.
#pragma once
#include <vector>

#include "formats/CsvExport.h"
#include "formats/RecordLine.h"
#include "signals/SignalCodec.h"
#include "signals/MessageCheck.h"
#include "signals/SignalDatabase.h"

// The message's signals, one CsvSignalCells each; none for a code the file
// lacks. A missing field's physical is empty. A multiplexed field the
// selector does not choose is left out, unless kept in the file's order
// (missing then, as wide export's columns need).
std::vector<CsvSignalCells> SignalCsvCells(const SignalDatabase& database, const RecordedMessage& message,
                                           const SignalCodePages& pages, bool keepUnselected = false);

// export's check column: present when the file has a counter or a checksum;
// each message's marks ("!crc", "!cnt", both, or empty) judged in the order
// given. An expired payload is not judged, and the next of its code starts
// the count afresh.
class CsvCheckColumn {
public:
    explicit CsvCheckColumn(const SignalDatabase* signals);
    bool Present() const { return present_; }
    std::string Marks(const RecordedMessage& message);
    // Judged afresh from here (another recording's messages follow).
    void Restart() { checks_ = MessageChecks(); }

private:
    const SignalDatabase* signals_;
    bool present_ = false;
    MessageChecks checks_;
};
