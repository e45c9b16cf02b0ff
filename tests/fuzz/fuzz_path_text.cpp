// Path-text operations. Input: one byte whose low bit picks a double-byte code
// page, then the text.
#include "FuzzCommon.h"

#include <algorithm>

namespace {
bool IsSeparator(char c) { return c == '\\' || c == ':'; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size == 0 || size > 1024) return 0; // ByteKindAt walks back: keep runs short
    StartRun(data[0] & 1);
    const std::string s(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t n = s.size();
    // Reference: characters paired from the left, as CharNextA walks them.
    std::vector<ByteKind> kind(n + 2, ByteKind::Single);
    for (std::size_t i = 1; i <= n; ++i)
        if (s[i - 1] != 0 && IsLeadByte(s[i - 1])) {
            kind[i] = ByteKind::Lead;
            if (i < n && s[i] != 0) kind[++i] = ByteKind::Trail;
        }
    for (std::size_t i = 1; i <= n; ++i) CHECK(ByteKindAt(s, i) == kind[i]);

    const bool endsInSeparator = IsBackslashAt(s, n);
    const std::string added = AddTrailingBackslash(s);
    CHECK(added == (endsInSeparator ? s : s + '\\')); // never a second backslash
    // Adding again changes nothing and dropping undoes it, except after an
    // unpaired lead byte, which takes the added backslash as its trail.
    if (kind[n] != ByteKind::Lead)
        CHECK(AddTrailingBackslash(added) == added &&
              (endsInSeparator || DropTrailingBackslash(added) == s));

    const std::string dir = DirectoryPart(s);
    CHECK(s.compare(0, dir.size(), dir) == 0 && LastSeparatorPos(s) == dir.size());
    if (!dir.empty()) CHECK(IsSeparator(dir.back()) && kind[dir.size()] != ByteKind::Trail);
    for (std::size_t i = dir.size() + 1; i <= n; ++i)
        CHECK(!IsSeparator(s[i - 1]) || kind[i] == ByteKind::Trail);

    const std::string drive = DrivePart(s);
    CHECK(s.compare(0, drive.size(), drive) == 0);
    if (drive.size() == 2 && drive[1] == ':') return 0;
    // \\server\share: never reaches into the folder below the share.
    if (!drive.empty())
        CHECK(drive.compare(0, 2, "\\\\") == 0 &&
              std::count(drive.begin() + 2, drive.end(), '\\') <= 1);
    return 0;
}
