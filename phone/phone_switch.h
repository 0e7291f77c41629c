// The switch that turns the phone display on: /phone, or /phone:PORT.
#pragma once
#include <cstdint>

constexpr uint16_t kDefaultPhonePort = 8099;

enum PhoneSwitch { PhoneOff, PhoneOn, PhoneBadPort };

// Reads the arguments after the program's own path in a command line as
// Windows hands it over (GetCommandLineA). The switch is matched without
// regard to case and may begin with '-' as well as '/'; other arguments are
// left alone. PhoneOn sets *port; PhoneBadPort is a /phone: followed by
// anything but a number from 1 to 65535.
PhoneSwitch ReadPhoneSwitch(const char* commandLine, uint16_t* port);
