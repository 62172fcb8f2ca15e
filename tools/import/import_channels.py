#!/usr/bin/python3
"""Turns the channel list a DVB receiver writes after a scan into rows of table sat.

Reads VDR's channels.conf format (w_scan2 writes the same), one service per line:
  name[,short name][;provider]:MHz:parameters:source:ksym/s:video:audio:teletext:CA:SID:NID:TID:RID
Lines starting with ":" are group separators and blank lines are skipped. Only satellite
sources east of Greenwich ("S115.5E" -> "E115.5") are kept; other sources and frequencies
outside C band 3400-4800 MHz and Ku band 10700-12750 MHz are counted and left out.

Per row:
- s_ch: the name ("|" stands for ":" in VDR names), s_upda: the provider, or "未知" when the
  list gives none;
- s_pola: the one letter H, V, L or R among the parameters; s_freq in MHz (a value of
  1,000,000 or more is taken as kHz); s_sr in ksym/s;
- s_free: 1 when the CA field is 0 (free), else 0 (the field names the CA systems);
- s_sys, the programme kind, from the streams: no video and no audio is 数据, no video but
  audio is 广播, otherwise television: 高清电视 when the name holds the word HD, UHD or 4K or the
  video stream type is 36 (HEVC), else 标清电视. H.264 (27) alone does not make a service high
  definition: standard-definition services use it too;
- s_name: the satellite's Chinese name from data/channels/input/satellites.tsv when the
  position is listed there, else the position code;
- as_of: the date of the scan (--date, default today).

A malformed line stops the import with "FILE:LINE: reason" and writes nothing; the output
appears only whole (written beside it, then renamed).

Usage: import_channels.py CHANNELS_CONF OUT_TSV [--date YYYY-MM-DD]
"""
import argparse
import datetime
import os
import pathlib
import re
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "channels"))
import make_channels  # noqa: E402  (shared GBK rule, kinds and bands)

UNKNOWN_PROVIDER = "未知"
HEVC = 36
HD_WORD = re.compile(r"\b(HD|UHD|4K)\b")
SOURCE = re.compile(r"^S(\d{1,3}(?:\.\d)?)([EW])$")
PARAMETER = re.compile(r"([A-Za-z])(\d*)")
TEXT_LIMIT = 80


class ImportError_(Exception):
    pass


def fail(where, reason):
    raise ImportError_(f"{where}: {reason}")


def number(where, text, what):
    if not re.fullmatch(r"\d+", text):
        fail(where, f"{what} {text!r} is not a whole number")
    return int(text)


def pids(where, text, what):
    """'5101=27', '163+8190=2', '104=deu@3,105=mis@3;106=deu@106' -> [(pid, type or None)]."""
    found = []
    for part in re.split(r"[,;]", text):
        if part == "":
            continue
        match = re.fullmatch(r"(\d+)(?:\+\d+)?(?:=(?:(\d+)|[A-Za-z]{3}(?:\+[A-Za-z]{3})?)?"
                             r"(?:@(\d+))?)?", part)
        if not match:
            fail(where, f"{what} field {text!r} is not a list of PIDs")
        pid = int(match.group(1))
        kind = match.group(2) or match.group(3)
        if pid:
            found.append((pid, int(kind) if kind else None))
    return found


def text_cell(where, text, what):
    try:
        text = make_channels.to_gbk(text.replace("|", ":").strip())
    except make_channels.Failure:
        fail(where, f"{what} {text!r} cannot be written in GBK")
    if len(text) > TEXT_LIMIT:
        fail(where, f"{what} {text!r} is longer than {TEXT_LIMIT} characters")
    return text


def satellite_names(repo):
    names = {}
    for row in make_channels.read_tsv(repo / "data" / "channels" / "input" / "satellites.tsv"):
        names.setdefault(row["s_loca"], row["name_cn"])
    return names


