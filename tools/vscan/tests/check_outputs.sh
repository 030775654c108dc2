#!/usr/bin/env bash
# Runs each mode of vscan on small fixtures and compares the exact output,
# exit status included, with the files under expected/.
# Usage: check_outputs.sh VSCAN [--update]
set -u
vscan=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
update=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
failures=0

# check NAME ARGS...: the output of `vscan ARGS...` (stdin from $stdin_file
# when set) must equal expected/NAME.
check() {
  local name=$1
  shift
  local actual
  actual=$(cd "$here" && "$vscan" "$@" < "${stdin_file:-/dev/null}" 2>&1; echo "status $?")
  if [ "$update" = --update ]; then
    printf '%s\n' "$actual" > "$here/expected/$name"
  elif ! diff -u "$here/expected/$name" <(printf '%s\n' "$actual"); then
    echo "FAILED: $name (vscan $*)"
    failures=$((failures + 1))
  fi
}

twenty_one_ints=$(printf '%%d %.0s' $(seq 21))
one_to_21=$(seq -s ' ' 21)

# One scan: every store kind and size, as a person reads it.
check run_mixed        '%15s %d %lf %*s %n' 'move 12 -3.5 north'
check run_kinds        '%hd %u %I64d %x %p %f %lf %3c %S %[a-z]%n' \
                       "-2 -1 -9000000000 ff 1F 0.1 0.1 a$(printf '\t')b wide abc"
check run_wraps        '%hd %ho %I64u %hn' '70000 -1 -1 x'
check run_floats       '%f %lf %lg %e' '1e40 -1e400 4.9e-324 nan'
# Bytes that equal the buffers' fill are still told apart from untouched ones.
check run_fill_bytes   '%2c%c%n' "$(printf 'ZZ\xa5')"
check run_escapes      '%s %lc' "$(printf 'a"b\\c\xe9\x01 \xff')"
# Where and why a scan stops.
check run_mismatch     '%d,%d' '1;2'
check run_empty_input  '%d %s' ''
check run_input_out    '%d %d' '5'
check run_space_at_end 'x ' 'x'
check run_percent_end  '%d%' '5x'
check run_no_stores    'abc%%' 'abc%'
check run_past_twenty  "$twenty_one_ints" "$one_to_21"
check run_dash_format  -- '-%d' '-5'

# The steps of a format, with warnings for what is surely a mistake.
check explain_steps    --explain '%d,%5[^,] %n%y%% %I64x %*hd %lS %3c %0d name=%s %'
check explain_sets     --explain '%[]a-]%[^]]%2l[z-x-]%[-a]%{0-9]%[^a%5'
check explain_counts   --explain '%d %n%5n%*n%hn%d%n'
check explain_letters  --explain '% d%I6d%Fd%Nd%wc%hS%hlS%LS%I64I64p'
check explain_past_twenty --explain "$twenty_one_ints"
check explain_empty    --explain ''

# Every line of a file: tab-separated rows, JSON lines, standard input.
check lines_tsv        -f '%s %s %d %d %lf' requests.log
check lines_json       -f --json '%s %s %d %d %lf' requests.log
stdin_file=$here/requests.log check lines_stdin -f '%*s %[^ ] %*d "%[^"]"' -
stdin_file=$here/requests.log check lines_stdin_json -f --json '%*s %[^ ] %*d "%[^"]"'

if [ "$failures" -gt 0 ]; then
  echo "$failures output check(s) failed"
  exit 1
fi
echo "all output checks passed"
