// The signal file behind the predicates, posts and subscriptions that name
// signals (formats/Predicate.h's SignalResolver). Pure logic.
#pragma once
#include <string>
#include <vector>

#include "formats/Predicate.h"
#include "signals/SignalCodec.h"
#include "signals/SignalDatabase.h"

class DatabaseResolver : public SignalResolver {
public:
    // Both must outlive the resolver.
    DatabaseResolver(const SignalDatabase& database, const SignalCodePages& pages)
        : database_(database), pages_(pages) {}

    bool ResolveSignal(const std::string& name, uint32_t* code, std::string* error) const override;
    // An enum name's raw value, in physical units as ExtractSignal gives them.
    bool ResolveEnum(const std::string& signal, const std::string& enumName, double* value,
                     std::string* error) const override;
    // False for a text signal too: it has no number.
    bool ExtractSignal(const std::string& signal, const RecordedMessage& message, double* value) const override;
    // A value message's word, or an array whose other fields are zero.
    bool EncodeSignal(const std::string& signal, double value, RecordedMessage* message,
                      std::string* error) const override;
    bool IsTextSignal(const std::string& signal) const override;
    // Decoded from the message's encoding, control characters escaped
    // (DecodedSignal::text).
    bool ExtractText(const std::string& signal, const RecordedMessage& message, std::string* text) const override;
    bool ComparisonCanChange(const Predicate& predicate, std::string* why) const override;

    // The message's signals (none for a code the file does not describe),
    // decoded once for as many predicates and answers as ask about the same
    // message in a row.
    const std::vector<DecodedSignal>& Decoded(const RecordedMessage& message) const;

    const SignalDatabase& Database() const { return database_; }

private:
    SignalRef Find(const std::string& name, std::string* error) const;
    // The signal decoded from a message of its code; null when the message
    // is of another code or too short for it.
    const DecodedSignal* DecodedSignalOf(const std::string& signal, const RecordedMessage& message) const;

    const SignalDatabase& database_;
    SignalCodePages pages_;
    // The last message decoded, and its signals.
    mutable RecordedMessage decodedMessage_;
    mutable std::vector<DecodedSignal> decoded_;
    mutable bool haveDecoded_ = false;
};

// Whether a comparison on an integer signal (a bool, an enum, a scaled
// count) can change with the signal: false with why when its VALUE lies
// where the signal's raw bits never reach, so that it never holds
// ("pump.status.valve eq 2" on a 1-bit bool) or, for ne, always does.
// True for every other predicate.
bool ComparisonWithinRange(const Predicate& predicate, const SignalDatabase& database, std::string* why);
