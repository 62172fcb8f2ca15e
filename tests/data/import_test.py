#!/usr/bin/python3
"""The maker's import of receiver scans, and make_channels merging an import over the tables.

import_test.py REPO SOURCES_DIR: fetches the Debian sources like the regeneration tests (VDR's
example channels.conf.sat among them); exits 77 (skipped) when they cannot be had.
"""
import pathlib
import subprocess
import sys
import tempfile

REPO = pathlib.Path(sys.argv[1])
IMPORT = REPO / "tools" / "import" / "import_channels.py"
MAKE = REPO / "tools" / "channels" / "make_channels.py"
EXAMPLE = "vdr/usr/share/vdr/channels.conf-examples/channels.conf.sat"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print(f"FAIL: {what}")


def run(*args):
    return subprocess.run([sys.executable, *map(str, args)], capture_output=True, text=True)


def read_rows(path):
    lines = path.read_text(encoding="utf-8").splitlines()
    head = [cell.split(":")[0] for cell in lines[0].split("\t")]
    return [dict(zip(head, line.split("\t"))) for line in lines[1:]]


def awk(script, path):
    return subprocess.run(["awk", "-F:", script, str(path)], capture_output=True, text=True,
                          check=True).stdout.split()


def debian_example(work, sources):
    conf = sources / EXAMPLE
    out = work / "vdr.tsv"
    result = run(IMPORT, conf, out, "--date", "2021-12-27")
    check(result.returncode == 0, f"import of {conf}: {result.stderr}")
    rows = read_rows(out)
    # Counted again by awk over the same file: channel lines have 13 fields; video PID 0 is
    # radio or data; CA 0 is free; the name's word HD makes the service high definition.
    total, tv, hd, radio, data, free, transponders = map(int, awk(
        'NF==13 && $4 ~ /^S[0-9.]+E$/ { n++; t[$2 substr($3,1,1) $4]=1;'
        ' if ($6 == "0") { if ($7 == "0") d++; else r++ } else { tv++;'
        ' split($1, a, ";"); if (a[1] ~ /(^|[^A-Za-z0-9])(HD|UHD|4K)([^A-Za-z0-9]|$)/) hd++ }'
        ' if ($9 == "0") f++ }'
        ' END { for (k in t) c++; print n+0, tv+0, hd+0, r+0, d+0, f+0, c+0 }', conf))
    print(f"Debian example: {total} channels, {tv} TV ({hd} HD), {radio} radio, {data} data, "
          f"{free} free, {transponders} transponders")
    check(total > 100, f"the example has {total} channels")
    check(len(rows) == total, f"{len(rows)} rows imported, awk counts {total}")
    check(sum(r["s_sys"] in ("标清电视", "高清电视") for r in rows) == tv, "TV count")
    check(sum(r["s_sys"] == "高清电视" for r in rows) == hd, "HD count")
    check(sum(r["s_sys"] == "广播" for r in rows) == radio, "radio count")
    check(sum(r["s_sys"] == "数据" for r in rows) == data, "data count")
    check(sum(r["s_free"] == "1" for r in rows) == free, "free count")
    check(len({(r["s_loca"], r["s_freq"], r["s_pola"]) for r in rows}) == transponders,
          "transponder count")
    check(all(r["s_loca"] == "E19.2" and r["as_of"] == "2021-12-27" for r in rows),
          "position and date")
    first = awk('NF==13 { print $1; exit }', conf)
    check(rows[0]["s_ch"] == " ".join(first).split(";")[0].split(",")[0], "first name")


HAND = """\
:Group
Alpha TV,Alpha;Alpha Group:3840:H:S115.5E:27500:101=2:102=zho@3:0:0:1:1:1:0
Beta HD;Beta:12060:vC34S1:S115.5E:28800:201=27:202=zho@3:0:1802,0B00:2:1:1:0
Gamma:4000:HC34:S115.5E:27500:301=36:0;302=zho@106:0:0:3:1:1:0
Delta Radio;Delta:3840:H:S115.5E:27500:0:402=zho@3:0:0:4:1:1:0
Epsilon data;Epsilon:3840:H:S115.5E:27500:0:0:0:0:5:1:1:0
Zeta|News;Zeta:3840000:H:S115.5E:27500:601=2:602:0:0:6:1:1:0
West;W:11000:H:S30.0W:27500:1=2:2:0:0:7:1:1:0
Cable;C:346:M256:C:6900:1=2:2:0:0:8:1:1:0
S band;S:2600:H:S125.0E:27500:1=2:2:0:0:9:1:1:0
"""


