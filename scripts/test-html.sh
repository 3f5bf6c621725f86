#!/usr/bin/env bash
# Renders the pages of guidepack-dump --html in Debian's headless Chromium:
# the DOM of an evening's guide holds a row per channel and each programme in
# its channel's row, the page's own script runs and no other, its screenshot
# is not blank, hostile titles stay text, and the page names no address.
# Uses the build in build/ (or the folder given), building it first if
# needed; leaves the screenshot in BUILD_DIR/html/evening.png (docs/ has a
# copy for the README).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
scripts/install-deps.sh --html
scripts/build.sh "$dir" >/dev/null
out=$dir/html
rm -rf "$out"
mkdir -p "$out"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT

fail() {
  echo "test-html: $*" >&2
  exit 1
}

# Chromium as the machine allows it: as root without its sandbox, and
# without the background connections a closed network refuses.
chromium() {
  timeout 60 chromium-headless-shell --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --hide-scrollbars \
    --user-data-dir="$profile" "$@" 2>>"$out/chromium.log"
}

# page NAME: the page of tests/data/html/NAME.xml, with a fixed time stamp.
page() {
  SOURCE_DATE_EPOCH=1796712035 "$dir/guidepack" -q "tests/data/html/$1.xml" "$out/$1.prg"
  "$dir/guidepack-dump" --html "$out/$1.prg" >"$out/$1.html"
}

# The titles of each channel, in order, as the listing gives them and as the
# rendered page shows them (blocks, then the programmes it could not place).
listing_titles() {
  perl -0777 -ne 'my @ids = /<channel id="([^"]*)"/g; my %titles;
    push @{$titles{$1}}, $2 while /<programme [^>]*channel="([^"]*)">.*?<title>(.*?)<\/title>/gs;
    print "channel $_: ", join(" | ", @{$titles{$ids[$_]} // []}), "\n" for 0 .. $#ids' "$1"
}
page_titles() {
  perl -0777 -ne 'my @rows = split /<section class="row"/; shift @rows;
    print "channel $_: ", join(" | ", $rows[$_] =~ /<summary[^>]*><b>(.*?)<\/b>/g), "\n" for 0 .. $#rows' "$1"
}
count() { grep -o -- "$1" "$2" | wc -l; }

page evening
chromium --dump-dom "file://$PWD/$out/evening.html" >"$out/evening.dom"
diff <(listing_titles tests/data/html/evening.xml) <(page_titles "$out/evening.dom") ||
  fail "the rendered rows do not hold the listing's titles"
# evening.xml: 4 channels, 12 programmes, one of them with a stop to the hour only.
[[ $(count '<section class="row"' "$out/evening.dom") -eq 4 ]] || fail "not 4 rows"
[[ $(count 'class="programme"' "$out/evening.dom") -eq 11 ]] || fail "not 11 blocks"
[[ $(count '<ul class="untimed"><li>' "$out/evening.dom") -eq 1 ]] || fail "the unplaced programme is not listed"
grep -q '<input type="search" id="find"' "$out/evening.dom" || fail "the page's own script did not run"

script_hash=$(perl -0777 -ne 'print $1 if /<script>(.*?)<\/script>/s' "$out/evening.html" |
  openssl dgst -sha256 -binary | base64)
grep -qF "script-src 'sha256-$script_hash'" "$out/evening.html" || fail "the policy does not name the script's hash"
! grep -Eiq 'https?:' "$out/evening.html" || fail "the page names an address"
! grep -Eq '(src|href)="[^#]' "$out/evening.html" || fail "the page refers to something outside itself"

chromium --window-size=1880,380 --screenshot="$out/evening.png" "file://$PWD/$out/evening.html" >/dev/null
colours=$(pngtopnm "$out/evening.png" | ppmhist -noheader)
# The header's and the blocks' colours, and the many of text drawn on them.
has_colour() { grep -Eq "^[[:space:]]*$1[[:space:]]+$2[[:space:]]+$3[[:space:]]" <<<"$colours"; }
has_colour 31 58 82 || fail "no header in the screenshot"
has_colour 212 230 247 || fail "no programme block in the screenshot"
[[ $(wc -l <<<"$colours") -gt 50 ]] || fail "the screenshot is nearly blank"

# Hostile texts stay text, with the page's policy and without it.
page hostile
sed '/Content-Security-Policy/d' "$out/hostile.html" >"$out/hostile-no-policy.html"
for name in hostile hostile-no-policy; do
  chromium --dump-dom "file://$PWD/$out/$name.html" >"$out/$name.dom"
  ! grep -q 'id="pwned"' "$out/$name.dom" || fail "$name: a script from the guide ran"
  [[ $(count '<script' "$out/$name.dom") -eq 1 ]] || fail "$name: a script element from the guide"
  ! grep -Eq '<(img|svg)' "$out/$name.dom" || fail "$name: an element from the guide"
  grep -qF '<b>&lt;script&gt;document.body.append' "$out/$name.dom" || fail "$name: the title is not shown as text"
done
echo "test-html: 4 pages rendered, all checks passed"
