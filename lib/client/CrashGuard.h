// A velkctl that fails never exits 0: a crash anywhere in the process, in
// velkctl or in the library it loaded, ends it with a line on stderr and
// kExitCrashed.
#pragma once

typedef int (*GuardedMain)(int argc, char** argv);

// Runs body on a thread of its own and returns its exit code. A crash the
// system can report (access violation, stack overflow with room to report
// it) ends the process from an unhandled-exception filter; one it cannot
// (the thread ended with no room even for that) is seen from here, when the
// thread ends without having returned.
int RunGuarded(GuardedMain body, int argc, char** argv);
