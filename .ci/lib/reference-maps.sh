# Shared by the CI scripts: the recorded whole-file digests, read from the
# one list the tests read too (tests/reference/digests.txt, lines
# "SEED FLAGS NAME VALUE", FLAGS - for a plain run, comment lines with #),
# and a check that a build of vxlforge writes them. Source it from the
# repository's top folder.

# Prints "SEED FLAGS DIGEST" for each recorded map, in the list's order.
# With "staged", only the seeds and flags that also have digests of the
# stages (the nine reference seeds); with "all", every one.
reference_file_digests() {
  local which=${1:-staged}
  awk -v which="$which" '
    /^#/ || NF == 0 { next }
    NF != 4 { printf "tests/reference/digests.txt:%d: not SEED FLAGS NAME VALUE\n", NR > "/dev/stderr"; bad = 1; exit 1 }
    { key = $1 " " $2 }
    $3 == "file" { if (!(key in digest)) order[++n] = key; digest[key] = $4; next }
    { staged[key] = 1 }
    END {
      if (bad) exit 1
      for (i = 1; i <= n; ++i)
        if (which == "all" || staged[order[i]]) { print order[i], digest[order[i]]; ++shown }
      if (shown == 0) { print "tests/reference/digests.txt: no file digests" > "/dev/stderr"; exit 1 }
    }
  ' tests/reference/digests.txt
}

# Prints the recorded digest of the map of SEED with FLAGS (- or -d).
reference_digest() {
  local entries
  entries=$(reference_file_digests all) || return 1
  awk -v seed="$1" -v flags="$2" '$1 == seed && $2 == flags { print $3; found = 1 }
    END { if (!found) { print "no recorded map for seed " seed " " flags > "/dev/stderr"; exit 1 } }' <<<"$entries"
}

# check_reference_maps NAME MAP_FOLDER COMMAND...
# Runs COMMAND -s SEED [FLAGS] -o MAP for each of the nine reference seeds
# and compares each map's SHA-256 with the list. Appends what differs to
# the array `failures`, naming the build NAME; returns 1 when anything did.
check_reference_maps() {
  local name=$1 folder=$2
  shift 2
  local seed flags digest map actual status=0 entries
  entries=$(reference_file_digests staged) || { failures+=("$name: cannot read the digest list"); return 1; }
  mkdir -p "$folder"
  while read -r seed flags digest; do
    map="$folder/$seed$flags.vxl"
    local args=(-s "$seed" -o "$map")
    [[ $flags != - ]] && args+=("$flags")
    if ! "$@" "${args[@]}" >/dev/null; then
      failures+=("$name: seed $seed $flags: vxlforge failed")
      status=1
      continue
    fi
    actual=$(sha256sum "$map" | cut -d' ' -f1)
    if [[ $actual != "$digest" ]]; then
      failures+=("$name: seed $seed $flags: $actual, expected $digest")
      status=1
    fi
  done <<<"$entries"
  rm -rf "$folder"
  return $status
}
