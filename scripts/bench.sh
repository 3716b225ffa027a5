#!/bin/sh
# Measures the profile functions and prints a Markdown table (for the README):
# - tests/bench/profile_bench.cpp natively (optimised, Google Benchmark): our engine and
#   atomic replacement, and the floor - the same bytes read, and read and written to a
#   new file that is flushed and renamed over the old one;
# - the same source cross-compiled for Windows and run under Wine (cmake/wine-run.sh,
#   code page 936): the real GetPrivateProfileStringW / WritePrivateProfileStringW;
# - the whole automatic run of the native program over the ten candidate folders, in a
#   temporary Wine-style prefix with one installation to repair, against `true`; beside
#   it the unattended runs, `zelfix /check` and `zelfix /quiet`, over the same prefix.
# Takes a few minutes; not part of the test command.
set -eu
cd "$(dirname "$0")/.."

./scripts/deps.sh >/dev/null

out=build/bench-results
mkdir -p "$out"
cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null
cmake --preset bench-mingw64 >/dev/null && cmake --build --preset bench-mingw64 >/dev/null

echo "zelfix: native benchmarks" >&2
build/bench/tests/bench/zelfix_profile_bench --benchmark_format=csv >"$out/native.csv" \
  2>"$out/native.log"
echo "zelfix: the same under Wine" >&2
ZELFIX_WINE_HOME="$PWD/build/bench-mingw64/wine" cmake/wine-run.sh \
  build/bench-mingw64/tests/bench/zelfix_profile_bench.exe >"$out/wine.csv" 2>"$out/wine.log"

echo "zelfix: the whole automatic run" >&2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
mkdir -p "$prefix/dosdevices" "$prefix/drive_c/Program Files/TAMO/ZEL1/BIN"
ln -s ../drive_c "$prefix/dosdevices/c:"
settings="$prefix/drive_c/Program Files/TAMO/ZEL1/BIN/ZEL1.SYS"
printf '; ZEL\r\n[web]\r\nwebserver=10.0.0.1\r\nport=80\r\n' >"$prefix/original"
# Each run finds the old address and rewrites it: the file is put back before each. No
# answers on standard input: the message boxes are confirmed by its end. `/check` ends
# with 1 there (repair needed): failures are let through here, every run's exit code is
# checked below.
WINEPREFIX=$prefix hyperfine --style none --warmup 5 --runs 200 -N -i \
  --export-json "$out/program.json" \
  --prepare "cp $prefix/original '$settings'" --command-name zelfix build/bench/app/zelfix \
  --prepare "cp $prefix/original '$settings'" --command-name check "build/bench/app/zelfix /check" \
  --prepare "cp $prefix/original '$settings'" --command-name quiet "build/bench/app/zelfix /quiet" \
  --prepare true --command-name true true >"$out/program.log" </dev/null
grep -q 192.0.2.10 "$settings" || { echo "zelfix: the program did not rewrite the file" >&2; exit 1; }

echo "zelfix: the run over a large C:" >&2
rm -rf "$prefix/drive_c/Program Files"
mkdir "$prefix/aside"
python3 -c '
import os, sys
for i in range(200000):
    os.mkdir(os.path.join(sys.argv[1] if i < 50000 else sys.argv[2], f"folder{i:06d}"))
' "$prefix/drive_c" "$prefix/aside"
for count in 50000 200000; do
  if [ "$count" = 200000 ]; then
    find "$prefix/aside" -mindepth 1 -maxdepth 1 -exec mv -t "$prefix/drive_c" {} +
  fi
  WINEPREFIX=$prefix strace -f -c -e trace=getdents64 -o "$out/large-$count.strace" \
    build/bench/app/zelfix </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix hyperfine --style none --warmup 1 --runs 10 -N \
    --export-json "$out/large-$count.json" --command-name zelfix build/bench/app/zelfix \
    >"$out/large-$count.log" </dev/null
