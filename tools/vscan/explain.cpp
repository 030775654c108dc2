// vscan --explain FORMAT: the steps of a format as the scanner sees them,
// with warnings for what is legal but surely a mistake.
#include <cstdio>

#include "modes.h"

namespace vscan {
namespace {

std::string Quoted(unsigned char c) {
  std::string text = "'";
  text += Escaped(reinterpret_cast<const char*>(&c), 1, Style::Tsv);
  text += '\'';
  return text;
}

// The members of a scan set as characters and ranges: 'a'-'z' '_'.
std::string DescribeSet(const Step& step) {
  std::string members;
  int count = 0;
  for (int c = 1; c < 256; ++c) {
    const bool member = (step.set.memberBits[c >> 3] >> (c & 7)) & 1;
    if (!member) continue;
    int last = c;
    while (last + 1 < 256 && ((step.set.memberBits[(last + 1) >> 3] >> ((last + 1) & 7)) & 1))
      ++last;
    if (count++ > 0) members += ' ';
    members += Quoted(static_cast<unsigned char>(c));
    if (last > c) members += (last > c + 1 ? "-" : " ") + Quoted(static_cast<unsigned char>(last));
    c = last;
  }
  if (count == 0) members = "nothing";
  return step.set.rejectMask ? "scan set: all bytes but " + members : "scan set: " + members;
}

// The modifiers as written: every byte between '%' and the letter but the
// width digits and '*'.
std::string Modifiers(const char* format, const Step& step) {
  std::string text;
  for (std::size_t i = step.offset + 1; i < step.letterOffset; ++i) {
    const char b = format[i];
    if (b == 'I') {
      text += "I64";
      i += 2;
    } else if (b != '*' && (b < '0' || b > '9')) {
      text += b;
    }
  }
  return text;
}

std::string DescribeDirective(const char* format, const Step& step) {
  std::vector<std::string> parts;
  if (step.spec.widthDigits > 0) parts.push_back("width " + std::to_string(step.spec.width));
  if (step.spec.suppress) parts.push_back("suppressed");
  const std::string modifiers = Modifiers(format, step);
  if (!modifiers.empty()) parts.push_back("modifiers " + modifiers);
  parts.push_back(step.letter ? "letter " + Quoted(step.letter) : "no letter");
  if (step.isScanSet && !(step.warnings & UnclosedScanSet)) parts.push_back(DescribeSet(step));
  if (step.store == StoreKind::None)
    parts.push_back(step.letter ? "compares with " + Quoted(step.letter) : "never matches");
  else
    parts.push_back(DescribeStore(step) + (step.spec.suppress ? " (not stored)" : ""));
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  if (step.destination >= 0) text += " -> " + DestinationLabel(step.destination);
  return text;
}

std::vector<std::string> WarningsOf(const Step& step) {
  std::vector<std::string> out;
  const unsigned w = step.warnings;
  if (w & ComparesWithLetter)
    out.push_back("no conversion has this letter: it only matches " + Quoted(step.letter) +
                  " in the input, like a literal character");
  if (w & WhitespaceLetter)
    out.push_back("the letter is whitespace, which a directive never matches: the scan ends here");
  if (w & PercentAtEnd)
    out.push_back("a '%' at the end of the format: it skips input whitespace and ends the scan");
  if (w & UnclosedScanSet)
    out.push_back("the scan set has no closing ']': the scan ends here");
  if (w & ZeroWidth) out.push_back("a width of 0 ends the scan here");
  if (w & CountHiddenBySpace)
    out.push_back("the whitespace in front hides this %n from the end rule: once the input "
                  "has run out, it does not run");
  if (w & CountNotExactPair)
    out.push_back("only a plain %n still runs once the input has run out; this one does not");
  if ((w & PastTwentieth) && step.destination == voltrima::MaxDestinations)
    out.push_back("a call takes at most 20 destinations: the scan ends here");
  return out;
}

std::string DescribeStep(const char* format, const Step& step) {
  switch (step.kind) {
    case StepKind::WhitespaceRun:
      return "whitespace: skips any input whitespace, none included";
    case StepKind::Literals:
      return step.length == 1 ? "literal: must equal the next input byte"
                              : "literals: each must equal the next input byte";
    case StepKind::Directive:
      return "directive: " + DescribeDirective(format, step);
  }
  return {};
}

}  // namespace

int Explain(const char* format) {
  const FormatPlan plan = PlanFormat(format);
  std::vector<std::vector<std::string>> rows;
  for (const Step& step : plan.steps) {
    const std::string text = step.kind == StepKind::Directive
                                  ? DirectiveText(format, step)
                                  : Escaped(format + step.offset, step.length, Style::Human);
    rows.push_back({std::to_string(step.offset), text, DescribeStep(format, step)});
    for (const std::string& warning : WarningsOf(step))
      rows.push_back({"", "", "warning: " + warning});
  }
  if (rows.empty()) rows.push_back({"0", "\"\"", "empty format: the result is 0, nothing is read"});
  PrintTable(rows);
  std::printf("destinations: %d\n", plan.destinationCount);
  if (plan.destinationCount > voltrima::MaxDestinations)
    std::printf("warning: the format takes %d destinations; a call takes at most 20\n",
                plan.destinationCount);
  return 0;
}

}  // namespace vscan
