// A DBC file's messages as a signal file (docs/signals.md), and a list of
// what the signal file cannot hold, each at the DBC's line. Pure logic.
//
// Each BO_ becomes an array message, each SG_ a field; the codes follow
// the rule below. A message's multiplexor (M) becomes its selector (mux,
// its first field) and each mN a field with mux_value N. Left out, and
// listed: a multiplexed signal with no M, beyond the M's bits or itself a
// multiplexor (mNM), integer signals over 64 bits or 8 bytes, a float signal
// not on whole bytes, a signal that overlaps one before it (a "group"
// signal), a value description that is no enum name (free text such as
// "No Fault") or repeats one, a text with control characters; and what the
// reader left out (nodes, other attributes, signal groups, environment
// variables, extended multiplexing). A comment over several lines is
// joined into one, and listed; a signal's comment is kept as TOML comment
// lines above its field.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "signals/DbcCodeMap.h"
#include "signals/DbcFile.h"

// The code rule. The messages, sorted by their DBC identifier, take the
// array codes from the base up: the n-th (from 0) takes channel n mod 256
// and family n / 256, the family counted in the code's bits 16-22, which
// carry nothing on the bus. So 300 messages from 30000400 take 30000400 to
// 300004ff, then 30010400 to 3001042b.
const uint32_t kDbcCodeBase = 0x30000400;
// Why base cannot hold count messages; empty when it can.
std::string DbcCodeBaseProblem(uint32_t base, size_t count);
uint32_t DbcMessageCode(uint32_t base, size_t index);
// The other way: the n of a code the rule gives from base; false for a code it gives none.
bool DbcIndexOfCode(uint32_t base, uint32_t code, size_t* index);

struct DbcImport {
    std::string toml;                  // the signal file
    std::vector<std::string> report;   // "DBC:LINE: what", in the DBC's order
    size_t messages = 0, signals = 0;
};

// dbcName: the DBC's name in the report. A message the map (when given)
// names takes its code there; the others take the rule's codes in turn,
// past those the map took. False with *error when the code base cannot
// take the messages, or when the text made would not load (*error then
// holds the loader's first error).
bool ImportDbc(const DbcFile& dbc, const std::string& dbcName, uint32_t codeBase, DbcImport* out, std::string* error,
               const DbcCodeMap* map = nullptr);
