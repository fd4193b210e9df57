// The signal file: TOML, one [[message]] table per code, read strictly so
// that no mistake in it passes unseen. Pure logic: the caller reads the
// file and prints the errors.
//
//   [[message]]
//   code = "20001001"          # hex, as velkctl prints codes
//   name = "motor.speed"       # A-Z a-z 0-9 _ and dots
//   comment = "shaft speed"    # optional
//   period = "100ms"           # optional: the expected cycle (velkctl's durations)
//   unit = "rpm"               # value codes: unit scale offset min max signed enum
//   scale = 0.25
//
//   [[message]]                # string codes: encoding = "gbk" (the default) or "utf-8"
//   [[message]]                # array codes: one [[message.field]] per field
//   [[message.field]]          # name byte bit bits type endian length encoding,
//                              # unit scale offset min max enum
//
// The code's kind (ClassifyCode) decides which keys a message may have, a
// field's type which keys the field may have; where the bits sit:
// signals/SignalDatabase.h. enum = { 0 = "STOPPED", 2 = "RUNNING" } keys
// raw values (decimal, or 0x-hex) to names.
#pragma once
#include <string>
#include <vector>

#include "signals/SignalDatabase.h"

enum {
    kMaxSignalErrors = 50,       // errors reported, at most; then one line says more were left out
    kMaxSignalFields = 4096,     // fields of one array message
    kMaxMuxValues = 256,         // selector values in one field's mux_value list
    kMaxSignalFileBytes = 64 << 20,
};

// text: the file's contents, fileName: its name in the messages. On success
// *database holds the file. Otherwise *database is untouched and *errors
// holds one "FILE:LINE:COLUMN: what is wrong" a mistake, in the file's
// order. Never throws.
bool LoadSignalFile(const std::string& text, const std::string& fileName, SignalDatabase* database,
                    std::vector<std::string>* errors);

// Message and field names: A-Z a-z 0-9 _ in parts joined by single dots.
bool IsSignalName(const std::string& name);