def hand_made(work):
    conf = work / "hand.conf"
    conf.write_text(HAND, encoding="utf-8")
    out = work / "hand.tsv"
    result = run(IMPORT, conf, out, "--date", "2024-05-01")
    check(result.returncode == 0, f"hand-made import: {result.stderr}")
    got = [(r["s_loca"], r["s_freq"], r["s_pola"], r["s_sr"], r["s_ch"], r["s_sys"],
            r["s_free"], r["s_upda"]) for r in read_rows(out)]
    want = [
        ("E115.5", "3840", "H", "27500", "Alpha TV", "标清电视", "1", "Alpha Group"),
        ("E115.5", "12060", "V", "28800", "Beta HD", "高清电视", "0", "Beta"),
        ("E115.5", "4000", "H", "27500", "Gamma", "高清电视", "1", "未知"),
        ("E115.5", "3840", "H", "27500", "Delta Radio", "广播", "1", "Delta"),
        ("E115.5", "3840", "H", "27500", "Epsilon data", "数据", "1", "Epsilon"),
        ("E115.5", "3840", "H", "27500", "Zeta:News", "标清电视", "1", "Zeta"),
    ]
    check(got == want, f"hand-made rows:\n{got}\n!=\n{want}")
    check("outside C/Ku band: 1" in result.stdout and "Greenwich: 2" in result.stdout,
          f"left-out counts: {result.stdout}")
    # An H.264 service without HD in its name stays standard definition.
    conf.write_text("Eta;E:3840:H:S115.5E:27500:1=27:2:0:0:1:1:1:0\n", encoding="utf-8")
    check(run(IMPORT, conf, out, "--date", "2024-05-01").returncode == 0, "H.264 import")
    check(read_rows(out)[0]["s_sys"] == "标清电视", "H.264 alone is not HD")


MALFORMED = [  # (third line, expected message part)
    ("Bad:3840:H:S115.5E:27500:1=2:2:0:0:1:1:1", "12 fields"),
    ("Bad:38x0:H:S115.5E:27500:1=2:2:0:0:1:1:1:0", "frequency '38x0'"),
    ("Bad:3840:C34:S115.5E:27500:1=2:2:0:0:1:1:1:0", "no single polarisation"),
    ("Bad:3840:HV:S115.5E:27500:1=2:2:0:0:1:1:1:0", "no single polarisation"),
    ("Bad:3840:H:S115.5:27500:1=2:2:0:0:1:1:1:0", "source 'S115.5'"),
    ("Bad:3840:H:S115.5E:27500:1=2:2:0:XY:1:1:1:0", "CA field 'XY'"),
    ("Bad:3840:H:S115.5E:9:1=2:2:0:0:1:1:1:0", "symbol rate 9"),
    ("Bad:3840:H:S115.5E:27500:v=2:2:0:0:1:1:1:0", "video field"),
    (";Nameless:3840:H:S115.5E:27500:1=2:2:0:0:1:1:1:0", "no name"),
    ("Bad:3840:H:S115.5E:27500:1=2:2:0:0:1:1:x:0", "TID 'x'"),
    ("Bad" * 30 + ":3840:H:S115.5E:27500:1=2:2:0:0:1:1:1:0", "longer than 80"),
]


