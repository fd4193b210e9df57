// Our small window framework: only the classes and operations the console
// uses, with the names the console's code is written against; raw Win32
// underneath.
#pragma once
#include "framework/AfxHelpers.h"
#include "framework/CmdTarget.h"
#include "framework/Controls.h"
#include "framework/DataExchange.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"
#include "framework/Menu.h"
#include "framework/MessageMap.h"
#include "framework/String.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
