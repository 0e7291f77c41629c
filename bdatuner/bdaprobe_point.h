// bdaprobe --point LATITUDE LONGITUDE POSITION [--height METRES] [--date DATE]
// [--found POSITION]: where to point the dish, as lines on standard output.
#pragma once

// The arguments after --point; the exit code (pointing/pointing_report.h).
int PointFromCommandLine(int count, const char* const* arguments);
