// bdaprobe --identify FILE: who a transport stream recording says it comes
// from, as UTF-8 lines on standard output.
#pragma once

// Returns the exit code (bdatuner/identity_report.h).
int IdentifyRecordingFile(const wchar_t* path);
// The file named after --identify on the command line, read as UTF-16 so
// that any file name opens; its exit code.
int IdentifyFromCommandLine();
