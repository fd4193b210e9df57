// The test bus libraries: velk.dll's seven entry points that record every
// call with its arguments, plus exports through which a test reads the record
// and chooses what vGetInfo and vGetp return.
#pragma once

struct FakeCall {
    char entry[16];               // "vRegister", "vGetInfo", ...
    unsigned long long window;    // the window handle passed, as an integer
    int windowAlive;              // IsWindow(window) during the call
    unsigned int word;            // vPostData: code; vRegister: mask
    long long dataWord;           // vPostData, vGetp
    int number;                   // vPostData: length; vGetInfo: selector; v*PublicVar: index
    int value;                    // vSetPublicVar: value
    char text[64];                // vRegister: client name
    int payloadLength;            // vPostData of a string or array code: bytes copied during the call
    unsigned char payload[512];   // the first of them
};

extern "C" {
typedef int (__cdecl *PFN_fakeCallCount)(void);
typedef int (__cdecl *PFN_fakeGetCall)(int index, FakeCall* call);   // 0 when out of range
typedef void (__cdecl *PFN_fakeClearCalls)(void);
// text null: vGetInfo(selector) returns null from now on.
typedef void (__cdecl *PFN_fakeSetInfo)(int selector, const char* text);
typedef void (__cdecl *PFN_fakeSetPayload)(const char* bytes, int length);
// Run on the posting thread inside every vPostData, once the call is recorded.
typedef void (__cdecl *PFN_fakePostHook)(void* context);
typedef void (__cdecl *PFN_fakeSetPostHook)(PFN_fakePostHook hook, void* context);   // null hook: none
}
