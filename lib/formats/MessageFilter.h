// Which received messages a receiving command (monitor, record, stats,
// export, top ...) keeps: --code CODE[/MASK], --channel N, --type NAME.
// Pure logic; velkctl/FilterOptions puts it on the command line.
//
// A message passes when it matches any --code given, and any --channel
// given, and any --type given; a kind of option not given passes all.
//   --code C/M   (code AND M) = (C AND M); M defaults to FFFFFFFF (the exact
//                code). M = 0 passes every code; bits of C outside M do not
//                matter (20001001/FF is channel 1 of any code).
//   --channel N  the code's low 8 bits are N.
//   --type NAME  the code has that type bit (DEP ADC WTC CNT TMR STR ARR CTL
//                ABS, any case).
#pragma once
#include <stdint.h>
#include <bitset>
#include <string>
#include <vector>

struct CodePattern {
    uint32_t code;
    uint32_t mask;
};

// "CODE" or "CODE/MASK", both hex (formats/CodeArgument.h). False with what
// is wrong in *error.
bool ParseCodePattern(const std::string& text, CodePattern* pattern, std::string* error);

// (code AND mask) = (pattern's code AND mask).
bool CodeMatches(const CodePattern& pattern, uint32_t code);

class MessageFilter {
public:
    void AddCode(const CodePattern& pattern) { codes_.push_back(pattern); }
    void AddChannel(uint8_t channel) { channels_.set(channel); }
    void AddType(uint32_t typeBit) { types_ |= typeBit; }

    // Nothing given: every message passes.
    bool PassesAll() const { return codes_.empty() && channels_.none() && types_ == 0; }
    bool Passes(uint32_t code) const;

    // The narrowest subscription mask that still brings every message the
    // filter passes (the bus delivers a message to a mask that shares a
    // type bit with its code): the --type bits if given, else the type bits
    // the --code patterns leave possible, else all nine.
    uint32_t SubscriptionMask() const;

    // False when no message the bus can deliver (one with a type bit) can
    // pass: --code 0, or --type STR with --code 20000801, or --code
    // 20000801/FF with --channel 2.
    bool CanPass() const;

    // Whether a --type or a --code (with the bit inside its mask) asks for
    // typeBit by name: --channel 0 passes stop-all, but does not name CONTROL.
    bool Names(uint32_t typeBit) const;

private:
    bool PatternCanPass(const CodePattern& pattern) const;

    std::vector<CodePattern> codes_;
    std::bitset<256> channels_;
    uint32_t types_ = 0;
};
