/* A host's-eye view: scan one line of a script with DllSscanf, from C. */
#include <stdio.h>

#include "voltrima.h"

int main(void) {
  const char *line = "move 12 -3.5 north";
  char verb[16], direction[16];
  int steps = 0;
  double angle = 0;
  int stored = DllSscanf(line, "%15s %d %lf %15s", verb, &steps, &angle, direction, (void *)0);
  printf("DllSscanf(\"%s\", \"%%15s %%d %%lf %%15s\") = %d\n", line, stored);
  printf("  verb=\"%s\" steps=%d angle=%g direction=\"%s\"\n", verb, steps, angle, direction);
  return stored == 4 ? 0 : 1;
}