def read_channels(path, as_of, sat_names):
    rows = []
    skipped = {"not a satellite east of Greenwich": 0, "outside C/Ku band": 0}
    raw = path.read_bytes()
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as error:
        line = raw[:error.start].count(b"\n") + 1
        fail(f"{path}:{line}", "not UTF-8 text")
    for number_, line in enumerate(text.splitlines(), 1):
        where = f"{path}:{number_}"
        if not line.strip() or line.startswith(":"):
            continue
        fields = line.split(":")
        if len(fields) != 13:
            fail(where, f"{len(fields)} fields, a channel line has 13")
        name_field, freq, params, source, sr, video, audio, _tpid, ca = fields[:9]
        for index in (9, 10, 11, 12):
            number(where, fields[index], ("SID", "NID", "TID", "RID")[index - 9])
        name, _, provider = name_field.partition(";")
        name = name.split(",", 1)[0]
        if not name.strip():
            fail(where, "the channel has no name")
        match = SOURCE.match(source)
        if not source or source[0] != "S":
            skipped["not a satellite east of Greenwich"] += 1
            continue
        if not match:
            fail(where, f"source {source!r} is not a satellite position like S115.5E")
        if match.group(2) == "W":
            skipped["not a satellite east of Greenwich"] += 1
            continue
        code = make_channels.position_code(float(match.group(1)))
        mhz = number(where, freq, "frequency")
        if mhz >= 1000000:
            mhz = make_channels.half_up(mhz, 1000)
        letters = PARAMETER.findall(params)
        if "".join(f"{a}{b}" for a, b in letters) != params:
            fail(where, f"parameters {params!r} are not letters with numbers")
        pols = [a.upper() for a, b in letters if a.upper() in "HVLR" and b == ""]
        if len(pols) != 1:
            fail(where, f"parameters {params!r} hold no single polarisation H, V, L or R")
        ksym = number(where, sr, "symbol rate")
        lo, hi = make_channels.SYMBOL_RATES
        if not lo <= ksym <= hi:
            fail(where, f"symbol rate {ksym} ksym/s is outside {lo}..{hi}")
        if not make_channels.band_ok(mhz):
            skipped["outside C/Ku band"] += 1
            continue
        videos = pids(where, video, "video")
        audios = pids(where, audio, "audio")
        if not re.fullmatch(r"[0-9A-Fa-f]+(,[0-9A-Fa-f]+)*", ca):
            fail(where, f"CA field {ca!r} is not a list of hexadecimal system ids")
        free = all(int(c, 16) == 0 for c in ca.split(","))
        name = text_cell(where, name, "name")
        provider = text_cell(where, provider, "provider") or UNKNOWN_PROVIDER
        if not videos:
            kind = "广播" if audios else "数据"
        elif HD_WORD.search(name) or any(t == HEVC for _, t in videos):
            kind = "高清电视"
        else:
            kind = "标清电视"
        rows.append([code, sat_names.get(code, code), mhz, pols[0], ksym, name, kind,
                     1 if free else 0, provider, as_of])
    return rows, skipped


def write_atomically(out, rows):
    lines = ["\t".join(make_channels.IMPORT_COLUMNS)]
    lines += ["\t".join(str(c) for c in row) for row in rows]
    out.parent.mkdir(parents=True, exist_ok=True)
    handle, temporary = tempfile.mkstemp(prefix=".import-", dir=out.parent)
    try:
        with os.fdopen(handle, "wb") as stream:
            stream.write(("\n".join(lines) + "\n").encode("utf-8"))
        os.replace(temporary, out)
    except BaseException:
        os.unlink(temporary)
        raise


def main(argv):
    parser = argparse.ArgumentParser(description="channels.conf -> rows of table sat")
    parser.add_argument("channels_conf", type=pathlib.Path)
    parser.add_argument("out_tsv", type=pathlib.Path)
    parser.add_argument("--date", default=datetime.date.today().isoformat())
    args = parser.parse_args(argv[1:])
    try:
        datetime.date.fromisoformat(args.date)
        if not re.fullmatch(r"\d{4}-\d\d-\d\d", args.date):
            raise ValueError
    except ValueError:
        print(f"import_channels: --date {args.date!r} is not YYYY-MM-DD", file=sys.stderr)
        return 2
    repo = pathlib.Path(__file__).resolve().parents[2]
    try:
        rows, skipped = read_channels(args.channels_conf, args.date, satellite_names(repo))
    except (ImportError_, OSError, make_channels.Failure) as error:
        print(f"import_channels: {error}", file=sys.stderr)
        return 1
    write_atomically(args.out_tsv, rows)
    kinds = {k: sum(1 for r in rows if r[6] == k) for k in make_channels.KINDS}
    free = sum(r[7] for r in rows)
    print(f"{len(rows)} rows on {len({(r[0], r[2], r[3]) for r in rows})} transponders; "
          + ", ".join(f"{k} {n}" for k, n in kinds.items())
          + f"; free {free}, encrypted {len(rows) - free}")
    for reason, count in skipped.items():
        print(f"  left out, {reason}: {count}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
