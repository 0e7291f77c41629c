#include "measure/identity_trust.h"

bool IdentityAnswerWanted(const IdentityTrust& trust, bool locked) {
    return trust.Waiting || (trust.Locked && !locked);
}

bool BelieveIdentity(IdentityTrust* trust, bool locked, IdentityAnswer answer) {
    if (trust->Locked && !locked) trust->Waiting = true;  // the lock went
    trust->Locked = locked;
    if (answer == AnswerNothingKnown) trust->Waiting = false;
    return locked && answer == AnswerKnown && !trust->Waiting;
}
