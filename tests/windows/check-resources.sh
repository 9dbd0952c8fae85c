#!/usr/bin/env bash
# Reads velora.scr back as the system's screensaver settings read it, with
# icoutils' wrestool and the MinGW objdump: string 1 alone in a Russian
# block, the Russian MAINICON in four sizes, the manifest (with its DPI
# awareness), the version, the GUI subsystem, and imports of system
# libraries only.
#   check-resources.sh SCR OBJDUMP VERSION
set -u
scr=$1
objdump=$2
version=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

listing=$(wrestool -l "$scr") || fail "wrestool cannot read $scr"
grep -q -- "--type=6 --name=1 --language=1049 " <<<"$listing" || fail "no string block 1 tagged 1049: $listing"
grep -q -- "--type=14 --name='MAINICON' --language=1049 " <<<"$listing" || fail "no icon group MAINICON tagged 1049"
[ "$(grep -c -- '--type=6 ' <<<"$listing")" -eq 1 ] || fail "not exactly one string block"

# A string block holds strings 0 to 15, each a UTF-16 length and its units.
read -r -a units <<<"$(wrestool -x --raw --type=6 --name=1 "$scr" | od -An -v -tu2 | tr -s ' \n' ' ')"
expected="Velora Skyshow"
if [ "${#units[@]}" -eq $((2 + ${#expected} + 14)) ]; then
  text=""
  for ((i = 0; i < ${#expected}; i++)); do text+=$(printf "\\$(printf '%03o' "${units[2 + i]}")"); done
  [ "${units[0]}" -eq 0 ] || fail "string 0 is not empty"
  [ "${units[1]}" -eq ${#expected} ] && [ "$text" = "$expected" ] || fail "string 1 is '$text', not '$expected'"
else
  fail "the string block holds ${#units[@]} units, not string 1 alone"
fi

wrestool -x --type=group_icon --name=MAINICON "$scr" >"$work/icon.ico" || fail "MAINICON cannot be extracted"
sizes=$(icotool -l "$work/icon.ico" | sed -n 's/.*--width=\([0-9]*\) --height=\([0-9]*\).*/\1x\2/p' | sort -n | tr '\n' ' ')
[ "$sizes" = "16x16 32x32 48x48 256x256 " ] || fail "icon sizes are '$sizes'"

manifest=$(wrestool -x --raw --type=24 --name=1 "$scr" | tr -s ' \n' ' ')
grep -q 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<<"$manifest" || fail "no common controls 6.0.0.0"
grep -q 'requestedExecutionLevel level="asInvoker" uiAccess="false"' <<<"$manifest" || fail "no asInvoker without uiAccess"
# Per-monitor awareness, V2 first, the older declaration for older systems.
settings='<application xmlns="urn:schemas-microsoft-com:asm.v3"> <windowsSettings>.*</windowsSettings> </application>'
settings=$(grep -o "$settings" <<<"$manifest") || fail "no windowsSettings of asm.v3"
grep -q '<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor</dpiAwareness>' \
  <<<"$settings" || fail "no dpiAwareness PerMonitorV2, PerMonitor"
grep -q '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>' <<<"$settings" ||
  fail "no dpiAware true/pm"

wrestool -x --raw --type=16 "$scr" | tr -d '\0' | grep -q "FileVersion$version" || fail "no version $version"

headers=$("$objdump" -p "$scr")
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || fail "not a program of the GUI subsystem"
while read -r dll; do
  case "${dll,,}" in
    kernel32.dll | user32.dll | gdi32.dll | shell32.dll | ole32.dll | msvcrt.dll | advapi32.dll) ;;
    *) fail "imports $dll, which is no system library" ;;
  esac
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
grep -qi 'DLL Name: opengl32' <<<"$headers" && fail "imports OpenGL32.dll instead of loading it"

if [ "$failures" -eq 0 ]; then echo "$(basename "$scr"): resources and imports as the system expects"; fi
exit $((failures > 0))
