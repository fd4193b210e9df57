// velkctl simulate's engine and its request lines, on a clock of the test's.
#include <gtest/gtest.h>

#include <set>

#include "signals/SignalFile.h"
#include "velkctl/Simulation.h"

namespace {

const char kRig[] =
    "[[message]]\ncode = \"20001001\"\nname = \"motor.speed\"\nperiod = \"100ms\"\nscale = 0.25\nmax = 3000\n"
    "[[message]]\ncode = \"20001002\"\nname = \"motor.state\"\nperiod = \"100ms\"\n"
    "enum = { 0 = \"STOPPED\", 2 = \"RUNNING\" }\ninit = \"RUNNING\"\n"
    "[[message]]\ncode = \"30000402\"\nname = \"motor.status\"\nperiod = \"20ms\"\n"
    "[[message.field]]\nname = \"alive\"\nbyte = 0\nbits = 4\ntype = \"u8\"\ncounter = true\n"
    "[[message.field]]\nname = \"crc\"\nbyte = 1\ntype = \"u8\"\nchecksum = { kind = \"xor8\", bytes = \"0\" }\n"
    "[[message]]\ncode = \"30000201\"\nname = \"rig.text\"\n";

SimulationRequest Request(const std::string& line)
{
    SimulationRequest request;
    std::string error;
    EXPECT_EQ(kSimulationRead, ParseSimulationRequest(line, 1, false, &request, &error)) << error;
    return request;
}

} // namespace

TEST(SimulationRequests, EachOpTakesItsFieldsAndRefusesTheRest)
{
    SimulationRequest request = Request("{\"op\":\"set\",\"signal\":\"motor.speed\",\"value\":150}");
    EXPECT_EQ(kSimulationSet, request.op);
    EXPECT_FALSE(request.hasId);
    EXPECT_EQ("150", request.value);
    EXPECT_EQ("true", Request("{\"id\":3,\"op\":\"set\",\"signal\":\"v.open\",\"value\":true}").value);
    request = Request("{\"id\":9007199254740991,\"op\":\"start\",\"message\":\"m\",\"period\":\"50ms\"}");
    EXPECT_EQ(9007199254740991u, request.id);
    EXPECT_EQ(50000u, request.periodMicros);
    EXPECT_EQ(2500000u, Request("{\"op\":\"period\",\"message\":\"m\",\"period\":2.5}").periodMicros);
    request = Request("{\"op\":\"send\",\"message\":\"m\",\"values\":{\"mode\":\"auto\",\"p\":2.41,\"on\":false}}");
    ASSERT_EQ(3u, request.values.size());
    EXPECT_EQ("p", request.values[1].first);
    EXPECT_EQ("2.41", request.values[1].second);
    EXPECT_EQ("false", request.values[2].second);
    request = Request("{\"op\":\"simulate\",\"only\":\" motor.speed  motor.state \"}");
    EXPECT_EQ((std::vector<std::string>{ "motor.speed", "motor.state" }), request.only);
    EXPECT_EQ("{\"id\":null,\"ok\":true}", FormatSimulationOk(Request("{\"op\":\"stop\"}")));
    EXPECT_EQ("{\"id\":7,\"ok\":false,\"error\":\"x\"}",
              FormatSimulationError(Request("{\"id\":7,\"op\":\"stop\"}"), "x"));

    struct Case { const char* line; SimulationParse parsed; const char* error; };
    const Case cases[] = {
        { "{\"id\":1,\"op\":\"post\"}", kSimulationNotOne, "line 4: unknown op 'post' (expected one of simulate set start stop period send describe)" },
        { "not json", kSimulationNotOne, "line 4: " },
        { "{\"op\":\"set\",\"signal\":\"a\"}", kSimulationRefused, "line 4: set needs \"value\"" },
        { "{\"op\":\"set\",\"signal\":\"a\",\"value\":null}", kSimulationRefused, "line 4: \"value\" must be a number, a string, true or false" },
        { "{\"op\":\"stop\",\"mesage\":\"a\"}", kSimulationRefused, "line 4: stop takes no 'mesage' (it takes message)" },
        { "{\"op\":\"period\",\"message\":\"a\",\"period\":0}", kSimulationRefused, "line 4: \"period\" must be more than 0" },
        { "{\"op\":\"period\",\"message\":\"a\"}", kSimulationRefused, "line 4: period needs \"period\"" },
        { "{\"op\":\"send\",\"message\":\"a\",\"values\":[1]}", kSimulationRefused, "line 4: \"values\" must be an object" },
        { "{\"op\":\"send\",\"message\":\"a\",\"values\":{\"mode\":1,\"mode\":2}}", kSimulationRefused,
          "line 4: \"values\": not JSON: key \"mode\" appears twice at column 11" },
        { "{\"op\":\"send\",\"message\":\"a\",\"values\":{\"x\":[1]}}", kSimulationRefused, "line 4: \"values\": \"x\" must be a number" },
        { "{\"op\":\"simulate\",\"only\":\"a\",\"except\":\"b\"}", kSimulationRefused, "line 4: give \"only\" or \"except\", not both" },
        { "{\"id\":-1,\"op\":\"stop\"}", kSimulationRefused, "line 4: \"id\" must be a whole number from 0 to 9007199254740991" },
        { "{\"id\":9007199254740992,\"op\":\"stop\"}", kSimulationRefused, "line 4: \"id\" must be a whole number" },
    };
    for (const Case& test : cases) {
        std::string error;
        EXPECT_EQ(test.parsed, ParseSimulationRequest(test.line, 4, false, &request, &error)) << test.line;
        EXPECT_EQ(0u, error.find(test.error)) << error;
    }
    std::string error;
    EXPECT_EQ(kSimulationRefused, ParseSimulationRequest("{\"op\":\"stop\"}", 2, true, &request, &error));
    EXPECT_EQ(0u, error.find("line 2: no \"id\"")) << error;
}

