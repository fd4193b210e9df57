// The test program's application object: the harness runs its InitInstance on
// the GUI thread, and its key filter is the one under test.
#include "app/CorvaneApp.h"

CCorvaneApp theApp;
