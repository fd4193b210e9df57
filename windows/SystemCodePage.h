// The system code page (CP_ACP: GBK, code page 936, on a Chinese Windows)
// as PayloadText decodes it: MultiByteToWideChar with MB_ERR_INVALID_CHARS.
#pragma once
#include "common/PayloadText.h"

const CodePage& SystemCodePage();
