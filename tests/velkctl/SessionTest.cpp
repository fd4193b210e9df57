// velkctl session against the reference bus: requests from a file as its
// standard input, answers read back by id.
#include <stdio.h>

#include <string>
#include <vector>

#include "tests/velk/BusTestSupport.h"

namespace {

typedef BusTest Session;

// Runs velkctl session with input as its standard input to its end; the
// exit code, what it wrote in *lines.
int RunSession(const std::string& input, std::vector<std::string>* lines,
               const std::string& arguments = "session")
{
    std::string path = WriteTempFile(input);
    if (path.empty())
        return -2;
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, NULL, TRUE };
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return -2;
    // The child takes our standard input, so it is the file while it starts.
    HANDLE own = GetStdHandle(STD_INPUT_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, file);
    ChildProcess session;
    bool started = session.Start("velkctl.exe", arguments);
    SetStdHandle(STD_INPUT_HANDLE, own);
    CloseHandle(file);
    int exitCode = started ? session.Wait(30000) : -2;
    *lines = session.Lines();
    DeleteFileA(path.c_str());
    return exitCode;
}

// The lines starting with prefix ("{\"id\":3," or "{\"ev\"").
std::vector<std::string> Starting(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& line : lines)
        if (line.compare(0, prefix.size(), prefix) == 0)
            found.push_back(line);
    return found;
}

std::string Answer(const std::vector<std::string>& lines, int id)
{
    std::vector<std::string> found = Starting(lines, "{\"id\":" + std::to_string(id) + ",");
    return found.size() == 1 ? found[0] : "(" + std::to_string(found.size()) + " answers)";
}

TEST_F(Session, BadRequestsAreAnsweredWithTheirLineAndTheSessionGoesOn)
{
    struct Bad { const char* line; const char* answer; };
    const Bad bad[] = {
        { "not json", "{\"id\":null,\"ok\":false,\"error\":\"line 1: not JSON" },
        { "{\"id\":2,\"op\":\"sned\"}", "{\"id\":2,\"ok\":false,\"error\":\"line 2: unknown op 'sned' (expected one of" },
        { "{\"id\":3,\"op\":\"post\",\"code\":\"20000801\",\"valeu\":6}",
          "{\"id\":3,\"ok\":false,\"error\":\"line 3: post takes no 'valeu' (it takes code signal value text bytes)\"}" },
        { "{\"id\":4,\"op\":\"unsubscribe\",\"sub\":9}", "{\"id\":4,\"ok\":false,\"error\":\"line 4: no subscription 9\"}" },
        { "{\"id\":5,\"op\":\"post\",\"signal\":\"motor.speed\",\"value\":1}",
          "{\"id\":5,\"ok\":false,\"error\":\"line 5: \\\"signal\\\" needs a signal file" },
        { "{\"id\":6,\"op\":\"var-get\",\"index\":64}",
          "{\"id\":6,\"ok\":false,\"error\":\"line 6: \\\"index\\\" must be a whole number from 0 to 63\"}" },
        { "{\"id\":7,\"op\":\"expect\",\"match\":\"20000801 gtt 5\",\"within\":1}",
          "{\"id\":7,\"ok\":false,\"error\":\"line 7: \\\"match\\\" '20000801 gtt 5': at column 10: unknown operator" },
    };
    std::string input;
    for (const Bad& line : bad)
        input += std::string(line.line) + "\n";
    input += "{\"id\":8,\"op\":\"var-set\",\"index\":63,\"value\":4294967295}\n"
             "{\"id\":9,\"op\":\"var-get\",\"index\":63}\n"
             "{\"id\":10,\"op\":\"quit\"}\n"
             "{\"id\":11,\"op\":\"counters\"}\n";
    std::vector<std::string> lines;
    ASSERT_EQ(0, RunSession(input, &lines));
    ASSERT_EQ(10u, lines.size());
    for (size_t i = 0; i < sizeof bad / sizeof bad[0]; ++i)
        EXPECT_EQ(0u, lines[i].find(bad[i].answer)) << lines[i];
    EXPECT_EQ("{\"id\":8,\"ok\":true}", lines[7]);
    EXPECT_EQ("{\"id\":9,\"ok\":true,\"index\":63,\"value\":-1}", lines[8]);
    EXPECT_EQ("{\"id\":10,\"ok\":true}", lines[9]);   // and nothing read after quit
}

