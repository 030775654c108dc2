// The library's one export: gathers the caller's destinations and scans.
#include <cstdarg>

#include "scan/scan.h"
#include "voltrima.h"

extern "C" VOLTRIMA_API int VOLTRIMA_CALL DllSscanf(const char* input, const char* format, ...) {
  voltrima::DestinationList destinations;
  std::va_list arguments;
  va_start(arguments, format);
  // The list ends at the first null; an argument after the 20th is never read.
  int count = 0;
  while (count < voltrima::MaxDestinations) {
    void* destination = va_arg(arguments, void*);
    if (destination == nullptr) break;
    destinations.slots[count++] = destination;
  }
  va_end(arguments);
  destinations.count = count;
  return voltrima::ScanString(input, format, destinations);
}
