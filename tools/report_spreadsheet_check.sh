#!/bin/sh
# Opens a report in a spreadsheet program and checks that every line shows
# the columns the program wrote: the program records one minute of the demo
# project on its virtual instrument, reports it (report.csv, the list
# separator ","), LibreOffice converts the report headless (its .csv import
# with the default separator, as a double click opens it) to a
# tab-separated copy, and each line of the copy must hold the same number of
# cells, with the same first cell, as the report.
#   tools/report_spreadsheet_check.sh [FOLDER]   (from the repository, after the build)
# FOLDER reports that acquisition folder instead of a new recording (of a
# data folder given by ORBELUNE_DATA). Needs soffice (Debian:
# apt-get install --no-install-recommends libreoffice-calc-nogui, about
# 300 MB, too large for every test run). The build folder is $BUILD, else build.
set -eu
build=${BUILD:-build}
cli="$build/cli/orbelune-cli"
work=$(mktemp -d)
sim=
trap '[ -n "$sim" ] && kill "$sim" 2>/dev/null; rm -rf "$work"' EXIT
if [ $# -ge 1 ]; then
  folder=$1
  data=${ORBELUNE_DATA:-$HOME/Orbelune}
else
  data="$work/data"
  "$cli" --data "$data" init --demo >/dev/null
  "$cli" simulate --link "$work/tty" >/dev/null &
  sim=$!
  i=0
  while [ ! -e "$work/tty" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
  folder=$(ORBELUNE_COM4="$work/tty" "$cli" --data "$data" acquire --name "Sheet check" --minutes 1 \
           --no-auto-calibration --no-auto-zero --proceed 2>/dev/null | tail -n 1)
fi
LC_ALL=C "$cli" --data "$data" report "$folder" --type csv --spacer , --layout rows --stats se,sd,n >/dev/null
mkdir -p "$work/out"
soffice --headless --norestore -env:UserInstallation=file://"$work/profile" \
  --convert-to 'csv:Text - txt - csv (StarCalc):9,34,76' --outdir "$work/out" "$folder/report.csv" >/dev/null 2>&1
python3 - "$folder/report.csv" "$work/out/report.csv" <<'PY'
import csv, sys
def rows(path, sep, encoding):
    with open(path, newline="", encoding=encoding) as f:
        out = []
        for r in csv.reader(f, delimiter=sep):
            while r and r[-1] == "":
                r.pop()
            out.append(r)
        return out
written = rows(sys.argv[1], ",", "cp1252")
opened = rows(sys.argv[2], "\t", "utf-8")
while opened and not opened[-1]:
    opened.pop()
while written and not written[-1]:
    written.pop()
bad = 0
if len(written) != len(opened):
    print(f"{len(written)} lines written, {len(opened)} rows in the spreadsheet")
    bad = 1
for n, (w, o) in enumerate(zip(written, opened), 1):
    if len(w) != len(o) or (w and w[0] != o[0]):
        print(f"line {n}: {len(w)} cells written, {len(o)} in the spreadsheet: {w[:3]} / {o[:3]}")
        bad = 1
widest = max(len(r) for r in written)
print(f"{len(written)} lines, up to {widest} columns: " + ("MISMATCH" if bad else "the spreadsheet shows them all"))
sys.exit(bad)
PY
