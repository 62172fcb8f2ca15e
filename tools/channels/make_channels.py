#!/usr/bin/python3
"""Generates the channel database tables: satlist, sat, sup and sys (typed TSV for jet-write).

Sources and licences:
- Debian dtv-scan-tables 0+git20190925.6d01903-0.1, LGPL-2.1+:
  usr/share/dvb/dvb-s/<Name>-<pos>E (dvbv5 format; block labels name the mux or provider).
- Debian kaffeine 2.0.18+git20230226.439cd0d-1, GPL-2+: usr/share/kaffeine/scanfile.dvb,
  a 2022-03-11 snapshot of the same tables in one-line form, without labels.
- Hand-kept inputs in data/channels/input/, every row with its basis:
  satellites.tsv  positions, Chinese names, bands and remarks of the satellites listed;
  strength.tsv    per satellite and band the six region strengths, strongest and weakest
                  value, the basis of each estimate and the published figure it rests on;
  operators.tsv   satellite-name prefix -> operator (the default provider);
  channels-2010.tsv  a public 2007-2010 table of provincial channels on 115.5E and 125E;
  names-zh.tsv    English labels of the scan tables -> the channel's Chinese name, each with
                  its basis (a public page, or the official name of a provincial broadcaster);
  notices-cn.tsv  rows from official notices and public pages with their sources and dates.
- The maker's imports in data/channels/imports/*.tsv, written by tools/import from a receiver's
  scan (VDR channels.conf); see "Imports" below.

Transponders: the union of both scan tables by (position, MHz, polarisation). A source
position is taken to the nearest listed position within 0.5 degrees; positions without a
listed satellite within that distance are left out. The 2009 C-band lists of dtv-scan-tables
("Generated ... 2009" in their header) are left out: they are superseded by the per-satellite
lists of the same slots, and the 2022 snapshot no longer carries them. Only C band
3400-4800 MHz and Ku band 10700-12750 MHz are kept (S band cannot be received with C or Ku
feeds). Tuning values come from the 2022 snapshot where it has the transponder, else from
dtv-scan-tables; the label always comes from dtv-scan-tables.

Channel rows, one or more per transponder:
- names from channels-2010.tsv where the transponder still matches: same position and
  polarisation, frequency within FREQ_TOLERANCE_2010 MHz (nearest wins) and symbol rate within
  SR_TOLERANCE_2010 (a retuned carrier, e.g. 125E 4080 H now 9600 instead of 27500 ksym/s,
  carries other programmes); kind as that table gives it;
- otherwise the block label when it is meaningful ("CHANNEL" and "channel N" are not);
  its kind: a leading "@" (the tables' mark for internet/data carriers) gives 数据, the word
  "test"/"tests" gives 测试或临传, the word "Radio" gives 广播, the token HD, UHD or 4K gives
  高清电视, anything else NAMED_KIND;
- otherwise a single row named PLACEHOLDER_NAME with kind PLACEHOLDER_KIND.
Chinese names: a row named by a label listed in names-zh.tsv takes the Chinese name; so does a
provider that is such a label. Labels not listed stay as they are.
Notices: a dated row of notices-cn.tsv with frequency, polarisation and symbol rate applies to
the transponder it matches (same rule and tolerances as the 2010 table; the latest date wins).
On a transponder the 2010 table names, it only gives the access of the row with its exact
channel name; otherwise its channel rows replace the label row, with the notice's kind where
given. Undated rows and rows without tuning values are never applied.
Access: only a notice that states it sets a row free or encrypted; every other row gets
DEFAULT_FREE (false: not known to be free). Provider: the transponder's label where it has one (it names
the mux or provider), else the operator of the satellite the transponder table belongs to.
Satellite name of a row: the listed Chinese name when the table's satellite is listed, else
the table's own satellite name. No filler rows are written.

Imports: every row of an import names a listed position. An import replaces the scan-table
rows of the transponders it covers (same position and polarisation, frequency within
FREQ_TOLERANCE_IMPORT MHz) and adds the transponders the tables lack; the import's own names,
kinds, access and providers are kept (Chinese names still apply to its providers' labels).
Two imports covering one transponder are refused. origins.tsv records, per satellite, which
files its rows came from and how many (it is not part of the database).

Satellite order: eastwards by position; at one position the satellites that the scan tables
describe come first, then the list order. Start-up looks for the first "E115.5" from list
position 25 and an "E125" from position 31; both are checked.

Usage: make_channels.py [SOURCES_DIR] [OUT_DIR]
"""
import collections
import pathlib
import re
import sys
import unicodedata

