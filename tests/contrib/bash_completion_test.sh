#!/usr/bin/env bash
# The bash completion of vxlinspect: what it offers after each kind of word,
# with the bash-completion package's helpers when they are installed and
# with its own fall-back when they are not.
#
# Usage: bash_completion_test.sh COMPLETION_FILE
set -uo pipefail
completion=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" && mkdir folder && touch a.vxl b.vxl picture.png page.html notes.txt

failures=0
checks=0

# expect "WORDS TYPED" "EXPECTED OFFERS": the last word is the one being
# completed (empty after a trailing space).
expect() {
  local line=$1 expected=$2
  local -a COMP_WORDS COMPREPLY=()
  # Split as bash splits the line: at blanks and around "=".
  read -ra COMP_WORDS <<<"${line//=/ = }"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  _vxlinspect vxlinspect "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sed 's:/$::' | sort -u | xargs)
  ((++checks))
  if [[ $got != "$expected" ]]; then
    echo "$mode: '$line': offered '$got', expected '$expected'"
    ((++failures))
  fi
}

run_checks() {
  expect "vxlinspect " "--help --version check diff html png sheet stats"
  expect "vxlinspect s" "sheet stats"
  expect "vxlinspect check " "a.vxl b.vxl folder"
  expect "vxlinspect check a.vxl " "a.vxl b.vxl folder"
  expect "vxlinspect png a.vxl " "folder picture.png"
  expect "vxlinspect png --scale 2 a.vxl " "folder picture.png"
  expect "vxlinspect png --scale=2 a.vxl " "folder picture.png"
  expect "vxlinspect png a.vxl out.png --" "--scale --view"
  expect "vxlinspect png a.vxl --view " "iso overview top"
  expect "vxlinspect png a.vxl --view o" "overview"
  expect "vxlinspect png a.vxl --view=o" "overview"
  expect "vxlinspect png a.vxl --scale=1" "1 10 11 12 13 14 15 16"
  expect "vxlinspect png a.vxl --scale 1" "1 10 11 12 13 14 15 16"
  expect "vxlinspect diff a.vxl " "a.vxl b.vxl folder"
  expect "vxlinspect diff a.vxl b.vxl " ""
  expect "vxlinspect diff a.vxl b.vxl --" "--exact"
  expect "vxlinspect stats a.vxl --" "--json"
  expect "vxlinspect check --" ""
  expect "vxlinspect html a.vxl " "folder page.html"
  expect "vxlinspect html a.vxl page.html " ""
  expect "vxlinspect sheet " "folder"
  expect "vxlinspect sheet folder " "a.vxl b.vxl folder"
}

mode="own fall-back"
(
  source "$completion"
  run_checks
  exit "$failures"
) || failures=$?

helpers=/usr/share/bash-completion/bash_completion
if [[ -r $helpers ]]; then
  mode="bash-completion"
  (
    source "$helpers"
    source "$completion"
    run_checks
    exit "$failures"
  ) || failures=$((failures + $?))
fi

if ((failures > 0)); then
  echo "$failures failed"
  exit 1
fi
echo "bash completion: every check as expected"
