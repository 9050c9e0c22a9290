// The simulator's configuration texts.
#include "config.h"

#include <gtest/gtest.h>

namespace keyersim {
namespace {

TEST(ConfigTest, Ports) {
    std::vector<int> ports{1};
    EXPECT_TRUE(parsePorts("3,5-7", ports));
    EXPECT_EQ(ports, (std::vector<int>{3, 5, 6, 7}));
    EXPECT_TRUE(parsePorts("none", ports));
    EXPECT_TRUE(ports.empty());
    ports = {1};
    for (const char* bad : {"", "0", "7-5", "x", "1,,2", "300"}) {
        EXPECT_FALSE(parsePorts(bad, ports)) << bad;
        EXPECT_EQ(ports, std::vector<int>{1});
    }
}

TEST(ConfigTest, Buttons) {
    std::vector<ButtonPress> b;
    EXPECT_TRUE(parseButtons("1@1500,4@20", b));
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[1].button, 4);
    EXPECT_EQ(b[1].atMs, 20);
    for (const char* bad : {"5@10", "1", "1@", "@3", "1@-4"}) EXPECT_FALSE(parseButtons(bad, b)) << bad;
    EXPECT_EQ(b.size(), 2u);
}

TEST(ConfigTest, TimeScale) {
    double scale = 1;
    EXPECT_TRUE(parseTimeScale("37.5", scale));
    EXPECT_EQ(scale, 37.5);
    for (const char* bad : {"", "0", "0.001", "20000", "fast", "2x", "nan"}) {
        EXPECT_FALSE(parseTimeScale(bad, scale)) << bad;
        EXPECT_EQ(scale, 37.5);
    }
}

}  // namespace
}  // namespace keyersim
