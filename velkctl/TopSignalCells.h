// velkctl top's signal cells from a signal file (velkctl/TopTable.h's
// TopSignals). Pure logic: display is the caller's converter from UTF-8 to
// what its screen shows, null to keep UTF-8.
#pragma once
#include <string>
#include <vector>

#include "velkctl/TopTable.h"
#include "signals/MessageCheck.h"
#include "signals/SignalCodec.h"
#include "signals/SignalDatabase.h"

typedef std::string (*DisplayText)(const std::string& utf8);

class TopSignalCells : public TopSignals {
public:
    // database must outlive this. Top keeps a payload's first
    // kLatestPayloadBytes only: a field past them shows "missing".
    TopSignalCells(const SignalDatabase& database, const SignalCodePages& pages, DisplayText display)
        : database_(database), pages_(pages), display_(display) {}

    // An expired payload has no signals: its row shows "(expired)" as ever.
    bool Cells(uint32_t code, const LatestValue& latest, std::vector<TopSignalCell>* cells) const override;
    uint64_t PeriodMicros(uint32_t code) const override;
    // A checksum beyond the kept bytes is not judged: it is not there to judge.
    unsigned Faults(uint32_t code, const LatestValue& latest) const override;

private:
    std::string Shown(const std::string& text) const { return display_ != nullptr ? display_(text) : text; }

    const SignalDatabase& database_;
    SignalCodePages pages_;
    DisplayText display_;
    mutable std::vector<DecodedSignal> decoded_;
    mutable MessageChecks checks_;
};