done

python3 - "$out" <<'EOF'
import csv, json, sys, os

out = sys.argv[1]
def load(name):
    times = {}
    with open(os.path.join(out, name)) as f:
        lines = [l for l in f if l.startswith('"') or l.startswith("name,")]
    for row in csv.DictReader(lines):
        if row.get("error_occurred") == "true":
            sys.exit(f"{name}: {row['name']}: {row['error_message']}")
        name_ = row["name"].split("/min_time")[0]
        scale = {"ns": 1e-3, "us": 1, "ms": 1e3, "s": 1e6}[row["time_unit"]]
        times[name_] = float(row["real_time"]) * scale
    return times

native, wine = load("native.csv"), load("wine.csv")

def show(us):
    return f"{us / 1000:.2f} ms" if us >= 1000 else f"{us:.0f} µs"

print("| operation | size | key | zelfix | floor | × floor | Wine | × Wine |")
print("|---|---|---|---:|---:|---:|---:|---:|")
for size in ("1KB", "1MB", "10MB"):
    for key in ("start", "end"):
        for op, floor in (("read", "floor-read"), ("write", "floor-write"),
                          ("read-back", "floor-read-back")):
            row = f"{size}/{key}"
            ours, base, theirs = native[f"{op}/{row}"], native[f"{floor}/{row}"], wine[f"{op}/{row}"]
            print(f"| {op} | {size.replace('KB', ' KB').replace('MB', ' MB')} | {key} | "
                  f"{show(ours)} | {show(base)} | {ours / base:.2f} | {show(theirs)} | "
                  f"{ours / theirs:.3f} |")
print()
print("Growth from 1 MB to 10 MB (10 would be linear):",
      ", ".join(f"{op}/{key} {native[f'{op}/10MB/{key}'] / native[f'{op}/1MB/{key}']:.1f}"
                for op in ("read", "write", "read-back") for key in ("start", "end")))

with open(os.path.join(out, "program.json")) as f:
    results = {r["command"]: r for r in json.load(f)["results"]}
program, floor = results["zelfix"], results["true"]
# -i above lets /check's 1 through; every run must still have ended as it should.
for name, expected in (("zelfix", 0), ("check", 1), ("quiet", 0), ("true", 0)):
    codes = set(results[name].get("exit_codes") or [])
    if codes != {expected}:
        sys.exit(f"bench: {name} ended with {sorted(codes)}, expected {expected} every time")
print()
print(f"Whole automatic run (ten candidates, one installation rewritten): "
      f"{program['mean'] * 1000:.2f} ms ± {program['stddev'] * 1000:.2f} ms; "
      f"`true`: {floor['mean'] * 1000:.2f} ms ± {floor['stddev'] * 1000:.2f} ms "
      f"({program['mean'] / floor['mean']:.1f} ×)")
check, quiet = results["check"], results["quiet"]
print(f"Unattended, the same prefix: `/check` {check['mean'] * 1000:.2f} ms ± "
      f"{check['stddev'] * 1000:.2f} ms ({check['mean'] / program['mean']:.2f} × the "
      f"interactive run, which ends at its one box), `/quiet` {quiet['mean'] * 1000:.2f} ms ± "
      f"{quiet['stddev'] * 1000:.2f} ms ({quiet['mean'] / program['mean']:.2f} ×)")

print()
for count in (50000, 200000):
    with open(os.path.join(out, f"large-{count}.json")) as f:
        run = json.load(f)["results"][0]
    calls = 0
    with open(os.path.join(out, f"large-{count}.strace")) as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 5 and fields[-1] == "getdents64":
                calls = int(fields[3])
    print(f"Nothing installed, {count} folders in C:\\, up to the folder window: "
          f"{run['mean'] * 1000:.0f} ms ± {run['stddev'] * 1000:.0f} ms, "
          f"{calls} getdents64 calls")
EOF
