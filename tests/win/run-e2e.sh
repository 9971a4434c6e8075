#!/usr/bin/env bash
# End to end under Wine: orlavex.dll driven through veilpost.exe exactly as the mail client's
# script drives it, with a real GnuPG for Windows (tests/fixtures/build-gpg-windows), the Notes
# API stand-in nnotes.dll when the build has it, and the dialogs answered by script lines.
# Each check is exact: the plaintext, the recipients in the packets, the text of the verdict.
#
# Usage: run-e2e.sh BIN_DIR [GPG_GENERATION]   (on an X display, in a Wine prefix of its own)
# GPG_GENERATION is 1 (GnuPG 1.4, the default) or 2 (GnuPG 2.4). When Debian's archive cannot be
# reached, one line says so and the tests needing GnuPG are skipped. VP_E2E_KEEP=1 keeps the work
# folder (scripts, transcripts, outputs of every case) for a look after a failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tests/win/wine-env.sh"
bin=$(cd "$1" && pwd)
generation=${2:-1}
export WINEDEBUG=${WINEDEBUG:--all}
status=0
fail() {
  echo "FAIL $*"
  status=1
}

built=$("$root/tests/fixtures/build-gpg-windows" "$generation")
case $? in
0) ;;
2)
  echo "NOTE: end-to-end tests under Wine with GnuPG $generation skipped (no source archive)"
  exit 0
  ;;
*)
  echo "FAIL: GnuPG $generation for Windows could not be built"
  exit 1
  ;;
esac
[ "$generation" = 2 ] && gpgexe=$built/gpg.exe || gpgexe=$built

