// The one application object of velkscope.exe; WinMain is the framework's.
#include "velkscope/ScopeApp.h"

CScopeApp theApp;
