#!/bin/sh
# systemd-analyze verify of the publisher's template unit, as one instance, with the
# velorax-cli of this build in place of /usr/bin/velorax-cli (verify wants the program there).
# Exit 77 (ctest's skip) with a message where systemd-analyze is not installed.
#   check_unit.sh UNIT VELORAX_CLI
set -eu
unit=$1
cli=$2
if ! command -v systemd-analyze >/dev/null 2>&1; then
  echo "skipped: systemd-analyze is not installed"
  exit 77
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
sed "s#/usr/bin/velorax-cli#$cli#" "$unit" >"$dir/velorax-publish@line4.service"
status=0
out=$(systemd-analyze verify --man=no "$dir/velorax-publish@line4.service" 2>&1) || status=$?
# verify also warns without failing: anything it says of this unit is a fault.
if [ "$status" -ne 0 ] || printf '%s\n' "$out" | grep -q 'velorax-publish'; then
  printf '%s\n' "$out"
  exit 1
fi
echo "systemd-analyze verify: velorax-publish@.service is sound"