TEST_F(Session, ExpectsWaitTogetherAndAnswerWithTheMatchOrWhatCame)
{
    std::vector<std::string> lines;
    ASSERT_EQ(0, RunSession("{\"id\":1,\"op\":\"expect\",\"match\":\"20000802 eq 1005\",\"within\":5}\n"
                            "{\"id\":2,\"op\":\"expect\",\"match\":\"20000801 eq 99\",\"within\":\"300ms\"}\n"
                            "{\"id\":3,\"op\":\"subscribe\",\"code\":\"20000800/ffffff00\"}\n"
                            "{\"id\":4,\"op\":\"post\",\"code\":\"20000801\",\"value\":5}\n"
                            "{\"id\":5,\"op\":\"post\",\"code\":\"20000802\",\"value\":1005}\n"
                            "{\"id\":6,\"op\":\"expect\",\"match\":\"20000803 eq 1\",\"within\":\"200ms\"}\n"
                            "{\"id\":7,\"op\":\"collect\",\"code\":\"30000200/ffffff00\",\"over\":\"1s\"}\n"
                            "{\"id\":8,\"op\":\"post\",\"code\":\"30000201\",\"text\":\"hello\"}\n"
                            "{\"id\":9,\"op\":\"post\",\"code\":\"30000202\",\"text\":\"again\"}\n",
                            &lines));
    // End of input ended it once the waits were answered: every request exactly once.
    EXPECT_EQ("{\"id\":3,\"ok\":true,\"sub\":1}", Answer(lines, 3));
    for (int id : { 4, 5, 8, 9 })
        EXPECT_EQ("{\"id\":" + std::to_string(id) + ",\"ok\":true}", Answer(lines, id));
    EXPECT_EQ(0u, Answer(lines, 1).find("{\"id\":1,\"ok\":true,\"matched\":true,\"msg\":{\"t\":")) << Answer(lines, 1);
    EXPECT_NE(std::string::npos, Answer(lines, 1).find(",\"code\":\"20000802\",\"kind\":\"value\",\"value\":1005}}"));
    EXPECT_EQ(0u, Answer(lines, 2).find("{\"id\":2,\"ok\":true,\"matched\":false,\"seen\":1,\"last\":{\"t\":"));
    EXPECT_NE(std::string::npos, Answer(lines, 2).find("\"code\":\"20000801\",\"kind\":\"value\",\"value\":5}}"));
    EXPECT_EQ("{\"id\":6,\"ok\":true,\"matched\":false,\"seen\":0}", Answer(lines, 6));
    const std::string collected = Answer(lines, 7);
    EXPECT_EQ(0u, collected.find("{\"id\":7,\"ok\":true,\"count\":2,\"cut\":false,\"msgs\":[{\"t\":")) << collected;
    EXPECT_NE(std::string::npos, collected.find("\"code\":\"30000201\",\"kind\":\"string\",\"length\":5,"
                                                "\"bytes\":\"68656c6c6f\",\"text\":\"hello\"},{\"t\":"));
    EXPECT_NE(std::string::npos, collected.find("\"code\":\"30000202\",\"kind\":\"string\",\"length\":5,"
                                                "\"bytes\":\"616761696e\",\"text\":\"again\"}]}"));

    // Events only for the subscription, and in bus order.
    std::vector<std::string> events = Starting(lines, "{\"ev\"");
    ASSERT_EQ(2u, events.size());
    EXPECT_NE(std::string::npos, events[0].find("\"code\":\"20000801\",\"kind\":\"value\",\"value\":5}"));
    EXPECT_NE(std::string::npos, events[1].find("\"code\":\"20000802\",\"kind\":\"value\",\"value\":1005}"));
    EXPECT_EQ(11u, lines.size());
}

TEST_F(Session, TextSignalsAreComparedAndEveryMessageCarriesItsSignals)
{
    std::vector<std::string> lines;
    ASSERT_EQ(0, RunSession("{\"id\":1,\"op\":\"expect\",\"match\":\"rig.text changed\",\"within\":5}\n"
                            "{\"id\":2,\"op\":\"expect\",\"match\":\"rig.text eq BUSY\",\"within\":5}\n"
                            "{\"id\":3,\"op\":\"expect\",\"match\":\"rig.text contains \\\"P R\\\"\",\"within\":5}\n"
                            "{\"id\":4,\"op\":\"expect\",\"match\":\"motor.state\",\"within\":5}\n"
                            "{\"id\":5,\"op\":\"post\",\"signal\":\"rig.text\",\"text\":\"READY\"}\n"
                            "{\"id\":6,\"op\":\"post\",\"signal\":\"rig.text\",\"text\":\"BUSY\"}\n"
                            "{\"id\":7,\"op\":\"post\",\"signal\":\"rig.text\",\"text\":\"PUMP READY\"}\n"
                            "{\"id\":8,\"op\":\"post\",\"signal\":\"motor.state\",\"value\":\"RUNNING\"}\n",
                            &lines, "session --signals " CORVANE_SIGNALS_EXAMPLE));
    auto matched = [&](int id, const std::string& members) {
        const std::string answer = Answer(lines, id);
        EXPECT_EQ(0u, answer.find("{\"id\":" + std::to_string(id) + ",\"ok\":true,\"matched\":true,")) << answer;
        EXPECT_NE(std::string::npos, answer.find(members)) << answer;
    };
    matched(1, "\"text\":\"BUSY\",\"signals\":{\"rig.text\":\"BUSY\"}}}");
    matched(2, "\"signals\":{\"rig.text\":\"BUSY\"}}}");
    matched(3, "\"signals\":{\"rig.text\":\"PUMP READY\"}}}");
    matched(4, "\"value\":2,\"signals\":{\"motor.state\":{\"name\":\"RUNNING\",\"raw\":2}}}}");
}

} // namespace
