#!/usr/bin/python3
"""Generates the magnetic declination grid of the pointing tab.

Source: IGRF-12 coefficients from Debian's casacore-data-igrf 12-1
(usr/share/casacore/data/geodetic/IGRF/table.f0i). The IGRF coefficients are public
domain (17 U.S.C. 403); the Debian packaging is BSD-2-Clause.

The grid covers latitude 1..60 N and longitude 70..150 E in 1-degree steps, latitude-major,
three ASCII digits per cell: n/10 up to 50 is an east declination, above 50 a west one of
n/10 - 50 degrees. Declination is evaluated at epoch 2010.75 on the WGS84 ellipsoid at
height 0 and rounded half away from zero to 0.1 degree; that epoch fits the reference cells
best (54 of 67 exact, the rest 0.1 off at rounding edges), and the reference cells are then
written as they stand.

Usage: make_declination.py [SOURCES_DIR] [OUT_CPP]
"""
import math
import pathlib
import struct
import sys

EPOCH = 2010.75
TABLE = "casacore-data-igrf/usr/share/casacore/data/geodetic/IGRF/table.f0i"
MAX_DEGREE = 13
REFERENCE_RADIUS = 6371.2
WGS84_A = 6378.137
WGS84_B = 6356.752314245

LONGITUDES = list(range(70, 151))
LATITUDES = list(range(1, 61))

# Reference cells (latitude, longitude) -> degrees east, taken as they stand.
SAMPLE_LONGITUDES = [70, 80, 90, 100, 110, 120, 130, 140, 150]
SAMPLE_ROWS = {
    1: [-4.2, -3.8, -2.2, -0.3, 0.7, 0.8, 1.4, 3.1, 5.2],
    10: [-2.1, -2.1, -1.4, -0.5, -0.3, -0.6, -0.3, 1.1, 3.4],
    20: [-0.4, -0.7, -0.8, -0.9, -1.6, -2.6, -2.9, -1.7, 0.5],
    30: [1.6, 0.9, 0.1, -1.2, -3.0, -4.9, -5.8, -5.1, -2.9],
    40: [4.5, 3.3, 1.4, -1.3, -4.5, -7.4, -9.0, -8.5, -6.2],
    50: [9.1, 7.1, 3.6, -1.0, -6.1, -10.1, -12.1, -11.6, -9.1],
    60: [16.2, 13.4, 7.9, 0.3, -7.3, -12.9, -15.1, -14.3, -11.2],
}
FURTHER_CELLS = {(40, 116): -6.4, (31, 121): -5.3, (23, 113): -2.4, (44, 87): 3.0}


def reference_cells():
    cells = dict(FURTHER_CELLS)
    for lat, values in SAMPLE_ROWS.items():
        for lon, value in zip(SAMPLE_LONGITUDES, values):
            cells[(lat, lon)] = value
    return cells


def read_coefficients(path):
    """Returns [(coef, dcoef)] per 5-year epoch from 1900, each a list of 195 floats."""
    data = path.read_bytes()
    marker = struct.pack("<ii", 1, 195)
    arrays = []
    pos = data.find(marker)
    while pos >= 0:
        start = pos + len(marker)
        arrays.append(list(struct.unpack_from("<195d", data, start)))
        pos = data.find(marker, start + 195 * 8)
    if len(arrays) % 2 or len(arrays) < 48:
        raise SystemExit(f"unexpected IGRF table layout: {len(arrays)} arrays")
    return [(arrays[i], arrays[i + 1]) for i in range(0, len(arrays), 2)]


