#!/usr/bin/env bash
# The manual pages and the completion keep up with the programs: every
# command and option that a program's own usage text names must appear in
# its manual page, and vxlinspect's also in its bash completion.
#
# Usage: docs_name_every_option_test.sh VXLFORGE VXLINSPECT SOURCE_DIR
set -uo pipefail
vxlforge=$1 vxlinspect=$2 source=$3
failures=0

# The page's text with roff's escaped hyphens made plain.
page_text() { sed 's/\\-/-/g' "$source/docs/man/$1"; }

vxlforge_page=$(page_text vxlforge.1)
options=$("$vxlforge" -h | grep -oE '^ +-[a-zA-Z?]' | tr -d ' ')
[[ -n $options ]] || { echo "vxlforge -h names no option"; exit 1; }
for option in $options; do
  grep -qF -- "$option" <<<"$vxlforge_page" || { echo "vxlforge.1 lacks $option"; ((++failures)); }
done

vxlinspect_page=$(page_text vxlinspect.1)
completion=$(cat "$source/contrib/bash-completion/vxlinspect")
usage=$("$vxlinspect" --help)
commands=$(grep -oE '^(usage:)? +vxlinspect [a-z]+' <<<"$usage" | awk '{ print $NF }')
long_options=$(grep -oE -- '--[a-z]+' <<<"$usage" | sort -u)
[[ -n $commands && -n $long_options ]] || { echo "vxlinspect --help names no command or option"; exit 1; }
for word in $commands $long_options; do
  grep -qE -- "(^|[^a-z-])$word([^a-z]|$)" <<<"$vxlinspect_page" ||
    { echo "vxlinspect.1 lacks $word"; ((++failures)); }
  grep -qE -- "(^|[^a-z-])$word([^a-z]|$)" <<<"$completion" ||
    { echo "the completion lacks $word"; ((++failures)); }
done

if ((failures > 0)); then
  echo "$failures missing"
  exit 1
fi
echo "manual pages and completion name every option: $(wc -w <<<"$options $commands $long_options") checked"
