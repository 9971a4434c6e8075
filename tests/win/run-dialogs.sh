#!/usr/bin/env bash
# Opens the Windows build's dialogs 101, 102, 103, 106, 107, 108, 110, 115, corvane's main
# window 125 and its About box 109 for real under Wine, answers each from a script by control
# id, and checks what the dialog left behind and the transcript. With a second argument, each
# window is photographed into that folder as a PNG while it is on screen.
#
# Usage: run-dialogs.sh BIN_DIR [SCREENSHOT_DIR]   (on an X display, wine on the PATH)
set -uo pipefail
. "$(dirname "$0")/wine-env.sh"
bin=$(cd "$1" && pwd)
shots=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
export WINEDEBUG=${WINEDEBUG:--all}
# Without a window manager on the display, Wine draws the title bars itself when told to.
[ -n "$shots" ] && wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1

# run NAME PROGRAM ARGUMENT ID TITLE SCRIPT: runs the program with the script; photographs window
# ID (titled TITLE) while it waits on screen when photos are wanted.
run() {
  local name=$1 program=$2 argument=$3 id=$4 title=$5
  printf '%s\n' "$6" >"$work/$name.script"
  : >"$work/$name.log"
  local pause=0
  [ -n "$shots" ] && pause=2500
  VEILPOST_UI="script:$(winepath -w "$work/$name.script")" \
    VEILPOST_UI_LOG="$(winepath -w "$work/$name.log")" VEILPOST_UI_PAUSE_MS=$pause \
    timeout 120 "$VP_WINE64" "$bin/$program" $argument >"$work/$name.out" 2>"$work/$name.err" &
  local pid=$!
  if [ -n "$shots" ]; then
    for _ in $(seq 1 150); do
      grep -q "\"event\":\"dialog-open\",\"id\":$id," "$work/$name.log" && break
      sleep 0.2
    done
    sleep 1
    timeout 30 import -window "$title" "$shots/$name.png" 2>/dev/null ||
      echo "no screenshot of $title ($id)"
  fi
  wait $pid || { echo "FAIL $name: exit status $?"; status=1; }
}

# expect NAME TEXT...: the program printed each TEXT; expect_log NAME FRAGMENT...: the transcript
# holds each JSON fragment; refuse_log NAME TEXT: it does not hold TEXT.
holds() { # FILE WHAT NAME TEXT...
  local file=$1 what=$2 name=$3
  shift 3
  for text in "$@"; do
    grep -qF -- "$text" "$work/$name.$file" ||
      { echo "FAIL $name: $what lacks: $text"; cat "$work/$name.$file"; status=1; }
  done
}
expect() { holds out output "$@"; }
expect_log() { holds log transcript "$@"; }
refuse_log() {
  ! grep -qF -- "$2" "$work/$1.log" || { echo "FAIL $1: transcript holds: $2"; status=1; }
}

# Whatever the stored options, the line ends with 1002 chosen and "Encrypt message" cleared.
run dialog-101 vp_windialogs.exe 101 101 "Encryption options" \
  'dialog 101 click 1000; click 1002; check 1011; uncheck 1011; click 1'
expect dialog-101 "choice 1002 message 0 attachments 1"
expect_log dialog-101 '"event":"check","dialog":101,"id":1002,"checked":true}' \
  '"event":"check","dialog":101,"id":1011,"checked":false}' \
  '{"event":"dialog-close","id":101,"title":"Encryption options","answer":0,"answered":true}'

run dialog-102 vp_windialogs.exe 102 102 "Decrypt attachments" \
  "$(printf '%s\n' 'dialog 102 select "notes.txt"; click 1012; click 1004' 'save-as C:\out')"
expect dialog-102 "result 0"
expect_log dialog-102 '"event":"list-add","dialog":102,"id":1001,"index":0,"text":"report.doc"}' \
  '{"event":"window-enable","class":"#32770","title":"Decrypt attachments","enabled":false}' \
  '{"event":"save-as","name":"notes.txt","folder":"","extension":"txt","overwrite-prompt":true,"answer":"C:\\out.txt","answered":true}' \
  '{"event":"cursor","shape":"wait"}' 'notes.txt cannot be opened for reading!' \
  '{"event":"cursor","shape":"arrow"}' \
  '{"event":"dialog-close","id":102,"title":"Decrypt attachments","answer":1004,"answered":true}'

run dialog-103 vp_windialogs.exe 103 103 "Enter PGP Signing Passphrase" \
  'dialog 103 type 1005 "s3cret pass"; click 1'
expect dialog-103 "passphrase length 11"
expect_log dialog-103 '{"event":"set-text","dialog":103,"id":1005,"length":11}'
refuse_log dialog-103 "s3cret"

