// What the bus tests share: child programs with their output, a fresh bus
// per test, and the test process's own client window.
#pragma once
#include <stdint.h>
#include <map>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/FileBytes.h"

// A program beside the test program (velkctl.exe, velk_peer.exe), its
// stdout and stderr going to a file of their own.
class ChildProcess {
public:
    ChildProcess() : process_(NULL), output_(INVALID_HANDLE_VALUE), pid_(0) {}
    ~ChildProcess();   // kills a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // program: a path, or a bare name found beside the test program.
    // arguments: UTF-8, as the test sources are written (or, when not valid
    // UTF-8, in the system code page). directory: the child's working
    // folder; empty: the test's own.
    bool Start(const std::string& program, const std::string& arguments,
               const std::string& directory = std::string());
    // Exit code, or -1 when the child still runs after timeoutMs. Pumps this
    // thread's messages meanwhile, so the child may send to our windows.
    int Wait(DWORD timeoutMs);
    void Kill();
    DWORD Pid() const { return pid_; }
    // What the child wrote, line by line, without carriage returns.
    std::vector<std::string> Lines();

private:
    HANDLE process_;
    HANDLE output_;
    DWORD pid_;
};

// One message as it reached a window of the test process.
struct BusMessage {
    UINT code;
    LPARAM dataWord;
};

// Each test gets a bus of its own (children inherit its name) and a hidden
// top-level window registered with nothing yet.
class BusTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Counters of information text 131 by name.
    std::map<std::string, uint64_t> Counters();
    // Lines of information text 129.
    std::vector<std::string> ClientLines();
    // Pumps messages until the registry lists count windows.
    bool WaitForClients(size_t count, DWORD timeoutMs = 20000);
    // Pumps messages until count bus messages reached window, or the time is up.
    std::vector<BusMessage> Receive(HWND window, size_t count, DWORD timeoutMs = 20000);
    // How many WM_ENDSESSION(TRUE) window has been sent.
    static int EndSessionsOf(HWND window);

    static HWND MakeWindow();
    HWND window_ = NULL;
};

// Runs a program beside the test program (velkctl.exe unless told) to its
// end: the exit code, with what it wrote in *lines.
int RunVelkctl(const std::string& arguments, std::vector<std::string>* lines = NULL,
               const std::string& program = "velkctl.exe");

// The test program's folder, with its trailing backslash.
std::string ProgramDirectory();

// A text split at its newlines, carriage returns dropped.
std::vector<std::string> SplitLines(const std::string& text);

// A new file in the temporary folder holding bytes; its path, empty on failure.
std::string WriteTempFile(const std::string& bytes);

// A monitor line without its time delta, which no test can predict.
std::string WithoutDelta(const std::string& line);
// Whether the environment lets 32-bit Windows programs run, and where an
// i686 build's velkctl is; empty when either is missing.
std::string Velkctl32Path();
