// The directive driver: walks the format once, matches whitespace runs and
// literal characters itself, and hands each '%' directive to the conversion
// its letter selects. After every step the end rule decides whether the scan
// goes on; when it ends, the result is computed from the counters.
#include <climits>

#include "scan.h"

namespace voltrima {
namespace {

// Counters of the directive syntax never wrap: a long run of one modifier
// saturates instead of flipping its meaning.
void CountUp(std::int32_t& level) {
  if (level < INT32_MAX) ++level;
}
void CountDown(std::int32_t& level) {
  if (level > INT32_MIN) --level;
}
void CountUp(std::uint32_t& count) {
  if (count < UINT32_MAX) ++count;
}

void AddWidthDigit(DirectiveSpec& spec, unsigned digit) {
  if (spec.width > (INT32_MAX - static_cast<std::int32_t>(digit)) / 10)
    spec.width = INT32_MAX;  // too many digits: a very wide field, never a zero width
  else
    spec.width = spec.width * 10 + static_cast<std::int32_t>(digit);
  CountUp(spec.widthDigits);
}

bool IsInt64Group(const unsigned char* p) { return p[1] == '6' && p[2] == '4'; }

// Whitespace step: skips any amount of input whitespace (none included) and
// every whitespace byte of the format's run. `current` is not changed.
const unsigned char* MatchWhitespaceRun(ScanSource& source, const unsigned char* position) {
  source.Unread(source.SkipWhitespace());
  while (IsSpace(*position)) ++position;
  return position;
}

// Literal step: the next input character, whitespace or not, must equal the
// format byte. The zero byte of the format can only arrive here after a
// whitespace run, and never matches since the source never returns it.
bool MatchLiteral(ScanState& state, ScanSource& source, unsigned char literal) {
  state.current = source.Read();
  if (state.current == literal) return true;
  source.Unread(state.current);
  return false;
}

bool CompareLiteral(const DirectiveSpec& spec, ScanState& state, ScanSource& source,
                    unsigned char letter) {
  if (state.current != letter) {
    source.Unread(state.current);
    return false;
  }
  if (!spec.suppress) --state.nextDestination;  // the destination taken is given back
  return true;
}

// The end rule: once the input has run out, only the exact pair "%n" lets
// the scan go on, so that a count can still be stored.
bool EndRuleStops(const ScanState& state, const unsigned char* position) {
  return state.current == EndOfInput && !(position[0] == '%' && position[1] == 'n');
}

int Result(const ScanState& state) {
  if (state.current == EndOfInput && state.assignedCount == 0 && state.matchedCount == 0)
    return -1;
  return state.assignedCount;
}

// Parses into a freshly set-up DirectiveSpec. It lives in this unit's private
// part so that the compiler inlines it into the driver; ParseDirective wraps
// it.
const unsigned char* ParseInto(const unsigned char* percent, DirectiveSpec& spec) {
  const unsigned char* p = percent + 1;
  for (;; ++p) {
    switch (const unsigned char b = *p) {
      case '0': case '1': case '2': case '3': case '4':
      case '5': case '6': case '7': case '8': case '9':
        AddWidthDigit(spec, b - '0');
        continue;
      case '*':
        spec.suppress = true;
        continue;
      case 'F': case 'N':
        continue;  // accepted and ignored
      case 'I':
        if (!IsInt64Group(p)) break;  // 'I' is the letter
        spec.isInt64 = true;
        p += 2;  // onto the '4'
        continue;
      case 'L':
        CountUp(spec.sizeLevel);
        continue;
      case 'h':
        CountDown(spec.sizeLevel);
        CountDown(spec.wideLevel);
        continue;
      case 'l':
        CountUp(spec.sizeLevel);
        CountUp(spec.wideLevel);
        continue;
      case 'w':
        CountUp(spec.wideLevel);
        continue;
      default:
        break;  // the letter, which may be the zero byte
    }
    break;
  }
  if (spec.wideLevel == 0) spec.wideLevel = (*p == 'S' || *p == 'C') ? 1 : -1;
  spec.conversion = *p | 0x20;  // '[' folds to '{': both open a scan set
  return p;
}

// ScanFloat stays out of line (its number text would otherwise sit in the
// frame of every call). It gets copies, so that the addresses of the
// driver's own DirectiveSpec, ScanState and ScanSource never escape, and the
// compiler can keep them in registers for every other directive.
bool ScanFloatOnCopies(DirectiveSpec& spec, ScanState& state, ScanSource& source, void* destination) {
  DirectiveSpec specCopy = spec;
  ScanState stateCopy = state;
  ScanSource sourceCopy = source;
  const bool matched = ScanFloat(specCopy, stateCopy, sourceCopy, destination);
  spec = specCopy;
  state = stateCopy;
  source = sourceCopy;
  return matched;
}

// Runs the directive whose '%' is at `position`: parse, prepare, dispatch,
// finish. Moves `position` past the directive on success.
bool RunDirective(ScanState& state, ScanSource& source, const DestinationList& destinations,
                  const unsigned char*& position) {
  DirectiveSpec spec;
  const unsigned char* letter = ParseInto(position, spec);
  const ConversionKind kind = KindOf(spec.conversion);

  void* destination = nullptr;
  if (!spec.suppress) {
    const int index = state.nextDestination++;
    if (index < destinations.count) destination = destinations.slots[index];
  }

  if (spec.conversion == 'c' || spec.conversion == '{')
    state.current = source.Read();
  else if (kind != ConversionKind::Count)
    state.current = source.SkipWhitespace();
  const bool fetched = kind != ConversionKind::Count;

  // A width given as 0 ends the scan before any conversion runs; so does a
  // directive that would store but whose destination the caller never gave.
  const bool zeroWidth = spec.widthDigits > 0 && spec.width == 0;
  const bool missingDestination =
      !spec.suppress && destination == nullptr && kind != ConversionKind::Literal;
  if (zeroWidth || missingDestination) {
    if (fetched) source.Unread(state.current);
    return false;
  }

  position = letter;
  switch (kind) {
    case ConversionKind::Integer:
      if (!ScanInteger(spec, state, source, destination)) return false;
      break;
    case ConversionKind::Count:
      StoreCount(spec, state, source, destination);
      break;
    case ConversionKind::Text:
      if (!ScanText(spec, state, source, destination, position)) return false;
      break;
    case ConversionKind::Float:
      if (!ScanFloatOnCopies(spec, state, source, destination)) return false;
      break;
    case ConversionKind::Literal:
      if (!CompareLiteral(spec, state, source, *letter)) return false;
      ++position;
      return true;  // a literal match is not counted as a match
  }
  CountUp(state.matchedCount);
  ++position;  // past the letter, or past the ']' of a scan set
  return true;
}

}  // namespace

const unsigned char* ParseDirective(const unsigned char* percent, DirectiveSpec& spec) {
  spec = DirectiveSpec{};
  return ParseInto(percent, spec);
}

ConversionKind KindOf(int conversion) {
  switch (conversion) {
    case 'd': case 'o': case 'u': case 'i': case 'x': case 'p':
      return ConversionKind::Integer;
    case 'n':
      return ConversionKind::Count;
    case 'c': case 's': case '{':
      return ConversionKind::Text;
    case 'e': case 'f': case 'g':
      return ConversionKind::Float;
    default:
      return ConversionKind::Literal;
  }
}

int ScanFormat(ScanSource& source, const char* formatText, const DestinationList& destinations) {
  ScanState state;
  const auto* position = reinterpret_cast<const unsigned char*>(formatText);
  while (*position != 0) {
    if (IsSpace(*position)) position = MatchWhitespaceRun(source, position);
    bool matched;
    if (*position == '%') {
      matched = RunDirective(state, source, destinations, position);
    } else {
      matched = MatchLiteral(state, source, *position);
      ++position;
    }
    if (!matched || EndRuleStops(state, position)) break;
  }
  return Result(state);
}

}  // namespace voltrima
