// A map file: which bus code each CAN identifier takes, where the rule of
// the code base (signals/DbcImport.h) is not wanted. One pair a line,
// "IDENTIFIER CODE", the identifier as a DBC's BO_ writes it (decimal, or
// 0x-hex; bit 31 set for a 29-bit identifier), the code an array code in
// hex; blank lines and lines from # are skipped. Both import and export
// read it. Pure logic.
#pragma once
#include <stdint.h>

#include <string>
#include <unordered_map>
#include <vector>

struct DbcCodeMap {
    std::unordered_map<uint32_t, uint32_t> codeOfId;
    std::unordered_map<uint32_t, uint32_t> idOfCode;
};

// False with *errors as "FILE:LINE:COLUMN: what" (the first kMaxDbcErrors).
bool ReadDbcCodeMap(const std::string& text, const std::string& fileName, DbcCodeMap* map, std::vector<std::string>* errors);
