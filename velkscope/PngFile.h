// A bitmap saved as a PNG file through GDI+, part of Windows since XP:
// its flat API, loaded from the system folder when first needed.
#pragma once
#include <string>

#include <windows.h>

// False with what failed in *error.
bool SaveBitmapAsPng(HBITMAP bitmap, const wchar_t* path, std::string* error);
