#include "tests/corvane/FakeBus.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

template <typename Function>
Function Export(HMODULE module, const char* name)
{
    typedef void (*AnyFunction)();
    return reinterpret_cast<Function>(reinterpret_cast<AnyFunction>(GetProcAddress(module, name)));
}

} // namespace

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring FakeLibraryPath(const wchar_t* variant)
{
    // TEXT_FAKES_RELDIR: the fakes' build folder relative to this program's.
    return ProgramFolder() + TEXT_FAKES_RELDIR L"\\velk_" + variant + L".dll";
}

std::wstring InstalledLibraryPath()
{
    return ProgramFolder() + L"velk.dll";
}

FakeBus::FakeBus(BusVariant variant)
    : module_(nullptr), callCount_(nullptr), getCall_(nullptr), clearCalls_(nullptr), setInfo_(nullptr)
{
    std::wstring source = FakeLibraryPath(variant == BusVariant::Recording ? L"recording" : L"nopublicvar");
    if (!CopyFileW(source.c_str(), InstalledLibraryPath().c_str(), FALSE)) {
        ADD_FAILURE() << "cannot install the test bus library, error " << GetLastError();
        return;
    }
    module_ = LoadLibraryW(InstalledLibraryPath().c_str());
    if (module_ == nullptr) {
        ADD_FAILURE() << "cannot load the test bus library, error " << GetLastError();
        return;
    }
    callCount_ = Export<PFN_fakeCallCount>(module_, "fakeCallCount");
    getCall_ = Export<PFN_fakeGetCall>(module_, "fakeGetCall");
    clearCalls_ = Export<PFN_fakeClearCalls>(module_, "fakeClearCalls");
    setInfo_ = Export<PFN_fakeSetInfo>(module_, "fakeSetInfo");
    if (!callCount_ || !getCall_ || !clearCalls_ || !setInfo_)
        ADD_FAILURE() << "the test bus library lacks its test exports";
}

FakeBus::~FakeBus()
{
    if (module_ != nullptr)
        FreeLibrary(module_);
    DeleteFileW(InstalledLibraryPath().c_str());
}

std::vector<FakeCall> FakeBus::Calls() const
{
    std::vector<FakeCall> calls;
    if (callCount_ == nullptr)
        return calls;
    int count = callCount_();
    for (int i = 0; i < count; ++i) {
        FakeCall call;
        if (getCall_(i, &call))
            calls.push_back(call);
    }
    return calls;
}

std::vector<FakeCall> FakeBus::CallsTo(const char* entry) const
{
    std::vector<FakeCall> matching;
    for (const FakeCall& call : Calls()) {
        if (strcmp(call.entry, entry) == 0)
            matching.push_back(call);
    }
    return matching;
}

void FakeBus::ClearCalls()
{
    if (clearCalls_ != nullptr)
        clearCalls_();
}

void FakeBus::SetInfo(int selector, const char* text)
{
    if (setInfo_ != nullptr)
        setInfo_(selector, text);
}

std::vector<std::string> EntryNames(const std::vector<FakeCall>& calls)
{
    std::vector<std::string> names;
    for (const FakeCall& call : calls)
        names.push_back(call.entry);
    return names;
}