work=$(mktemp -d /tmp/vp-e2e-XXXXXX)
corvane_pid=""
cleanup() {
  [ -n "$corvane_pid" ] && kill "$corvane_pid" 2>/dev/null
  if [ "$generation" = 2 ]; then
    for who in alice bob carol; do
      wine "$built/gpgconf.exe" --homedir "$(w "$work/$who/gnupg")" --kill gpg-agent >/dev/null 2>&1
    done
  fi
  [ -n "${VP_E2E_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

# The programs as a Notes client's folder holds them: orlavex.dll beside the program, and the
# stand-in nnotes.dll when the build made one (the build keeps it apart, as a machine without
# Notes has none).
mkdir "$work/bin"
cp "$bin/veilpost.exe" "$bin/orlavex.dll" "$bin/corvane.exe" "$work/bin/"
stand_in=$(dirname "$bin")/stand-in/nnotes.dll
[ -f "$stand_in" ] && cp "$stand_in" "$work/bin/"
bin=$work/bin

w() { winepath -w "$1" 2>/dev/null; }

# gpgw WHO ARGS...: the Windows GnuPG on WHO's key ring; output on standard output.
gpgw() {
  local who=$1
  shift
  local extra=()
  [ "$generation" = 2 ] && extra=(--pinentry-mode loopback)
  wine "$gpgexe" --homedir "$(w "$work/$who/gnupg")" --batch --yes --trust-model always "${extra[@]}" "$@" 2>>"$work/gpg.err" |
    tr -d '\r'
}

# The library's settings, in this prefix's registry.
settings() { # NAME TYPE VALUE
  wine reg add 'HKCU\Software\Brinmoor\Veilpost Ver 1.0' /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1
}
settings GpgProgramPath REG_SZ "$(w "$gpgexe")"
settings UseAgent REG_DWORD 0
settings CacheInterval REG_DWORD 0
settings ShowProcAttDialog REG_DWORD 1

# Wine sets TEMP and TMP from the prefix's own settings for every program: all share the one
# temporary folder.
tmp=$(winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null)
tmp=${tmp%/}
[ -d "$tmp" ] || { echo "FAIL: no temporary folder in the Wine prefix ($tmp)"; exit 1; }

# call NAME WHO SCRIPT EXPORT ARGS...: veilpost.exe calls the export as WHO (their key ring);
# the answers come from SCRIPT. Output in NAME.out (carriage returns
# dropped), the transcript in NAME.log.
call() {
  local name=$1 who=$2 script=$3
  shift 3
  printf '%s\n' "$script" >"$work/$name.script"
  : >"$work/$name.log"
  GNUPGHOME="$(w "$work/$who/gnupg")" \
    VEILPOST_UI="script:$(w "$work/$name.script")" VEILPOST_UI_LOG="$(w "$work/$name.log")" \
    VEILPOST_NOTES_DATA="$(w "$work/notes")" \
    timeout 180 "$VP_WINE64" "$bin/veilpost.exe" call "$@" 2>"$work/$name.err" | tr -d '\r' \
    >"$work/$name.out"
}

holds() { # FILE WHAT NAME TEXT...
  local file=$1 what=$2 name=$3
  shift 3
  for text in "$@"; do
    grep -qF -- "$text" "$file" || { fail "$name: $what lacks: $text" && sed 's/^/    /' "$file"; }
  done
}
expect_result() { # NAME RESULT: the export's result line
  [ "$(head -n1 "$work/$1.out")" = "$2" ] ||
    { fail "$1: result \"$(head -n1 "$work/$1.out")\", not \"$2\"" && sed 's/^/    /' "$work/$1.err"; }
}
expect_log() {
  local name=$1
  shift
  holds "$work/$name.log" transcript "$name" "$@"
}
refuse_log() { # NAME TEXT: the transcript does not hold TEXT
  ! grep -qF -- "$2" "$work/$1.log" || fail "$1: transcript holds: $2"
}
same_file() { # NAME FILE TEXT: FILE holds exactly TEXT
  if [ ! -f "$2" ]; then
    fail "$1: $2 is missing"
  elif [ "$(cat "$2")" != "$3" ]; then
    fail "$1: $2 holds \"$(head -c 200 "$2")\", not \"$3\""
  fi
}
gone() { # NAME FILE...
  local name=$1
  shift
  for f in "$@"; do [ ! -e "$f" ] || fail "$name: $f was left behind"; done
}
# The recipients' key ids GnuPG finds in a message's packets, sorted.
recipients() { gpgw alice --list-packets <"$1" 2>&1 | sed -n 's/.*pubkey enc packet:.* keyid \([0-9A-F]*\).*/\1/p' | sort; }
# The long id of a person's encryption subkey.
subkey_id() { gpgw "$1" --with-colons --list-keys "$2" | awk -F: '$1 == "sub" { print $5; exit }'; }

# The people: Alice signs; Bob's name has quotes and blanks in it; Carol only has a key to hand on.
for who in alice bob carol; do mkdir -p "$work/$who/gnupg"; done
keygen() { # WHO NAME EMAIL PASSPHRASE
  if [ "$generation" = 2 ]; then
    printf 'Key-Type: EDDSA\nKey-Curve: ed25519\nSubkey-Type: ECDH\nSubkey-Curve: cv25519\n' >"$work/params"
  else
    printf 'Key-Type: DSA\nKey-Length: 1024\nSubkey-Type: ELG-E\nSubkey-Length: 1024\n' >"$work/params"
  fi
  printf 'Name-Real: %s\nName-Email: %s\nExpire-Date: 0\nPassphrase: %s\n%%commit\n' "$2" "$3" "$4" >>"$work/params"
  gpgw "$1" --gen-key "$(w "$work/params")" >/dev/null
}
keygen alice "Alice Example" alice@example.com "alice pass"
keygen bob 'Bob "Bo" O'\''Hara Example' bob@example.com "bob pass"
keygen carol "Carol Example" carol@example.com "carol pass"
for pair in alice:bob bob:alice alice:carol; do
  from=${pair%%:*} to=${pair##*:}
  gpgw "$from" --armor --export "$from@example.com" >"$work/key.asc"
  gpgw "$to" --import "$(w "$work/key.asc")"
done
gpgw carol --armor --export carol@example.com >"$work/carol.asc"
bob_uid='Bob "Bo" O'\''Hara Example <bob@example.com>'
if ! gpgw alice --with-colons --list-keys bob@example.com | grep -qF "$bob_uid"; then
  echo "FAIL: the keys could not be made with $gpgexe"
  sed 's/^/    /' "$work/gpg.err"
  exit 1
fi
echo "keys made with $(wine "$gpgexe" --version 2>/dev/null | head -n1 | tr -d '\r')"
bob_types='dialog 104 type 1005 "bob pass"; click 1'
memo=$'Hello Bob,\n\nthe numbers are in.\n\nAlice'

# --- Decrypt and verify: a memo Alice signed and encrypted to Bob with her own GnuPG.
printf '%s\n' "$memo" >"$work/memo.txt"
gpgw alice --passphrase "alice pass" --armor --local-user alice@example.com --recipient bob@example.com --sign --encrypt \
  --output "$(w "$work/signed.asc")" "$(w "$work/memo.txt")"
call decrypt bob "$bob_types" DoDecryptBody "$bob_uid" "@$work/signed.asc" ""
expect_result decrypt 0
same_file decrypt "$tmp/mailbody.pgp" "$memo"
expect_log decrypt '{"event":"dialog-open","id":104,' \
  '"caption":"Information","text":"This email is signed by Alice Example <alice@example.com>.\nSigning key fingerprint: '
refuse_log decrypt '"caption":"Warning"'
refuse_log decrypt 'bob pass'
rm -f "$tmp/mailbody.pgp"

# --- A tampered message: one letter of the armour changed. Refused; no plaintext handed over.
lines=$(wc -l <"$work/signed.asc")
awk -v at=$((lines - 3)) 'NR == at { c = substr($0, 8, 1); $0 = substr($0, 1, 7) (c == "A" ? "B" : "A") substr($0, 9) } { print }' \
  "$work/signed.asc" >"$work/tampered.asc"
cmp -s "$work/signed.asc" "$work/tampered.asc" && fail "tampered: the message was not changed"
call tampered bob "$bob_types" DoDecryptBody "$bob_uid" "@$work/tampered.asc" ""
expect_result tampered -1
if [ -f "$tmp/mailbody.pgp" ] && grep -qF "the numbers are in" "$tmp/mailbody.pgp"; then
  fail "tampered: the plaintext was handed over"
fi
expect_log tampered '{"event":"dialog-open","id":115,"title":"Error"}' '"text":"gpg: CRC error;'
refuse_log tampered '"caption":"Information","text":"This email is signed by'
rm -f "$tmp/mailbody.pgp"

# --- A bad signature: a clear-signed memo changed after signing is told, and not opened.
gpgw alice --passphrase "alice pass" --local-user alice@example.com --clearsign --output "$(w "$work/clear.asc")" \
  "$(w "$work/memo.txt")"
sed 's/the numbers are in/the numbers are out/' "$work/clear.asc" >"$work/badsig.asc"
call badsig bob "$bob_types" DoDecryptBody "$bob_uid" "@$work/badsig.asc" ""
expect_result badsig -1
expect_log badsig '"caption":"Warning","text":"This email signed as Alice Example <alice@example.com> has a BAD signature: the text was changed after it was signed or the signature is forged. It is not opened.'
[ -f "$tmp/mailbody.pgp" ] && grep -qF "numbers are out" "$tmp/mailbody.pgp" &&
  fail "badsig: the changed text was handed over"
rm -f "$tmp/mailbody.pgp"

# --- Import from a body: Carol's key, pasted below a memo Alice signed, offered and imported on
# request.
cat "$work/clear.asc" "$work/carol.asc" >"$work/withkey.asc"
call import bob "$(printf '%s\n' "$bob_types" 'dialog 106 click 1009; click 1004')" DoDecryptBody "$bob_uid" "@$work/withkey.asc" ""
expect_log import '{"event":"dialog-open","id":106,' \
  '"text":"Carol Example <carol@example.com>' '1 public key imported.'
gpgw bob --with-colons --list-keys carol@example.com | grep -qF 'Carol Example <carol@example.com>' ||
  fail "import: Carol's key is not on Bob's key ring"

# --- Detach and View: two attachments Alice signed and encrypted; one saved, one viewed.
plan=$'Project plan\n1. Build it.\n2. Test it for real.'
printf '%s\n' "$plan" >"$work/plan.txt"
printf 'second file\n' >"$work/notes.txt"
for f in plan notes; do
  gpgw alice --passphrase "alice pass" --local-user alice@example.com --recipient bob@example.com --sign --encrypt \
    --output "$(w "$tmp/$f.txt.pgp")" "$(w "$work/$f.txt")"
done
mkdir -p "$work/saved"
call detach bob "$(printf '%s\n' 'dialog 102 unselect-all; select "plan.txt"; click 1012; unselect-all; select "notes.txt"; click 1014; click 1004' \
  "save-as $(w "$work/saved/plan.txt")" "$bob_types" 'shell 42' 'message no')" \
  DoDecryptAttachments "$bob_uid" 'C:\Notes\plan.txt.pgp,C:/Notes/notes.txt.pgp'
expect_result detach 0
same_file detach "$work/saved/plan.txt" "$plan"
expect_log detach '"text":"plan.txt"' '"text":"notes.txt"' '"event":"shell"' \
  '"caption":"Information","text":"The file \"plan.txt.pgp\" is signed by Alice Example <alice@example.com>.'
grep -o '"event":"shell"[^}]*' "$work/detach.log" | grep -q 'notes.txt' ||
  fail "detach: the viewed file was not handed to the shell"
gone detach "$tmp/plan.txt.pgp" "$tmp/notes.txt.pgp" "$tmp/pgptemp"

# --- "/" in an attachment's name: only the part after the last "\" or "/" names a file in the
# temporary folder; a name that is no file name is refused for viewing and nothing is read.
printf 'outside\n' >"$tmp/../outside.pgp"
call slash bob 'dialog 102 unselect-all; select 1001 ".."; click 1014; click 1004' \
  DoDecryptAttachments "$bob_uid" 'x/../../outside.pgp,C:/Notes/..'
expect_result slash 0
refuse_log slash '"event":"shell"'
same_file slash "$tmp/../outside.pgp" "outside"
rm -f "$tmp/../outside.pgp"

# --- WipeFile: the file is overwritten and removed, read-only ones included.
printf 'secret words\n' >"$tmp/wipe-me.txt"
chmod 0444 "$tmp/wipe-me.txt"
call wipe bob "" WipeFile "$(w "$tmp/wipe-me.txt")"
expect_result wipe 0
gone wipe "$tmp/wipe-me.txt"

# --- Symbolic links. Wine 8 shows a Windows program no link as a link: its cmd has no mklink, and
# a symbolic link of the file system under the prefix looks like the file it points to (no
# reparse point). What is checked is what the library can know: the hand-over file made such a
# link is replaced by a file of its own and nothing is written through the link. (Wine removes
# the file the link pointed to when the library deletes the name; on Windows a link is a reparse
# point, and that case is covered by the Windows port test of the wipe.)
printf 'theirs\n' >"$work/theirs.txt"
rm -f "$tmp/mailbody.pgp"
ln -s "$work/theirs.txt" "$tmp/mailbody.pgp"
call symlink bob "" DoQuoteBody "> quoted"
expect_result symlink 0
[ -L "$tmp/mailbody.pgp" ] && fail "symlink: the link is still there"
same_file symlink "$tmp/mailbody.pgp" "> quoted"
[ -f "$work/theirs.txt" ] && same_file symlink "$work/theirs.txt" "theirs"
rm -f "$tmp/mailbody.pgp"

# --- A dialog that cannot open (no display for Wine): a Cancel, the passphrase is not asked
# for again and again, and nothing is handed over.
if [ -n "${DISPLAY:-}" ]; then
  ( unset DISPLAY
    export WINEPREFIX=$work/nodisplay WINESERVER
    settings GpgProgramPath REG_SZ "$(w "$gpgexe")"
    settings UseAgent REG_DWORD 0
    call nodialog bob "$bob_types" DoDecryptBody "$bob_uid" "@$work/signed.asc" ""
    "$WINESERVER" -k >/dev/null 2>&1 )
  expect_result nodialog -1
  expect_log nodialog '{"event":"dialog-failed","id":104,'
  [ "$(grep -c dialog-failed "$work/nodialog.log")" -le 3 ] || fail "nodialog: asked without end"
  grep -rqF "the numbers are in" "$work/nodisplay/drive_c/users" &&
    fail "nodialog: the plaintext was left in the temporary folder"
fi

# --- The passphrase cached in the DLL's shared section: corvane.exe keeps the DLL loaded; Bob's
# second process decrypts without being asked; corvane clears it when the injected clock has
# passed the cache interval.
settings CacheInterval REG_DWORD 5
clock=$work/clock
date +%s >"$clock"
export VEILPOST_CLOCK_FILE VEILPOST_TICK_MS=200
VEILPOST_CLOCK_FILE=$(w "$clock")
printf '' >"$work/corvane.script"
VEILPOST_UI="script:$(w "$work/corvane.script")" VEILPOST_UI_LOG="$(w "$work/corvane.log")" \
  "$VP_WINE64" "$bin/corvane.exe" >/dev/null 2>&1 &
corvane_pid=$!
for _ in $(seq 1 100); do grep -q tray-add "$work/corvane.log" 2>/dev/null && break; sleep 0.2; done
call cache1 bob "$bob_types" DoDecryptBody "$bob_uid" "@$work/signed.asc" ""
expect_result cache1 0
expect_log cache1 '{"event":"dialog-open","id":104,'
call cache2 bob "" DoDecryptBody "$bob_uid" "@$work/signed.asc" ""
expect_result cache2 0
same_file cache2 "$tmp/mailbody.pgp" "$memo"
refuse_log cache2 '"event":"dialog-open"'
# Six minutes later by the clock corvane reads: it clears the passphrase at its next tick.
echo $(($(cat "$clock") + 360)) >"$clock.new" && mv "$clock.new" "$clock"
sleep 3
call cache3 bob "$bob_types" DoDecryptBody "$bob_uid" "@$work/signed.asc" ""
expect_result cache3 0
expect_log cache3 '{"event":"dialog-open","id":104,'
kill "$corvane_pid" 2>/dev/null
wait "$corvane_pid" 2>/dev/null
corvane_pid=""
unset VEILPOST_CLOCK_FILE VEILPOST_TICK_MS
settings CacheInterval REG_DWORD 0
rm -f "$tmp/mailbody.pgp"

# --- The demonstration: keys made with this GnuPG, a directory through nnotes.dll, Alice's signed
# and encrypted memo with its attachment, Bob opening it and detaching the attachment.
if [ -f "$bin/nnotes.dll" ]; then
  timeout 600 "$VP_WINE64" "$bin/veilpost.exe" demo --gpg "$(w "$gpgexe")" 2>&1 | tr -d '\r' >"$work/demo.out"
  holds "$work/demo.out" output demo 'DoEncrypt returned 16 (own public key not attached, attachments encrypted)' \
    'DoDecryptBody returned 0' '   | the project plan is attached. Please keep it to the team.' \
    'The same bytes Alice attached, with a good signature by Alice.' \
    "Result: Bob read Alice's memo and attachment, signed by Alice."
  folder=$(sed -n 's/^   Working folder \(.*\) (removed at the end)$/\1/p' "$work/demo.out")
  [ -n "$folder" ] && [ ! -e "$(winepath -u "$folder" 2>/dev/null)" ] ||
    fail "demo: its folder \"$folder\" was not removed"
  [ "$(wine reg query 'HKCU\Software\Brinmoor\Veilpost Ver 1.0' /v GpgProgramPath 2>/dev/null |
    tr -d '\r' | awk '/GpgProgramPath/ { print $3 }')" = "$(w "$gpgexe")" ] ||
    fail "demo: the GnuPG setting was not put back"
fi

# --- Through the Notes directory (the stand-in nnotes.dll): sign and encrypt to a group and to
# the name with quotes and blanks, the recipients read back from the packets.
if [ -f "$bin/nnotes.dll" ] && [ -x "$root/build/bin/veilpost" ]; then
  notes() { VEILPOST_NOTES_DATA="$work/notes" "$root/build/bin/veilpost" notes "$@" >/dev/null; }
  mkdir -p "$work/notes"
  notes new-directory names.nsf
  notes add-person names.nsf "CN=Alice Example/O=Acme" --mail alice@example.com
  notes add-person names.nsf "CN=Bob \"Bo\" O'Hara Example/O=Acme" --mail bob@example.com
  notes add-person names.nsf "CN=Carol Example/O=Acme" --mail carol@example.com
  notes add-group names.nsf "Sales Team" "CN=Bob \"Bo\" O'Hara Example/O=Acme" "CN=Carol Example/O=Acme"
  gpgw carol --armor --export carol@example.com >"$work/key.asc"
  gpgw alice --import "$(w "$work/key.asc")"
  printf '%s\n' "$memo" >"$work/alice/memo.txt"
  call encrypt alice "$(printf '%s\n' 'dialog 101 click 1000; check 1011; uncheck 1010; click 1' \
    'dialog 103 type 1005 "alice pass"; click 1')" \
    DoEncrypt "" "Alice Example/Acme" "Sales Team" "@$work/alice/memo.txt" ""
  expect_result encrypt 0
  expect_log encrypt '{"event":"window-enable","class":"NOTESframe","title":"Veilpost Mail","enabled":false}'
  cp "$tmp/mailbody.pgp" "$work/group.asc" 2>/dev/null
  [ "$(recipients "$work/group.asc" | tr '\n' ' ')" = \
    "$(printf '%s\n' "$(subkey_id alice bob@example.com)" "$(subkey_id alice carol@example.com)" \
      "$(subkey_id alice alice@example.com)" | sort | tr '\n' ' ')" ] ||
    fail "encrypt: the packets are for $(recipients "$work/group.asc" | tr '\n' ' ')"
  call group-open bob "$bob_types" DoDecryptBody "$bob_uid" "@$work/group.asc" ""
  expect_result group-open 0
  same_file group-open "$tmp/mailbody.pgp" "$memo"
  rm -f "$tmp/mailbody.pgp"
else
  echo "NOTE: the Notes directory cases are not run: $bin/nnotes.dll or build/bin/veilpost is missing"
fi

[ $status -eq 0 ] && echo "end to end under Wine with GnuPG $generation: all passed"
exit $status
