// A velk.dll planted in the working folder or on PATH is never loaded:
// velkctl, velkscope and velkpanel, copied to a folder of their own, bind only the
// library beside them (the console's rule, tested in tests/corvane).
#include <stdio.h>
#include <string.h>

#include "tests/velk/BusTestSupport.h"

namespace {

// A new empty folder in the temporary folder, with its trailing backslash.
std::string NewFolder(const char* name)
{
    char temp[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    snprintf(path, sizeof path, "%svelk-planted-%lu-%s\\", temp, GetCurrentProcessId(), name);
    CreateDirectoryA(path, NULL);
    return path;
}

bool CopyBeside(const std::string& file, const std::string& folder)
{
    return CopyFileA((ProgramDirectory() + file).c_str(), (folder + file).c_str(), FALSE) != 0;
}

// The text of a message box (a dialog of the process) that process pid shows, or "".
struct BoxSearch {
    DWORD pid;
    std::string text;
};

BOOL CALLBACK ChildText(HWND child, LPARAM search)
{
    char text[512] = "";
    GetWindowTextA(child, text, sizeof text);
    reinterpret_cast<BoxSearch*>(search)->text += text;
    return TRUE;
}

BOOL CALLBACK FindBox(HWND window, LPARAM search)
{
    BoxSearch* box = reinterpret_cast<BoxSearch*>(search);
    DWORD pid = 0;
    char kind[32] = "";
    GetWindowThreadProcessId(window, &pid);
    GetClassNameA(window, kind, sizeof kind);
    if (pid != box->pid || strcmp(kind, "#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    EnumChildWindows(window, ChildText, search);
    return box->text.empty();
}

std::string MessageBoxOf(DWORD pid, DWORD timeoutMs)
{
    BoxSearch box = { pid, std::string() };
    for (DWORD waited = 0; waited < timeoutMs && box.text.empty(); waited += 100) {
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
        if (box.text.empty())
            Sleep(100);
    }
    return box.text;
}

class Planting : public BusTest {
protected:
    void SetUp() override
    {
        BusTest::SetUp();
        planted_ = NewFolder("work");
        programs_ = NewFolder("programs");
        ASSERT_TRUE(CopyBeside("velk.dll", planted_));
        ASSERT_TRUE(CopyBeside("velkctl.exe", programs_));
        ASSERT_TRUE(CopyBeside("velkscope.exe", programs_));
        ASSERT_TRUE(CopyBeside("velkpanel.exe", programs_));
        char path[32767] = "";
        GetEnvironmentVariableA("PATH", path, sizeof path);
        path_ = path;
        SetEnvironmentVariableA("PATH", (planted_ + ";" + path_).c_str());
    }

    void TearDown() override
    {
        SetEnvironmentVariableA("PATH", path_.c_str());
        for (const char* file : { "velk.dll", "velkctl.exe", "velkscope.exe", "velkpanel.exe" }) {
            DeleteFileA((planted_ + file).c_str());
            DeleteFileA((programs_ + file).c_str());
        }
        RemoveDirectoryA(planted_.c_str());
        RemoveDirectoryA(programs_.c_str());
        BusTest::TearDown();
    }

    std::string planted_, programs_, path_;
};

TEST_F(Planting, VelkctlBindsOnlyTheLibraryBesideIt)
{
    ChildProcess refused;
    ASSERT_TRUE(refused.Start(programs_ + "velkctl.exe", "counters", planted_));
    ASSERT_EQ(1, refused.Wait(30000));
    std::vector<std::string> lines = refused.Lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(0u, lines[0].find("velkctl: cannot load velk.dll (error ")) << lines[0];

    ASSERT_TRUE(CopyBeside("velk.dll", programs_));
    ChildProcess bound;
    ASSERT_TRUE(bound.Start(programs_ + "velkctl.exe", "counters", planted_));
    EXPECT_EQ(0, bound.Wait(30000));
}

TEST_F(Planting, TheWindowedProgramsBindOnlyTheLibraryBesideThem)
{
    for (const std::string program : { "velkscope", "velkpanel" }) {
        SCOPED_TRACE(program);
        ChildProcess refused;
        ASSERT_TRUE(refused.Start(programs_ + program + ".exe", "", planted_));
        std::string box = MessageBoxOf(refused.Pid(), 30000);
        EXPECT_NE(std::string::npos, box.find("no bus: cannot load velk.dll")) << box;
        EXPECT_TRUE(ClientLines().empty());
        refused.Kill();
    }

    ASSERT_TRUE(CopyBeside("velk.dll", programs_));
    for (const std::string program : { "velkscope", "velkpanel" }) {
        SCOPED_TRACE(program);
        ChildProcess bound;
        ASSERT_TRUE(bound.Start(programs_ + program + ".exe", "", planted_));
        ASSERT_TRUE(WaitForClients(1));
        std::vector<std::string> clients = ClientLines();
        ASSERT_EQ(1u, clients.size());
        EXPECT_NE(std::string::npos, clients[0].find(program)) << clients[0];
        bound.Kill();
        ASSERT_TRUE(WaitForClients(0));
    }
}

} // namespace