TEST(Simulation, MessagesRunOnTheirOwnPhasesAndRequestsChangeTheNextSend)
{
    SignalDatabase database;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadSignalFile(kRig, "rig.toml", &database, &errors)) << errors[0];
    Simulation simulation(database, nullptr);
    std::string error, members;
    ASSERT_TRUE(simulation.Prepare("rig.toml", &error)) << error;
    EXPECT_FALSE(simulation.Choose({ "motor.sped" }, {}, &error));
    EXPECT_EQ("no message 'motor.sped' in the signal file (did you mean 'motor.speed'?)", error);
    EXPECT_FALSE(simulation.Choose({ "rig.text" }, {}, &error));
    EXPECT_EQ("rig.text has no period in the signal file: only messages with one are simulated", error);
    EXPECT_FALSE(simulation.Choose({}, { "motor.speed", "motor.state", "motor.status" }, &error));
    EXPECT_EQ("nothing to simulate: every message with a period is left out", error);
    ASSERT_TRUE(simulation.Choose({}, {}, &error)) << error;
    EXPECT_EQ(3u, simulation.Chosen().size());

    // The first second: the two of 100 ms half a period apart, shifted by
    // half a step from the one of 20 ms; never two at one instant; the
    // counter counting and the checksum written over it.
    simulation.StartChosen(1000);
    std::set<uint64_t> instants;
    std::vector<RecordedMessage> sent;
    uint64_t deadline = 0;
    while (simulation.NextDue(&deadline) && deadline < 1001000) {
        EXPECT_TRUE(instants.insert(deadline).second) << deadline;
        size_t message = 0;
        sent.push_back(simulation.TakeDue(deadline, &message));
    }
    ASSERT_EQ(70u, sent.size());
    EXPECT_EQ(0x30000402u, sent[0].code);
    EXPECT_EQ(0x20001001u, sent[2].code);   // at 25 ms
    EXPECT_EQ(0x20001002u, sent[5].code);   // at 75 ms
    EXPECT_EQ(2, sent[5].value);            // its init, RUNNING
    EXPECT_EQ(1000u, *instants.begin());
    unsigned alive = 0;
    for (const RecordedMessage& message : sent) {
        if (message.code != 0x30000402)
            continue;
        EXPECT_EQ(alive, static_cast<unsigned char>(message.bytes[0]));
        EXPECT_EQ(message.bytes[0], message.bytes[1]);   // xor8 of byte 0
        alive = (alive + 1) & 15;
    }

    // set: the next send carries it.
    std::vector<RecordedMessage> now;
    ASSERT_TRUE(simulation.Handle(Request("{\"op\":\"set\",\"signal\":\"motor.speed\",\"value\":150}"), 1001000, &members,
                                  &now, &error)) << error;
    EXPECT_FALSE(simulation.Handle(Request("{\"op\":\"set\",\"signal\":\"motor.speed\",\"value\":3001}"), 1001000,
                                   &members, &now, &error));
    EXPECT_EQ("motor.speed: 3001 is above its max 3000", error);
    EXPECT_FALSE(simulation.Handle(Request("{\"op\":\"set\",\"signal\":\"motor.sped\",\"value\":1}"), 1001000,
                                   &members, &now, &error));
    EXPECT_EQ("no signal 'motor.sped' in the signal file (did you mean 'motor.speed'?)", error);
    // stop the 20 ms one; the 100 ms ones go on, motor.speed at 600.
    ASSERT_TRUE(simulation.Handle(Request("{\"op\":\"stop\",\"message\":\"motor.status\"}"), 1001000, &members, &now, &error));
    size_t message = 0;
    ASSERT_TRUE(simulation.NextDue(&deadline));
    EXPECT_EQ(1026000u, deadline);
    RecordedMessage next = simulation.TakeDue(deadline, &message);
    EXPECT_EQ(0x20001001u, next.code);
    EXPECT_EQ(600, next.value);
    // send: at once, the counter counting on; a message without a period starts with one given.
    ASSERT_TRUE(simulation.Handle(Request("{\"op\":\"send\",\"message\":\"motor.status\"}"), 1020000, &members, &now,
                                  &error)) << error;
    ASSERT_EQ(1u, now.size());
    EXPECT_EQ(static_cast<char>(alive), now[0].bytes[0]);
    EXPECT_FALSE(simulation.Handle(Request("{\"op\":\"send\",\"message\":\"motor.status\",\"values\":{\"crc\":1}}"),
                                   1020000, &members, &now, &error));
    EXPECT_EQ("motor.status.crc: a checksum is computed on every send, not set", error);
    EXPECT_FALSE(simulation.Handle(Request("{\"op\":\"start\",\"message\":\"rig.text\"}"), 1020000, &members, &now, &error));
    ASSERT_TRUE(simulation.Handle(Request("{\"op\":\"start\",\"message\":\"rig.text\",\"period\":\"1s\"}"), 1020000,
                                  &members, &now, &error)) << error;
    ASSERT_TRUE(simulation.Handle(Request("{\"op\":\"describe\",\"message\":\"rig.text\"}"), 1020000, &members, &now,
                                  &error));
    EXPECT_EQ(",\"code\":\"30000201\",\"kind\":\"string\",\"period\":1.000000,\"running\":true,\"signals\":[\"rig.text\"]",
              members);

    // A stall of 350 ms: each message sent once, its missed deadlines counted.
    while (simulation.NextDue(&deadline) && deadline < 1500000)
        simulation.TakeDue(deadline, &message);
    while (simulation.NextDue(&deadline) && deadline < 1850000)
        simulation.TakeDue(1850000, &message);
    const std::vector<std::string> summary = simulation.Summary();
    ASSERT_EQ(4u, summary.size());
    EXPECT_EQ("motor.speed   sent 16, overruns 3, period error mean 20.25 ms, p99 324.00 ms, max 324.00 ms", summary[0]);
    EXPECT_EQ(0u, summary[3].find("rig.text      sent 1, overruns 0,"));
}

