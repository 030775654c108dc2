// Text conversions (%c %C %s %S %[...] %{...], narrow and wide), seen through
// DllSscanf: the exact bytes written (the run, its terminator where there is
// one, nothing past them), the result, and where the input was left, shown
// by a following %n or %c. The set builder is also tested on its own, on
// set texts that end exactly where readable memory ends.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "harness.h"
#include "scan/scan.h"

namespace voltrima::testing {
namespace {

// The bytes from `low` to `high`, both included, in increasing order.
std::string ByteRange(unsigned low, unsigned high) {
  std::string out;
  for (unsigned v = low; v <= high; ++v) out.push_back(static_cast<char>(v));
  return out;
}

bool IsWhitespaceByte(unsigned b) { return (b >= 0x09 && b <= 0x0D) || b == 0x20; }

TEST(Chars, TakeEveryByteWithoutSkippingOrTerminating) {
  ExpectCases({
      {"%c", " a", 1, {Str(" ", 1)}},
      {"%c%c%c", "a b", 3, {Str("a", 1), Str(" ", 1), Str("b", 1)}},
      {"%s%c", "ab\tc", 2, {Str("ab", 3), Str("\t", 1)}},
      {"%3c", "ab", 1, {Str("ab", 2)}},  // a short input is no failure
      {"%3c%n", "ab", 1, {Str("ab", 2), I32(2)}},
      {"%3c%n%c", "abcdef", 2, {Str("abc", 3), I32(3), Str("d", 1)}},
      {"%5c", "a b c", 1, {Str("a b c", 5)}},
      {"%c", "", -1, {}},
      {"%*c%c", "abc", 1, {Str("b", 1)}},
      {"%Lc", "a", 1, {Str("a", 1)}},    // sizeLevel plays no part: narrow
      {"%I64c", "a", 1, {Str("a", 1)}},
      {"%hC", "a", 1, {Str("a", 1)}},
  });
}

TEST(Strings, TakeARunOfNonWhitespaceAndTerminateIt) {
  ExpectCases({
      {"%s%n", "  abc def", 1, {Str("abc", 4), I32(5)}},
      {"%s%s", "  abc def", 2, {Str("abc", 4), Str("def", 4)}},
      {"%3s%n%c", "abcdef", 2, {Str("abc", 4), I32(3), Str("d", 1)}},
      {"%1s%1s%1s%1s", "abc", 3, {Str("a", 2), Str("b", 2), Str("c", 2)}},
      {"%s", "   ", -1, {}},
      {"%s", "", -1, {}},
      {"%s%n", "\xE9t\xE9 x", 1, {Str("\xE9t\xE9", 4), I32(3)}},
      {"%I64s", "ab", 1, {Str("ab", 3)}},
      {"%*s", "abc", 0, {}},  // matched, so not -1
      {"%*s", "", -1, {}},
      {"%*s%s", "ab cd", 1, {Str("cd", 3)}},
      {"%2s%s", "abc", 2, {Str("ab", 3), Str("c", 2)}},
  });
}

TEST(Strings, StopAtExactlyTheSixWhitespaceBytesAndTakeEveryOther) {
  for (unsigned b = 1; b < 256; ++b) {
    const std::string input = std::string("a") + static_cast<char>(b) + "z";
    if (IsWhitespaceByte(b))
      ExpectCase({"%s%n", input, 1, {Str("a", 2), I32(1)}});
    else
      ExpectCase({"%s%n", input, 1, {input + '\0', I32(3)}});
    ExpectCase({"%3c", input, 1, {input}});
    ExpectCase({"%lc", std::string(1, static_cast<char>(b)), 1, {Le(b, 2)}});
  }
}

// The width is counted down before each read: once it runs out nothing more
// is read, `current` is the last character taken, and the end rule does not
// see the end of the input even when nothing follows.
TEST(Text, AWidthThatRunsOutReadsNothingMore) {
  ExpectCases({
      {"%c %n", "a", 1, {Str("a", 1), I32(1)}},
      {"%1s %n", "a", 1, {Str("a", 2), I32(1)}},
      {"%s %n", "a", 1, {Str("a", 2)}},
      {"%2[a] %n", "aa", 1, {Str("aa", 3), I32(2)}},
      {"%[a] %n", "aa", 1, {Str("aa", 3)}},
      {"%2[abc]%c", "abc", 2, {Str("ab", 3), Str("c", 1)}},
  });
}

TEST(Wide, SixteenBitUnitsZeroExtended) {
  ExpectCases({
      {"%ls", "hi", 1, {Wide(std::string("hi", 3))}},
      {"%S", "hi", 1, {Wide(std::string("hi", 3))}},
      {"%ws", "hi", 1, {Wide(std::string("hi", 3))}},
      {"%LS", "hi", 1, {Wide(std::string("hi", 3))}},
      {"%hS", "hi", 1, {Str("hi", 3)}},
      {"%hls", "hi", 1, {Str("hi", 3)}},
      {"%hlS", "hi", 1, {Wide(std::string("hi", 3))}},
      {"%lc", "\xE9", 1, {Wide("\xE9")}},
      {"%C%n", "\x80\xFF", 1, {Wide("\x80"), I32(1)}},
      {"%S", "\x80\xFF", 1, {Wide(std::string("\x80\xFF", 3))}},
      {"%3lc", "abc", 1, {Wide("abc")}},
      {"%2S%c", "abc", 2, {Wide(std::string("ab", 3)), Str("c", 1)}},
      {"%hlc", "a", 1, {Str("a", 1)}},
      {"%hlC", "a", 1, {Wide("a")}},
      {"%l[a-c]%n", "abcd", 1, {Wide(std::string("abc", 4)), I32(3)}},
      {"%w[^x]", "\xE9\xFFx", 1, {Wide(std::string("\xE9\xFF", 3))}},
      {"%C", "", -1, {}},
      {"%S", " ", -1, {}},
      {"%*S%n", "ab", 0, {I32(2)}},
  });
}

TEST(ScanSets, SetSyntax) {
  ExpectCases({
      // Ranges in either order.
      {"%[a-c]%n", "abcd", 1, {Str("abc", 4), I32(3)}},
      {"%[c-a]%n", "abcd", 1, {Str("abc", 4), I32(3)}},
      {"%[a-a]", "aab", 1, {Str("aa", 3)}},
      {"%[a-cx-z]", "abxyzd", 1, {Str("abxyz", 6)}},
      // A leading ']' is a member, after '^' too.
      {"%[]a]", "]a]", 1, {Str("]a]", 4)}},
      {"%[]]%n", "]]a", 1, {Str("]]", 3), I32(2)}},
      {"%[^]]%n%c", "ab]c", 2, {Str("ab", 3), I32(2), Str("]", 1)}},
      {"%[]^]", "]^a", 1, {Str("]^", 3)}},
      {"%[]-a]", "\x5D\x5E\x5F\x60\x61\x62", 1, {Str("\x5D\x5E\x5F\x60\x61", 6)}},
      {"%[^]-a]", "xy^z", 1, {Str("xy", 3)}},
      // '-' is a member first, last, and right after a range.
      {"%[-a]", "-a-b", 1, {Str("-a-", 4)}},
      {"%[^-]", "ab-c", 1, {Str("ab", 3)}},
      {"%[a-]", "a-b", 1, {Str("a-", 3)}},
      {"%[a-c-]", "abc-d", 1, {Str("abc-", 5)}},
      {"%[a-c-e]", "abc-de-f", 1, {Str("abc-", 5)}},
      {"%[a-c-e]%n%c", "e-d", 2, {Str("e-", 3), I32(2), Str("d", 1)}},
      {"%[--/]", "-./0", 1, {Str("-./", 4)}},
      {"%[a--]", "-=ab", 1, {Str("-=a", 4)}},
      // '^' is special only at the start.
      {"%[a^]", "a^b", 1, {Str("a^", 3)}},
      {"%[^^]", "ab^", 1, {Str("ab", 3)}},
      {"%[^abc]", "xyzab", 1, {Str("xyz", 4)}},
      {"%[^\n]", "line one\nline two", 1, {Str("line one", 9)}},
      {"%[^\n]", "\nabc", 0, {}},
      // Spaces and '%' are plain members; nothing is skipped before a set.
      {"%[ %]", "  %x", 1, {Str("  %", 4)}},
      {"%[a]", " a", 0, {}},
      {"%[a]", "", -1, {}},
      {"%*[a-z]%n", "abc", 0, {I32(3)}},
      // '{' opens a set that ends at ']' like '['.
      {"%{a-c}]%n", "abc}d", 1, {Str("abc}", 5), I32(4)}},
      // The format goes on after the closing ']'.
      {"%[^]]]%n", "ab]", 1, {Str("ab", 3), I32(3)}},
      {"%[a]b%n", "aab", 1, {Str("aa", 3), I32(3)}},
      // Members above 0x7F compare as unsigned bytes.
      {"%[\xE0-\xEF]", "\xE9\xEA\xF0", 1, {Str("\xE9\xEA", 3)}},
      {"%[\xFE-\xFF]", "\xFE\xFF\xFD", 1, {Str("\xFE\xFF", 3)}},
      {"%[\xFF-\xFE]", "\xFF\xFE\xFD", 1, {Str("\xFF\xFE", 3)}},
      {"%[\xFE-\xFF" "a]", "a\xFF" "b", 1, {Str("a\xFF", 3)}},
      {"%[\x01-\x7F]", "z\x80", 1, {Str("z", 2)}},
  });
}

TEST(ScanSets, RangesEndingAtTheLastByteValueStopThere) {
  const std::string everyByte = ByteRange(1, 0xFF);
  ExpectCases({
      {"%[\x01-\xFF]%n", everyByte, 1, {everyByte + '\0', I32(255)}},
      {"%[\xFF-\x01]%n", everyByte, 1, {everyByte + '\0', I32(255)}},
      {"%[^\x01-\xFF]", everyByte, 0, {}},
      {"%[\x80-\xFF]%n", ByteRange(0x80, 0xFF) + "a", 1,
       {ByteRange(0x80, 0xFF) + '\0', I32(128)}},
  });
}

TEST(ScanSets, ASetTextThatRunsIntoTheEndOfTheFormatFailsTheDirective) {
  for (const char* format : {"%[abc", "%[a-", "%[", "%[]", "%[^", "%[^]", "%{a", "%[\xFE-"}) {
    ExpectCase({format, "abc]", 0, {}});
    ExpectCase({format, "", -1, {}});
  }
  ExpectCases({
      {"%d%[abc", "5abc", 1, {I32(5)}},
      {"%*d%[abc", "5", 0, {}},
      {"%d%[abc", "5", 1, {I32(5)}},
  });
}

// Where a text directive leaves the source, `current` and the format
// position, seen from inside; a failure ends the scan, so no %n can show it.
TEST(Text, EachPathLeavesTheSourceCurrentAndFormatAsTheRulesSay) {
  ExpectFieldEnds({
      // An unterminated set text fails before anything is given back.
      {"%[abc", "abc", {false, 1, "bc", 'a', -1}},
      {"%[a-", "", {false, 1, "", EndOfInput, -1}},
      // Nothing taken: the value that stopped the run is given back.
      {"%[a]", "b", {false, 0, "b", 'b', -1}},
      {"%[a]", "", {false, 0, "", EndOfInput, -1}},
      {"%s", "  ", {false, 2, "", EndOfInput, -1}},
      // The width ran out: nothing past the last character was read.
      {"%3c", "abcd", {true, 3, "d", 'c', 2}},
      {"%2[ab]", "abab", {true, 2, "ab", 'b', 5}},
      {"%c", "ab", {true, 1, "b", 'a', 1}},
      // The run ended on a character that is given back.
      {"%s", " ab cd", {true, 3, " cd", ' ', 1}},
      {"%[]a]x", "]a]x", {true, 3, "x", 'x', 4}},
      {"%[^]]]", "ab]", {true, 2, "]", ']', 4}},
      {"%[a-c-]", "c-a-z", {true, 4, "z", 'z', 6}},
      {"%{a-c}]", "}", {true, 1, "", EndOfInput, 6}},
  });
}

// The members of a built set, in increasing byte order.
std::string Members(const ScanSet& set) {
  std::string out;
  for (unsigned v = 0; v < 256; ++v)
    if ((set.memberBits[v >> 3] >> (v & 7)) & 1) out.push_back(static_cast<char>(v));
  return out;
}

// A text placed so that its zero byte is the last readable byte: the page
// after it is unmapped for reading, so a builder or a driver that looks past
// the zero byte stops the test with a fault.
class TextAtTheEndOfReadableMemory {
 public:
  TextAtTheEndOfReadableMemory() {
    page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* p = mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return;
    base_ = static_cast<char*>(p);
    mprotect(base_ + page_, page_, PROT_NONE);
  }
  ~TextAtTheEndOfReadableMemory() {
    if (base_ != nullptr) munmap(base_, 2 * page_);
  }
  TextAtTheEndOfReadableMemory(const TextAtTheEndOfReadableMemory&) = delete;
  TextAtTheEndOfReadableMemory& operator=(const TextAtTheEndOfReadableMemory&) = delete;

