// Sends named by the signal file: velkctl post SIGNAL VALUE, send-str
// MESSAGE TEXT and send-arr MESSAGE FIELD=VALUE... Pure logic; texts in UTF-8, errors naming what
// was meant.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "signals/SignalCodec.h"
#include "signals/SignalDatabase.h"

// A value message's signal and its value (EncodeSignalText's forms) as the
// code and data word to post.
bool EncodeNamedValue(const SignalDatabase& database, const std::string& name, const std::string& value,
                      uint32_t* code, int32_t* word, std::string* error);

// An array message by name and its payload (BuildArrayPayload).
bool EncodeNamedArray(const SignalDatabase& database, const std::string& name,
                      const std::vector<std::string>& assignments, const std::string& base, TextEncoder gbk,
                      uint32_t* code, std::string* payload, std::string* error);

// A string message by name and its text in the message's encoding: gbk
// through the encoder (without one, ASCII only), utf-8 as it is.
bool EncodeNamedText(const SignalDatabase& database, const std::string& name, const std::string& text,
                     TextEncoder gbk, uint32_t* code, std::string* payload, std::string* error);

// The message named, if it is of kind; else why not.
const SignalMessage* FindMessageToSend(const SignalDatabase& database, const std::string& name, MessageKind kind,
                                       std::string* error);
