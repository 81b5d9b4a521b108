#!/usr/bin/env bash
# Installs what is missing, builds soundpath and its tests, and runs every test: the unit tests
# and the end-to-end tests (which start their own X server and need no sound card).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh test
ctest --test-dir build --output-on-failure
