// velkscope's workspace files: a saved one reads back the same, and every
// mistake is named at its line and column, each bound at both ends.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/FormatText.h"
#include "velkscope/Workspace.h"

namespace {

std::string Panes(int panes, int tracesEach)
{
    std::string text;
    int code = 0;
    for (int p = 0; p < panes; ++p) {
        text += "[[pane]]\n";
        for (int t = 0; t < tracesEach; ++t)
            text += FormatText("[[pane.trace]]\ncode = \"%08x\"\n", 0x20001000 + code++);
    }
    return text;
}

std::string Recordings(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += FormatText("[[recording]]\npath = \"r%d.rec\"\n", i);
    return text;
}

TEST(Workspace, ASavedWorkspaceReadsBackTheSame)
{
    Workspace saved;
    saved.signals = "rig \"A\".toml";
    saved.recordings.push_back({ "night.rec", 0, 0, 0 });
    saved.recordings.push_back({ "logs\\day.rec", -2.5, 0, 0 });
    saved.viewGiven = true;
    saved.from = -1.25;
    saved.to = 3600.000001;
    saved.live = true;
    saved.windowMicros = 2500000;
    saved.wallClock = true;
    saved.width = 1100;
    saved.height = 720;
    saved.cursorGiven[1] = true;
    saved.cursor[1] = 12.000007;
    WorkspacePane top;
    top.fixed = true;
    top.low = -0.1;
    top.high = 1e9;
    WorkspaceTrace pressure;
    pressure.recording = 2;
    pressure.code = 0x30000401;
    pressure.signal = "pump.status.pressure";
    pressure.colour = 15;
    pressure.x = true;
    top.traces.push_back(pressure);
    WorkspaceTrace raw;
    raw.code = 0x20001001;
    top.traces.push_back(raw);
    saved.panes.push_back(top);
    saved.panes.push_back(WorkspacePane());

    const std::string text = FormatWorkspace(saved);
    Workspace read;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadWorkspace(text, "w.toml", &read, &errors)) << text << (errors.empty() ? "" : errors[0]);
    EXPECT_EQ(saved.signals, read.signals);
    ASSERT_EQ(2u, read.recordings.size());
    EXPECT_EQ("logs\\day.rec", read.recordings[1].path);
    EXPECT_EQ(-2.5, read.recordings[1].offsetSeconds);
    EXPECT_TRUE(read.viewGiven && read.live && read.wallClock);
    EXPECT_DOUBLE_EQ(-1.25, read.from);
    EXPECT_DOUBLE_EQ(3600.000001, read.to);
    EXPECT_EQ(2500000u, read.windowMicros);
    EXPECT_EQ(1100, read.width);
    EXPECT_EQ(720, read.height);
    EXPECT_FALSE(read.cursorGiven[0]);
    EXPECT_DOUBLE_EQ(12.000007, read.cursor[1]);
    ASSERT_EQ(2u, read.panes.size());
    EXPECT_TRUE(read.panes[0].fixed);
    EXPECT_EQ(-0.1, read.panes[0].low);
    EXPECT_EQ(1e9, read.panes[0].high);
    ASSERT_EQ(2u, read.panes[0].traces.size());
    const WorkspaceTrace& back = read.panes[0].traces[0];
    EXPECT_EQ(2u, back.recording);
    EXPECT_EQ(0x30000401u, back.code);
    EXPECT_EQ("pump.status.pressure", back.signal);
    EXPECT_EQ(15, back.colour);
    EXPECT_TRUE(back.x);
    EXPECT_NE(0u, back.line);   // where its signal is, for the caller's errors
    EXPECT_EQ("", read.panes[0].traces[1].signal);
    EXPECT_EQ(-1, read.panes[0].traces[1].colour);   // none given: the first free when used
    EXPECT_FALSE(read.panes[1].fixed);
    EXPECT_TRUE(read.panes[1].traces.empty());
    EXPECT_NE(std::string::npos, text.find("# ")) << "commented";