def malformed(work):
    out = work / "kept.tsv"
    for line, message in MALFORMED:
        out.write_text("previous\n", encoding="utf-8")
        conf = work / "bad.conf"
        conf.write_text(":Group\nGood:3840:H:S115.5E:27500:1=2:2:0:0:1:1:1:0\n" + line + "\n",
                        encoding="utf-8")
        result = run(IMPORT, conf, out)
        check(result.returncode == 1, f"{line!r} was accepted")
        check(f"{conf}:3: " in result.stderr and message in result.stderr,
              f"{line!r}: message {result.stderr.strip()!r} lacks line 3 or {message!r}")
        check(out.read_text(encoding="utf-8") == "previous\n", f"{line!r}: output touched")
        check(not list(work.glob(".import-*")), f"{line!r}: a temporary file is left")
    conf.write_bytes(b"Good:3840:H:S115.5E:27500:1=2:2:0:0:1:1:1:0\n\xff\xfe:1\n")
    result = run(IMPORT, conf, out)
    check(result.returncode == 1 and f"{conf}:2: not UTF-8" in result.stderr,
          f"binary line: {result.stderr.strip()!r}")


def merge(work, sources):
    imports = work / "imports"
    imports.mkdir()
    conf = work / "scan.conf"
    conf.write_text(
        "CCTV-1 综合;CCTV:3840:H:S115.5E:27500:101=2:102=zho@3:0:0:1:1:1:0\n"
        "CCTV-2 财经;CCTV:3840:H:S115.5E:27500:201=2:202=zho@3:0:4A02:2:1:1:0\n"
        "New carrier;Heilongjiang TV:3615:V:S115.5E:4420:301=2:302=zho@3:0:0:3:1:1:0\n",
        encoding="utf-8")
    check(run(IMPORT, conf, imports / "e115.tsv", "--date", "2024-05-01").returncode == 0,
          "import for the merge")
    out = work / "tables"
    result = run(MAKE, sources, out, imports)
    check(result.returncode == 0, f"make_channels with an import: {result.stderr}")
    if result.returncode:
        return
    sat = read_rows(out / "sat.tsv")
    at3840 = [(r["s_ch"], r["s_free"], r["s_upda"]) for r in sat
              if r["s_loca"] == "E115.5" and r["s_freq"] == "3840" and r["s_pola"] == "H"]
    check(at3840 == [("CCTV-1 综合", "1", "CCTV"), ("CCTV-2 财经", "0", "CCTV")],
          f"3840 H after the merge: {at3840}")
    new = [r for r in sat if r["s_loca"] == "E115.5" and r["s_freq"] == "3615"]
    check(len(new) == 1 and new[0]["s_upda"] == "黑龙江卫视" and new[0]["s_name"] == "中星6B",
          f"added transponder: {new}")
    committed = read_rows(REPO / "data" / "channels" / "sat.tsv")
    others = [r for r in committed if (r["s_loca"], r["s_freq"]) != ("E115.5", "3840")]
    check(len(sat) == len(others) + 3, f"{len(sat)} rows after the merge")
    origins = read_rows(out / "origins.tsv")
    check(["E115.5", "import e115.tsv (2024-05-01)", "3"] in
          [[o["s_loca"], o["source"], o["rows"]] for o in origins], "origin of the import")
    check(sum(int(o["rows"]) for o in origins) == len(sat), "origins count every row")
    # A position the satellite list lacks is refused, naming file and line.
    (imports / "z.tsv").write_text(
        (imports / "e115.tsv").read_text(encoding="utf-8").replace("E115.5\t", "E19.2\t", 1),
        encoding="utf-8")
    result = run(MAKE, sources, work / "refused", imports)
    check(result.returncode == 1 and "z.tsv:2: position E19.2" in result.stderr,
          f"unlisted position: {result.stderr.strip()!r}")
    check(not (work / "refused").exists(), "refused merge wrote tables")


def main():
    fetched = subprocess.run([str(REPO / "tools" / "fetch-sources.sh"), "small"],
                             capture_output=True, text=True,
                             env={**__import__("os").environ, "ZORVAST_SOURCES": sys.argv[2]})
    sources = pathlib.Path(sys.argv[2])
    with tempfile.TemporaryDirectory() as folder:
        work = pathlib.Path(folder)
        hand_made(work)
        malformed(work)
        if fetched.returncode != 0 or not (sources / EXAMPLE).is_file():
            print(f"SKIPPED: the Debian sources could not be fetched ({fetched.stderr.strip()});"
                  f" {EXAMPLE} is needed for the example and merge checks")
            return 1 if failures else 77
        debian_example(work, sources)
        merge(work, sources)
    print("FAILED" if failures else "import: all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
