#include "velkctl/CommandOutcome.h"
#include "client/ProgramMessages.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

void PrintLine(const std::string& line)
{
    fputs(line.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

int CheckedResult(const char* what, int result)
{
    if (result >= 0)
        return kExitOk;
    PrintMessage("velkctl: %s refused: %s (%d)\n", what, VelkResultText(result), result);
    return kExitRefused;
}

bool StandardOutputWritten()
{
    if (fflush(stdout) == 0 && !ferror(stdout))
        return true;
    PrintMessage("velkctl: cannot write to standard output\n");
    return false;
}

int WriteDocument(const std::string& bytes, const std::string& outPath)
{
    const bool toStdout = outPath == "-";
    FILE* out = toStdout ? stdout : fopen(outPath.c_str(), "wb");
    if (out == NULL) {
        PrintMessage("velkctl: cannot create '%s': %s\n", outPath.c_str(), strerror(errno));
        return kExitIo;
    }
    bool written = fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    written = (toStdout ? fflush(out) == 0 : fclose(out) == 0) && written;
    if (!written) {
        PrintMessage("velkctl: cannot write '%s': %s\n", outPath.c_str(), strerror(errno));
        if (!toStdout)
            remove(outPath.c_str());
        return kExitIo;
    }
    return kExitOk;
}

void NoteIfBusEndsWithVelkctl(const BusBinding& bus, const char* whatIsLost)
{
    // Empty (0) from a library that cannot tell: then nothing is said.
    if (atoi(bus.vGetInfo(VELK_INFO_ATTACHED_PROCESSES)) == 1)
        PrintMessage("velkctl: no other client is attached: the bus ends when velkctl exits, and %s\n", whatIsLost);
}
