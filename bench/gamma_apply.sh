#!/usr/bin/env bash
# Runs gamma_apply_bench on a virtual desktop with 16 monitors (needs root for Xorg).
#   bench/gamma_apply.sh [BUILD_DIR]    (default: the repository's build/)
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
bench="${1:-$repo/build}/bench/gamma_apply_bench"
[[ -x "$bench" ]] || { echo "gamma_apply.sh: build $bench first" >&2; exit 1; }

read -r display _ < <("$repo/scripts/virtual-desktop" start --monitors 16 --owner $$)
trap '"$repo/scripts/virtual-desktop" stop "$display"' EXIT

DISPLAY="$display" "$bench"
