// What no whole run reaches: the folder checks refuse such names first.
#include "folder/FolderCreation.h"
#include "front/ProgramState.h"
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
