// velkctl record --trigger against the reference bus: the test posts a
// known sequence with pauses far longer than the scheduling under Wine, so
// each message is plainly inside or outside its window.
#include <stdio.h>

#include <string>
#include <vector>

#include "velk/VelkApi.h"
#include "tests/velk/BusTestSupport.h"
#include "velk/VelkLibrary.h"

namespace {

typedef BusTest Trigger;

std::string TempPath(const char* name)
{
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    return std::string(directory) + "velkctl-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

// A recording's trigger marks and message lines, the messages without their times.
std::vector<std::string> MarksAndMessages(const std::string& text)
{
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(text)) {
        if (line == "# trigger")
            lines.push_back(line);
        else if (!line.empty() && line[0] != '#')
            lines.push_back(line.substr(line.find(' ') + 1));
    }
    return lines;
}

void Post(HWND window, UINT code, int value)
{
    EXPECT_GE(vPostData(window, code, static_cast<LPARAM>(value), 4), 1) << std::hex << code << " " << value;
}

TEST_F(Trigger, FilesHoldThePreAndPostWindowsAroundTheMarkedTriggerUpToTheRetriggerCount)
{
    std::vector<std::string> lines;
    EXPECT_EQ(2, RunVelkctl("record x.txt --trigger \"20000801 gx 1500\"", &lines));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("velkctl: bad --trigger '20000801 gx 1500': at column 10: unknown operator 'gx' "
              "(expected one of eq ne lt le gt ge changed contains)", lines[0]);

    // The first file is made before the bus is touched.
    EXPECT_EQ(5, RunVelkctl("record \"" + TempPath("no-such-folder\\x.txt") + "\" --trigger \"20000801 gt 1\"", &lines));

    const std::string signals = WriteTempFile("[[message]]\ncode = \"20001002\"\nname = \"motor.state\"\n"
                                              "enum = { 0 = \"STOPPED\", 2 = \"RUNNING\", 3 = \"FAULT\" }\n");
    const std::string path = TempPath("trigger.txt");
    const std::string numbered[] = { TempPath("trigger-1.txt"), TempPath("trigger-2.txt"), TempPath("trigger-3.txt") };
    for (const std::string& file : numbered)
        DeleteFileA(file.c_str());

    // The trigger is on a code the filter keeps out: it sees it, the files hold only 20000801 and it.
    ChildProcess recorder;
    ASSERT_TRUE(recorder.Start("velkctl.exe", "record \"" + path + "\" --trigger \"motor.state eq FAULT\" --signals \"" +
                                                  signals + "\" --code 20000801 --pre 2s --post 2s --retrigger 2 "
                                                  "--duration 120s"));
    ASSERT_TRUE(WaitForClients(1));
    const UINT data = 0x20000801, state = 0x20001002;
    const int fault = 3, running = 2;
    Post(window_, data, 1);         // 4 s before trigger 1: outside
    Sleep(3000);
    Post(window_, data, 2);         // 1 s before: inside
    Sleep(1000);
    Post(window_, state, fault);    // trigger 1
    Post(window_, state, running);  // filtered out
    Post(window_, data, 3);
    Sleep(1000);
    Post(window_, data, 4);         // 1 s after: inside
    Post(window_, state, fault);    // rises inside the post-window: no file of its own, and filtered out
    Sleep(2000);
    Post(window_, state, fault);    // still true after the post-window: fires only with --level
    Post(window_, data, 5);         // 3 s after trigger 1, 1 s before trigger 2
    Sleep(1000);
    Post(window_, state, running);  // false ...
    Post(window_, state, fault);    // ... then true: trigger 2
    Sleep(1000);
    Post(window_, data, 6);         // 1 s after: inside
    ASSERT_EQ(0, recorder.Wait(30000));   // the second file ends the recording
    lines = recorder.Lines();

    const std::vector<std::string> first = { "20000801 V 2", "# trigger", "20001002 V 3", "20000801 V 3",
                                             "20000801 V 4" };
    const std::vector<std::string> second = { "20000801 V 5", "# trigger", "20001002 V 3", "20000801 V 6" };
    EXPECT_EQ(first, MarksAndMessages(ReadFileText(numbered[0])));
    EXPECT_EQ(second, MarksAndMessages(ReadFileText(numbered[1])));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(numbered[2].c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
    std::vector<std::string> header = SplitLines(ReadFileText(numbered[1]));
    ASSERT_GE(header.size(), 3u);
    EXPECT_EQ(0u, header[2].find("# triggered by motor.state eq FAULT at ")) << header[2];
    EXPECT_NE(std::string::npos, header[2].find(" (file 2; pre 2.000000 s, post 2.000000 s)")) << header[2];

    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(0u, lines[0].find("velkctl: received 12 messages (6 filtered out) in ")) << lines[0];
    EXPECT_NE(std::string::npos, lines[0].find(" s; wrote 7 message lines; bus: ")) << lines[0];
    EXPECT_NE(std::string::npos, lines[0].find("dropped +0")) << lines[0];
    EXPECT_EQ(0u, lines[1].find("velkctl: trigger 'motor.state eq FAULT' fired 2 times of at most 2 "
                                "(it held on 4 messages): ")) << lines[1];

    // Replay takes a triggered file as any recording.
    EXPECT_EQ(0, RunVelkctl("replay \"" + numbered[0] + "\" --speed 0", &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(0u, lines[0].find("velkctl: posted 4 messages")) << lines[0];

    DeleteFileA(numbered[0].c_str());
    DeleteFileA(numbered[1].c_str());
    DeleteFileA(signals.c_str());
}

} // namespace
