// When the program believes a tuner component's identity: never across a
// new tune or a lost lock until the component has said it knows nothing.
#include <gtest/gtest.h>

#include "measure/identity_trust.h"

namespace {

TEST(IdentityTrust, NothingIsBelievedBeforeTheComponentHasLetGoOfTheLastTune) {
    IdentityTrust trust;
    EXPECT_TRUE(IdentityAnswerWanted(trust, false));  // asked at once after the tune
    // Tables kept from the transponder tuned before: never shown.
    EXPECT_FALSE(BelieveIdentity(&trust, true, AnswerKnown));
    EXPECT_FALSE(BelieveIdentity(&trust, true, AnswerFailed));  // an error lets go of nothing
    EXPECT_FALSE(BelieveIdentity(&trust, true, AnswerKnown));
    EXPECT_FALSE(BelieveIdentity(&trust, true, AnswerNothingKnown));
    EXPECT_TRUE(BelieveIdentity(&trust, true, AnswerKnown));
    EXPECT_FALSE(IdentityAnswerWanted(trust, true));  // the period decides from now on
    EXPECT_FALSE(BelieveIdentity(&trust, true, AnswerNotAsked));  // no answer is no claim
    EXPECT_TRUE(BelieveIdentity(&trust, true, AnswerKnown));
}

TEST(IdentityTrust, ALostLockEndsTheClaimUntilTheComponentSaysItKnowsNothing) {
    IdentityTrust trust;
    BelieveIdentity(&trust, true, AnswerNothingKnown);
    ASSERT_TRUE(BelieveIdentity(&trust, true, AnswerKnown));
    // The pass that finds the lock gone asks at once.
    EXPECT_TRUE(IdentityAnswerWanted(trust, false));
    // No lock: nothing is claimed, whatever the component says.
    EXPECT_FALSE(BelieveIdentity(&trust, false, AnswerKnown));
    EXPECT_FALSE(BelieveIdentity(&trust, false, AnswerNotAsked));
    // The lock is back, but the component still says what it said before.
    EXPECT_FALSE(BelieveIdentity(&trust, true, AnswerKnown));
    EXPECT_FALSE(BelieveIdentity(&trust, true, AnswerKnown));
    // It lets go, then reads the stream that arrives now.
    EXPECT_FALSE(BelieveIdentity(&trust, true, AnswerNothingKnown));
    EXPECT_TRUE(BelieveIdentity(&trust, true, AnswerKnown));
}

TEST(IdentityTrust, LettingGoWhileTheLockIsAwayCountsOnceItReturns) {
    IdentityTrust trust;
    BelieveIdentity(&trust, true, AnswerNothingKnown);
    ASSERT_TRUE(BelieveIdentity(&trust, true, AnswerKnown));
    EXPECT_FALSE(BelieveIdentity(&trust, false, AnswerNothingKnown));
    EXPECT_FALSE(BelieveIdentity(&trust, false, AnswerNotAsked));  // still no lock: still nothing
    EXPECT_TRUE(BelieveIdentity(&trust, true, AnswerKnown));
    // A second loss needs a second letting go.
    EXPECT_FALSE(BelieveIdentity(&trust, false, AnswerNotAsked));
    EXPECT_FALSE(BelieveIdentity(&trust, true, AnswerKnown));
}

}  // namespace
