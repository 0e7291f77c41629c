// GET /api/pointing?lat=..&lon=..[&height=..][&date=..[&tz=..]][&position=..]:
// where to point the dish from the phone's place, as JSON, free of any
// platform. tz is the phone's offset from UTC in minutes east: date= is then
// the phone's own day, and the sun's time (given in UTC) the first within it.
// It reads only the request and what the program publishes, and stores
// nothing: the place never reaches the PC's disk.
#pragma once
#include <cstddef>
#include <string>

#include "phone/phone_feed.h"
#include "pointing/pointing.h"

struct PointingAnswer {
    int Status;        // 200, or 400 for bad or missing parameters
    std::string Json;  // the answer, or {"error": "..."}
};

// From the request target as sent (its query undecoded), the published
// snapshot (the measured list entry's position is the wanted satellite
// unless position= names one; the identity's position is the one found)
// and today's UTC day, used unless date= names one (null when the clock is
// past the days the computation takes: date= is then needed).
PointingAnswer AnswerPointing(const char* target, size_t length, const PhoneSnapshot& snapshot,
                              const PointingDay* today);
