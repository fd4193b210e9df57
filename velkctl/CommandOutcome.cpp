#include "velkctl/CommandOutcome.h"

#include <stdio.h>
#include <stdlib.h>

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
    fprintf(stderr, "velkctl: %s refused: %s (%d)\n", what, VelkResultText(result), result);
    return kExitRefused;
}

bool StandardOutputWritten()
{
    if (fflush(stdout) == 0 && !ferror(stdout))
        return true;
    fprintf(stderr, "velkctl: cannot write to standard output\n");
    return false;
}

void NoteIfBusEndsWithVelkctl(const BusBinding& bus, const char* whatIsLost)
{
    // Empty (0) from a library that cannot tell: then nothing is said.
    if (atoi(bus.vGetInfo(VELK_INFO_ATTACHED_PROCESSES)) == 1)
        fprintf(stderr, "velkctl: no other client is attached: the bus ends when velkctl exits, and %s\n", whatIsLost);
}
