// Where the icon goes while the main window is minimised. Pure logic.
#pragma once

// Offset of an icon centred in a client extent: (client - icon + 1) / 2 in
// signed integers, the division truncating toward zero, so a 32-pixel icon in
// a 0-pixel client area sits at -15, not -16.
inline int CentredIconOffset(int clientExtent, int iconExtent)
{
    return (clientExtent - iconExtent + 1) / 2;
}