run dialog-106 vp_windialogs.exe 106 106 "The following key(s) was found in the file" \
  'dialog 106 select-index 1008 1; click 1004'
expect dialog-106 "closed"
expect_log dialog-106 '"id":1008,"index":0,"text":"Bob Example <bob@example.com>  [0123 4567 89AB CDEF]"}' \
  '{"event":"set-title","dialog":106,"text":"The following key(s) was found in the file"}' \
  '"id":1008,"index":1,"text":"Carol Example <carol@example.com>  [FEDC BA98 7654 3210]","selected":true}' \
  '"answer":1004,"answered":true}'

run dialog-107 vp_windialogs.exe 107 107 "List of possible names" \
  'dialog 107 select "Bob Other <bob@other.example>  [FEDC BA98 7654 3210]"; click 1'
expect dialog-107 "result 0 chosen FEDCBA9876543210"
expect_log dialog-107 '"id":1012,"text":"The recipient name \"bob\" is ambiguous. Please choose the correct name!"}'

# Nobody answers: the closing button is pressed and the dialog is told unanswered.
run dialog-108 vp_windialogs.exe 108 108 "List of names without PGP public keys" ''
expect dialog-108 "continue 0"
expect_log dialog-108 '{"event":"list-add","dialog":108,"id":1011,"index":0,"text":"Carol Example/Brinmoor"}' \
  '{"event":"command","dialog":108,"id":2,"by":"close"}' '"answer":0,"answered":false}'
refuse_log dialog-108 "Dave Example"

run dialog-115 vp_windialogs.exe 115 115 "Error" 'dialog 115 click 1023; click 1'
expect dialog-115 "result 0 clipboard [gpg: decryption failed: bad key"
expect_log dialog-115 '{"event":"set-text","dialog":115,"id":1021,"text":"GnuPG reported:"}' \
  '{"event":"clipboard","text":"gpg: decryption failed: bad key\r\n"}'

# A read-only edit refuses typing; the arrows go on from the typed number.
run corvane-110 vp_windialogs.exe 110 110 "Configuration" \
  'dialog 110 type 1008 C:\x.exe; type 1002 41; spin 1003 up; click 1034; click 1'
expect corvane-110 "interval 42 agent 1"
expect_log corvane-110 '{"event":"script-error","line":1,"text":"edit 1008 is read-only (in \"type\")"}' \
  '{"event":"set-text","dialog":110,"id":1002,"text":"42"}' \
  '{"event":"enable","dialog":110,"id":1002,"enabled":false}'

run corvane-103 vp_windialogs.exe 103c 103 "Configuration" 'dialog 103 type 1002 7; click 2'
expect corvane-103 "interval 5 agent 0"
expect_log corvane-103 '{"event":"range","dialog":103,"id":1003,"low":0,"high":99}' \
  '{"event":"dialog-close","id":103,"title":"Configuration","answer":2,"answered":true}'

run corvane-125 corvane.exe "" 125 "Veilpost Control" "$(printf '%s\n' 'window 125 click 1026' \
  'menu 1025' 'dialog 110 click 2' 'dialog 103 click 2' 'window 125 click 1031; click 1031' \
  'window 125 click 1028')"
expect_log corvane-125 '{"event":"tray-add","icon":32869,"tip":"Veilpost Control"' \
  '{"event":"message","caption":"Information","text":"Passphrase cleared.","buttons":"ok","answer":"ok","answered":true}' \
  '{"event":"menu","items":"About Veilpost ...|-|Options ...|Clear cached passphrase|-|Exit","answer":1025}' \
  '"event":"dialog-close","id":1' '{"event":"check","dialog":125,"id":1031,"checked":false}' \
  '{"event":"window-destroy","id":125,"title":"Veilpost Control"}'

# The About box from corvane's window: both pictures loaded at their real sizes, the version line
# in a weight-900 font, on white.
run corvane-109 corvane.exe "" 109 "About Veilpost" "$(printf '%s\n' 'window 125 click 1024' \
  'dialog 109 click 1' 'window 125 click 1028')"
expect_log corvane-109 '{"event":"picture","dialog":109,"resource":119,"width":325,"height":49}' \
  '{"event":"picture","dialog":109,"resource":122,"width":60,"height":72}' \
  '{"event":"set-text","dialog":109,"id":1007,"text":"Veilpost Ver ' \
  '{"event":"font","dialog":109,"id":1007,"weight":900}' \
  '{"event":"background","dialog":109,"colour":"white"}' \
  '{"event":"dialog-close","id":109,"title":"About Veilpost","answer":1,"answered":true}'

[ $status -eq 0 ] && echo "dialogs under Wine: all passed"
exit $status
