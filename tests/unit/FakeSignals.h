// A signal table for the formats' tests: two signals of value messages and
// a string message.
#pragma once
#include "formats/Predicate.h"

class FakeSignals : public SignalResolver {
public:
    // motor.speed: code 20001001, a quarter of the data word.
    // pump.state: code 20001002, the data word; RUNNING 2, FAULT 3.
    // rig.text: code 30000201.
    bool ResolveSignal(const std::string& name, uint32_t* code, std::string* error) const override
    {
        if (name == "motor.speed" || name == "pump.state" || name == "rig.text") {
            *code = name == "motor.speed" ? 0x20001001 : name == "pump.state" ? 0x20001002 : 0x30000201;
            return true;
        }
        *error = "no signal '" + name + "'";
        return false;
    }
    bool ResolveEnum(const std::string& signal, const std::string& enumName, double* value,
                     std::string* error) const override
    {
        if (signal == "pump.state" && (enumName == "RUNNING" || enumName == "FAULT")) {
            *value = enumName == "RUNNING" ? 2 : 3;
            return true;
        }
        *error = "no '" + enumName + "' in " + signal;
        return false;
    }
    bool ExtractSignal(const std::string& signal, const RecordedMessage& message, double* value) const override
    {
        if (message.kind != kValueMessage || IsTextSignal(signal))
            return false;
        *value = signal == "motor.speed" ? message.value / 4.0 : message.value;
        return true;
    }
    bool EncodeSignal(const std::string&, double, RecordedMessage*, std::string* error) const override
    {
        *error = "not in these tests";
        return false;
    }
    bool IsTextSignal(const std::string& signal) const override { return signal == "rig.text"; }
    // rig.text: the payload's bytes as they are.
    bool ExtractText(const std::string& signal, const RecordedMessage& message, std::string* text) const override
    {
        if (!IsTextSignal(signal) || message.kind != kStringPayload)
            return false;
        *text = message.bytes;
        return true;
    }
    // Both take every value their data word holds: no comparison is out of reach.
    bool ComparisonCanChange(const Predicate&, std::string*) const override { return true; }
};
