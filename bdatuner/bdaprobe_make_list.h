// bdaprobe --make-list SATELLITES_XML OUT_INI [--report]: the satellite list
// made from an Enigma2 satellites.xml, as the repository's list is made.
#pragma once

// The arguments read as UTF-16, so that any file name opens. Exit code 0
// with the list written (and its figures printed with --report); 2 with the
// reason on standard error and OUT_INI as it was.
int MakeListFromCommandLine();
