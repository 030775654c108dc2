// The format scanner: the input source, the directive driver and the
// conversions it dispatches to. Portable C++: it reads memory, writes
// through the caller's destinations and touches nothing else.
#ifndef VOLTRIMA_SCAN_H
#define VOLTRIMA_SCAN_H

#include <bit>
#include <cstddef>
#include <cstdint>

namespace voltrima {

static_assert(std::endian::native == std::endian::little,
              "stores are written in little-endian byte order");

// Character values passed between the parts of the scanner are ints: a byte
// 0..255, EndOfInput, or (for `current` before the first read) NoValue.
inline constexpr int EndOfInput = -1;
inline constexpr int NoValue = -2;

// ---------------------------------------------------------------------------
// Character classes: one fixed table, shared read-only by every call.

enum CharClass : std::uint8_t {
  ClassSpace = 1,  // 0x09..0x0D, 0x20
  ClassDigit = 2,  // '0'..'9'
  ClassHex = 4,    // '0'..'9', 'A'..'F', 'a'..'f'
};

struct CharClassTable {
  std::uint8_t of[256];

  constexpr CharClassTable() : of{} {
    for (unsigned b = 0; b < 256; ++b) {
      std::uint8_t cls = 0;
      if ((b >= 0x09 && b <= 0x0D) || b == 0x20) cls |= ClassSpace;
      if (b >= '0' && b <= '9') cls |= ClassDigit | ClassHex;
      if ((b >= 'A' && b <= 'F') || (b >= 'a' && b <= 'f')) cls |= ClassHex;
      of[b] = cls;  // 0x80..0xFF stay in no class: no byte opens a two-byte character
    }
  }
};

inline constexpr CharClassTable CharClasses;

// True when `c` is a byte of the class; EndOfInput and NoValue are in none.
inline bool InClass(int c, CharClass cls) {
  return static_cast<unsigned>(c) < 256 && (CharClasses.of[c] & cls) != 0;
}
inline bool IsSpace(int c) { return InClass(c, ClassSpace); }
inline bool IsDigit(int c) { return InClass(c, ClassDigit); }

// ---------------------------------------------------------------------------
// The input source: a cursor over the caller's text, which ends at its first
// zero byte. The text's length is never computed: the zero byte is met when
// the cursor reaches it, so a call costs only what it reads.

struct ScanSource {
  const unsigned char* start;
  const unsigned char* cursor;
  // Characters consumed so far: every Read adds 1 and every Unread takes 1
  // off, EndOfInput included. Kept modulo 2^32; %n stores its low bits.
  std::uint32_t consumedCount;

  int Read() {
    ++consumedCount;
    const unsigned char c = *cursor;
    if (c == 0) return EndOfInput;  // the cursor stays on the zero byte
    ++cursor;
    return c;
  }

  // Gives `c` back when it is the byte just before the cursor; the end of
  // the input is never given back. The count goes down in every case.
  void Unread(int c) {
    --consumedCount;
    if (c == EndOfInput || cursor == start) return;
    if (cursor[-1] == c) --cursor;
  }

  // Reads past whitespace; the first other value (EndOfInput included) stays
  // consumed and is returned.
  int SkipWhitespace() {
    int c;
    do c = Read();
    while (IsSpace(c));
    return c;
  }
};

ScanSource OpenSource(const char* text);

// ---------------------------------------------------------------------------
// The destinations of one call, in the order the caller passed them.

inline constexpr int MaxDestinations = 20;

struct DestinationList {
  void* slots[MaxDestinations];
  int count;  // slots filled by the caller; the rest are never used
};

// ---------------------------------------------------------------------------
// The state of one scan and the settings of one directive.

struct ScanState {
  std::int32_t assignedCount = 0;
  // Directives that succeeded through a conversion; only tested for zero,
  // and never allowed to wrap back to it.
  std::uint32_t matchedCount = 0;
  int current = NoValue;  // the last value obtained from the source
  int nextDestination = 0;
};

struct DirectiveSpec {
  std::int32_t width = 0;         // saturates at 2147483647
  std::uint32_t widthDigits = 0;  // 0: no width given
  bool suppress = false;          // one '*' or more
  std::int32_t sizeLevel = 1;     // +1 per 'l' or 'L', -1 per 'h'
  std::int32_t wideLevel = 0;     // +1 per 'l' or 'w', -1 per 'h', then defaulted
  bool isInt64 = false;           // one I64 group or more
  int conversion = 0;             // the letter OR 0x20
};

// Parses the directive whose '%' is at `percent`: width digits and modifiers
// in any order, then the letter. Fills `spec` (the wide default and the
// folded `conversion` included) and returns the position of the letter,
// which is the format's zero byte when the format ends inside the directive.
// Never reads past that zero byte.
const unsigned char* ParseDirective(const unsigned char* percent, DirectiveSpec& spec);

// What a directive's folded letter selects.
enum class ConversionKind { Integer, Count, Text, Float, Literal };
ConversionKind KindOf(int conversion);

// ---------------------------------------------------------------------------
// Scan sets.

struct ScanSet {
  std::uint8_t memberBits[32];
  std::uint8_t rejectMask;  // 0x00: members are taken; 0xFF: all but members

  bool Accepts(int c) const {
    if (c == EndOfInput) return false;
    return ((memberBits[c >> 3] ^ rejectMask) >> (c & 7)) & 1;
  }
};

// Builds the members of the set text at `text` into `set.memberBits`.
// `scanSetRules` makes a leading ']' a member (for written scan sets; the
// built-in texts close at their first ']'). Returns the position of the
// closing ']', or nullptr when the set text runs into the format's zero byte.
const unsigned char* BuildScanSet(const unsigned char* text, bool scanSetRules, ScanSet& set);

// ---------------------------------------------------------------------------
// The conversions. Each reads from the source, leaves the last value it
// obtained in `state.current`, stores through `destination` (null when the
// directive is suppressed) and returns success or failure to the driver.

bool ScanInteger(DirectiveSpec& spec, ScanState& state, ScanSource& source, void* destination);
bool StoreCount(DirectiveSpec& spec, ScanState& state, ScanSource& source, void* destination);
bool ScanText(DirectiveSpec& spec, ScanState& state, ScanSource& source, void* destination,
              const unsigned char*& formatPosition);
bool ScanFloat(DirectiveSpec& spec, ScanState& state, ScanSource& source, void* destination);

// Writes `value` by the size rule: 8 bytes with I64, 2 when sizeLevel is 0,
// otherwise 4; nothing past those bytes.
void StoreInteger(void* destination, std::uint64_t value, const DirectiveSpec& spec);

// Turns a number text of the form [-]digits[.digits][e[-]digits] into a
// binary32 (selector 0 or below) or binary64 (selector 1 or above), correctly
// rounded, and stores it little-endian at `destination`.
void FloatStoreHook(int selector, void* destination, const char* text);

// Walks `formatText` against `source` and returns the count of values stored,
// or -1 when the input ran out before anything was stored or matched.
int ScanFormat(ScanSource& source, const char* formatText, const DestinationList& destinations);

// Opens a source over `input` and runs the driver over `format`.
int ScanString(const char* input, const char* format, const DestinationList& destinations);

}  // namespace voltrima

#endif  // VOLTRIMA_SCAN_H
