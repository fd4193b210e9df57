// Every place a signal can take in 8 bytes, for the DBC tests: each start
// bit of both byte orders at the widths that meet byte edges, signed and
// not, each signal alone in a message of its own.
#pragma once
#include <string>
#include <vector>

struct DbcPlace {
    unsigned start, length;
    bool motorola, isSigned;
};

// The places, and *text a DBC of them: message n (identifier n) holds place n.
inline std::vector<DbcPlace> DbcPlaces(std::string* text)
{
    std::vector<DbcPlace> places;
    for (unsigned start = 0; start < 64; ++start) {
        for (unsigned length : { 1u, 7u, 8u, 9u, 16u, 17u, 32u }) {
            for (bool motorola : { false, true }) {
                // Motorola walks to higher bytes from its MSB; Intel from its LSB.
                const unsigned msbFromTop = start / 8 * 8 + 7 - start % 8;
                if ((motorola ? msbFromTop + length : start + length) > 64)
                    continue;
                const std::string id = std::to_string(places.size());
                places.push_back({ start, length, motorola, (start + length) % 3 == 0 });
                *text += "BO_ " + id + " M" + id + ": 8 X\n SG_ S : " + std::to_string(start) + "|" + std::to_string(length) +
                         (motorola ? "@0" : "@1") + (places.back().isSigned ? "-" : "+") + " (1,0) [0|0] \"\" X\n";
            }
        }
    }
    return places;
}
