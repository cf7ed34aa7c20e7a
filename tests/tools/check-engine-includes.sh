#!/usr/bin/env bash
# Fails when an engine source includes a Qt Widgets header or a window header.
# $1: the engine sources, one path a line; $2: the window headers, one path a line;
# $3: the project folder; $4...: Qt Widgets include folders.
set -u
engines=$1 windows=$2 top=$3
shift 3
widget_names=$(for dir in "$@"; do [ -d "$dir/QtWidgets" ] && ls "$dir/QtWidgets"; done | sort -u)
window_headers=$(sed "s|^$top/||" "$windows" | sort -u)
faults=0
while IFS= read -r source; do
  case "$source" in "$top"/controls/*) continue ;; esac  # controls is the widget library itself
  while IFS= read -r included; do
    name=${included##*/}
    if grep -qxF "$name" <<<"$widget_names" || grep -qxF "$included" <<<"$window_headers" ||
       [[ "$included" == QtWidgets* ]]; then
      echo "${source#$top/} includes $included"
      faults=$((faults + 1))
    fi
  done < <(sed -n -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/p' "$source")
done < "$engines"
echo "$faults engine files include a widget or window header"
[ "$faults" -eq 0 ]