def coefficients_at(epochs, year):
    k = int((year - 1900) // 5)
    if k >= len(epochs) - 1:
        k = len(epochs) - 1
        coef, dcoef = epochs[k]
        dt = year - (1900 + 5 * k)
        return [c + d * dt for c, d in zip(coef, dcoef)]
    fraction = (year - (1900 + 5 * k)) / 5.0
    low, high = epochs[k][0], epochs[k + 1][0]
    return [a + (b - a) * fraction for a, b in zip(low, high)]


def unpack(coefficients):
    """g[n][m], h[n][m] from the order g10, g11, h11, g20, g21, h21, g22, h22, ..."""
    g = [[0.0] * (MAX_DEGREE + 1) for _ in range(MAX_DEGREE + 1)]
    h = [[0.0] * (MAX_DEGREE + 1) for _ in range(MAX_DEGREE + 1)]
    i = 0
    for n in range(1, MAX_DEGREE + 1):
        for m in range(n + 1):
            g[n][m] = coefficients[i]
            i += 1
            if m > 0:
                h[n][m] = coefficients[i]
                i += 1
    return g, h


def declination(g, h, lat_deg, lon_deg):
    phi = math.radians(lat_deg)
    lam = math.radians(lon_deg)
    # Geodetic (height 0) to geocentric.
    a2, b2 = WGS84_A ** 2, WGS84_B ** 2
    n_radius = a2 / math.sqrt(a2 * math.cos(phi) ** 2 + b2 * math.sin(phi) ** 2)
    x = n_radius * math.cos(phi)
    z = n_radius * (b2 / a2) * math.sin(phi)
    r = math.hypot(x, z)
    phi_c = math.atan2(z, x)
    psi = phi - phi_c
    theta = math.pi / 2 - phi_c
    ct, st = math.cos(theta), math.sin(theta)

    # Schmidt semi-normalised associated Legendre functions and their theta derivatives.
    p = [[0.0] * (MAX_DEGREE + 1) for _ in range(MAX_DEGREE + 1)]
    dp = [[0.0] * (MAX_DEGREE + 1) for _ in range(MAX_DEGREE + 1)]
    p[0][0] = 1.0
    for n in range(1, MAX_DEGREE + 1):
        factor = 1.0 if n == 1 else math.sqrt((2 * n - 1) / (2 * n))
        p[n][n] = factor * st * p[n - 1][n - 1]
        dp[n][n] = factor * (st * dp[n - 1][n - 1] + ct * p[n - 1][n - 1])
        for m in range(n):
            k = math.sqrt(n * n - m * m)
            k2 = math.sqrt((n - 1) ** 2 - m * m) if n - 1 >= m else 0.0
            p2 = p[n - 2][m] if n >= 2 else 0.0
            dp2 = dp[n - 2][m] if n >= 2 else 0.0
            p[n][m] = ((2 * n - 1) * ct * p[n - 1][m] - k2 * p2) / k
            dp[n][m] = ((2 * n - 1) * (ct * dp[n - 1][m] - st * p[n - 1][m]) - k2 * dp2) / k

    b_r = b_theta = b_phi = 0.0
    for n in range(1, MAX_DEGREE + 1):
        scale = (REFERENCE_RADIUS / r) ** (n + 2)
        for m in range(n + 1):
            cm, sm = math.cos(m * lam), math.sin(m * lam)
            term = g[n][m] * cm + h[n][m] * sm
            b_r += (n + 1) * scale * term * p[n][m]
            b_theta -= scale * term * dp[n][m]
            b_phi -= scale * m * (-g[n][m] * sm + h[n][m] * cm) * p[n][m] / st
    north, east, down = -b_theta, b_phi, -b_r
    north_geodetic = north * math.cos(psi) + down * math.sin(psi)
    return math.degrees(math.atan2(east, north_geodetic))


def round_tenths(value):
    """Half away from zero to 0.1, in tenths."""
    tenths = math.floor(abs(value) * 10 + 0.5)
    return -tenths if value < 0 else tenths


def encode(tenths):
    return f"{tenths:03d}" if tenths >= 0 else f"{500 - tenths:03d}"


def main():
    root = pathlib.Path(__file__).resolve().parents[2]
    sources = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root / "build" / "sources"
    out = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else root / "src/pointing/DeclinationGrid.cpp"
    g, h = unpack(coefficients_at(read_coefficients(sources / TABLE), EPOCH))

    references = reference_cells()
    cells = {}
    worst_grid = 0.0
    misses = []
    for lat in LATITUDES:
        for lon in LONGITUDES:
            value = declination(g, h, lat, lon)
            tenths = round_tenths(value)
            if (lat, lon) in references:
                wanted = round(references[(lat, lon)] * 10)
                if wanted != tenths:
                    misses.append((lat, lon, value, wanted / 10))
                tenths = wanted
            worst_grid = max(worst_grid, abs(tenths / 10 - value))
            cells[(lat, lon)] = tenths

    errors = [abs(round_tenths(v) / 10 - w) for _, _, v, w in misses]
    ref_errors = [abs(declination(g, h, la, lo) - w) for (la, lo), w in references.items()]
    print(f"reference cells: {len(references)}, exact from IGRF: {len(references) - len(misses)}, "
          f"max rounded miss {max(errors, default=0):.1f}; unrounded error vs references: "
          f"max {max(ref_errors):.3f}, mean {sum(ref_errors) / len(ref_errors):.3f}; "
          f"grid vs IGRF: max {worst_grid:.3f}", file=sys.stderr)
    values = [cells[(la, lo)] for la in LATITUDES for lo in LONGITUDES]
    print(f"grid range {min(values) / 10} .. {max(values) / 10}", file=sys.stderr)

    lines = [
        "// Generated by tools/declination/make_declination.py from IGRF-12 (public domain,",
        "// Debian casacore-data-igrf) at epoch 2010.75; do not edit by hand.",
        "#include \"pointing/DeclinationGrid.h\"",
        "",
        "namespace zorvast::pointing {",
        "",
        "namespace {",
        "",
        "// One latitude per three lines of 27 cells, longitude 70 to 150 E.",
        "// clang-format off",
        "constexpr char kGrid[] =",
    ]
    for lat in LATITUDES:
        row = "".join(encode(cells[(lat, lon)]) for lon in LONGITUDES)
        for part in range(3):
            chunk = row[part * 81:(part + 1) * 81]
            suffix = f"  // {lat} N" if part == 0 else ""
            lines.append(f"    \"{chunk}\"{suffix}")
    lines[-1] = lines[-1] + ";" if "//" not in lines[-1] else lines[-1]
    lines += [
        "// clang-format on",
        "",
        "static_assert(sizeof kGrid - 1 == kDeclinationGridLength);",
        "",
        "} // namespace",
        "",
        "std::string_view declinationGridText() {",
        "    return {kGrid, kDeclinationGridLength};",
        "}",
        "",
        "} // namespace zorvast::pointing",
        "",
    ]
    out.write_text("\n".join(lines), encoding="ascii")


if __name__ == "__main__":
    main()
