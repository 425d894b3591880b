#!/usr/bin/env bash
# Set-up, sanitizer build and the whole test suite (the soak test is run by hand:
# ctest --test-dir build/test -L soak).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUVAL_SANITIZE=ON
cmake --build build/test
ctest --test-dir build/test --output-on-failure -LE soak -j2
