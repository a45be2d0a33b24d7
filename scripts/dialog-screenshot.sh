#!/usr/bin/env bash
# dialog-screenshot.sh BUILD_DIR OUT.png [OPTION [ROW]]: the parameter dialog
# of an option (1 by default), or the value prompt of one of its rows, under a
# virtual display, saved as a PNG.
set -euo pipefail
build=$1; out=$2; option=${3:-1}; row=${4:-0}
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
XDG_DATA_HOME=$data QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/dialogs_qt/dialogshot" "$(realpath -m "$out")" "$option" "$row"
