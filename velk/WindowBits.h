// A window handle in the 32 bits that are significant on either width, and back.
#pragma once
#include <windows.h>

#include <stdint.h>

inline uint32_t WindowBits(HWND window)
{
    return static_cast<uint32_t>(HandleToULong(window));
}

inline HWND WindowOf(uint32_t bits)
{
    return static_cast<HWND>(LongToHandle(static_cast<LONG>(bits)));
}
