// The string-scan layer between the export and the driver.
#include "scan/scan.h"

namespace voltrima {

int ScanString(const char* input, const char* format, const DestinationList& destinations) {
  ScanSource source = OpenSource(input);
  return ScanFormat(source, format, destinations);
}

}  // namespace voltrima