DATA_VERSION = "261209"  # yymmdd: a version answer may hold at most 7 bytes
PLACEHOLDER_NAME = "未命名转发器"
PLACEHOLDER_KIND = "标清电视"  # the tables list TV carriers; shown by the default "all TV" filter
NAMED_KIND = "标清电视"
DEFAULT_FREE = False
FREQ_TOLERANCE_2010 = 1  # MHz: the two kinds of table may round a carrier differently
SR_TOLERANCE_2010 = 0.01  # relative
FREQ_TOLERANCE_IMPORT = 1  # MHz
POSITION_TOLERANCE = 0.5  # degrees
C_BAND = (3400, 4800)
KU_BAND = (10700, 12750)
SYMBOL_RATES = (100, 60000)  # ksym/s; the snapshot has a few 0 and 8 ksym/s typos
MAX_SATELLITES = 70
POINTING_DEFAULT = ("E115.5", 25)
OFFSET_DEFAULT = ("E125", 31)
KINDS = ("标清电视", "高清电视", "测试或临传", "广播", "数据")

DTV_DIR = "dtv-scan-tables/usr/share/dvb/dvb-s"
KAFFEINE_FILE = "kaffeine/usr/share/kaffeine/scanfile.dvb"

SATLIST_HEADER = ["s_loca:Text(10)", "s_name:Text(40)", "s_c:Text(12)", "s_ku:Text(12)",
                  "s_min:Text(10)", "s_max:Text(10)", "s_rema:Text(255)"]
SAT_HEADER = ["s_loca:Text(10)", "s_name:Text(40)", "s_freq:Long", "s_pola:Text(1)",
              "s_sr:Long", "s_ch:Text(80)", "s_sys:Text(10)", "s_free:YesNo", "s_upda:Text(80)"]
SUP_HEADER = ["s_upda:Text(80)"]
SYS_HEADER = ["s_ver:Text(20)"]
IMPORT_COLUMNS = ["s_loca", "s_name", "s_freq", "s_pola", "s_sr", "s_ch", "s_sys", "s_free",
                  "s_upda", "as_of"]
ORIGINS_HEADER = ["s_loca", "s_name", "source", "rows"]


class Failure(Exception):
    pass


def read_tsv(path):
    lines = path.read_text(encoding="utf-8").splitlines()
    head = lines[0].split("\t")
    rows = []
    for number, line in enumerate(lines[1:], 2):
        cells = line.split("\t")
        if len(cells) != len(head):
            raise Failure(f"{path}:{number}: {len(cells)} cells, expected {len(head)}")
        rows.append(dict(zip(head, cells)))
    return rows


def norm(name):
    return re.sub(r"[^0-9a-z]", "", name.lower())


def position_of(code):
    return float(code[1:])


def position_code(value):
    text = f"{value:.1f}"
    return "E" + (text[:-2] if text.endswith(".0") else text)


# ---- satellites -------------------------------------------------------------------------

def load_satellites(inputs):
    sats = []
    for order, row in enumerate(read_tsv(inputs / "satellites.tsv")):
        code = row["s_loca"]
        if not re.fullmatch(r"E\d+(\.\d)?", code) or position_code(position_of(code)) != code:
            raise Failure(f"bad position code {code!r}")
        sats.append({"code": code, "pos": position_of(code), "name": row["name_cn"],
                     "en": row["name_en"], "key": norm(re.sub(r"\(.*?\)", "", row["name_en"])),
                     "bands": row["bands"], "remark": row["remark"], "order": order})
    return sats


