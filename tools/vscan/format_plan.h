// What a format asks of the scanner, step by step, as the library's own
// directive parsing reads it: whitespace runs, literal characters and
// directives, with the destination each directive takes and what it stores.
#ifndef VSCAN_FORMAT_PLAN_H
#define VSCAN_FORMAT_PLAN_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scan/scan.h"

namespace vscan {

enum class StepKind { WhitespaceRun, Literals, Directive };

// What a directive writes through its destination.
enum class StoreKind { None, Integer, Count, Float, Text };

// Things that are legal but surely a mistake.
enum Warning : unsigned {
  ComparesWithLetter = 1u << 0,   // no conversion: the letter is matched like a literal
  PercentAtEnd = 1u << 1,         // the letter is the end of the format
  UnclosedScanSet = 1u << 2,      // the set text runs into the end of the format
  PastTwentieth = 1u << 3,        // a call takes at most 20 destinations
  CountHiddenBySpace = 1u << 4,   // format whitespace in front of %n
  CountNotExactPair = 1u << 5,    // %5n, %hn, %*n: not the pair the end rule looks for
  ZeroWidth = 1u << 6,            // a width of 0 ends the scan
  WhitespaceLetter = 1u << 7,     // '% d': the letter is whitespace and never matches
};

struct Step {
  StepKind kind = StepKind::Literals;
  std::size_t offset = 0;  // in the format
  std::size_t length = 0;  // bytes of the format this step covers

  // Directives only.
  voltrima::DirectiveSpec spec{};
  voltrima::ConversionKind conversion = voltrima::ConversionKind::Literal;
  unsigned char letter = 0;  // as written, before folding
  std::size_t letterOffset = 0;
  int destination = -1;      // 0-based; -1 when the directive takes none
  StoreKind store = StoreKind::None;
  int storeSize = 0;         // bytes of a number, or bytes of one text unit (1 or 2)
  bool terminated = false;   // text stored with a zero terminator
  bool isScanSet = false;
  voltrima::ScanSet set{};   // the members of a closed scan set
  unsigned warnings = 0;
};

struct FormatPlan {
  std::vector<Step> steps;
  int destinationCount = 0;  // every destination the format takes, past 20 included
};

// Walks the whole format. Never reads past its zero byte.
FormatPlan PlanFormat(const char* format);

// The bytes a destination needs for `step` when the input holds
// `inputLength` bytes: no field takes more characters than the input has.
std::size_t DestinationBytes(const Step& step, std::size_t inputLength);

// The letters that select an integer store read as signed numbers.
bool IsSignedLetter(const Step& step);

}  // namespace vscan

#endif  // VSCAN_FORMAT_PLAN_H
