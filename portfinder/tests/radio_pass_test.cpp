// The radio pass with a table of the test's own: roles by interface, a serial-string glob
// that a plain cable of the same chip doesn't match, a composite radio's own sound card
// on an interface other than 0.
#include "platform/linux/posix_files.h"
#include "radios/radio_blocks.h"
#include "radios/radio_pass.h"
#include "recorded_system.h"

namespace portiq::testing {
namespace {

const RadioRow kTable[] = {
    {0x0403, 0x6010, nullptr, "RAD*", "Maker Dual", {{0, "CAT"}}},
    {0x1234, 0x5678, "Transceiver ?", nullptr, "Maker Composite", {{0, "CAT"}, {2, nullptr}}},
};

using RadioPassTest = RecordedSystemTest;

TEST_F(RadioPassTest, NamesRadiosByTheTableWithTheirRolesAndFindings) {
    // 1-1 a dual-UART radio (CAT on interface 0 only); 1-2 the same chip as a plain cable;
    // 1-3 a composite radio: two CDC-ACM ports and its own sound card on interface 4.
    linuxsys::PosixFiles files;
    Run(files, Lay("bus 1 0000:00:14.0 maxchild=4\n"
                   "usb 1-1 descriptors=@ft2232 product=\"Dual\" serial=RAD0042 bConfigurationValue=1\n"
                   "iface 1-1:1.0 @driver=ftdi_sio +ttyUSB0/tty/ttyUSB0\niface 1-1:1.1 @driver=ftdi_sio +ttyUSB1/tty/ttyUSB1\n"
                   "usb 1-2 descriptors=@ft2232 product=\"Dual\" serial=FT0042 bConfigurationValue=1\n"
                   "iface 1-2:1.0 @driver=ftdi_sio +ttyUSB2/tty/ttyUSB2\n"
                   "usb 1-3 descriptors=@acm product=\"Transceiver X\" serial=7 bConfigurationValue=1\n"
                   "iface 1-3:1.0 @driver=cdc_acm +tty/ttyACM0\niface 1-3:1.2 @driver=cdc_acm +tty/ttyACM1\n"
                   "iface 1-3:1.4 @driver=snd-usb-audio +sound/card1\nproc card1 id=Radio +pcm0c\n"));
    FindRadios(kTable, std::size(kTable));
    EXPECT_EQ(RadioReportText(),
              "Found: Maker Dual\n/dev/ttyUSB0\tMaker Dual CAT port\n/dev/ttyUSB1\tMaker Dual port\n\n"
              "Found: Maker Composite\nAudio\thw:CARD=Radio / hw:1\n/dev/ttyACM0\tMaker Composite CAT port\n"
              "/dev/ttyACM1\tMaker Composite port\n\n");
    ASSERT_EQ(g_radioBlocks.size(), 2u);
    EXPECT_EQ(g_radioBlocks[1].ports[1].nInterface, 2);
}

TEST(RadioGlobTest, MatchesAsTheTableSays) {
    EXPECT_TRUE(MatchesRadioGlob(nullptr, ""));
    EXPECT_TRUE(MatchesRadioGlob("IC-9700 * A", "IC-9700 12001234 A"));
    EXPECT_FALSE(MatchesRadioGlob("IC-9700 * A", "IC-9700 12001234 B"));
    EXPECT_TRUE(MatchesRadioGlob("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(MatchesRadioGlob("a?c", "ac"));
    EXPECT_FALSE(MatchesRadioGlob("RAD*", "rad1"));  // case-sensitive
    EXPECT_TRUE(MatchesRadioGlob("*", ""));
}

}  // namespace
}  // namespace portiq::testing
