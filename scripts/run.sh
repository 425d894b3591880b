#!/usr/bin/env bash
# Set-up, release build, then start the player.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release
exec build/release/app/tuval
