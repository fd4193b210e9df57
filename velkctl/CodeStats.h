// velkctl stats: messages seen per code over an interval, most frequent
// first. Pure logic.
#pragma once
#include <stdint.h>
#include <map>
#include <string>

class CodeStats {
public:
    void Count(uint32_t code) { ++counts_[code]; ++total_; }
    uint64_t Total() const { return total_; }
    void Clear() { counts_.clear(); total_ = 0; }

    // The interval's block, intervalMicros long: a head line with the total
    // and its rate, then one line per code (at most limit, the most frequent
    // first, equal counts in code order) with its count and rate, then how
    // many codes were left out.
    std::string Format(uint64_t intervalMicros, size_t limit) const;

private:
    std::map<uint32_t, uint64_t> counts_;
    uint64_t total_ = 0;
};
