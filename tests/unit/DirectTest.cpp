// What no whole run reaches: the folder checks refuse such names first, and
// the driver picks the add flow by the type it has just read.
#include "folder/FolderCreation.h"
#include "front/Console.h"
#include "front/ProgramState.h"
#include "pathvar/AddToVariable.h"
#include "pathvar/VariableLocation.h"
#include "platform/sim/SimWindows.h"

#include <gtest/gtest.h>

// Windows reports a name it takes for a device as created, and makes nothing.
TEST(EnsureFolder, FailsWhenNoFolderIsThereAfterwards) {
    sim::Reset();
    ResetProgramState();
    Silent = true;
    EXPECT_FALSE(EnsureFolder("C:\\NUL\\"));
    EXPECT_TRUE(EnsureFolder("C:\\x\\"));
}

// A value whose type changed since the driver read it (another program wrote it).
TEST(AddToVariable, ChecksTheTypeItExpects) {
    for (bool expandFlow : {false, true}) {
        sim::Reset();
        ResetProgramState();
        OpenStdOut();
        ChooseVariable();
        sim::SetValue("HKCU\\Environment", "Path", {expandFlow ? os::RegSz : os::RegExpandSz, std::string("a\0\0\0", 4)});
        EXPECT_FALSE(expandFlow ? AddToExpandSzVariable("C:\\x\\") : AddToSzVariable("C:\\x\\"));
        CloseStdOut();
        EXPECT_EQ(sim::StdOut, std::string("La variable Path ne poss\x8A" "de pas le type ") +
                                   (expandFlow ? "REG_EXPAND_SZ" : "REG_SZ") + ".\r\n");
    }
}
