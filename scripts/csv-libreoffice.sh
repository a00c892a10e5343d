#!/usr/bin/env bash
# Opens a CSV file written by meterlog in LibreOffice (headless) and checks that the spreadsheet
# holds the same cells as the table: commas, quotes, line breaks and non-ASCII text included.
# Needs soffice (apt-get install libreoffice-calc-nogui) and a built meterlog.
#
#   scripts/csv-libreoffice.sh [BUILD_DIR]      (default build-test)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-test}
meterlog="$build/tools/meterlog/meterlog"
command -v soffice > /dev/null || { echo "csv-libreoffice: soffice is not installed" >&2; exit 2; }
[ -x "$meterlog" ] || { echo "csv-libreoffice: no $meterlog (build first)" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/meterlink-csv.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The table: one XML file, with the rows the cells must show.
python3 - "$work" << 'PY'
import json, sys
from xml.sax.saxutils import quoteattr
work = sys.argv[1]
names = ["No", "Time", "DC/AC", "Value", "Unit", "Range", "Auto"]
rows = [
    ["1", "09:05:04", "DCV", "1,234", "V", "4 V", "Auto"],
    ["2", "09:05:05", 'say "hi"', "-0.399", "\u00b0C", "a,b", "Manu"],
    ["", "", "", "", "", "", ""],
    ["3", "09:05:06", "ACV", "a\r\nb", "M\u03a9", "\u00b5A", ""],
    ["10000000", "23:59:59", "TMP", "0025", ";", "'4", "\u6e2c\u8a66"],
]
fields = "".join(
    '<FIELD attrname="%s" fieldtype="%s"%s/>'
    % (n, "i4" if n == "No" else "string", "" if n == "No" else ' WIDTH="20"')
    for n in names) + '<FIELD attrname="Nval" fieldtype="i4"/>'
def attr(v):
    return quoteattr(v, {"\r": "&#13;", "\n": "&#10;"})
body = "".join(
    "<ROW " + " ".join("%s=%s" % (n, attr(v)) for n, v in zip(names, r) if v) + "/>\r\n"
    for r in rows)
with open(work + "/table.xml", "w", encoding="utf-8") as f:
    f.write('<?xml version="1.0" standalone="yes"?>\n<DATAPACKET Version="2.0"><METADATA><FIELDS>'
            + fields + "</FIELDS><PARAMS/></METADATA><ROWDATA>" + body
            + "</ROWDATA></DATAPACKET>\n")
with open(work + "/expected.json", "w") as f:
    json.dump([["No", "Time", "DC/AC", "Value", "Unit", "Range", "AUTO"]] + rows, f)
PY

"$meterlog" convert "$work/table.xml" "$work/table.csv"

# Every column as text, as a user picks when importing; written back out tab-separated.
mkdir -p "$work/out"
soffice --headless -env:UserInstallation="file://$work/profile" \
    --infilter="CSV:44,34,76,1,1/2/2/2/3/2/4/2/5/2/6/2/7/2" \
    --convert-to "csv:Text - txt - csv (StarCalc):9,34,76,1" --outdir "$work/out" \
    "$work/table.csv" > "$work/soffice.log" 2>&1 || { cat "$work/soffice.log" >&2; exit 1; }

python3 - "$work" << 'PY'
import csv, json, sys
work = sys.argv[1]
expected = json.load(open(work + "/expected.json"))
with open(work + "/out/table.csv", encoding="utf-8", newline="") as f:
    got = [row for row in csv.reader(f, delimiter="\t")]
# A spreadsheet keeps a line break in a cell as LF.
expected = [[c.replace("\r\n", "\n") for c in r] for r in expected]
got = [r + [""] * (len(expected[0]) - len(r)) for r in got]
bad = 0
for i, (e, g) in enumerate(zip(expected, got)):
    if e != g:
        bad += 1
        print("row %d: table %r, spreadsheet %r" % (i, e, g))
if len(expected) != len(got):
    bad += 1
    print("rows: table %d, spreadsheet %d" % (len(expected), len(got)))
print("csv-libreoffice: %d rows x %d cells compared, %s"
      % (len(expected), len(expected[0]), "all the same" if bad == 0 else "%d rows differ" % bad))
sys.exit(1 if bad else 0)
PY
