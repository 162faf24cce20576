#!/usr/bin/env bash
# End-to-end check of the installation in a Wine prefix of its own: the
# install step and the uninstaller run in install-probe exactly as tarnlet.exe
# runs them, and what they leave is read as a user's system reads it: files
# byte for byte, the uninstall entry through Wine's reg, the shortcut through
# lnkinfo, which parses .lnk files without Wine.
#   install_e2e.sh <install-probe.exe> <build folder>
set -euo pipefail
probe=$1
build=$(cd "$2" && pwd)
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)

if ! command -v lnkinfo >/dev/null; then
  echo "install_e2e: lnkinfo is missing (Debian liblnk-utils): run scripts/setup" >&2
  exit 1
fi

work=$(mktemp -d "$build/install-e2e.XXXXXX")
export TARNLET_WINEPREFIX=$work/prefix
export WINEPREFIX=$TARNLET_WINEPREFIX
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}

run() { "$repo/scripts/wine-run" "$@"; }
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# A folder the prefix's profile names, as a Linux path.
profile_folder() { run winepath -u "$(run cmd /c echo "$1" | tr -d '\r')" | tr -d '\r'; }

export TARNLET_PROBE_LOG
TARNLET_PROBE_LOG=$(windows_path "$work/probe.log")
log=$work/probe.log
: >"$log"

# Waits until the log has a line matching the pattern; false after 30 s.
wait_for_log() {
  local pattern=$1
  for _ in $(seq 300); do
    grep -qE "$pattern" "$log" && return 0
    sleep 0.1
  done
  echo "log so far:" >&2
  cat "$log" >&2
  return 1
}

data=$(profile_folder '%LOCALAPPDATA%')/tarnlet
temp=$(profile_folder '%TEMP%')
shortcut=$(profile_folder '%APPDATA%')/Microsoft/Windows/Start\ Menu/tarnlet.lnk
entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\tarnlet'
installed_windows="$(run winepath -w "$data/tarnlet.exe" | tr -d '\r')"
data_windows="$(run winepath -w "$data" | tr -d '\r')"

mkdir -p "$work/Downloads"
download=$work/Downloads/tarnlet.exe
cp "$probe" "$download"

# A field of lnkinfo's report, such as "Local path".
lnk_field() { lnkinfo "$shortcut" | tr -d '\r' | sed -n "s/^\t$1\t*: //p" | head -1; }
# The log's lines without the process ids.
events() { cut -d' ' -f2- "$log"; }
has_event() { events | grep -qxF "$1"; }

echo "== first start from a download folder"
run "$download" >/dev/null 2>&1
download_windows=$(windows_path "$download")
check "the first start ran from the download folder" has_event "start $download_windows | "
check "and went on from there" has_event "continued"
check "the installed copy is byte-equal to the started one" cmp -s "$download" "$data/tarnlet.exe"
reg_output=$(run reg query "$entry" | tr -d '\r')
has_value() { grep -qxF "    $1    $2    $3" <<<"$reg_output"; }
has_number() { grep -qxE "    $1    REG_DWORD    0x[0-9a-f]+" <<<"$reg_output"; }
check "DisplayName" has_value DisplayName REG_SZ "tarnlet 1.1"
check "UninstallString" has_value UninstallString REG_SZ "$installed_windows --uninstall"
check "InstallLocation" has_value InstallLocation REG_SZ "$data_windows"
check "Publisher" has_value Publisher REG_SZ "Brackwater Inc."
check "Version" has_value Version REG_SZ "1.1"
check "DisplayIcon" has_value DisplayIcon REG_SZ "$installed_windows, 0"
check "DisplayVersion" has_value DisplayVersion REG_SZ "1.1"
check "EstimatedSize" has_number EstimatedSize
check "NoModify" has_value NoModify REG_DWORD 0x1
check "NoRepair" has_value NoRepair REG_DWORD 0x1
check "the shortcut's target" test "$(lnk_field 'Local path')" = "$installed_windows"
check "the shortcut's working directory" test "$(lnk_field 'Working directory')" = "$data_windows"
check "the shortcut's description" test "$(lnk_field 'Description')" = "tarnlet"
check "the shortcut's icon" test "$(lnk_field 'Icon location')" = "$installed_windows"
check "the shortcut's icon index" test "$(lnk_field 'Icon index')" = "0"
check "the shortcut has no arguments" bash -c "! lnkinfo '$shortcut' | grep -q 'command line arguments'"

