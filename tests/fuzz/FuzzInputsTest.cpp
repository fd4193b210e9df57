// Every kept fuzz input (the seed corpora and the regressions, the inputs
// that once broke a target) through its target, without libFuzzer: the
// native suite keeps what the fuzzing found fixed.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>
#include <filesystem>

#include "tests/FileBytes.h"
#include "tests/fuzz/FuzzTargets.h"

void FuzzPropertyBroken(const char* what, const char* file, int line)
{
    throw std::runtime_error(std::string("property broken: ") + what + " (" + file + ":" + std::to_string(line) + ")");
}

namespace {

struct Target { const char* name; FuzzTarget run; };
const Target kTargets[] = {
    { "record_line", FuzzRecordLine },     { "record_reader", FuzzRecordReader },
    { "json_object", FuzzJsonObject },     { "bridge_line", FuzzBridgeLine },
    { "arguments", FuzzArguments },        { "escapes_hex", FuzzEscapesHex },
    { "message_filter", FuzzMessageFilter }, { "local_time", FuzzLocalTime },
    { "signal_file", FuzzSignalFile },     { "session_request", FuzzSessionRequest },
    { "panel_file", FuzzPanelFile },
    { "workspace", FuzzWorkspace },        { "dbc_file", FuzzDbcFile },
    { "matrix_csv", FuzzMatrixCsv },
};

TEST(FuzzInputs, EveryKeptInputPassesItsTarget)
{
    const std::filesystem::path root = CORVANE_FUZZ_DIR;
    for (const Target& target : kTargets) {
        size_t seeds = 0;
        for (const char* kept : { "corpus", "regressions" }) {
            const std::filesystem::path folder = root / kept / target.name;
            if (!std::filesystem::is_directory(folder))
                continue;
            for (const auto& entry : std::filesystem::directory_iterator(folder)) {
                if (!entry.is_regular_file())
                    continue;
                const std::string bytes = ReadFileText(entry.path().string());
                // An exact-size copy, as libFuzzer hands it: a read past it is caught.
                std::vector<uint8_t> copy(bytes.begin(), bytes.end());
                try {
                    target.run(copy.empty() ? nullptr : copy.data(), copy.size());
                } catch (const std::exception& broken) {
                    ADD_FAILURE() << entry.path() << ": " << broken.what();
                }
                seeds += std::string(kept) == "corpus";
            }
        }
        EXPECT_GE(seeds, 3u) << target.name << " has (almost) no seed corpus";
    }
}

} // namespace
