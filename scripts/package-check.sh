#!/usr/bin/env bash
# package-check.sh BUILD: installs BUILD into a scratch prefix, builds the
# .deb with CPack and unpacks it into a scratch root with dpkg -x; checks in
# both that lorvane-cli runs (--version) and that its man page, completion
# and docs are there.
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

check() {  # check ROOT: the installed files under ROOT (a prefix)
  local root=$1
  "$root/bin/lorvane-cli" --version | grep -q '^lorvane-cli [0-9]'
  for f in share/man/man1/lorvane-cli.1 share/bash-completion/completions/lorvane-cli \
           share/doc/lorvane/README.md share/doc/lorvane/bad-input.md; do
    [ -s "$root/$f" ] || { echo "missing: $root/$f" >&2; exit 1; }
  done
  if [ -x "$build/app/lorvane" ]; then
    [ -x "$root/bin/lorvane" ] && [ -s "$root/share/applications/lorvane.desktop" ] &&
      [ -s "$root/share/icons/hicolor/32x32/apps/lorvane.png" ] || { echo "desktop program not installed" >&2; exit 1; }
  fi
  man -l "$root/share/man/man1/lorvane-cli.1" 2>/dev/null | grep -q 'lorvane-cli distance'
}

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check "$scratch/prefix"

(cd "$build" && cpack -G DEB -B "$scratch/package" >/dev/null)
deb=$(ls "$scratch"/package/lorvane_*.deb)
dpkg -x "$deb" "$scratch/root"
# LAPACK is loaded when first needed, so the package names it itself.
dpkg-deb -f "$deb" Depends | grep -q -E 'openblas|lapack' || { echo "the .deb does not depend on LAPACK" >&2; exit 1; }
check "$scratch/root/usr"
echo "package-check: $(basename "$deb") installs and runs"