echo "== the installed copy with an identical replacement"
: >"$log"
cp "$data/tarnlet.exe" "$data/_tarnlet.exe"
run "$data/tarnlet.exe" >/dev/null 2>&1
check "the installed copy goes on" has_event "continued"
check "the identical replacement is deleted" test ! -e "$data/_tarnlet.exe"

echo "== the installed copy with a different replacement"
: >"$log"
cp "$probe" "$data/_tarnlet.exe"
printf 'a newer build' >>"$data/_tarnlet.exe"
cp "$data/_tarnlet.exe" "$work/newer.exe"
run "$data/tarnlet.exe" --verbose "two words" >/dev/null 2>&1
check "the installed copy ends quietly" has_event "ended quietly"
check "the replacement starts with this run's arguments" \
  wait_for_log "start $(printf '%s' "$data_windows" | sed 's/[\\.]/\\&/g')\\\\_tarnlet\.exe \| --verbose \"two words\"$"
check "and goes on" wait_for_log "continued"
check "having installed itself" cmp -s "$work/newer.exe" "$data/tarnlet.exe"
: >"$log"
run "$data/tarnlet.exe" >/dev/null 2>&1
check "the next start of the installed copy goes on" has_event "continued"
check "and has tidied the replacement" test ! -e "$data/_tarnlet.exe"

echo "== uninstall"
: >"$log"
echo "rows" >"$data/127.0.0.1.txt"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
run reg add "$run_key" /v tarnlet /d "\"$installed_windows\" --minimized" /f >/dev/null 2>&1
run "$data/tarnlet.exe" --uninstall >/dev/null 2>&1
check "the installed copy ends quietly" has_event "ended quietly"
check "its copy runs from the temporary folder" \
  wait_for_log "start $(printf '%s' "$(run winepath -w "$temp" | tr -d '\r')" | sed 's/[\\.]/\\&/g')\\\\tarnlet\.exe \| --uninstall$"
check "and reports the end" wait_for_log "continued"
check "with the window shown, the status set and Close enabled" \
  bash -c "cut -d' ' -f2- '$log' | grep -xE 'show|status .*|finished' | tr '\n' '|' | grep -qxF 'show|status tarnlet has been successfully uninstalled|finished|'"
check "the data folder is gone" test ! -e "$data"
check "the shortcut is gone" test ! -e "$shortcut"
check "the uninstall entry is gone" bash -c "! '$repo/scripts/wine-run' reg query '$entry' >/dev/null 2>&1"
check "the start with Windows is gone" bash -c "! '$repo/scripts/wine-run' reg query '$run_key' /v tarnlet >/dev/null 2>&1"

echo "== --noInstall"
: >"$log"
run "$download" --noInstall >/dev/null 2>&1
check "the start goes on" has_event "continued"
check "no data folder" test ! -e "$data"
check "no shortcut" test ! -e "$shortcut"
check "no uninstall entry" bash -c "! '$repo/scripts/wine-run' reg query '$entry' >/dev/null 2>&1"

echo "== uninstall while the installed program runs"
run "$download" >/dev/null 2>&1
check "a new install removes the uninstaller's copy" test ! -e "$temp/tarnlet.exe"
: >"$log"
run "$data/tarnlet.exe" --stay=60 >/dev/null 2>&1 &
wait_for_log "continued" >/dev/null
began=$(date +%s%N)
run "$data/tarnlet.exe" --uninstall >/dev/null 2>&1
check "the user is told" wait_for_log "told Unable to uninstall when the application is in use\.$"
ended=$(date +%s%N)
check "the uninstaller ends quietly" wait_for_log "ended quietly"
elapsed_ms=$(((ended - began) / 1000000))
echo "the uninstall gave up after $elapsed_ms ms"
check "after about 3 seconds" test "$elapsed_ms" -ge 2500
check "the installed program stays" test -e "$data/tarnlet.exe"
check "the uninstall entry stays" "$repo/scripts/wine-run" reg query "$entry" >/dev/null 2>&1
check "the shortcut stays" test -e "$shortcut"

if [ "$failures" -gt 0 ]; then
  echo "install_e2e: $failures failed"
  exit 1
fi
echo "install_e2e: all passed"