// Up to kSummaryMessages a line each; past them the totals and the worst,
// so that a run of thousands of messages ends in a dozen lines.
TEST(Simulation, TheSummaryOfManyMessagesIsTheirTotalsAndTheWorst)
{
    std::string rig;
    for (int i = 0; i <= Simulation::kSummaryMessages; ++i)
        rig += "[[message]]\ncode = \"200010" + std::to_string(10 + i) + "\"\nname = \"m" + std::to_string(i) +
               "\"\nperiod = \"100ms\"\n";
    SignalDatabase database;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadSignalFile(rig, "rig.toml", &database, &errors)) << errors[0];
    for (bool many : { false, true }) {
        Simulation simulation(database, nullptr);
        std::string error;
        ASSERT_TRUE(simulation.Prepare("rig.toml", &error)) << error;
        ASSERT_TRUE(simulation.Choose({}, many ? std::vector<std::string>() : std::vector<std::string>{ "m10" }, &error));
        simulation.StartChosen(0);
        uint64_t deadline = 0;
        size_t message = 0;
        size_t late = database.Messages().size();   // the first sent after 500 ms, 50 ms late
        while (simulation.NextDue(&deadline) && deadline < 1000000) {
            const bool stall = late == database.Messages().size() && deadline >= 500000;
            simulation.TakeDue(stall ? deadline + 50000 : deadline, &message);
            if (stall)
                late = message;
        }
        ASSERT_NE(7u, late);
        ASSERT_NE(3u, late);
        // Three posts of m7 refused, one of m3: they lead; then the late one by its p99; then the file's order.
        for (size_t refused : { 7, 7, 7, 3 })
            simulation.Refused(refused);
        const std::vector<std::string> summary = simulation.Summary();
        if (!many) {
            ASSERT_EQ(static_cast<size_t>(Simulation::kSummaryMessages), summary.size());
            EXPECT_NE(std::string::npos, summary[late].find("max 50.00 ms")) << summary[late];
            EXPECT_EQ("m7  sent 10, overruns 0, period error mean 0.00 ms, p99 0.00 ms, max 0.00 ms, refused 3", summary[7]);
            continue;
        }
        ASSERT_EQ(Simulation::kSummaryMessages + 2u, summary.size());
        EXPECT_EQ("all 11 messages: sent 110, overruns 0, refused 4, period error mean 0.45 ms, max 50.00 ms", summary[0]);
        EXPECT_EQ("the worst 10, by overruns and refusals, then p99:", summary[1]);
        std::vector<size_t> order = { 7, 3, late };
        for (size_t i = 0; order.size() < 10; ++i)
            if (i != 7 && i != 3 && i != late)
                order.push_back(i);
        for (size_t i = 0; i < 10; ++i)
            EXPECT_EQ(0u, summary[i + 2].find("m" + std::to_string(order[i]) + " ")) << summary[i + 2];
        EXPECT_NE(std::string::npos, summary[4].find("p99 50.00 ms")) << summary[4];
    }
}

