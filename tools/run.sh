#!/usr/bin/env bash
# Sets up the machine, builds the program and its tools and starts what
# exists so far under Wine: the foundation's parameter-file scanner lists
# the entries of a parameter file (the sample unless a file is given).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ROOT/tools/setup.sh"
bash "$ROOT/tools/build.sh"
source "$ROOT/tools/wine-env.sh"
trap 'wine_finish' EXIT
wine_prepare
FILE=${1:-$ROOT/tests/data/sample.par}
wine "${SPIRALIX_BUILD:-$ROOT/build}/bracescan.exe" "Z:$(realpath "$FILE")"
