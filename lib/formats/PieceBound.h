// One rule for cutting a stream of lines into pieces held to a size and a
// time, whichever comes first: the gzip members of a compressed recording
// (formats/GzipMembers.h) and the parts of a split one (--split,
// formats/RecordParts.h). Pure logic.
#pragma once
#include <stdint.h>

struct PieceBound {
    uint64_t bytes = 0;    // 0: no bound on the size
    uint64_t micros = 0;   // 0: no bound on the time
};

// Whether the next lines (lineBytes, at micros) start a new piece after one
// holding heldBytes since firstMicros: when they would take it past bytes,
// or micros is the bound or more past its first. A piece holding nothing
// takes them, whatever their size.
bool StartsNewPiece(const PieceBound& bound, uint64_t heldBytes, uint64_t firstMicros, uint64_t lineBytes,
                    uint64_t micros);