// Starting the rest spreads only those not yet running: a message started
// alone keeps its deadlines and takes no share of its period's steps.
TEST(Simulation, StartingTheRestSpreadsOnlyThoseNotRunning)
{
    std::string rig;
    int n = 0;
    for (const char* period : { "100ms", "100ms", "100ms", "300ms" }) {
        const std::string i = std::to_string(n++);
        rig += "[[message]]\ncode = \"2000100" + i + "\"\nname = \"m" + i + "\"\nperiod = \"" + period + "\"\n";
    }
    SignalDatabase database;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadSignalFile(rig, "rig.toml", &database, &errors)) << errors[0];
    Simulation simulation(database, nullptr);
    std::string error, members;
    std::vector<RecordedMessage> now;
    ASSERT_TRUE(simulation.Prepare("rig.toml", &error)) << error;
    ASSERT_TRUE(simulation.Handle(Request("{\"op\":\"start\",\"message\":\"m0\"}"), 0, &members, &now, &error)) << error;
    ASSERT_TRUE(simulation.Handle(Request("{\"op\":\"start\"}"), 1000, &members, &now, &error)) << error;
    // The two of 100 ms half a period apart, the one of 300 ms half a step after them.
    std::vector<uint64_t> firstDue(4, 0);
    uint64_t deadline = 0;
    size_t message = 0;
    while (simulation.NextDue(&deadline) && deadline < 300000) {
        simulation.TakeDue(deadline, &message);
        if (firstDue[message] == 0)
            firstDue[message] = deadline + 1;
    }
    EXPECT_EQ((std::vector<uint64_t>{ 0 + 1, 1000 + 1, 51000 + 1, 151000 + 1 }), firstDue);
}
