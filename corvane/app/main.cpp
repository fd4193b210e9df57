// The one application object of corvane.exe; WinMain is the framework's.
#include "app/CorvaneApp.h"

CCorvaneApp theApp;
