#include <gtest/gtest.h>

#include "common/ClosestWord.h"

namespace {

TEST(ClosestWord, EditsCountSwapsOnceAndIgnoreCase)
{
    EXPECT_EQ(0u, EditDistance("POST", "post"));
    EXPECT_EQ(1u, EditDistance("psot", "post"));     // two neighbours swapped
    EXPECT_EQ(2u, EditDistance("pots", "psot"));
    EXPECT_EQ(1u, EditDistance("moniter", "monitor"));
    EXPECT_EQ(1u, EditDistance("sendstr", "send-str"));
    EXPECT_EQ(3u, EditDistance("", "abc"));
    EXPECT_EQ(3u, EditDistance("abc", ""));
    EXPECT_EQ(EditDistance("clinets", "clients"), EditDistance("clients", "clinets"));
}

TEST(ClosestWord, SuggestsOnlyWhatIsNearEnoughToBeMeant)
{
    const std::vector<std::string> commands = { "clients", "vars", "counters", "set-var", "post", "send-str",
                                                "send-arr", "stop-all", "monitor", "record", "replay", "stats" };
    const std::vector<std::string> options = { "--count", "--code", "--channel", "--timeout", "--help" };
    const std::vector<std::string> signals = { "motor.speed", "motor.state", "pump.status", "pump.status.pressure",
                                               "rig.state" };
    struct Case { const char* word; const std::vector<std::string>* candidates; const char* expected; };
    const Case cases[] = {
        { "psot", &commands, "post" },
        { "Post", &commands, "post" },
        { "recrod", &commands, "record" },
        { "send-string", &commands, "send-str" },
        { "mon", &commands, "monitor" },         // the only command it starts
        { "se", &commands, "" },                 // starts three
        { "frobnicate", &commands, "" },
        { "x", &commands, "" },
        { "--cuont", &options, "--count" },
        { "-count", &options, "--count" },
        { "--time", &options, "--timeout" },
        { "--c", &options, "" },
        { "--verbose", &options, "" },
        { "status", &signals, "pump.status" },   // the only name it ends
        { "Pressure", &signals, "pump.status.pressure" },
        { "state", &signals, "" },               // ends two
        { "tatus", &signals, "" },               // not at a dot
    };
    for (const Case& test : cases)
        EXPECT_EQ(test.expected, ClosestWord(test.word, *test.candidates)) << test.word;
}

} // namespace
