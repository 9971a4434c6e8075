#!/usr/bin/env bash
# The Notes API stand-in's tests under Wine: makes a store with the Linux build's
# `veilpost notes` commands (a directory with people, groups, a nested group and names with
# quotes; a mail template, a mail database and the plug-in's subform database), runs
# vp_nnotes_tests.exe with nnotes.dll beside it over that store, and reads the store back
# natively afterwards. Called by run-under-wine inside its prefix.
#
#   run-nnotes.sh BUILD_DIR     (build-win64; needs build/bin/veilpost)
set -euo pipefail
cd "$(dirname "$0")/../.."
. tests/win/wine-env.sh
dir=$1
linux=$PWD/build/bin/veilpost
if [ ! -f "$dir/stand-in/nnotes.dll" ]; then
  echo "NOTE: $dir has no stand-in nnotes.dll (no SQLite for mingw-w64 was given); its tests skipped"
  exit 0
fi
if [ ! -x "$linux" ]; then
  echo "run-nnotes.sh: the store is made by the Linux build's $linux, which is missing"
  exit 1
fi
work=$(mktemp -d /tmp/vp-nnotes-XXXXXX)
trap 'rm -rf "$work"' EXIT
export VEILPOST_NOTES_DATA=$work/notes
mkdir -p "$VEILPOST_NOTES_DATA"

notes() { "$linux" notes "$@"; }
notes new-directory names.nsf
notes add-person names.nsf "CN=Bob Example/O=Acme" --short bob --mail bob@example.com
notes add-person names.nsf "CN=Dana \"Dee\" O'Neil/O=Acme" --short dana
notes add-group names.nsf Sales "CN=Bob Example/O=Acme" Inner
notes add-group names.nsf Inner "CN=Dana \"Dee\" O'Neil/O=Acme" "CN=Carl Cole/O=Acme"
notes add-group names.nsf 'Quote "Team"' "CN=Eve Hill/O=Acme"
notes add-group names.nsf Edge "CN=$(printf 'y%.0s' $(seq 245))/O=Acme"
notes new-mail-template mail.ntf
notes new-mail-template mymail.nsf
notes new-subform-db subform.nsf

status=0
mkdir "$work/bin"
cp "$dir/bin/vp_nnotes_tests.exe" "$dir/bin/orlavex.dll" "$dir/stand-in/nnotes.dll" "$work/bin/"
VEILPOST_NOTES_DATA=$(winepath -w "$VEILPOST_NOTES_DATA" | tr -d '\r') \
  wine "$work/bin/vp_nnotes_tests.exe" | tr -d '\r' || status=1

# What Windows wrote is the same store: read natively, the mail database now inherits from the
# plug-in's template and holds its subform.
shown=$(notes show mymail.nsf)
for want in 'PGPR9Mail' 'Veilpost Plugin'; do
  if ! grep -qF "$want" <<<"$shown"; then
    echo "run-nnotes.sh: \`veilpost notes show mymail.nsf\` after the Windows run lacks \"$want\""
    status=1
  fi
done
# The plug-in's template Windows made through nnotes.dll equals, record for record, the one the
# same call makes natively from the same inputs (the hotspot records included).
VEILPOST_NOTES_DATA=$work/native
mkdir -p "$VEILPOST_NOTES_DATA"
notes new-mail-template mail.ntf
notes new-subform-db subform.nsf
"$linux" call CreateVeilpostTemplate subform.nsf mail.ntf pgpmail.ntf >/dev/null
if ! diff <(notes show pgpmail.ntf | tail -n +2) \
  <(VEILPOST_NOTES_DATA=$work/notes notes show pgpmail.ntf | tail -n +2); then
  echo "run-nnotes.sh: the template made on Windows differs from the native one (above)"
  status=1
fi
[ $status -eq 0 ] && echo "run-nnotes.sh: the store Windows changed reads back natively"
exit $status
