// Texts that Windows keeps in UTF-16 (registry strings, the command line,
// full folder names) and the program handles in the ANSI code page. A text is
// brought over exactly or not at all: the ANSI calls would hand back a
// character the code page lacks as another one (a near letter or '?'), and
// writing that back would change what the user stored.
#pragma once

#include <string>

// False, text unchanged, when some character of wide has no ANSI form that
// converts back to it.
bool ToAnsiExactly(const std::u16string& wide, std::string& text);