    // Paths against the workspace's folder, and back.
    EXPECT_EQ("night.rec", RelativeToFolder("C:\\rig", "c:\\RIG\\night.rec"));
    EXPECT_EQ("logs/day.rec", RelativeToFolder("C:\\rig\\", "C:\\rig/logs/day.rec"));
    EXPECT_EQ("C:\\rigs\\night.rec", RelativeToFolder("C:\\rig", "C:\\rigs\\night.rec"));
    EXPECT_EQ("C:\\rig\\night.rec", ResolveInFolder("C:\\rig", "night.rec"));
    EXPECT_EQ("D:\\night.rec", ResolveInFolder("C:\\rig", "D:\\night.rec"));
    EXPECT_EQ("\\\\server\\share\\n.rec", ResolveInFolder("C:\\rig", "\\\\server\\share\\n.rec"));
}

TEST(Workspace, EveryMistakeIsNamedAtItsLineAndColumnAndEachBoundHoldsAtBothEnds)
{
    struct Case { std::string text; const char* where; const char* says; };
    const Case bad[] = {
        { "signals = 5\n", "w.toml:1:11:", "text in quotes" },
        { "panes = 1\n", "w.toml:1:1:", "did you mean 'pane'" },
        { "[view\n", "w.toml:1:", "" },
        { "[[recording]]\noffset = 1\n", "w.toml:1:1:", "needs its path" },
        { "[[recording]]\npath = \"a\\u0001b\"\n", "w.toml:2:8:", "control characters" },
        { "[[recording]]\npath = \"a\xe2\x80\xae" "b\"\n", "w.toml:2:8:", "control characters" },
        { "[[recording]]\npath = \"a\"\noffset = 1000000000.5\n", "w.toml:3:10:", "seconds" },
        { "[[recording]]\npath = \"a\"\noffset = \"1s\"\n", "w.toml:3:10:", "seconds" },
        { "[view]\nfrom = 5\nto = 2\n", "w.toml:3:6:", "after from" },
        { "[view]\nfrom = 0\n", "w.toml:1:1:", "needs from and to" },
        { "[view]\nfrom = 0\nto = 1\nwindow = \"999ms\"\n", "w.toml:4:10:", "1s to 1h" },
        { "[view]\nfrom = 0\nto = 1\nwindow = \"3601s\"\n", "w.toml:4:10:", "1s to 1h" },
        { "[view]\nfrom = 0\nto = 1\nlive = 1\n", "w.toml:4:8:", "true or false" },
        { "[view]\nfrom = 0\nto = 1\nwidth = 639\n", "w.toml:4:9:", "640 to 16384" },
        { "[view]\nfrom = 0\nto = 1\nwidth = 16385\n", "w.toml:4:9:", "640 to 16384" },
        { "[view]\nfrom = 0\nto = 1\nheight = 359\n", "w.toml:4:10:", "360 to 16384" },
        { "[view]\nfrom = 0\nto = 1\nheight = 16385\n", "w.toml:4:10:", "360 to 16384" },
        { "[cursors]\nc = 1\n", "w.toml:2:1:", "unknown key 'c'" },
        { "cursors = 3\n", "w.toml:1:11:", "[cursors] table" },
        { "[[pane]]\nscale = \"log\"\n", "w.toml:2:9:", "\"auto\" or \"fixed\"" },
        { "[[pane]]\nscale = \"fixed\"\nlow = 1\n", "w.toml:1:1:", "needs low and high" },
        { "[[pane]]\nscale = \"fixed\"\nlow = 1\nhigh = 1\n", "w.toml:4:8:", "above low" },
        { "[[pane]]\nlow = 1\n", "w.toml:2:7:", "scale = \"fixed\"" },
        { "[[pane]]\n[[pane.trace]]\ncode = \"2000100G\"\n", "w.toml:3:8:", "2000100G" },
        { "[[pane]]\n[[pane.trace]]\nsignal = \"x\"\n", "w.toml:2:1:", "needs its code" },
        { "[[pane]]\n[[pane.trace]]\ncode = \"20001001\"\ncolour = 0\n", "w.toml:4:10:", "1 to 16" },
        { "[[pane]]\n[[pane.trace]]\ncode = \"20001001\"\ncolour = 17\n", "w.toml:4:10:", "1 to 16" },
        { "[[pane]]\n[[pane.trace]]\ncode = \"20001001\"\nrecording = 1\n", "w.toml:4:13:", "opens 0" },
        { Recordings(16) + "[[pane]]\n[[pane.trace]]\ncode = \"20001001\"\nrecording = 17\n", "w.toml:36:13:", "0 to 16" },
        { "[[pane]]\n[[pane.trace]]\ncode = \"20001001\"\nrecording = -1\n", "w.toml:4:13:", "0 to 16" },
        { "[[pane]]\n[[pane.trace]]\ncode = \"20001001\"\nsignal = \"\"\n", "w.toml:4:10:", "name a signal" },
        { "[[pane]]\n[[pane.trace]]\ncode = \"20001001\"\nx = true\n[[pane.trace]]\ncode = \"20001002\"\nx = true\n",
          "w.toml:7:5:", "one trace along x" },
        { "[[pane]]\n[[pane.trace]]\ncode = \"20001001\"\n[[pane]]\n[[pane.trace]]\ncode = \"20001001\"\n", "w.toml:5:1:",
          "drawn already" },
        { Recordings(17), "w.toml:33:1:", "at most 16 recordings" },
        { Panes(9, 1), "w.toml:25:1:", "at most 8 panes" },
        { Panes(5, 13), "w.toml:", "at most 64 traces" },
        { "pane = 1\n", "w.toml:1:8:", "[[pane]] tables" },
    };
    for (const Case& test : bad) {
        SCOPED_TRACE(test.text);
        Workspace workspace;
        workspace.signals = "untouched";
        std::vector<std::string> errors;
        EXPECT_FALSE(LoadWorkspace(test.text, "w.toml", &workspace, &errors));
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(0u, errors[0].find(test.where)) << errors[0];
        EXPECT_NE(std::string::npos, errors[0].find(test.says)) << errors[0];
        EXPECT_EQ("untouched", workspace.signals);
    }
    // The other end of each bound is good.
    const std::string good[] = {
        Recordings(16),
        Panes(8, 8),
        "[[recording]]\npath = \"a\"\noffset = -1000000000\n",
        "[view]\nfrom = 0\nto = 1\nwindow = \"1s\"\n",
        "[view]\nfrom = 0\nto = 1\nwindow = \"3600s\"\n",
        "[view]\nfrom = 0\nto = 1\nwidth = 640\nheight = 360\n",
        "[view]\nfrom = 0\nto = 1\nwidth = 16384\nheight = 16384\n",
        "[[pane]]\n[[pane.trace]]\ncode = \"20001001\"\ncolour = 1\n[[pane.trace]]\ncode = \"20001002\"\ncolour = 16\n",
        "[[recording]]\npath = \"a\"\n[[pane]]\n[[pane.trace]]\ncode = \"20001001\"\nrecording = 1\n"
        "[[pane.trace]]\ncode = \"20001001\"\nrecording = 0\n",
        "",
    };
    for (const std::string& text : good) {
        Workspace workspace;
        std::vector<std::string> errors;
        EXPECT_TRUE(LoadWorkspace(text, "w.toml", &workspace, &errors)) << text << (errors.empty() ? "" : errors[0]);
    }
    // Every mistake of a file, in its order.
    Workspace workspace;
    std::vector<std::string> errors;
    EXPECT_FALSE(LoadWorkspace("[[pane]]\nscale = 1\n[view]\nfrom = 2\nto = 1\n", "w.toml", &workspace, &errors));
    ASSERT_EQ(2u, errors.size());
    EXPECT_EQ(0u, errors[0].find("w.toml:2:9:")) << errors[0];
    EXPECT_EQ(0u, errors[1].find("w.toml:5:6:")) << errors[1];
}

} // namespace
