// Fuzz target: any format on any input, with destinations that have exactly
// the room their directives may fill and not one byte more.
//
// The data is one control byte, then the format, a zero byte, and the input
// (which may hold further zero bytes: the scan must stop at the first).
// Without the zero byte the whole rest is the format and the input is empty.
// The control byte's low two bits withhold that many of the destinations the
// format needs from a second scan: a directive that finds none must end the
// scan and store nothing, and up to it the scan must run as the first did.
//
// The format is learnt with the scanner's own directive parsing, so the
// fuzzer and the scanner never disagree on which directive takes which
// destination. Each destination, the format and the input live in their own
// exact-size allocation: AddressSanitizer reports a read or write one byte
// past any of them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "scan/scan.h"
#include "voltrima.h"

namespace {

using voltrima::ConversionKind;
using voltrima::DirectiveSpec;

struct Allocation {
  std::unique_ptr<unsigned char[]> bytes;
  std::size_t size;
};

Allocation CopyOf(const std::uint8_t* data, std::size_t size, bool terminate) {
  Allocation a{std::make_unique<unsigned char[]>(size + (terminate ? 1 : 0)), size};
  if (size > 0) std::memcpy(a.bytes.get(), data, size);
  if (terminate) a.bytes[size] = 0;
  return a;
}

// The most bytes one directive may write. Integers and counts by the size
// rule; floats as binary64 from 'l' or 'L' on, binary32 below; text as the
// width bounds it, or the whole input when there is no width (a run can take
// at most every input byte), plus a terminator for %s and scan sets.
std::size_t MostBytesWritten(const DirectiveSpec& spec, ConversionKind kind, std::size_t inputLength) {
  switch (kind) {
    case ConversionKind::Integer:
    case ConversionKind::Count:
      if (spec.isInt64) return 8;
      if (spec.sizeLevel == 0 && spec.conversion != 'p') return 2;
      return 4;
    case ConversionKind::Float:
      return spec.sizeLevel >= 2 ? 8 : 4;
    case ConversionKind::Text: {
      const std::size_t unit = spec.wideLevel > 0 ? 2 : 1;
      std::size_t run = inputLength;
      if (spec.widthDigits > 0) run = std::min(run, static_cast<std::size_t>(spec.width));
      else if (spec.conversion == 'c') run = std::min<std::size_t>(run, 1);
      const std::size_t terminator = spec.conversion == 'c' ? 0 : 1;
      return unit * (run + terminator);
    }
    case ConversionKind::Literal:
      break;
  }
  return 0;
}

// Walks the format as the driver does and lists, for each directive that
// takes a destination, the most bytes it may write there. A directive that
// would end every scan (its letter is the format's end, or its set text
// runs into it) ends the walk.
std::vector<std::size_t> DestinationSizes(const unsigned char* format, std::size_t inputLength) {
  std::vector<std::size_t> sizes;
  const unsigned char* p = format;
  while (*p != 0) {
    if (*p != '%') {  // whitespace and literal characters
      ++p;
      continue;
    }
    DirectiveSpec spec;
    const unsigned char* letter = voltrima::ParseDirective(p, spec);
    if (*letter == 0) break;
    const ConversionKind kind = voltrima::KindOf(spec.conversion);
    if (spec.conversion == '{') {
      const unsigned char* text = letter + 1;
      if (*text == '^') ++text;
      voltrima::ScanSet set;
      letter = voltrima::BuildScanSet(text, true, set);
      if (letter == nullptr) break;
    }
    // A literal directive gives back the destination it took when it
    // matches, and ends the scan when it does not.
    if (!spec.suppress && kind != ConversionKind::Literal)
      sizes.push_back(MostBytesWritten(spec, kind, inputLength));
    p = letter + 1;
  }
  return sizes;
}

struct Outcome {
  int result;
  std::vector<Allocation> destinations;
};

// One call with the first `given` destinations, each of exactly its size.
// An allocation of 0 bytes still has its own address, so a directive that
// may write nothing gets a destination where any write is caught.
Outcome Scan(const Allocation& input, const Allocation& format, const std::vector<std::size_t>& sizes,
             std::size_t given) {
  Outcome outcome{0, {}};
  void* slots[voltrima::MaxDestinations + 1] = {};
  for (std::size_t i = 0; i < given; ++i) {
    outcome.destinations.push_back({std::make_unique<unsigned char[]>(sizes[i]), sizes[i]});
    slots[i] = outcome.destinations.back().bytes.get();
  }
  outcome.result = DllSscanf(
      reinterpret_cast<const char*>(input.bytes.get()), reinterpret_cast<const char*>(format.bytes.get()),
      slots[0], slots[1], slots[2], slots[3], slots[4], slots[5], slots[6], slots[7], slots[8],
      slots[9], slots[10], slots[11], slots[12], slots[13], slots[14], slots[15], slots[16],
      slots[17], slots[18], slots[19], slots[20]);
  // A scan stores at most once per destination it was given.
  if (outcome.result < -1 || outcome.result > static_cast<int>(given)) std::abort();
  return outcome;
}

// With destinations withheld, the scan runs as with all of them up to the
// first directive that finds none, and ends there: the destinations given
// hold the same bytes, and no more values were stored. (The results may
// differ beyond that: a shortened scan that ends before a field which would
// fail at the end of the input returns 0 where the full one returns -1.)
void ExpectSameUpToMissing(const Outcome& full, const Outcome& shortened) {
  if (std::max(shortened.result, 0) > std::max(full.result, 0)) std::abort();
  for (std::size_t i = 0; i < shortened.destinations.size(); ++i) {
    const Allocation& a = full.destinations[i];
    const Allocation& b = shortened.destinations[i];
    if (a.size > 0 && std::memcmp(a.bytes.get(), b.bytes.get(), a.size) != 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned withheld = data[0] & 3u;
  ++data;
  --size;

  const auto* separator = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
  const std::size_t formatLength = separator ? static_cast<std::size_t>(separator - data) : size;
  const Allocation format = CopyOf(data, formatLength, true);
  const Allocation input = separator ? CopyOf(separator + 1, size - formatLength - 1, true)
                                     : CopyOf(data, 0, true);
  const std::size_t inputLength = std::strlen(reinterpret_cast<const char*>(input.bytes.get()));

  const std::vector<std::size_t> sizes = DestinationSizes(format.bytes.get(), inputLength);
  const std::size_t all = std::min<std::size_t>(sizes.size(), voltrima::MaxDestinations);
  const std::size_t given = all - std::min<std::size_t>(all, withheld);

  const Outcome full = Scan(input, format, sizes, all);
  if (given < all) ExpectSameUpToMissing(full, Scan(input, format, sizes, given));

  // The two texts are only read.
  if (std::memcmp(format.bytes.get(), data, formatLength) != 0) std::abort();
  if (separator && std::memcmp(input.bytes.get(), separator + 1, input.size) != 0) std::abort();
  return 0;
}
