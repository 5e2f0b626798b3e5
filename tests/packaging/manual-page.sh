#!/usr/bin/env bash
# Usage: manual-page.sh PAGE
#
# Renders the manual page as `man -l` shows it, with every formatter warning
# turned on: no warning may appear, and the page must tell the switches, the
# files beside the executable and the exit statuses.
set -euo pipefail

page=$1
command -v man >/dev/null || { echo "man is missing; run scripts/install-deps" >&2; exit 1; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarvelo-man.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

status=0
for locale in C.UTF-8 C; do
  LC_ALL=$locale MANWIDTH=80 man --warnings -l "$page" >"$scratch/page" 2>"$scratch/warnings" || status=$?
  if [ "$status" -ne 0 ] || [ -s "$scratch/warnings" ]; then
    echo "man -l $page (LC_ALL=$locale): status $status, warnings:" >&2
    cat "$scratch/warnings" >&2
    exit 1
  fi
done

LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" >"$scratch/page" 2>/dev/null
# The running text as one line, for phrases that the formatter wraps.
tr -s ' \n' '  ' <"$scratch/page" >"$scratch/text"
missing=0
for text in 'TARVELO(1)' NAME ÜBERSICHT BESCHREIBUNG OPTIONEN EXIT-STATUS DATEIEN BEISPIELE \
  /file: /domain: /dbsync /refresh tarvelo.ini ausnahmen.txt tarvelo.log automation/ \
  /etc/default/tarvelo tarvelo.timer 'Datei "pfad" nicht gefunden'; do
  grep -qF -- "$text" "$scratch/text" || { echo "the rendered page lacks: $text" >&2; missing=1; }
done
for status_line in '^ *0 +Der +Lauf' '^ *1 +Ein +Fehler' '^ *2 +Die +mit +/file:'; do
  grep -Eq -- "$status_line" "$scratch/page" || { echo "the rendered page lacks the exit status line /$status_line/" >&2; missing=1; }
done
[ "$missing" -eq 0 ] || exit 1
echo "man -l $page: no warnings"
