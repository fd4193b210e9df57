// The one application object of velkpanel.exe; WinMain is the framework's.
#include "velkpanel/PanelApp.h"

CPanelApp theApp;
