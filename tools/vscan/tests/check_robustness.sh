#!/usr/bin/env bash
# vscan on bad usage (exit status 2 and a message that says what is wrong)
# and on hostile formats (never a crash, never a write outside a buffer).
# Usage: check_robustness.sh VSCAN
set -u
vscan=$1
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# usage MESSAGE ARGS...: exit status 2, MESSAGE and the usage on stderr,
# nothing on stdout.
usage() {
  local message=$1
  shift
  local out err status
  err=$("$vscan" "$@" 2>&1 >/dev/null </dev/null)
  out=$("$vscan" "$@" 2>/dev/null </dev/null)
  "$vscan" "$@" >/dev/null 2>&1 </dev/null
  status=$?
  [ "$status" -eq 2 ] || fail "vscan $* exited $status, not 2"
  [ -z "$out" ] || fail "vscan $* printed to stdout: $out"
  [[ "$err" == *"$message"* && "$err" == *"usage: vscan"* ]] ||
    fail "vscan $*: stderr lacks '$message': $err"
}

usage "a FORMAT and a TEXT are needed"
usage "a FORMAT and a TEXT are needed"       '%d'
usage "too many arguments"                   '%d' 1 2
usage "unknown option '--bogus'"             --bogus '%d' 1
usage "unknown option '-%d'"                 '-%d' '-5'
usage "--explain takes exactly one FORMAT"   --explain
usage "--explain takes exactly one FORMAT"   --explain '%d' 5
usage "-f takes a FORMAT and at most one FILE" -f
usage "-f takes a FORMAT and at most one FILE" -f '%d' a b
usage "--json goes with -f only"             --json '%d' 5
usage "--explain and -f do not go together"  --explain -f '%d'

"$vscan" --help | grep -q '^Examples:' || fail "--help shows no examples"
"$vscan" -f '%d' no-such-file >/dev/null 2>&1
[ $? -eq 1 ] || fail "a missing FILE does not exit with status 1"

# Every hostile format goes through all three modes, on a short text, a
# long one, and the empty one. Exit status 0 is required: 3 means the
# library wrote outside a destination, 128 and above a crash.
long_text=$(printf 'word %.0s12 -3.5e2 [x] ' $(seq 3000))
many_s=$(printf '%%s%.0s' $(seq 40))
many_c=$(printf '%%5c%.0s' $(seq 40))
many_n=$(printf '%%n%.0s' $(seq 40))
huge_format=$(printf '%%d %%*s %.0s' $(seq 5000))
every_letter=$(for b in $(seq 1 255); do printf "%%\\$(printf '%03o' "$b")"; done)
hostile_formats=(
  '' ' ' '%' '%*' '%5' '%l' '%I64' '%I6' '%I' '%0' '%0n' '%0d' '% d' '%%%'
  '%[' '%[^' '%[]' '%[^]' '%[a-' '%[-' '%[]-' "$(printf '%%[\001-\377]')"
  "$(printf '%%[^\001-\377]')" "$(printf '%%\377')" "$(printf '%%3l[\200-\377]')"
  '%99999999999999999999s' '%2147483647c' '%2147483648c' '%99999999999999999999lc'
  '%4294967296d' '%hhhhhhhhhhhhhhhhd' '%llllllllllllllllllllf' '%**********d'
  '%hhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhn' '%I64I64I64I64I64I64n' '%wwwwwwwwwS'
  "$many_s" "$many_c" "$many_n" "$huge_format" "$every_letter"
)
lines=$(mktemp)
printf "%s\n" "short 1 line" "$long_text" "" > "$lines"
trap 'rm -f "$lines"' EXIT
for format in "${hostile_formats[@]}"; do
  label=${format:0:40}
  for text in 'abc 12 -3.5 %x] y' "$long_text" ''; do
    "$vscan" -- "$format" "$text" >/dev/null 2>&1
    status=$?
    [ "$status" -eq 0 ] || fail "vscan '$label' on a text of ${#text} bytes: status $status"
  done
  "$vscan" --explain -- "$format" >/dev/null 2>&1
  status=$?
  [ "$status" -eq 0 ] || fail "vscan --explain '$label': status $status"
  for json in "" --json; do
    "$vscan" -f $json -- "$format" "$lines" >/dev/null 2>&1
    status=$?
    [ "$status" -eq 0 ] || fail "vscan -f $json '$label': status $status"
  done
done

if [ "$failures" -gt 0 ]; then
  echo "$failures robustness check(s) failed"
  exit 1
fi
echo "all robustness checks passed"
