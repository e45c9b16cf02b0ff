// Console output and the yes/no question. Messages are held in the ANSI code
// page and converted to the console's OEM page on their way out.
#pragma once

#include <string>

// Standard output as a text stream with a 128-byte buffer. On a console each
// line is written at once; on a file or pipe only full buffers and the rest
// at closing. When the handle's type is unknown, for example when there is no
// standard output at all, the first line printed fails (input/output error
// 105): a silent run never prints one. Every run prints before it changes
// anything, so any other run ends there with nothing done.
void OpenStdOut();
void CloseStdOut();
void FlushStdOut();

std::string ConvertConsoleText(const std::string& text);
void PrintLine(const std::string& text);
void PrintConverted(const std::string& text);
// message with "%s" replaced by argument, then PrintConverted.
void PrintFormatted(const std::string& message, const std::string& argument);
bool AskConfirmation(const std::string& question);
