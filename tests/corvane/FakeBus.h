// The test bus library installed as velk.dll beside the test program, and
// what it recorded. It is loaded by the test before the console starts, so the
// console binds this very module and the record outlives the console's
// FreeLibrary; the destructor unloads it and removes velk.dll.
#pragma once
#include "tests/fakes/FakeVelk.h"

#include <windows.h>

#include <string>
#include <vector>

enum class BusVariant {
    Recording,             // all seven entry points
    WithoutGetPublicVar,   // every entry point but vGetPublicVar
};

class FakeBus {
public:
    explicit FakeBus(BusVariant variant = BusVariant::Recording);
    ~FakeBus();
    FakeBus(const FakeBus&) = delete;
    FakeBus& operator=(const FakeBus&) = delete;

    std::vector<FakeCall> Calls() const;
    std::vector<FakeCall> CallsTo(const char* entry) const;
    void ClearCalls();
    void SetInfo(int selector, const char* text);   // null: vGetInfo returns null

private:
    HMODULE module_;
    PFN_fakeCallCount callCount_;
    PFN_fakeGetCall getCall_;
    PFN_fakeClearCalls clearCalls_;
    PFN_fakeSetInfo setInfo_;
};

// The folder of the test program, with a trailing backslash.
std::wstring ProgramFolder();
// A test bus library as built: "recording" or "nopublicvar".
std::wstring FakeLibraryPath(const wchar_t* variant);
// velk.dll beside the test program.
std::wstring InstalledLibraryPath();

// Names of the recorded calls, in order: {"vRegister", "vGetInfo", ...}.
std::vector<std::string> EntryNames(const std::vector<FakeCall>& calls);
