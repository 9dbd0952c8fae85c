#!/usr/bin/env bash
# Reads the installer's tables back with msitools' msiinfo, as Windows
# Installer reads them for Apps & features and for an upgrade: the upgrade
# code and the rows of the versions it removes or refuses, the icon and the
# missing change and repair buttons, the 64-bit component in the system
# folder, and no placeholder address.
#   check-installer.sh MSI VERSION UPGRADE_CODE
set -u
msi=$(realpath "$1")
version=$2
code="{$3}"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A table's rows, tab-separated, without the three header lines. Binary
# columns are written out as files into the scratch folder.
rows() { (cd "$work" && msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r'); }
# Columns of the rows whose column KEY is VALUE, separated by '|'.
select_row() { awk -F'\t' -v key="$2" -v value="$3" -v columns="$4" \
  'BEGIN { n = split(columns, c, " ") } $key == value { s = ""; for (i = 1; i <= n; i++) s = s (i > 1 ? "|" : "") $c[i]; print s }' <<<"$1"; }

properties=$(rows Property)
property() { select_row "$properties" 1 "$1" 2; }
[ "$(property UpgradeCode)" = "$code" ] || fail "UpgradeCode is '$(property UpgradeCode)', not $code"
[ "$(property ProductVersion)" = "$version" ] || fail "ProductVersion is '$(property ProductVersion)'"
[ "$(property ALLUSERS)" = 1 ] || fail "not installed per machine"
[ "$(property ARPNOMODIFY)" = 1 ] && [ "$(property ARPNOREPAIR)" = 1 ] || fail "Apps & features offers a change or repair"
icon=$(property ARPPRODUCTICON)
[ -n "$icon" ] && [ -n "$(select_row "$(rows Icon)" 1 "$icon" 1)" ] || fail "ARPPRODUCTICON '$icon' names no Icon row"

# Older versions and this one are removed (VersionMaxInclusive 0x200, not
# OnlyDetect 2); newer ones only detected, this one not among them
# (VersionMinInclusive 0x100), for the launch condition that refuses them.
upgrades=$(rows Upgrade)
[ "$(wc -l <<<"$upgrades")" -eq 2 ] || fail "not two Upgrade rows: $upgrades"
IFS='|' read -r upgrade_code min max attributes <<<"$(select_row "$upgrades" 7 WIX_UPGRADE_DETECTED '1 2 3 5')"
[ "$upgrade_code" = "$code" ] && [ -z "$min" ] && [ "$max" = "$version" ] ||
  fail "the versions removed are not those of $code up to $version: '$min' to '$max'"
((${attributes:-0} & 0x200)) || fail "the version removed stops before $version itself (attributes ${attributes:-none})"
((${attributes:-0} & 2)) && fail "the older versions are only detected, not removed"
IFS='|' read -r upgrade_code min max attributes <<<"$(select_row "$upgrades" 7 WIX_DOWNGRADE_DETECTED '1 2 3 5')"
[ "$upgrade_code" = "$code" ] && [ "$min" = "$version" ] && [ -z "$max" ] ||
  fail "the newer versions are not those of $code above $version: '$min' to '$max'"
((${attributes:-0} & 2)) || fail "newer versions are removed, not only detected"
((${attributes:-0} & 0x100)) && fail "$version itself counts as a newer version"

# The screensaver's file in the 64-bit system folder: the key of a 64-bit
# component (msidbComponentAttributes64bit 256).
IFS='|' read -r file component <<<"$(select_row "$(rows File)" 3 velora.scr '1 2')"
IFS='|' read -r directory attributes key <<<"$(select_row "$(rows Component)" 1 "${component:-none}" '3 4 6')"
[ "$directory" = System64Folder ] || fail "velora.scr is installed into '$directory', not System64Folder"
((${attributes:-0} & 256)) || fail "component '$component' is not 64-bit"
[ -n "$file" ] && [ "$key" = "$file" ] || fail "velora.scr ('$file') is not its component's key"

for table in $(msiinfo tables "$msi"); do rows "$table"; done | grep -aiq 'example\.org' && fail "a placeholder address"

if [ "$failures" -eq 0 ]; then echo "$(basename "$msi"): tables as Windows Installer expects"; fi
exit $((failures > 0))
