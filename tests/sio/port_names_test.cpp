// Ports by name: the index of a name, the driver's ports in order, and the
// device path of each; what the device-setup calls tell is the port list's
// test (tests/tools).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sio.h"
#include "virtual_serial_driver.h"

namespace {

struct NameCase {
    const char* name;
    int index;
};

const NameCase kNames[] = {
    {"COM14", 13},       {"com14", 13},         {"\\\\.\\COM14", 13},      {"Com1", 0},
    {"COM256", 255},     {"COM001", 0},         {"COM0", IE_BADID},        {"COM257", IE_BADID},
    {"COM", IE_BADID},   {"COM1234", IE_BADID}, {"COM1:", IE_BADID},       {"LPT1", IE_BADID},
    {" COM1", IE_BADID}, {"\\\\.\\", IE_BADID}, {"\\\\?\\COM1", IE_BADID}, {"", IE_BADID},
};

TEST(PortNames, IndexOfAName) {
    for (const NameCase& c : kNames) EXPECT_EQ(SioPortIndex(c.name), c.index) << c.name;
    EXPECT_EQ(SioPortIndex(nullptr), IE_BADID);
}

TEST(PortNames, NextPortVisitsTheDriversPortsInOrder) {
    VirtualSerialDriver driver;
    std::vector<int> ports;
    for (int port = SioNextPort(-1); port >= 0; port = SioNextPort(port)) ports.push_back(port);
    EXPECT_EQ(ports, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 254, 255}));
    EXPECT_EQ(SioNextPort(255), SIO_NO_DATA);
    EXPECT_EQ(SioNextPort(-2), IE_BADID);
    EXPECT_EQ(SioNextPort(256), IE_BADID);

    char path[64] = "untouched";
    EXPECT_EQ(SioPortInfo(8, 'P', path, sizeof path), SIO_NO_DATA);  // COM9 is missing
    EXPECT_STREQ(path, "untouched");
    EXPECT_EQ(SioPortInfo(254, 'P', path, sizeof path), 24);
    EXPECT_STREQ(path, "\\Device\\VirtualSerial254");
    EXPECT_EQ(SioPortInfo(2, 'X', path, sizeof path), SIO_RANGE);
    EXPECT_EQ(SioPortInfo(2, 'P', path, 0), SIO_RANGE);
    EXPECT_EQ(SioPortInfo(256, 'P', path, sizeof path), IE_BADID);
}

}  // namespace
