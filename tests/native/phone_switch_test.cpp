// The /phone switch as it arrives on the command line.
#include <gtest/gtest.h>

#include "phone/phone_switch.h"

namespace {
struct Reading {
    PhoneSwitch Switch;
    uint16_t Port;
};
Reading Read(const char* commandLine) {
    uint16_t port = 1234;
    const PhoneSwitch result = ReadPhoneSwitch(commandLine, &port);
    return {result, port};
}
}  // namespace

TEST(PhoneSwitch, OffWithoutTheSwitchEvenWhenThePathLooksLikeIt) {
    EXPECT_EQ(Read("\"C:\\Program Files\\Zentrik\\Zentrik.exe\"").Switch, PhoneOff);
    EXPECT_EQ(Read("\"C:\\phone\\Zentrik.exe\" /other").Switch, PhoneOff);
    EXPECT_EQ(Read("\"C:\\x\\ /phone\\Zentrik.exe\"").Switch, PhoneOff);
    EXPECT_EQ(Read("C:\\x\\/phone").Switch, PhoneOff);  // unquoted path, no argument
    EXPECT_EQ(Read("Zentrik.exe /phones /phonebook -ph").Switch, PhoneOff);
    EXPECT_EQ(Read("").Switch, PhoneOff);
    EXPECT_EQ(Read(nullptr).Switch, PhoneOff);
}

TEST(PhoneSwitch, OnWithTheDefaultPortOrTheOneGiven) {
    EXPECT_EQ(Read("\"C:\\Zentrik\\Zentrik.exe\" /phone").Switch, PhoneOn);
    EXPECT_EQ(Read("\"C:\\Zentrik\\Zentrik.exe\" /phone").Port, kDefaultPhonePort);
    EXPECT_EQ(Read("Zentrik.exe   /PHONE").Port, 8099);
    EXPECT_EQ(Read("Zentrik.exe\t-Phone").Port, 8099);
    EXPECT_EQ(Read("Zentrik.exe /x /phone:8100 /y").Port, 8100);
    EXPECT_EQ(Read("Zentrik.exe \"/phone:8101\"").Port, 8101);
    EXPECT_EQ(Read("Zentrik.exe /phone:1").Port, 1);
    EXPECT_EQ(Read("Zentrik.exe /phone:65535").Port, 65535);
    EXPECT_EQ(Read("Zentrik.exe /phone:00080").Port, 80);
    // The first switch counts.
    EXPECT_EQ(Read("Zentrik.exe /phone:9000 /phone:abc").Port, 9000);
}

TEST(PhoneSwitch, APortThatIsNoPortIsReportedNotGuessed) {
    for (const char* line : {"Zentrik.exe /phone:", "Zentrik.exe /phone:0", "Zentrik.exe /phone:65536",
                             "Zentrik.exe /phone:99999", "Zentrik.exe /phone:-1", "Zentrik.exe /phone:80a",
                             "Zentrik.exe /phone:abc", "Zentrik.exe /phone: 80",
                             "Zentrik.exe /phone:000000000000000000000000000000000000008099"}) {
        const Reading reading = Read(line);
        EXPECT_EQ(reading.Switch, PhoneBadPort) << line;
        EXPECT_EQ(reading.Port, 1234) << line;  // untouched
    }
}
