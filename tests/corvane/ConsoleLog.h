// What the messaging tests read and set beyond the harness: the log view's
// lines, and the recording library's payload and post hook.
#pragma once
#include "tests/fakes/FakeVelk.h"
#include "tests/corvane/ConsoleHarness.h"

#include <stdint.h>

#include <string>

// The line written last, read on the GUI thread.
std::string LastLogLine(ConsoleSession& console);
// Lines written since the view was created or last cleared.
uint32_t LoggedLineCount(ConsoleSession& console);
// The last line with its time delta (the digits and the blank) taken off;
// empty when the line does not start that way.
std::string WithoutTimeDelta(const std::string& line);
// The time delta of an incoming line, or -1 when there is none.
long long TimeDeltaOf(const std::string& line);

// What vGetp of the installed recording library hands out from now on.
void SetFakePayload(const std::string& bytes);
// Run on the posting thread inside every vPostData; null removes it.
void SetFakePostHook(PFN_fakePostHook hook, void* context);

// The bytes the recording library copied during a vPostData call.
std::string PostedBytes(const FakeCall& call);
