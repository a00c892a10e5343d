#!/usr/bin/env bash
# Every character beyond ASCII in the programs' own texts (the string literals of src/ and
# tools/, as \u escapes or as they are) must be drawn by a font of the packages the programs
# depend on; otherwise a box shows where it stands (the exit question's full-width question
# mark, the bridge link's Chinese stop text).
#
#   tst_fontcoverage.sh SOURCE_DIR FONT_PACKAGE...
set -euo pipefail
source=$1
shift
packages=("$@")

# The font files of those packages.
font_files=$(mktemp)
trap 'rm -f "$font_files"' EXIT
for package in "${packages[@]}"; do
    if ! dpkg -L "$package" > /dev/null 2>&1; then
        echo "FAIL: the font package $package is not installed (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
    dpkg -L "$package" | grep -E '\.(ttf|ttc|otf|pfb)$' >> "$font_files" || true
done

# One line per character: its code in hexadecimal, then where it is used first. Comments are
# skipped; byte escapes (\x..) are bytes, not text.
characters=$(find "$source/src" "$source/tools" -name '*.cpp' -o -name '*.h' | LC_ALL=C sort \
    | xargs perl -CSD -ne '
        BEGIN { undef $/; $root = shift @ARGV }
        my $file = $ARGV;
        while (/\G(?:(\/\/[^\n]*|\/\*.*?\*\/)|(?:u8|[uUL])?R"([^(\s]{0,16})\((.*?)\)\2"|(?:u8|[uUL])?"((?:[^"\\\n]|\\.)*)"|(?:u8|[uUL])?\x27(?:[^\x27\\\n]|\\.)*\x27|.)/gs) {
            my $text = defined $3 ? $3 : $4;
            next unless defined $text;
            my $line = substr($_, 0, $-[0]) =~ tr/\n//;
            my @codes;
            push @codes, hex($1 // $2) while $text =~ /\\u([0-9A-Fa-f]{4})|\\U([0-9A-Fa-f]{8})/g;
            push @codes, ord($1) while $text =~ /([^\x00-\x7F])/g;
            for my $c (@codes) {
                my $key = sprintf("%04x", $c);
                next if $seen{$key}++;
                printf "%s %s:%d\n", $key, substr($file, length($root) + 1), $line + 1;
            }
        }' "$source")

if [ -z "$characters" ]; then
    echo "FAIL: no character beyond ASCII found in the sources; the search itself is broken" >&2
    exit 1
fi

missing=0
while read -r code place; do
    # Listed in full first: grep -q ends at the first match, and under pipefail the listing it
    # leaves unread would fail the check.
    fonts=$(fc-list ":charset=$code" file | sed 's/: *$//')
    if ! grep -qxFf "$font_files" <<< "$fonts"; then
        echo "FAIL: U+${code^^} ($place) is in no font of: ${packages[*]}" >&2
        missing=$((missing + 1))
    fi
done <<< "$characters"

count=$(echo "$characters" | wc -l)
if [ $missing -ne 0 ]; then
    echo "$missing of $count characters have no font" >&2
    exit 1
fi
echo "all $count characters beyond ASCII have a font:"
echo "$characters" | sed 's/^/  U+/'
