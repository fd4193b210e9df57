// A signal file's array messages as a DBC, for the tools of the CAN world
// (cantools, canmatrix, CANdb++) to decode a recording's arrays. Pure logic.
//
// Each array message becomes a BO_, each integer, bool or float field an
// SG_ (placed as DBC counts bits: signals/DbcFile.h), its enum a VAL_, the
// message's comment a CM_, its period GenMsgCycleTime, a field's init
// GenSigStartValue (raw). The identifier is the map's for the code, else
// the code's place in the rule of the code base (signals/DbcImport.h): n,
// a standard identifier up to 7FF, an extended one above. Left out, and
// listed: value and string messages, str fields, counters' and checksums'
// meaning (the fields stay), a message whose code has no identifier or
// whose fields reach past the 64 bytes of a CAN FD frame (a message is as
// long as its fields reach, 8 bytes at least). Names that are
// no C identifier have their other characters as _.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "signals/DbcCodeMap.h"
#include "signals/SignalDatabase.h"

struct DbcExport {
    std::string text;                  // the DBC, in UTF-8
    std::vector<std::string> report;   // "FILE:LINE: what", in the signal file's order
    size_t messages = 0, signals = 0;
};

// fileName: the signal file's name in the report; map may be null.
void ExportDbc(const SignalDatabase& database, const std::string& fileName, uint32_t codeBase, const DbcCodeMap* map,
               DbcExport* out);
