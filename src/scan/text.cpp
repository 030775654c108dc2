// Text conversions: %c, %s and scan sets, narrow and wide, as one mechanism.
// Each chooses a set text, builds it into a ScanSet, and takes characters
// while the set accepts them, straight into the destination.
#include "scan.h"

namespace voltrima {
namespace {

// The built-in set texts. Every byte is taken for %c (the empty set,
// rejected); every byte but whitespace for %s.
constexpr unsigned char CharSetText[] = "]";
constexpr unsigned char StringSetText[] = " \t-\r]";

constexpr void AddMember(ScanSet& set, unsigned value) {
  set.memberBits[value >> 3] = static_cast<std::uint8_t>(set.memberBits[value >> 3] | (1u << (value & 7)));
}

// Ranges run between unsigned bytes in either order. They are added one
// byte of the table at a time (a-z takes four steps, not 26): every byte
// inside the range is full, the two at its ends are masked.
constexpr void AddRange(ScanSet& set, unsigned char from, unsigned char to) {
  const unsigned low = from < to ? from : to;
  const unsigned high = from < to ? to : from;
  for (unsigned byte = low >> 3; byte <= high >> 3; ++byte) {
    unsigned bits = 0xFF;
    if (byte == low >> 3) bits &= 0xFFu << (low & 7);          // none below `low`
    if (byte == high >> 3) bits &= 0xFFu >> (7 - (high & 7));  // none above `high`
    set.memberBits[byte] = static_cast<std::uint8_t>(set.memberBits[byte] | bits);
  }
}

constexpr const unsigned char* BuildSet(const unsigned char* p, bool scanSetRules, ScanSet& set) {
  for (auto& bits : set.memberBits) bits = 0;
  unsigned char previous = 0;  // no set character can be the zero byte
  if (scanSetRules && *p == ']') {
    AddMember(set, ']');
    previous = ']';
    ++p;
  }
  while (*p != ']') {
    if (*p == 0) return nullptr;
    const unsigned char c = *p++;
    // '-' is a member first in the set, last in the set, and right after a range.
    if (c != '-' || previous == 0 || *p == ']') {
      AddMember(set, c);
      previous = c;
      continue;
    }
    const unsigned char end = *p;
    if (end == 0) return nullptr;
    ++p;
    AddRange(set, previous, end);
    previous = 0;
  }
  return p;
}

constexpr ScanSet BuiltInSet(const unsigned char* text) {
  ScanSet set{};
  BuildSet(text, false, set);
  set.rejectMask = 0xFF;
  return set;
}

// The built-in texts go through the same builder, once, at compile time.
constexpr ScanSet CharSet = BuiltInSet(CharSetText);
constexpr ScanSet StringSet = BuiltInSet(StringSetText);

// The 16-bit unit of the same value as the byte: zero-extended, never
// sign-extended.
constexpr std::uint16_t WidenByte(unsigned char byte) { return byte; }

// Stored little-endian one byte at a time, so that a destination needs no
// alignment.
void StoreWide(unsigned char* out, int byte) {
  const std::uint16_t unit = WidenByte(static_cast<unsigned char>(byte));
  out[0] = static_cast<unsigned char>(unit & 0xFF);
  out[1] = static_cast<unsigned char>(unit >> 8);
}

// Takes characters while the set accepts them and the width lasts; the
// width is counted down before each read, so no character past it is read.
// Returns how many were taken; `current` is the last value read.
//
// The loop works on local copies of the width and the source: a store
// through `out` may alias any structure, and would make the compiler reload
// their fields at every character.
std::size_t CollectRun(const ScanSet& set, DirectiveSpec& spec, void* destination, bool wideForm,
                       ScanState& state, ScanSource& source) {
  auto* out = static_cast<unsigned char*>(destination);
  const bool store = !spec.suppress;
  const bool hasWidth = spec.widthDigits > 0;
  std::int32_t width = spec.width;
  ScanSource local = source;
  int c = state.current;
  std::size_t taken = 0;
  for (;;) {
    if (hasWidth) {
      if (width == 0) break;
      --width;
    }
    c = local.Read();
    if (!set.Accepts(c)) {
      local.Unread(c);
      break;
    }
    if (store) {
      if (wideForm)
        StoreWide(out + 2 * taken, c);
      else
        out[taken] = static_cast<unsigned char>(c);
    }
    ++taken;
  }
  spec.width = width;
  source = local;
  state.current = c;
  return taken;
}

}  // namespace

const unsigned char* BuildScanSet(const unsigned char* text, bool scanSetRules, ScanSet& set) {
  return BuildSet(text, scanSetRules, set);
}

bool ScanText(DirectiveSpec& spec, ScanState& state, ScanSource& source, void* destination,
              const unsigned char*& formatPosition) {
  const bool wideForm = spec.wideLevel > 0;
  ScanSet written;
  const ScanSet* set;
  if (spec.conversion == 'c') {
    if (spec.widthDigits == 0) {
      spec.width = 1;
      spec.widthDigits = 1;
    }
    set = &CharSet;
  } else if (spec.conversion == 's') {
    set = &StringSet;
  } else {
    const unsigned char* text = formatPosition + 1;
    written.rejectMask = 0x00;
    if (*text == '^') {
      ++text;
      written.rejectMask = 0xFF;
    }
    const unsigned char* close = BuildScanSet(text, true, written);
    if (close == nullptr) return false;  // the set text ran into the end of the format
    formatPosition = close;
    set = &written;
  }

  source.Unread(state.current);  // the first character is read again by the loop
  const std::size_t taken = CollectRun(*set, spec, destination, wideForm, state, source);
  if (taken == 0) return false;  // nothing taken: not even a terminator is written
  if (!spec.suppress) {
    ++state.assignedCount;
    if (spec.conversion != 'c') {
      auto* end = static_cast<unsigned char*>(destination) + (wideForm ? 2 * taken : taken);
      if (wideForm)
        StoreWide(end, 0);
      else
        *end = 0;
    }
  }
  return true;
}

}  // namespace voltrima
