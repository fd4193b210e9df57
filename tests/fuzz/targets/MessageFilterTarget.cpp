// Message filters from --code/--channel/--type texts, one a line: "c
// CODE[/MASK]", "n CHANNEL", "t NAME". Every code that passes is brought by
// the subscription mask, a filter that passes one can pass, and the bits of
// a pattern's code outside its mask never matter.
#include "tests/fuzz/FuzzTargets.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "protocol/MessageCode.h"
#include "formats/CodeArgument.h"
#include "formats/MessageFilter.h"

void FuzzMessageFilter(const uint8_t* data, size_t size)
{
    const std::string text = FuzzText(data, size);
    MessageFilter filter, cleared;   // cleared: the same with code bits outside the masks dropped
    std::vector<uint32_t> probes;
    size_t from = 0;
    for (int lines = 0; from <= text.size() && lines < 64; ++lines) {
        size_t end = std::min(text.find('\n', from), text.size());
        const std::string line = text.substr(from, end - from);
        from = end + 1;
        if (line.size() < 2 || line[1] != ' ')
            continue;
        const std::string argument = line.substr(2);
        std::string error;
        if (line[0] == 'c') {
            CodePattern pattern = { 1, 2 };
            if (!ParseCodePattern(argument, &pattern, &error)) {
                FUZZ_CHECK(!error.empty() && pattern.code == 1 && pattern.mask == 2);
                continue;
            }
            char written[24];
            snprintf(written, sizeof written, "%x/%x", pattern.code, pattern.mask);
            CodePattern again = {};
            FUZZ_CHECK(ParseCodePattern(written, &again, &error) && again.code == pattern.code &&
                       again.mask == pattern.mask);
            filter.AddCode(pattern);
            cleared.AddCode(CodePattern{ pattern.code & pattern.mask, pattern.mask });
            probes.push_back(pattern.code);
            probes.push_back(pattern.code | ~pattern.mask);
            probes.push_back(pattern.code & pattern.mask);
        } else if (line[0] == 'n' && !argument.empty() && argument.size() <= 3 &&
                   strspn(argument.c_str(), "0123456789") == argument.size() && std::stoi(argument) <= 255) {
            filter.AddChannel(static_cast<uint8_t>(std::stoi(argument)));
            cleared.AddChannel(static_cast<uint8_t>(std::stoi(argument)));
        } else if (line[0] == 't') {
            uint32_t bit = TypeBitOfName(argument);
            FUZZ_CHECK(bit == 0 || (bit & (bit - 1)) == 0);
            FUZZ_CHECK((bit & ~kAllTypeBits) == 0);
            if (bit != 0) {
                filter.AddType(bit);
                cleared.AddType(bit);
            }
        }
    }
    // Codes from the input's bytes too, and each probe with every type bit.
    for (size_t i = 0; i + 4 <= size && probes.size() < 256; i += 4) {
        uint32_t word;
        memcpy(&word, data + i, 4);
        probes.push_back(word);
    }
    const uint32_t all = kAllTypeBits;
    const uint32_t mask = filter.SubscriptionMask();
    const bool canPass = filter.CanPass();
    FUZZ_CHECK((mask & ~all) == 0 && (mask != 0 || !canPass));
    const size_t given = probes.size();
    for (size_t i = 0; i < given; ++i) {
        for (uint32_t bit = 1; bit != 0; bit <<= 1) {
            if (bit & all)
                probes.push_back(probes[i] | bit);
        }
    }
    for (uint32_t code : probes) {
        FUZZ_CHECK(filter.Passes(code) == cleared.Passes(code));
        FUZZ_CHECK(!filter.PassesAll() || filter.Passes(code));
        if (!filter.Passes(code) || (code & all) == 0)
            continue;
        FUZZ_CHECK((code & mask) != 0);
        FUZZ_CHECK(canPass);
    }
}
