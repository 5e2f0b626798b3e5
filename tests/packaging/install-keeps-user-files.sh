#!/usr/bin/env bash
# Usage: install-keeps-user-files.sh BUILD_DIR
#
# Installs the build into a scratch prefix, checks the layout beside the
# executable, puts an administrator's tarvelo.ini, ausnahmen.txt, tarvelo.log
# and the route refresh plugin's automation/hmailserver.ini there and installs
# again: those files must come through byte for byte and with their
# permissions, and nothing may be installed outside the prefix.
set -euo pipefail

build=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarvelo-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/opt tarvelo"
failures=0
fail() {
  echo "FEHLER: $*" >&2
  failures=$((failures + 1))
}

install_once() {
  cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log" >&2; echo "cmake --install failed" >&2; exit 1; }
  while IFS= read -r installed; do
    case "$installed" in
      "$prefix"/*) ;;
      *) fail "installed outside the prefix: $installed" ;;
    esac
  done <"$build/install_manifest.txt"
}

install_once

# The layout: the program, the shipped plugins, the two examples; nothing else.
expected=$(
  {
    echo tarvelo
    echo tarvelo.ini.example
    echo ausnahmen.txt.example
    for plugin in "$build"/automation/*.so; do
      [ -e "$plugin" ] && echo "automation/$(basename "$plugin")"
    done
  } | sort
)
actual=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
[ "$actual" = "$expected" ] || fail "installed files:
$actual
expected:
$expected"
[ -x "$prefix/tarvelo" ] || fail "tarvelo is not executable"
[ ! -s "$prefix/ausnahmen.txt.example" ] || fail "ausnahmen.txt.example is not empty"
grep -q '^Provider=' "$prefix/tarvelo.ini.example" || fail "tarvelo.ini.example has no Provider="

# The administrator's own files, then a second installation over them.
printf '[SQL]\r\nProvider=Provider=SQLite;Data Source=/srv/hmail/hmailserver.db\r\n[Options]\r\nProtokoll=/var/log/tarvelo/\r\n' \
  >"$prefix/tarvelo.ini"
chmod 600 "$prefix/tarvelo.ini"
printf 'postmaster@\r\n>newsletter@\r\n' >"$prefix/ausnahmen.txt"
printf '01.02.2024 02:30:00: Start des Programms\r\n' >"$prefix/tarvelo.log"
mkdir -p "$prefix/automation"
printf '[Remote]\r\nCommand=ssh -T hmail@mailsrv.example.com powershell -NoProfile -Command -\r\n' >"$prefix/automation/hmailserver.ini"
chmod 600 "$prefix/automation/hmailserver.ini"
snapshot() {
  for own in tarvelo.ini ausnahmen.txt tarvelo.log automation/hmailserver.ini; do
    printf '%s %s %s\n' "$own" "$(stat -c '%a %s' "$prefix/$own")" "$(sha256sum <"$prefix/$own")"
  done
}
before=$(snapshot)

install_once

after=$(snapshot)
[ "$after" = "$before" ] || fail "the second installation changed the administrator's files:
before:
$before
after:
$after"
[ -x "$prefix/tarvelo" ] || fail "tarvelo missing after the second installation"

[ "$failures" -eq 0 ] || exit 1
echo "installed twice into $prefix; the administrator's files unchanged"
