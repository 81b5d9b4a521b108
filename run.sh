#!/usr/bin/env bash
# Installs what is missing, builds soundpath, and starts it beside its generated data files.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cd build
exec ./soundpath
