#!/usr/bin/env bash
# Builds the fuzz targets with libFuzzer and AddressSanitizer (not part of the normal
# build). Usage: fuzz/build.sh [out-dir]; then run e.g. out/fuzz_japanese_text -max_total_time=60
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build-fuzz}"
mkdir -p "$out"
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -I"$root")
clang++ "${flags[@]}" "$root/fuzz/fuzz_japanese_text.cpp" "$root/text/JapaneseText.cpp" \
  -o "$out/fuzz_japanese_text"
clang++ "${flags[@]}" "$root/fuzz/fuzz_reply.cpp" "$root/net/ServerReply.cpp" "$root/net/HeaderList.cpp" \
  -o "$out/fuzz_reply"
clang++ "${flags[@]}" "$root/fuzz/fuzz_header.cpp" "$root/net/MailMessage.cpp" "$root/text/JapaneseText.cpp" \
  "$root/net/EmailAddress.cpp" "$root/net/EmailAddressList.cpp" "$root/net/HeaderList.cpp" -o "$out/fuzz_header"
clang++ "${flags[@]}" "$root/fuzz/fuzz_pasv.cpp" "$root/net/PassiveReply.cpp" -o "$out/fuzz_pasv"
echo "built in $out"
