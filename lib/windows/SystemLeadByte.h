// The lead-byte test of the system code page, for UnescapeText. Windows only.
#pragma once
#include <windows.h>

inline bool IsSystemLeadByte(unsigned char byte)
{
    return IsDBCSLeadByteEx(CP_ACP, byte) != FALSE;
}
