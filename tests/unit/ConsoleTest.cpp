#include "SimFixture.h"

TEST_F(SimTest, AccentedLiteralIsWindows1252) {
    EXPECT_EQ(std::string("\xE9"), std::string(1, char(0xE9)));
    PrintConverted("cr\xE9\xE9");
    EXPECT_EQ(Output(), "cr\x82\x82\r\n");
}
