#!/usr/bin/env bash
# Builds the fuzz targets with libFuzzer and AddressSanitizer (not part of the normal
# build). Usage: fuzz/build.sh [out-dir]; then run e.g. out/fuzz_japanese_text -max_total_time=60
# Every target is tried, so one that fails to build does not hide the others; the
# script then ends with status 1 and names the ones that failed.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build-fuzz}"
mkdir -p "$out"
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -I"$root")
failed=()
target() {
  local name=$1
  shift
  clang++ "${flags[@]}" "$root/fuzz/$name.cpp" "${@/#/$root/}" -o "$out/$name" || failed+=("$name")
}
target fuzz_japanese_text text/JapaneseText.cpp
target fuzz_reply net/ServerReply.cpp net/HeaderList.cpp
target fuzz_header net/MailMessage.cpp text/JapaneseText.cpp net/EmailAddress.cpp net/EmailAddressList.cpp \
  net/HeaderList.cpp
target fuzz_pasv net/PassiveReply.cpp
target fuzz_line_reader intake/LineReader.cpp
if ((${#failed[@]})); then
  echo "not built: ${failed[*]}" >&2
  exit 1
fi
echo "built in $out"