def load_strengths(inputs, sats):
    table = {}
    for row in read_tsv(inputs / "strength.tsv"):
        key = (row["s_loca"], row["name_en"], row["band"])
        if key in table:
            raise Failure(f"strength row twice: {key}")
        values = [row[f"r{i}"] for i in range(1, 7)] + [row["max"], row["min"]]
        if not all(re.fullmatch(r"\d\d", v) for v in values):
            raise Failure(f"strength values must be two digits: {key}")
        if not row["basis"].strip():
            raise Failure(f"strength row without basis: {key}")
        table[key] = values
    for sat in sats:
        for band in ("C", "Ku"):
            values = table.pop((sat["code"], sat["en"], band), None)
            if values is None:
                raise Failure(f"no strength row for {sat['code']} {sat['en']} {band}")
            sat[band] = values
    if table:
        raise Failure(f"strength rows for unlisted satellites: {sorted(table)}")


def load_operators(inputs):
    ops = [(row["prefix"], row["operator"]) for row in read_tsv(inputs / "operators.tsv")]
    return sorted(ops, key=lambda p: -len(p[0]))


def operator_of(operators, satellite):
    for prefix, operator in operators:
        if satellite.startswith(prefix):
            return operator
    raise Failure(f"no operator known for the satellite {satellite!r}")


# ---- transponder sources ----------------------------------------------------------------

FILE_NAME = re.compile(r"^(.*)-(\d+(?:\.\d+)?)([EW])$")


def in_range(pos, west):
    return not west and 60 <= pos <= 180


def read_dtv(folder, skipped):
    entries = []
    for path in sorted(folder.iterdir()):
        match = FILE_NAME.match(path.name)
        if not match or not in_range(float(match.group(2)), match.group(3) == "W"):
            continue
        text = path.read_text(encoding="utf-8")
        header = text.split("[", 1)[0]
        if re.search(r"Generated.*\n.*2009", header):
            skipped.append(path.name)
            continue
        satellite, pos = match.group(1), float(match.group(2))
        block = None
        for line in text.splitlines() + ["["]:
            line = line.strip()
            if line.startswith("["):
                if block is not None:
                    entries.append(dtv_entry(path.name, satellite, pos, block))
                block = {"label": line[1:-1]} if line != "[" else None
            elif block is not None and "=" in line and not line.startswith("#"):
                key, value = (part.strip() for part in line.split("=", 1))
                block[key] = value
    return entries


def dtv_entry(file_name, satellite, pos, block):
    try:
        return {"src": "dtv", "file": file_name, "sat": satellite, "pos": pos,
                "khz": int(block["FREQUENCY"]), "pol": block["POLARIZATION"][0],
                "sym": int(block["SYMBOL_RATE"]), "label": block["label"]}
    except (KeyError, ValueError, IndexError) as error:
        raise Failure(f"{file_name}: unreadable block {block!r}: {error}")


def read_kaffeine(path):
    entries = []
    section = None
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if line.startswith("["):
            section = None
            match = re.match(r"^\[dvb-s/(.*)\]$", line)
            if match:
                name = FILE_NAME.match(match.group(1))
                if name and in_range(float(name.group(2)), name.group(3) == "W"):
                    section = (match.group(1), name.group(1), float(name.group(2)))
        elif section and line[:2] in ("S ", "S2"):
            cells = line.split()
            try:
                entries.append({"src": "kaffeine", "file": section[0], "sat": section[1],
                                "pos": section[2], "khz": int(cells[1]), "pol": cells[2],
                                "sym": int(cells[3]), "label": None})
            except (IndexError, ValueError):
                raise Failure(f"{path}:{number}: unreadable line {line!r}")
    return entries


def meaningful(label):
    return bool(label) and not re.fullmatch(r"(?i)channel(\s+\d+)?", label.strip())


def to_gbk(text):
    """Keeps GBK-encodable characters; others lose their accents (NFKD)."""
    out = []
    for ch in text:
        try:
            ch.encode("gbk")
            out.append(ch)
        except UnicodeEncodeError:
            base = "".join(c for c in unicodedata.normalize("NFKD", ch)
                           if not unicodedata.combining(c))
            try:
                base.encode("gbk")
            except UnicodeEncodeError:
                raise Failure(f"cannot write {text!r} in GBK")
            out.append(base)
    return "".join(out)


