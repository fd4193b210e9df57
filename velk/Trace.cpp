#include "velk/Trace.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <windows.h>

uint32_t g_traceChannels;

void StartTrace()
{
    char text[256];
    DWORD length = GetEnvironmentVariableA("VELK_TRACE", text, sizeof text);
    g_traceChannels = length > 0 && length < sizeof text ? ParseTraceChannels(text) : 0;
}

void TraceLine(const char* format, ...)
{
    char line[512] = "velk: ";
    const size_t head = 6;
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line + head, sizeof line - head - 1, format, arguments);
    va_end(arguments);
    size_t length = strlen(line);
    line[length] = '\n';
    line[length + 1] = '\0';
    OutputDebugStringA(line);
}

const char* TraceText(const char* text, char (&buffer)[256])
{
    if (text == NULL)
        return "null";
    const size_t kShown = 48;
    size_t out = 0;
    buffer[out++] = '"';
    size_t i = 0;
    for (; text[i] != '\0' && i < kShown; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\')
            out += static_cast<size_t>(snprintf(buffer + out, sizeof buffer - out, "\\x%02X", c));
        else
            buffer[out++] = static_cast<char>(c);
    }
    buffer[out++] = '"';
    if (text[i] != '\0') {
        memcpy(buffer + out, "...", 3);
        out += 3;
    }
    buffer[out] = '\0';
    return buffer;
}
