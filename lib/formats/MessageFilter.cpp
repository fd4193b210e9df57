#include "formats/MessageFilter.h"

#include "protocol/MessageCode.h"
#include "formats/CodeArgument.h"

namespace {

const uint32_t kChannelBits = 0xFF;

// A pattern's bits that every passing code has set.
uint32_t FixedOnes(const CodePattern& pattern)
{
    return pattern.code & pattern.mask;
}

} // namespace

bool ParseCodePattern(const std::string& text, CodePattern* pattern, std::string* error)
{
    size_t slash = text.find('/');
    CodePattern parsed = { 0, 0xFFFFFFFF };
    if (!ParseCodeArgument(text.substr(0, slash), "code", &parsed.code, error))
        return false;
    if (slash != std::string::npos && !ParseCodeArgument(text.substr(slash + 1), "code mask", &parsed.mask, error))
        return false;
    *pattern = parsed;
    return true;
}

bool CodeMatches(const CodePattern& pattern, uint32_t code)
{
    return (code & pattern.mask) == FixedOnes(pattern);
}

bool MessageFilter::Passes(uint32_t code) const
{
    if (types_ != 0 && (code & types_) == 0)
        return false;
    if (channels_.any() && !channels_.test(code & kChannelBits))
        return false;
    if (codes_.empty())
        return true;
    for (const CodePattern& pattern : codes_) {
        if (CodeMatches(pattern, code))
            return true;
    }
    return false;
}

uint32_t MessageFilter::SubscriptionMask() const
{
    const uint32_t all = kAllTypeBits;
    if (types_ != 0)
        return types_;
    if (codes_.empty())
        return all;
    uint32_t mask = 0;
    for (const CodePattern& pattern : codes_) {
        // Every passing code has the pattern's fixed type bits, so one of
        // them is enough; without any, a passing code may have any of the
        // type bits the pattern leaves free.
        uint32_t fixed = FixedOnes(pattern) & all;
        mask |= fixed != 0 ? fixed : ~pattern.mask & all;
    }
    return mask;
}

bool MessageFilter::PatternCanPass(const CodePattern& pattern) const
{
    // A type bit the message may have: wanted, and not fixed to 0.
    uint32_t types = (types_ != 0 ? types_ : kAllTypeBits) & (~pattern.mask | pattern.code);
    if (types == 0)
        return false;
    if (channels_.none())
        return true;
    for (uint32_t channel = 0; channel <= kChannelBits; ++channel) {
        if (channels_.test(channel) && (channel & pattern.mask) == (FixedOnes(pattern) & kChannelBits))
            return true;
    }
    return false;
}

bool MessageFilter::CanPass() const
{
    if (codes_.empty())
        return PatternCanPass(CodePattern{ 0, 0 });
    for (const CodePattern& pattern : codes_) {
        if (PatternCanPass(pattern))
            return true;
    }
    return false;
}

bool MessageFilter::Names(uint32_t typeBit) const
{
    if ((types_ & typeBit) != 0)
        return true;
    for (const CodePattern& pattern : codes_) {
        if ((FixedOnes(pattern) & typeBit) != 0)
            return true;
    }
    return false;
}