def label_name_and_kind(label):
    name = label.strip()
    if name.startswith("[") and name.endswith("]"):
        name = name[1:-1].strip()
    kind = NAMED_KIND
    if name.startswith("@"):
        name, kind = name[1:].strip(), "数据"
    elif re.search(r"(?i)\btests?\b", name):
        kind = "测试或临传"
    elif re.search(r"\bRadio\b", name):
        kind = "广播"
    elif re.search(r"\b(HD|UHD|4K)\b", name):
        kind = "高清电视"
    return to_gbk(name), kind


def half_up(value, unit):
    return (value + unit // 2) // unit


def band_ok(mhz):
    return C_BAND[0] <= mhz <= C_BAND[1] or KU_BAND[0] <= mhz <= KU_BAND[1]


def build_transponders(entries, sats, stats):
    positions = sorted({s["pos"] for s in sats})
    listed = collections.defaultdict(dict)
    for sat in sats:
        listed[sat["code"]][sat["key"]] = sat
    groups = collections.defaultdict(list)
    for entry in entries:
        nearest = min(positions, key=lambda p: (abs(p - entry["pos"]), p))
        if abs(nearest - entry["pos"]) > POSITION_TOLERANCE + 1e-9:
            stats["unlisted position"] += 1
            continue
        mhz = half_up(entry["khz"], 1000)
        if not band_ok(mhz):
            stats["outside C/Ku"] += 1
            continue
        if not SYMBOL_RATES[0] <= half_up(entry["sym"], 1000) <= SYMBOL_RATES[1]:
            stats["implausible symbol rate left out"] += 1
            continue
        if entry["pol"] not in "HVLR":
            raise Failure(f"{entry['file']}: polarisation {entry['pol']!r}")
        code = position_code(nearest)
        entry["code"], entry["mhz"] = code, mhz
        entry["listed"] = listed[code].get(norm(entry["sat"]))
        groups[(code, mhz, entry["pol"])].append(entry)

    # Listed satellites name the row before others, single-satellite lists before merged ones.
    def rank(entry):
        return (entry["listed"] is None, "-&-" in entry["file"], entry["src"] != "dtv",
                entry["file"])

    transponders = []
    for key, group in groups.items():
        group.sort(key=rank)
        tuning = min(group, key=lambda e: (e["src"] != "kaffeine", rank(e)))
        labels = [e["label"] for e in group if e["src"] == "dtv" and meaningful(e["label"])]
        lead = group[0]
        syms = {half_up(e["sym"], 1000) for e in group}
        if len(syms) > 1:
            stats["transponders whose lists disagree on the symbol rate"] += 1
        transponders.append({
            "code": key[0], "mhz": key[1], "pol": key[2],
            "sr": half_up(tuning["sym"], 1000),
            "label": labels[0] if labels else None,
            "sat_name": lead["listed"]["name"] if lead["listed"] else
            to_gbk(lead["sat"].replace("-", " ")),
            "source_sat": lead["sat"],
            "sources": sorted({e["src"] for e in group}),
            "origin": ("dtv-scan-tables " if tuning["src"] == "dtv" else "scanfile.dvb ")
            + tuning["file"]})
    return transponders


def match_2010(rows, transponders, stats):
    by_slot = collections.defaultdict(list)
    for tp in transponders:
        by_slot[(tp["code"], tp["pol"])].append(tp)
    named = collections.defaultdict(list)
    for row in rows:
        mhz = int(row["freq_mhz"])
        sr = int(row["sr_ksym"])
        near = [tp for tp in by_slot[(row["s_loca"], row["pol"])]
                if abs(tp["mhz"] - mhz) <= FREQ_TOLERANCE_2010
                and abs(tp["sr"] - sr) <= SR_TOLERANCE_2010 * sr]
        if not near:
            stats["2010 names with no matching transponder now"] += 1
            continue
        tp = min(near, key=lambda t: (abs(t["mhz"] - mhz), t["mhz"]))
        if row["kind"] not in KINDS:
            raise Failure(f"2010 row with kind {row['kind']!r}")
        named[id(tp)].append(row)
        stats["2010 names placed"] += 1
        if tp["mhz"] != mhz:
            stats["2010 names placed with a frequency offset"] += 1
    return named


def load_names(inputs):
    names = {}
    for row in read_tsv(inputs / "names-zh.tsv"):
        label, name = row["label"].strip(), row["name"].strip()
        if not label or not name or not row["basis"].strip() or not row["source"].strip():
            raise Failure(f"names-zh.tsv: incomplete row {row!r}")
        if label in names:
            raise Failure(f"names-zh.tsv: {label!r} twice")
        if re.search(r"[A-Za-z]", name) and not re.search(r"[\u4e00-\u9fff]", name):
            raise Failure(f"names-zh.tsv: {label!r} -> {name!r} is no Chinese name")
        names[label] = to_gbk(name)
    return names


def load_notices(inputs):
    """Dated notice rows with tuning values, each as (row, frequency, symbol rate)."""
    usable = []
    for row in read_tsv(inputs / "notices-cn.tsv"):
        if not row["as_of"].strip() or not row["pol"] or not row["freq_mhz"] or not row["sr_ksym"]:
            continue
        if row["free"] not in ("", "0", "1"):
            raise Failure(f"notices-cn.tsv: free {row['free']!r}")
        if row["kind"] and row["kind"] not in KINDS:
            raise Failure(f"notices-cn.tsv: kind {row['kind']!r}")
        usable.append(row)
    return usable


def nearest_match(by_slot, code, pol, mhz, sr, freq_tolerance, sr_tolerance):
    near = [tp for tp in by_slot[(code, pol)]
            if abs(tp["mhz"] - mhz) <= freq_tolerance
            and (sr_tolerance is None or abs(tp["sr"] - sr) <= sr_tolerance * sr)]
    return min(near, key=lambda t: (abs(t["mhz"] - mhz), t["mhz"])) if near else None


def match_notices(rows, transponders, stats):
    by_slot = collections.defaultdict(list)
    for tp in transponders:
        by_slot[(tp["code"], tp["pol"])].append(tp)
    found = collections.defaultdict(list)
    for row in rows:
        tp = nearest_match(by_slot, row["position_code"], row["pol"], int(row["freq_mhz"]),
                           int(row["sr_ksym"]), FREQ_TOLERANCE_2010, SR_TOLERANCE_2010)
        if tp is None:
            stats["notice rows with no matching transponder now"] += 1
            continue
        found[id(tp)].append(row)
    # The latest notice about a transponder stands.
    return {key: [r for r in group if r["as_of"] == max(g["as_of"] for g in group)]
            for key, group in found.items()}


def read_import(path, listed_codes):
    lines = path.read_text(encoding="utf-8").splitlines()
    if not lines or lines[0].split("\t") != IMPORT_COLUMNS:
        raise Failure(f"{path}:1: header must be {' '.join(IMPORT_COLUMNS)}")
    rows = []
    for number, line in enumerate(lines[1:], 2):
        cells = line.split("\t")
        if len(cells) != len(IMPORT_COLUMNS):
            raise Failure(f"{path}:{number}: {len(cells)} cells, expected {len(IMPORT_COLUMNS)}")
        code, name, freq, pol, sr, ch, kind, free, provider, as_of = cells
        if code not in listed_codes:
            raise Failure(f"{path}:{number}: position {code} is not in the satellite list")
        if not freq.isdigit() or not sr.isdigit() or pol not in ("H", "V", "L", "R") \
                or kind not in KINDS or free not in ("0", "1") or not ch or not provider \
                or not re.fullmatch(r"\d{4}-\d\d-\d\d", as_of):
            raise Failure(f"{path}:{number}: malformed row {line!r}")
        rows.append({"code": code, "mhz": int(freq), "pol": pol, "sr": int(sr),
                     "ch": to_gbk(ch), "kind": kind, "free": free == "1",
                     "provider": to_gbk(provider), "as_of": as_of})
    return rows


# ---- tables -----------------------------------------------------------------------------

def strength_text(values):
    return "".join(values[:6])


def packed(c_value, ku_value):
    return f" {c_value}dB {ku_value}dB"


def build(sources, inputs, imports_dir=None):
    stats = collections.Counter()
    sats = load_satellites(inputs)
    load_strengths(inputs, sats)
    operators = load_operators(inputs)

    skipped = []
    entries = read_dtv(sources / DTV_DIR, skipped)
    stats["dtv-scan-tables entries"] = len(entries)
    kaffeine = read_kaffeine(sources / KAFFEINE_FILE)
    stats["scanfile.dvb entries"] = len(kaffeine)
    stats["2009 lists left out"] = len(skipped)
    transponders = build_transponders(entries + kaffeine, sats, stats)

    described = {s["key"] for s in sats if any(
        s["key"] == norm(e["sat"]) for e in entries + kaffeine if e.get("code") == s["code"])}
    sats.sort(key=lambda s: (s["pos"], s["key"] not in described, s["order"]))
    order = {}
    for index, sat in enumerate(sats):
        order.setdefault(sat["code"], index)
    transponders.sort(key=lambda t: (order[t["code"]], t["mhz"], t["pol"]))

    named = match_2010(read_tsv(inputs / "channels-2010.tsv"), transponders, stats)
    names = load_names(inputs)
    notices = match_notices(load_notices(inputs), transponders, stats)
    imports = [(path, read_import(path, order)) for path in sorted(imports_dir.glob("*.tsv"))] \
        if imports_dir and imports_dir.is_dir() else []
    used_names = set()

    def chinese(text):
        if text in names:
            used_names.add(text)
            return names[text]
        return text

    covered = {}
    by_slot = collections.defaultdict(list)
    for tp in transponders:
        by_slot[(tp["code"], tp["pol"])].append(tp)
    imported = []
    for path, rows in imports:
        for row in rows:
            key = (row["code"], row["mhz"], row["pol"])
            if key in covered and covered[key] != path:
                raise Failure(f"{path}: {key} is also imported from {covered[key]}")
            covered[key] = path
            imported.append((key, row, path))
        stats[f"rows imported from {path.name}"] = len(rows)
    replaced = set()
    for key in covered:
        for tp in by_slot[(key[0], key[2])]:
            if abs(tp["mhz"] - key[1]) <= FREQ_TOLERANCE_IMPORT:
                replaced.add(id(tp))
    stats["scan-table transponders replaced by imports"] = len(replaced)

    sat_name = {}
    for tp in transponders:
        sat_name.setdefault(tp["code"], tp["sat_name"])
    for sat in sats:
        sat_name.setdefault(sat["code"], sat["name"])

    keyed = []  # (sort key, row, origin)
    for tp in transponders:
        if id(tp) in replaced:
            continue
        label = label_name_and_kind(tp["label"]) if tp["label"] else None
        provider = chinese(label[0]) if label else operator_of(operators, tp["source_sat"])
        base = [tp["code"], tp["sat_name"], tp["mhz"], tp["pol"], tp["sr"]]
        sort_key = (order[tp["code"]], tp["mhz"], tp["pol"])
        stated = notices.get(id(tp), [])
        rows = []
        if named.get(id(tp)):
            for row in named[id(tp)]:
                free = DEFAULT_FREE
                for notice in stated:
                    if notice["channel_name"] == row["channel"] and notice["free"]:
                        free = notice["free"] == "1"
                        stats["access from notices"] += 1
                rows.append(base + [row["channel"], row["kind"], free, provider])
            stats["channel rows from the 2010 table"] += len(named[id(tp)])
        elif stated:
            for notice in stated:
                free = DEFAULT_FREE if not notice["free"] else notice["free"] == "1"
                stats["access from notices"] += bool(notice["free"])
                kind = notice["kind"] or (label[1] if label else NAMED_KIND)
                rows.append(base + [to_gbk(notice["channel_name"]), kind, free, provider])
            stats["channel rows from notices"] += len(stated)
        elif label:
            name = chinese(label[0])
            stats["label rows given a Chinese name"] += name != label[0]
            rows.append(base + [name, label[1], DEFAULT_FREE, provider])
            stats["channel rows from labels"] += 1
        else:
            rows.append(base + [PLACEHOLDER_NAME, PLACEHOLDER_KIND, DEFAULT_FREE, provider])
            stats["placeholder rows"] += 1
        keyed += [(sort_key, row, tp["origin"]) for row in rows]
    for key, row, path in imported:
        keyed.append(((order[key[0]], key[1], key[2]),
                      [row["code"], sat_name[row["code"]], row["mhz"], row["pol"], row["sr"],
                       row["ch"], row["kind"], row["free"], chinese(row["provider"])],
                      f"import {path.name} ({row['as_of']})"))
    keyed.sort(key=lambda k: k[0])  # stable: each transponder keeps its rows' order
    sat_rows = [row for _, row, _ in keyed]
    unused = sorted(set(names) - used_names)
    if unused:
        raise Failure(f"names-zh.tsv: labels no source uses: {unused}")

    origin_count = collections.Counter((row[0], origin) for _, row, origin in keyed)
    origins = [[code, sat_name[code], origin, count]
               for (code, origin), count in sorted(origin_count.items(),
                                                   key=lambda i: (order[i[0][0]], i[0][1]))]

    satlist_rows = [[s["code"], s["name"], strength_text(s["C"]), strength_text(s["Ku"]),
                     packed(s["C"][7], s["Ku"][7]), packed(s["C"][6], s["Ku"][6]), s["remark"]]
                    for s in sats]
    providers = sorted({r[8] for r in sat_rows}, key=lambda p: p.encode("gbk"))
    tables = {"satlist": (SATLIST_HEADER, satlist_rows),
              "sat": (SAT_HEADER, sat_rows),
              "sup": (SUP_HEADER, [[p] for p in providers]),
              "sys": (SYS_HEADER, [[DATA_VERSION]])}
    check(tables, {(r[0], r[2], r[3]) for r in sat_rows})
    return tables, origins, stats


def check(tables, transponders):
    """transponders: the (position, MHz, polarisation) keys that must each have a row."""
    satlist = tables["satlist"][1]
    if not 0 < len(satlist) <= MAX_SATELLITES:
        raise Failure(f"satlist has {len(satlist)} rows (1..{MAX_SATELLITES} allowed)")
    codes = [r[0] for r in satlist]
    first = next((i for i, c in enumerate(codes) if c == POINTING_DEFAULT[0]), None)
    if first is None or first < POINTING_DEFAULT[1]:
        raise Failure(f"first {POINTING_DEFAULT[0]} at position {first}, "
                      f"must be {POINTING_DEFAULT[1]} or later")
    if not any(c == OFFSET_DEFAULT[0] for c in codes[OFFSET_DEFAULT[1]:]):
        raise Failure(f"no {OFFSET_DEFAULT[0]} at position {OFFSET_DEFAULT[1]} or later")
    for row in satlist:
        if not all(re.fullmatch(r"\d{12}", t) for t in row[2:4]):
            raise Failure(f"{row[0]}: strength texts {row[2:4]!r}")
        if not all(re.fullmatch(r"( \d\ddB){2}", t) for t in row[4:6]):
            raise Failure(f"{row[0]}: s_min/s_max {row[4:6]!r}")
        if not row[1] or not row[6]:
            raise Failure(f"{row[0]}: empty name or remark")
    sat = tables["sat"][1]
    listed = set(codes)
    seen = set()
    for row in sat:
        code, _, mhz, pol, sr, name, kind, free, provider = row
        if code not in listed:
            raise Failure(f"sat row at unlisted position {code}")
        if pol not in ("H", "V", "L", "R"):
            raise Failure(f"polarisation {pol!r}")
        if not band_ok(mhz) or mhz == 10000:
            raise Failure(f"frequency {mhz} MHz")
        if not SYMBOL_RATES[0] <= sr <= SYMBOL_RATES[1]:
            raise Failure(f"symbol rate {sr} ksym/s")
        if kind not in KINDS:
            raise Failure(f"kind {kind!r}")
        if not name or not provider or not isinstance(free, bool):
            raise Failure(f"incomplete row {row!r}")
        seen.add((code, mhz, pol))
    if seen != transponders:
        raise Failure("a transponder has no channel row")
    if len(tables["sup"][1]) < 3:
        raise Failure("fewer than 3 providers")
    if {r[0] for r in tables["sup"][1]} != {r[8] for r in sat}:
        raise Failure("sup does not list exactly the providers of sat")
    for name, (header, rows) in tables.items():
        limits = [int(m.group(1)) if (m := re.search(r"Text\((\d+)\)", h)) else None
                  for h in header]
        for row in rows:
            if len(row) != len(header):
                raise Failure(f"{name}: row width {row!r}")
            for cell, limit in zip(row, limits):
                if isinstance(cell, str):
                    try:
                        cell.encode("gbk")
                    except UnicodeEncodeError:
                        raise Failure(f"{name}: not GBK: {cell!r}")
                    if limit is not None and len(cell) > limit:
                        raise Failure(f"{name}: {cell!r} longer than {limit}")


def cell_text(value):
    if isinstance(value, bool):
        return "1" if value else "0"
    if isinstance(value, int):
        return str(value)
    return (value.replace("\\", "\\\\").replace("\t", "\\t")
            .replace("\n", "\\n").replace("\r", "\\r"))


def write_tables(out_dir, tables):
    out_dir.mkdir(parents=True, exist_ok=True)
    for name, (header, rows) in tables.items():
        lines = ["\t".join(header)] + ["\t".join(cell_text(c) for c in row) for row in rows]
        (out_dir / f"{name}.tsv").write_bytes(("\n".join(lines) + "\n").encode("utf-8"))


def write_origins(out_dir, origins):
    lines = ["\t".join(ORIGINS_HEADER)] + ["\t".join(cell_text(c) for c in row) for row in origins]
    (out_dir / "origins.tsv").write_bytes(("\n".join(lines) + "\n").encode("utf-8"))


def main(argv):
    repo = pathlib.Path(__file__).resolve().parents[2]
    if len(argv) > 4:
        print("usage: make_channels.py [SOURCES_DIR] [OUT_DIR] [IMPORTS_DIR]", file=sys.stderr)
        return 2
    sources = pathlib.Path(argv[1]) if len(argv) > 1 else repo / "build" / "sources"
    out_dir = pathlib.Path(argv[2]) if len(argv) > 2 else repo / "data" / "channels"
    imports = pathlib.Path(argv[3]) if len(argv) > 3 else repo / "data" / "channels" / "imports"
    try:
        tables, origins, stats = build(sources, repo / "data" / "channels" / "input", imports)
    except (Failure, OSError) as error:
        print(f"make_channels: {error}", file=sys.stderr)
        return 1
    write_tables(out_dir, tables)
    write_origins(out_dir, origins)
    codes = [r[0] for r in tables["satlist"][1]]
    sat = tables["sat"][1]
    real = sum(1 for r in sat if r[5] != PLACEHOLDER_NAME)
    transponders = {(r[0], r[2], r[3]) for r in sat}
    print(f"satlist {len(codes)} satellites; first {POINTING_DEFAULT[0]} at "
          f"{codes.index(POINTING_DEFAULT[0])}, {OFFSET_DEFAULT[0]} at "
          f"{codes.index(OFFSET_DEFAULT[0], OFFSET_DEFAULT[1])}")
    print(f"sat {len(sat)} rows on {len(transponders)} transponders; "
          f"{real} named from a source ({100.0 * real / len(sat):.1f}%)")
    print(f"sup {len(tables['sup'][1])} providers; sys {DATA_VERSION}")
    for key in sorted(stats):
        print(f"  {key}: {stats[key]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
