// Every unit test starts on a fresh simulated machine with a fresh process:
// program-wide state reset, the lead-byte set read again, and standard
// output open on a pipe.
#pragma once

#include "folder/PathText.h"
#include "front/Console.h"
#include "front/ProgramState.h"
#include "platform/sim/SimWindows.h"

#include <gtest/gtest.h>

#include <string>

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        ResetProgramState();
        ReadLeadByteSet();
        OpenStdOut();
    }
    // A double-byte ANSI code page: code page 932's lead bytes.
    void UseCodePage932() {
        sim::AnsiCodePage = 932;
        sim::SetLeadByteRanges({{0x81, 0x9F}, {0xE0, 0xFC}});
        ReadLeadByteSet();
    }
    // Everything written to standard output, once it is closed.
    std::string Output() {
        CloseStdOut();
        return sim::StdOut();
    }
};

// Lines joined with CR LF, each one ended: Lines({"a", ""}) == "a\r\n\r\n".
inline std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}
