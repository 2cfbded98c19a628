// The serial-port map: the environment's own lines as the system lists them.
#include "port_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

std::vector<int> PortMap() {
    int ports[kPortMapSize];
    int count = ReadPortMap(ports);
    return std::vector<int>(ports, ports + count);
}

TEST(LinePortMap, ListsTheVirtualLinesInOrder) {
    std::vector<int> ports = PortMap();
    for (int line : {2, 3, 4, 5}) EXPECT_NE(std::find(ports.begin(), ports.end(), line), ports.end()) << line;
    EXPECT_EQ(std::find(ports.begin(), ports.end(), 8), ports.end());  // COM9 does not exist
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end()));
}

}  // namespace
