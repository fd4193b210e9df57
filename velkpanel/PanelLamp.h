// A lamp: on while a condition on the bus holds, in the expect grammar
// (formats/Predicate.h): "pump.status.valve eq open", "motor.speed > 2800".
// Pure logic.
#pragma once
#include "formats/Predicate.h"
#include "formats/RecordLine.h"

class PanelLamp {
public:
    // signals must outlive the lamp.
    PanelLamp(const Predicate& condition, const SignalResolver* signals)
        : condition_(condition), evaluator_(condition, signals) {}

    // Each message of the condition's code turns the lamp on or off (a
    // message too short to carry the signal: off); others leave it. True
    // when the lamp changed.
    bool Receive(const RecordedMessage& message);
    bool On() const { return on_; }

private:
    Predicate condition_;
    PredicateEvaluator evaluator_;
    bool on_ = false;
};
