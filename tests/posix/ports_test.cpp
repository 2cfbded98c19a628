// The port list from a made-up device tree (never the machine's; nothing but
// files under it may be opened), and device paths bound to COM names.
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "posix_calls.h"
#include "pty_pair.h"
#include "sio.h"

#include <gtest/gtest.h>

namespace {

using sio::posix::kRealCalls;
using sio::posix::os;

std::string treeRoot;
int foreignOpens = 0;

int TreeOnlyOpen(const char* path, int flags) {
    if (std::string(path).rfind(treeRoot + "/", 0) != 0) ++foreignOpens;
    return kRealCalls.open(path, flags);
}

class PortList : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/sio-tree-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        treeRoot = folder;
        // An adapter: tty -> usb-serial port (its driver) -> interface -> USB device with ids.
        const std::string usb = "devices/pci0/usb1/1-2";
        File(usb + "/idVendor", "0403\n");
        File(usb + "/idProduct", "6001\n");
        File(usb + "/product", "FT232R USB UART\n");
        Link(usb + "/1-2:1.0/ttyUSB0/driver", "../../../../../bus/usb-serial/drivers/ftdi_sio");
        Link("class/tty/ttyUSB0/device", "../../../" + usb + "/1-2:1.0/ttyUSB0");
        // A UART on the board, behind the serial core's "port" layer.
        Link("devices/pnp0/00:01/driver", "../../../bus/pnp/drivers/serial");
        Link("devices/pnp0/00:01/00:01:0/00:01:0.0/driver", "../../../../../bus/serial-base/drivers/port");
        Link("class/tty/ttyS0/device", "../../../devices/pnp0/00:01/00:01:0/00:01:0.0");
        File("class/tty/ttyS0/type", "4\n");
        // A slot without hardware, and a virtual terminal: not listed.
        Link("class/tty/ttyS1/device", "../../../devices/platform/serial8250");
        File("devices/platform/serial8250/uevent", "");
        File("class/tty/ttyS1/type", "0\n");
        File("class/tty/tty0/dev", "4:0\n");
        os.sysfs = treeRoot.c_str();
        os.open = TreeOnlyOpen;
        setenv("SIO_PORT_MAP", "COM5=/tmp/elsewhere", 1);
    }
    void TearDown() override {
        os = kRealCalls;
        unsetenv("SIO_PORT_MAP");
        EXPECT_EQ(system(("rm -rf " + treeRoot).c_str()), 0);
    }
    static void Folder(const std::string& path) {
        EXPECT_EQ(system(("mkdir -p '" + treeRoot + "/" + path + "'").c_str()), 0);
    }
    static void File(const std::string& path, const char* text) {
        Folder(path.substr(0, path.rfind('/')));
        std::ofstream(treeRoot + "/" + path) << text;
    }
    static void Link(const std::string& path, const std::string& target) {
        Folder(path.substr(0, path.rfind('/')));
        const std::string full = treeRoot + "/" + path;
        Folder(full.substr(0, full.rfind('/')).substr(treeRoot.size() + 1) + "/" + target);
        EXPECT_EQ(symlink(target.c_str(), full.c_str()), 0);
    }
};

TEST_F(PortList, SerialDevicesAndMappedNamesAreListedWithTheirDevices) {
    EXPECT_EQ(SioNextPort(-1), 0);  // ttyS0 sorts before ttyUSB0
    EXPECT_EQ(SioNextPort(0), 1);
    EXPECT_EQ(SioNextPort(1), 4);
    EXPECT_EQ(SioNextPort(4), SIO_NO_DATA);
    const struct {
        int port;
        char letter;
        const char* text;
    } cases[] = {
        {0, 'N', "serial (ttyS0)"},
        {0, 'U', ""},
        {0, 'P', "/dev/ttyS0"},
        {1, 'N', "FT232R USB UART (ttyUSB0)"},
        {1, 'U', "0403:6001"},
        {1, 'P', "/dev/ttyUSB0"},
        {4, 'N', ""},
        {4, 'P', "/tmp/elsewhere"},
    };
    for (const auto& c : cases) {
        char text[256] = "?";
        EXPECT_EQ(SioPortInfo(c.port, c.letter, text, sizeof text), static_cast<int>(strlen(c.text)))
            << c.port << c.letter;
        EXPECT_STREQ(text, c.text) << c.port << c.letter;
    }
    char text[8];
    EXPECT_EQ(SioPortInfo(2, 'P', text, sizeof text), SIO_NO_DATA);
    EXPECT_EQ(foreignOpens, 0);
}

TEST(DevicePath, BindsToAFreeNameForTheProcess) {
    PtyPair pair;
    ASSERT_TRUE(pair.Ready());
    EXPECT_EQ(SioPortIndex(pair.PathA().c_str()), PtyPair::kPortA);  // the map's name for it
    char device[PATH_MAX];
    ASSERT_NE(realpath(pair.PathA().c_str(), device), nullptr);
    const int port = SioPortIndex(device);
    ASSERT_GE(port, 0);
    EXPECT_NE(port, PtyPair::kPortA);
    EXPECT_NE(port, PtyPair::kPortB);
    EXPECT_EQ(SioPortIndex(device), port);
    EXPECT_EQ(SioPortIndex("/tmp"), IE_BADID);  // not a terminal device
    EXPECT_EQ(SioPortIndex("/nonexistent/tty"), IE_BADID);
    EXPECT_EQ(SioPortIndex("com3"), 2);

    ASSERT_EQ(SioOpenPort(port, 1024, 1024), 0);
    ASSERT_EQ(SioOpenPort(PtyPair::kPortB, 1024, 1024), 0);
    EXPECT_EQ(SioWriteBlock(port, "path", 4), 4);
    char buffer[4];
    EXPECT_EQ(SioReadTimed(PtyPair::kPortB, buffer, 4, 2000), 4);
    EXPECT_EQ(std::string(buffer, 4), "path");
    SioClosePort(port);
    SioClosePort(PtyPair::kPortB);
}

}  // namespace