  bool ready() const { return base_ != nullptr; }

  const char* Place(const std::string& text) {
    char* at = base_ + page_ - (text.size() + 1);
    std::memcpy(at, text.c_str(), text.size() + 1);
    return at;
  }

 private:
  std::size_t page_ = 0;
  char* base_ = nullptr;
};

TEST(BuildScanSet, MembersAndTheClosingBracket) {
  struct Row {
    std::string text;
    bool scanSetRules;
    std::string members;
    int closeOffset;  // -1: the set text ran into the end of the format
  };
  const Row rows[] = {
      {"abc]", true, "abc", 3},
      {"c-a]x", true, "abc", 3},
      {"]abc]", true, "]abc", 4},
      {"]-a]", true, ByteRange(0x5D, 0x61), 3},
      {"a-c-e]", true, "-abce", 5},
      {"--/]", true, "-./", 3},
      {"a--]", true, ByteRange('-', 'a'), 3},
      {"a-c-]", true, "-abc", 4},
      {"\xFE-\xFF" "a]", true, "a\xFE\xFF", 4},
      {"\xFF-\x01]", true, ByteRange(1, 0xFF), 3},
      {"]", false, "", 0},  // the built-in text of %c: closes at once
      {" \t-\r]", false, "\t\n\v\f\r ", 4},
      {"]]", false, "", 0},
      {"", true, "", -1},
      {"abc", true, "", -1},
      {"]", true, "", -1},
      {"a-", true, "", -1},
      {"\xFE-", true, "", -1},
      {"]-", true, "", -1},
  };
  TextAtTheEndOfReadableMemory memory;
  ASSERT_TRUE(memory.ready());
  for (const Row& row : rows) {
    SCOPED_TRACE("set text \"" + row.text + "\"");
    const auto* text = reinterpret_cast<const unsigned char*>(memory.Place(row.text));
    ScanSet set;
    std::memset(&set, 0x5A, sizeof set);  // the builder must clear what it does not set
    const unsigned char* close = BuildScanSet(text, row.scanSetRules, set);
    if (row.closeOffset < 0) {
      EXPECT_EQ(close, nullptr);
      continue;
    }
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close - text, row.closeOffset);
    EXPECT_EQ(Members(set), row.members);
  }
}

TEST(ScanSets, TheScanNeverReadsPastTheFormatsZeroByte) {
  TextAtTheEndOfReadableMemory formats;
  TextAtTheEndOfReadableMemory inputs;
  ASSERT_TRUE(formats.ready() && inputs.ready());
  struct Row {
    const char* format;
    const char* input;
    int result;
    std::vector<Bytes> stored;
  };
  const Row rows[] = {
      {"%[abc", "abc", 0, {}},
      {"%[a-", "abc", 0, {}},
      {"%[]", "]", 0, {}},
      {"%[^", "abc", 0, {}},
      {"%[", "", -1, {}},
      {"%[\xFE-", "\xFE", 0, {}},
      {"%[abc]", "abcd", 1, {Str("abc", 4)}},
      {"%[^]]", "ab", 1, {Str("ab", 3)}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("format \"") + row.format + "\" on \"" + row.input + "\"");
    Destinations d;
    const char* format = formats.Place(row.format);
    const char* input = inputs.Place(row.input);
    EXPECT_EQ(d.Scan(input, format), row.result);
    for (int i = 0; i < 20; ++i)
      EXPECT_TRUE(d.Holds(i, i < static_cast<int>(row.stored.size()) ? row.stored[i] : Bytes()));
  }
}

}  // namespace
}  // namespace voltrima::testing
