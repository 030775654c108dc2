// The input source. Read, Unread and SkipWhitespace are inline in the chief
// header: they run once for every character of the input.
#include "scan.h"

namespace voltrima {

ScanSource OpenSource(const char* text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  return ScanSource{bytes, bytes, 0};
}

}  // namespace voltrima
