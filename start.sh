#!/usr/bin/env bash
# Builds QuorMail and starts it. The operator's data (database, settings, logs) lives in
# $QUORMAIL_HOME, else ~/.local/share/QuorMail, never in build/.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build --target quormail -j"$(nproc)"
exec build/quormail
