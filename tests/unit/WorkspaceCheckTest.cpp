// A workspace is used whole or not at all: each thing it names that is not
// there is named at its line and column, and nothing is handed back then.
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "signals/SignalFile.h"
#include "signals/SignalTraces.h"
#include "velkscope/WorkspaceCheck.h"

namespace {

const char kSignals[] =
    "[[message]]\ncode = \"30000402\"\nname = \"m\"\n"
    "[[message.field]]\nname = \"v\"\nbyte = 0\ntype = \"u8\"\n"
    "[[message.field]]\nname = \"alive\"\nbyte = 1\ntype = \"u8\"\n";

const char kWorkspace[] =
    "signals = \"rig.toml\"\n"                                  // 1
    "[[recording]]\npath = \"a.rec\"\n"                         // 3
    "[[recording]]\npath = \"b.rec\"\n"                         // 5
    "[[pane]]\n"
    "[[pane.trace]]\ncode = \"30000402\"\nsignal = \"m.alive\"\n"   // 9
    "[[pane.trace]]\ncode = \"30000402\"\n";

class FakeFiles : public WorkspaceFiles {
public:
    std::map<std::string, std::string> signalFiles = { { "C:\\w\\rig.toml", kSignals } };
    std::set<std::string> recordings = { "C:\\w\\a.rec", "C:\\w\\b.rec" };

    bool ReadSignals(const std::string& path, SignalDatabase* signals, std::vector<std::string>* errors) override
    {
        const auto file = signalFiles.find(path);
        if (file == signalFiles.end()) {
            errors->push_back("no such file");
            return false;
        }
        return LoadSignalFile(file->second, "rig.toml", signals, errors);
    }
    bool CanOpen(const std::string& path, std::string* why) override
    {
        *why = "no such file";
        return recordings.count(path) != 0;
    }
};

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The check's errors for the workspace text; *checked as the check left it.
std::vector<std::string> Check(const std::string& text, FakeFiles* files, CheckedWorkspace* checked)
{
    Workspace workspace;
    std::vector<std::string> errors;
    EXPECT_TRUE(LoadWorkspace(text, "w.toml", &workspace, &errors)) << text;
    const bool usable = CheckWorkspace(workspace, "w.toml", "C:\\w", files, checked, &errors);
    EXPECT_EQ(usable, errors.empty());
    return errors;
}

TEST(WorkspaceCheck, EverythingNamedIsThereOrNothingIsUsed)
{
    FakeFiles files;
    CheckedWorkspace checked;
    ASSERT_EQ(Check(kWorkspace, &files, &checked), std::vector<std::string>());
    ASSERT_NE(checked.signals, nullptr);
    EXPECT_EQ(checked.signalsPath, "C:\\w\\rig.toml");
    EXPECT_EQ(checked.recordingPaths, std::vector<std::string>({ "C:\\w\\a.rec", "C:\\w\\b.rec" }));
    EXPECT_EQ(checked.signalIndexes, std::vector<std::vector<size_t>>({ { 1, kRawTrace } }));

    // Each one thing missing alone: one mistake at its place, and the
    // workspace handed back before is left as it was.
    struct Case {
        std::string text;
        bool lastRecordingGone, signalFileGone;
        std::string error;
    };
    const Case cases[] = {
        { kWorkspace, true, false, "w.toml:5:8: cannot open 'b.rec': no such file" },
        { kWorkspace, false, true, "w.toml:1:11: signal file: no such file" },
        { Replaced(kWorkspace, "signals = \"rig.toml\"\n", "\n"), false, false,
          "w.toml:9:10: signal 'm.alive' needs a signal file (signals = ...)" },
        { Replaced(kWorkspace, "m.alive", "m.alive2"), false, false, "w.toml:9:10: no signal 'm.alive2' in the signal file" },
        { Replaced(kWorkspace, "30000402\"\nsignal", "30000403\"\nsignal"), false, false,
          "w.toml:9:10: signal 'm.alive' is not of code 30000403" },
    };
    for (const Case& test : cases) {
        FakeFiles gone;
        if (test.lastRecordingGone)
            gone.recordings.erase("C:\\w\\b.rec");
        if (test.signalFileGone)
            gone.signalFiles.clear();
        CheckedWorkspace kept;
        kept.signalsPath = "kept";
        const std::vector<std::string> errors = Check(test.text, &gone, &kept);
        EXPECT_EQ(errors.size(), test.signalFileGone ? 2u : 1u) << test.error;
        EXPECT_EQ(errors.empty() ? std::string() : errors[0], test.error);
        EXPECT_EQ(kept.signalsPath, "kept");
        EXPECT_EQ(kept.signals, nullptr);
    }
}

}  // namespace
