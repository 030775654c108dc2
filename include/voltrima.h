/* voltrima: formatted scanning for host applications.
 *
 * int DllSscanf(const char *input, const char *format, void *d1, ..., NULL);
 *
 * Reads values out of `input` as `format` says and stores them at the
 * destination addresses that follow, in order. Returns the number of values
 * stored, or -1 when the input ran out before any directive succeeded.
 *
 * The caller's limits (nothing here is checked):
 *   - `input` and `format` are valid zero-terminated byte texts;
 *   - the destinations end with a null pointer, and at most 20 are used
 *     (arguments after the 20th are never read);
 *   - every destination has room for what its directive stores.
 * A directive that would store but finds no destination ends the scan
 * without storing anything.
 *
 * Safe to call from any number of threads at once, provided that they do
 * not share destinations.
 */
#ifndef VOLTRIMA_H
#define VOLTRIMA_H

#if defined(_WIN32)
#  define VOLTRIMA_CALL __cdecl
#  define VOLTRIMA_API
#elif defined(VOLTRIMA_BUILDING) && defined(__GNUC__)
#  define VOLTRIMA_CALL
#  define VOLTRIMA_API __attribute__((visibility("default")))
#else
#  define VOLTRIMA_CALL
#  define VOLTRIMA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

VOLTRIMA_API int VOLTRIMA_CALL DllSscanf(const char *input, const char *format, ...);

#ifdef __cplusplus
}
#endif

#endif /* VOLTRIMA_H */
