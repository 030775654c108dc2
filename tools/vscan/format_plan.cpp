// The format walk of vscan. Directive syntax, letters and scan sets come from
// the library (ParseDirective, KindOf, BuildScanSet); what a directive stores
// is learnt by running the library's own store on a scratch buffer, so the
// tool never carries a second copy of the format rules.
#include "format_plan.h"

#include <algorithm>
#include <cstring>

namespace vscan {
namespace {

using voltrima::ConversionKind;
using voltrima::DirectiveSpec;

constexpr std::size_t ProbeSize = 16;

// Runs `store` over two scratch buffers of different fills: a byte is
// written when both runs leave the same value there. Returns one past the
// last byte written.
template <typename Store>
int BytesWrittenBy(Store store) {
  unsigned char first[ProbeSize];
  unsigned char second[ProbeSize];
  std::memset(first, 0x00, ProbeSize);
  std::memset(second, 0xFF, ProbeSize);
  store(first);
  store(second);
  int written = 0;
  for (std::size_t i = 0; i < ProbeSize; ++i)
    if (first[i] == second[i]) written = static_cast<int>(i) + 1;
  return written;
}

// The directive as it would store: not suppressed, with a width that takes
// the probe.
DirectiveSpec StoringSpec(const DirectiveSpec& spec, std::int32_t width) {
  DirectiveSpec probe = spec;
  probe.suppress = false;
  probe.width = width;
  probe.widthDigits = 1;
  return probe;
}

int ProbeNumberSize(const Step& step) {
  return BytesWrittenBy([&](unsigned char* buffer) {
    DirectiveSpec probe = StoringSpec(step.spec, 1);
    voltrima::ScanState state;
    voltrima::ScanSource source = voltrima::OpenSource("");
    state.current = '0';  // as the driver would have fetched it
    if (step.conversion == ConversionKind::Float)
      voltrima::ScanFloat(probe, state, source, buffer);
    else if (step.conversion == ConversionKind::Count)
      voltrima::StoreCount(probe, state, source, buffer);
    else
      voltrima::StoreInteger(buffer, 0, probe);
  });
}

// A byte that the directive's text conversion takes, or 0 when it takes none.
unsigned char AcceptedByte(const Step& step) {
  if (!step.isScanSet) return 'a';
  for (int c = 1; c < 256; ++c)
    if (step.set.Accepts(c)) return static_cast<unsigned char>(c);
  return 0;
}

// Two characters through the text conversion with a width of 2: the bytes
// written are 2 units, plus one more when a terminator follows.
void ProbeText(Step& step, const unsigned char* letter) {
  const unsigned char taken = AcceptedByte(step);
  if (taken == 0 || (step.warnings & UnclosedScanSet) != 0) {
    // A set that takes no byte, or never closes, never stores; its unit is still the one the
    // wide form stands for.
    step.storeSize = step.spec.wideLevel > 0 ? 2 : 1;
    step.terminated = step.spec.conversion != 'c';
    return;
  }
  const char input[3] = {static_cast<char>(taken), static_cast<char>(taken), 0};
  const int written = BytesWrittenBy([&](unsigned char* buffer) {
    DirectiveSpec probe = StoringSpec(step.spec, 2);
    voltrima::ScanState state;
    voltrima::ScanSource source = voltrima::OpenSource(input);
    state.current = source.Read();
    const unsigned char* position = letter;
    voltrima::ScanText(probe, state, source, buffer, position);
  });
  step.storeSize = written >= 4 ? 2 : 1;
  step.terminated = written == 3 || written == 6;
}

// The closing ']' of the scan set whose letter is at `letter`, or nullptr.
const unsigned char* ReadScanSet(Step& step, const unsigned char* letter) {
  const unsigned char* text = letter + 1;
  step.set.rejectMask = 0x00;
  if (*text == '^') {
    ++text;
    step.set.rejectMask = 0xFF;
  }
  return voltrima::BuildScanSet(text, true, step.set);
}

void NoteDirectiveWarnings(Step& step, const FormatPlan& plan) {
  const DirectiveSpec& spec = step.spec;
  if (spec.widthDigits > 0 && spec.width == 0) step.warnings |= ZeroWidth;
  if (step.conversion == ConversionKind::Literal) {
    if (step.letter == 0)
      step.warnings |= PercentAtEnd;
    else if (voltrima::IsSpace(step.letter))
      step.warnings |= WhitespaceLetter;
    else if (step.letter != '%')
      step.warnings |= ComparesWithLetter;
  }
  if (step.conversion == ConversionKind::Count) {
    if (step.length != 2)
      step.warnings |= CountNotExactPair;
    else if (!plan.steps.empty() && plan.steps.back().kind == StepKind::WhitespaceRun)
      step.warnings |= CountHiddenBySpace;
  }
  if (step.destination >= voltrima::MaxDestinations) step.warnings |= PastTwentieth;
}

// Plans the directive whose '%' is at `percent`; returns where the walk goes
// on, which is the format's zero byte when the directive runs into it.
const unsigned char* PlanDirective(const unsigned char* format, const unsigned char* percent,
                                   FormatPlan& plan) {
  Step step;
  step.kind = StepKind::Directive;
  step.offset = static_cast<std::size_t>(percent - format);
  const unsigned char* letter = voltrima::ParseDirective(percent, step.spec);
  step.letter = *letter;
  step.letterOffset = static_cast<std::size_t>(letter - format);
  step.conversion = voltrima::KindOf(step.spec.conversion);

  const unsigned char* end = letter + (*letter != 0 ? 1 : 0);
  if (step.spec.conversion == '{') {
    step.isScanSet = true;
    const unsigned char* close = ReadScanSet(step, letter);
    if (close != nullptr) {
      end = close + 1;
    } else {
      step.warnings |= UnclosedScanSet;
      end = letter + std::strlen(reinterpret_cast<const char*>(letter));
    }
  }
  step.length = static_cast<std::size_t>(end - percent);

  // A directive without a conversion gives back the destination it took.
  if (!step.spec.suppress && step.conversion != ConversionKind::Literal)
    step.destination = plan.destinationCount++;

  switch (step.conversion) {
    case ConversionKind::Integer: step.store = StoreKind::Integer; break;
    case ConversionKind::Count: step.store = StoreKind::Count; break;
    case ConversionKind::Float: step.store = StoreKind::Float; break;
    case ConversionKind::Text: step.store = StoreKind::Text; break;
    case ConversionKind::Literal: step.store = StoreKind::None; break;
  }
  if (step.store == StoreKind::Text)
    ProbeText(step, letter);
  else if (step.store != StoreKind::None)
    step.storeSize = ProbeNumberSize(step);

  NoteDirectiveWarnings(step, plan);
  plan.steps.push_back(step);
  return end;
}

}  // namespace

FormatPlan PlanFormat(const char* formatText) {
  FormatPlan plan;
  const auto* format = reinterpret_cast<const unsigned char*>(formatText);
  const unsigned char* p = format;
  while (*p != 0) {
    const unsigned char* start = p;
    Step step;
    step.offset = static_cast<std::size_t>(start - format);
    if (voltrima::IsSpace(*p)) {
      step.kind = StepKind::WhitespaceRun;
      while (voltrima::IsSpace(*p)) ++p;
    } else if (*p == '%') {
      p = PlanDirective(format, p, plan);
      continue;
    } else {
      step.kind = StepKind::Literals;
      while (*p != 0 && *p != '%' && !voltrima::IsSpace(*p)) ++p;
    }
    step.length = static_cast<std::size_t>(p - start);
    plan.steps.push_back(step);
  }
  return plan;
}

std::size_t DestinationBytes(const Step& step, std::size_t inputLength) {
  if (step.store != StoreKind::Text) return static_cast<std::size_t>(step.storeSize);
  const DirectiveSpec& spec = step.spec;
  std::size_t units = step.terminated ? inputLength : 1;  // %c takes one character by default
  if (spec.widthDigits > 0) units = static_cast<std::size_t>(spec.width);
  units = std::min(units, inputLength) + (step.terminated ? 1 : 0);
  return std::max<std::size_t>(units, 1) * static_cast<std::size_t>(step.storeSize);
}

bool IsSignedLetter(const Step& step) {
  return step.spec.conversion == 'd' || step.spec.conversion == 'i';
}

}  // namespace vscan
