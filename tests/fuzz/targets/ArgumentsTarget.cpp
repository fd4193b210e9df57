// velkctl's argument grammars over the same text: code, number, decimal,
// duration, byte list. Each refusal leaves the result alone and (where it
// can) says why; each number taken is within its range and reads back from
// its plain writing.
#include "tests/fuzz/FuzzTargets.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "velkctl/ByteListArgument.h"
#include "formats/CodeArgument.h"
#include "formats/Duration.h"
#include "formats/NumberArgument.h"

void FuzzArguments(const uint8_t* data, size_t size)
{
    const std::string text = FuzzText(data, size);
    std::vector<char> terminated(text.begin(), text.end());
    terminated.push_back('\0');   // exact size: a read past the terminator is caught

    uint32_t code = 0xDEADBEEF;
    std::string error;
    if (ParseCodeArgument(text, "code", &code, &error)) {
        char written[16];
        snprintf(written, sizeof written, "%x", code);
        uint32_t again = 0;
        FUZZ_CHECK(ParseCodeArgument(written, "code", &again, &error) && again == code);
        FUZZ_CHECK(text.size() >= 1 && text.size() <= 10);
    } else {
        FUZZ_CHECK(code == 0xDEADBEEF && error.find("code") != std::string::npos);
    }

    // Ranges from the edges of int64 and of the types options use.
    static const int64_t kEdges[][2] = { { INT64_MIN, INT64_MAX }, { 0, 255 }, { -1, 1 }, { 1, 0xFFFFFFFF },
                                         { INT32_MIN, INT32_MAX } };
    for (const auto& range : kEdges) {
        int64_t value = 77777;
        if (ParseNumberArgument(terminated.data(), range[0], range[1], &value)) {
            FUZZ_CHECK(value >= range[0] && value <= range[1]);
            int64_t again = 0;
            FUZZ_CHECK(ParseNumberArgument(std::to_string(value).c_str(), range[0], range[1], &again) && again == value);
        } else {
            FUZZ_CHECK(value == 77777);
        }
    }

    double decimal = -1;
    if (ParseDecimalArgument(text, &decimal)) {
        FUZZ_CHECK(isfinite(decimal) && decimal >= 0);
        char written[40];
        snprintf(written, sizeof written, "%.17g", decimal);
        double again = -1;
        FUZZ_CHECK(ParseDecimalArgument(written, &again) || decimal == 0 || strchr(written, '-') != nullptr);
    } else {
        FUZZ_CHECK(decimal == -1);
    }

    uint64_t micros = 12345;
    if (ParseDuration(text, &micros, &error)) {
        FUZZ_CHECK(micros <= 100ULL * 24 * 3600 * 1000000);
        uint64_t again = 0;
        FUZZ_CHECK(ParseDuration(std::to_string(micros) + "us", &again, nullptr) && again == micros);
    } else {
        FUZZ_CHECK(micros == 12345 && !error.empty());
        FUZZ_CHECK(!ParseDuration(text, &micros, nullptr));   // the same without a message
    }

    unsigned char bytes[kMaxArrayBytes];
    error.clear();
    int count = ParseByteListArgument(text, bytes, &error);
    if (count < 0) {
        FUZZ_CHECK(count == -1 && !error.empty());
    } else {
        FUZZ_CHECK(count >= 1 && count <= kMaxArrayBytes);
        std::string written;
        for (int i = 0; i < count; ++i) {
            char pair[4];
            snprintf(pair, sizeof pair, i == 0 ? "%x" : " %02X", bytes[i]);
            written += pair;
        }
        unsigned char again[kMaxArrayBytes];
        FUZZ_CHECK(ParseByteListArgument(written, again, &error) == count && memcmp(again, bytes, count) == 0);
    }
}
