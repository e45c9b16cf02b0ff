#include "SimFixture.h"

// Byte 0x81 is a lead byte on code page 932 and 0x5C (the backslash) one of
// its trail bytes; on code page 1252 both are single characters.

TEST_F(SimTest, ByteKindAtCountsTheLeadBytesBefore) {
    using K = ByteKind;
    const struct {
        bool dbcs;
        std::string text;
        std::size_t i;
        ByteKind kind;
        bool backslash; // IsBackslashAt
    } cases[] = {
        {true, "\x81\\\\", 1, K::Lead, false},      {true, "\x81\\\\", 2, K::Trail, false},
        {true, "\x81\\\\", 3, K::Single, true},     {true, "a\x81\x81\\", 4, K::Single, true},
        {true, "a\x81\x81\x81\\", 5, K::Trail, false}, {true, "a\x81", 2, K::Lead, false},
        {true, std::string("\x81\0", 2), 2, K::Single, false},
        {true, "\\", 0, K::Single, false},          {true, "\\", 2, K::Single, false},
        {false, "\x81\\", 1, K::Single, false},     {false, "\x81\\", 2, K::Single, true},
        {false, "C:\\", 2, K::Single, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " @" << c.i);
        SetUp();
        if (c.dbcs) UseCodePage932();
        EXPECT_EQ(ByteKindAt(c.text, c.i), c.kind);
        EXPECT_EQ(IsBackslashAt(c.text, c.i), c.backslash);
    }
}

TEST_F(SimTest, TrailingBackslashIsAddedOrDroppedOnce) {
    const struct {
        bool dbcs;
        std::string text, added, dropped;
    } cases[] = {
        {false, "", "\\", ""}, {false, "C:\\a", "C:\\a\\", "C:\\a"},
        {false, "C:\\a\\", "C:\\a\\", "C:\\a"},
        {false, "C:\\a\\\\", "C:\\a\\\\", "C:\\a\\"},
        {false, "C:\\\x81\\", "C:\\\x81\\", "C:\\\x81"},
        {true, "C:\\\x81\\", "C:\\\x81\\\\", "C:\\\x81\\"},
        {true, "C:\\\x81\\\\", "C:\\\x81\\\\", "C:\\\x81\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SetUp();
        if (c.dbcs) UseCodePage932();
        EXPECT_EQ(AddTrailingBackslash(c.text), c.added);
        EXPECT_EQ(DropTrailingBackslash(c.text), c.dropped);
    }
}

TEST_F(SimTest, LastSeparatorSkipsTrailBytes) {
    const struct {
        bool dbcs;
        std::string text;
        std::size_t pos;
        std::string directory;
    } cases[] = {
        {false, "C:\\A\\B", 5, "C:\\A\\"}, {false, "C:\\A\\B\\", 7, "C:\\A\\B\\"},
        {false, "C:A", 2, "C:"}, {false, "Outils", 0, ""}, {false, "", 0, ""},
        {false, "C:\\A\x81\\", 6, "C:\\A\x81\\"},
        {true, "C:\\A\x81\\", 3, "C:\\"}, {true, "C:\\A\x81:", 3, "C:\\"}, {true, "\x81\\", 0, ""},
        {true, "C:\\A\x81\x81\\", 7, "C:\\A\x81\x81\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SetUp();
        if (c.dbcs) UseCodePage932();
        EXPECT_EQ(LastSeparatorPos(c.text), c.pos);
        EXPECT_EQ(DirectoryPart(c.text), c.directory);
    }
}

TEST_F(SimTest, DrivePartOfDriveLettersAndNetworkPaths) {
    const struct {
        std::string text, drive;
    } cases[] = {
        {"C:\\Outils\\", "C:"}, {"c:", "c:"}, {"1:x", "1:"}, {"\x81:\\", "\x81:"}, {"C", ""},
        {"", ""}, {"Outils", ""}, {"\\Outils", ""}, {"C\\:", ""},
        {"\\\\serveur\\partage\\outils\\", "\\\\serveur\\partage"},
        {"\\\\serveur\\partage\\", "\\\\serveur\\partage"},
        {"\\\\serveur\\partage", "\\\\serveur\\partage"},
        {"\\\\serveur\\", "\\\\serveur"}, {"\\\\serveur", "\\\\serveur"}, {"\\\\", "\\\\"},
    };
    UseCodePage932(); // plays no part here
    for (const auto& c : cases) EXPECT_EQ(DrivePart(c.text), c.drive) << c.text;
}
