// One libFuzzer program per target: FUZZ_TARGET names the function.
#include <stdio.h>
#include <stdlib.h>

#include "tests/fuzz/FuzzTargets.h"

void FuzzPropertyBroken(const char* what, const char* file, int line)
{
    fprintf(stderr, "property broken: %s (%s:%d)\n", what, file, line);
    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_TARGET(data, size);
    return 0;
}
