// When the program believes what a tuner component says about the received
// satellite. Free of windows.h, so the rule is tested natively.
//
// A component that kept the tables it read across a new tune or a lost lock
// would have the program claim the old satellite for whatever the dish sees
// now: the worst thing an alignment aid can say. So an answer counts only
// while the lock holds, and only once the component has said that it knows
// nothing (S_FALSE) since the measurement started and since the lock last
// went. The poller asks at exactly those two moments (after the tune, before
// its first lock read; on the pass that finds the lock gone) and then on
// every pass until the component lets go. The bridge drops its tables at
// every tune and in the very statistics read that finds the lock gone, so it
// says so at once; asked later, it may already hold the next stream's.
#pragma once
#include <cstdint>

// What the component answered this pass, if it was asked.
enum IdentityAnswer : uint8_t {
    AnswerNotAsked = 0,
    AnswerKnown = 1,        // S_OK with a position
    AnswerNothingKnown = 2, // S_FALSE: the component holds no position
    AnswerFailed = 3,       // an error, or S_OK without a usable position
};

struct IdentityTrust {
    bool Waiting = true;  // for the component to say it knows nothing
    bool Locked = false;  // the lock as the pass before saw it
};

// Whether this pass must ask the component, whatever the period: the lock
// has just gone, or the component has yet to let go.
bool IdentityAnswerWanted(const IdentityTrust& trust, bool locked);
// One pass of the poller: the lock it read and the component's answer.
// True when a known answer may be shown.
bool BelieveIdentity(IdentityTrust* trust, bool locked, IdentityAnswer answer);
