#!/usr/bin/env python3
"""Independent reference tables for the sun tools' tests.

The sun comes from PyEphem (Debian python3-ephem: its own ephemeris, not ERFA), the satellite
direction from the WGS84 ellipsoid worked out here, and every whole minute of every day in
wide windows around the equinoxes is examined by brute force. Writes, under tests/data/sun/:

  outage_reference.tsv   sun-outage start, peak and end minutes (Beijing time)
  azimuth_reference.tsv  minutes at which the sun crosses a given azimuth
  sun_reference.tsv      the sun's apparent azimuth and elevation at a few instants

Run: /usr/bin/python3 tools/sun/make_reference.py [OUT_DIR]
"""

import datetime
import math
import os
import sys

import ephem

WGS84_A = 6378137.0
WGS84_F = 1.0 / 298.257223563
GEO_RADIUS = 42164170.0
SPEED_OF_LIGHT = 299792458.0
FREQUENCY = {"C": 4.0e9, "Ku": 12.0e9}
BEIJING = datetime.timedelta(hours=8)

# name, site longitude, latitude, satellite longitude, dish diameter (cm), band, year
OUTAGE_CASES = [
    ("beijing-e115.5-c150", 116.46, 39.92, 115.5, 150, "C", 2025),
    ("urumqi-e134-ku60", 87.68, 43.77, 134.0, 60, "Ku", 2024),
    ("guangzhou-e100.5-ku45", 113.23, 23.16, 100.5, 45, "Ku", 2026),
    ("harbin-e87.5-c300", 126.63, 45.75, 87.5, 300, "C", 2030),
    ("lhasa-e125-c180", 91.11, 29.97, 125.0, 180, "C", 2024),
    ("tropics-e100.5-ku60", 140.0, 5.0, 100.5, 60, "Ku", 2025),
    ("north-e76.5-ku90", 130.0, 55.0, 76.5, 90, "Ku", 2027),
    ("kunming-e146-c240", 102.73, 25.04, 146.0, 240, "C", 2028),
]

# name, site longitude, latitude, azimuth (degrees, or a satellite as "E<lon>"), Beijing date
AZIMUTH_CASES = [
    ("beijing-e115.5", 116.46, 39.92, "E115.5", "2025-06-01"),
    ("beijing-e115.5-winter", 116.46, 39.92, "E115.5", "2025-12-21"),
    ("urumqi-e134", 87.68, 43.77, "E134", "2024-09-10"),
    ("chengdu-west", 104.06, 30.67, 250.0, "2026-03-15"),
    ("tropics-north-east", 140.0, 5.0, 60.0, "2025-06-10"),
    ("tropics-e100.5", 140.0, 5.0, "E100.5", "2025-06-10"),
    ("haikou-north", 110.35, 20.02, 10.0, "2025-06-21"),
    ("beijing-due-north", 116.46, 39.92, 0.0, "2025-06-21"),
    ("sanya-twice", 109.51, 18.25, 72.0, "2025-06-21"),
]

# name, site longitude, latitude, UTC instant: the sun's apparent azimuth and elevation
SUN_CASES = [
    ("beijing-noon", 116.46, 39.92, "2025-03-04T04:30:00"),
    ("beijing-morning", 116.46, 39.92, "2025-06-21T23:05:00"),
    ("urumqi-evening", 87.68, 43.77, "2024-09-10T13:45:00"),
    ("lhasa-winter", 91.11, 29.97, "2024-12-21T05:00:00"),
    ("harbin-spring", 126.63, 45.75, "2030-03-20T02:10:00"),
    ("tropics-north", 140.0, 5.0, "2025-06-10T02:40:00"),
    ("kashgar-low", 75.99, 39.47, "2026-10-05T01:00:00"),
    ("north-55", 130.0, 55.0, "2027-09-25T06:20:00"),
]

WINDOWS = [((2, 10), (4, 10)), ((9, 1), (10, 31))]


def site_frame(lon, lat):
    lam, phi = math.radians(lon), math.radians(lat)
    e2 = WGS84_F * (2 - WGS84_F)
    n = WGS84_A / math.sqrt(1 - e2 * math.sin(phi) ** 2)
    pos = (n * math.cos(phi) * math.cos(lam), n * math.cos(phi) * math.sin(lam),
           n * (1 - e2) * math.sin(phi))
    east = (-math.sin(lam), math.cos(lam), 0.0)
    north = (-math.sin(phi) * math.cos(lam), -math.sin(phi) * math.sin(lam), math.cos(phi))
    up = (math.cos(phi) * math.cos(lam), math.cos(phi) * math.sin(lam), math.sin(phi))
    return pos, east, north, up


def satellite_azel(lon, lat, sat_lon):
    pos, east, north, up = site_frame(lon, lat)
    s = math.radians(sat_lon)
    d = [GEO_RADIUS * math.cos(s) - pos[0], GEO_RADIUS * math.sin(s) - pos[1], -pos[2]]
    e = sum(a * b for a, b in zip(d, east))
    n = sum(a * b for a, b in zip(d, north))
    u = sum(a * b for a, b in zip(d, up))
    az = math.degrees(math.atan2(e, n)) % 360.0
    el = math.degrees(math.atan2(u, math.hypot(e, n)))
    return az, el


def unit(az, el):
    a, e = math.radians(az), math.radians(el)
    return (math.cos(e) * math.sin(a), math.cos(e) * math.cos(a), math.sin(e))


def angle(u, v):
    cross = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
    return math.degrees(math.atan2(math.sqrt(sum(c * c for c in cross)),
                                   sum(a * b for a, b in zip(u, v))))


class SunSky:
    def __init__(self, lon, lat):
        self.observer = ephem.Observer()
        self.observer.lon = str(lon)
        self.observer.lat = str(lat)
        self.observer.elevation = 0
        self.observer.pressure = 0  # no refraction
        self.sun = ephem.Sun()

    def at(self, utc):
        self.observer.date = ephem.Date(utc)
        self.sun.compute(self.observer)
        return math.degrees(float(self.sun.az)), math.degrees(float(self.sun.alt))


def day_minutes(date):
    midnight = datetime.datetime(date.year, date.month, date.day) - BEIJING
    for minute in range(24 * 60):
        yield minute, midnight + datetime.timedelta(minutes=minute)


def outage_rows(case):
    name, lon, lat, sat_lon, diameter, band, year = case
    beam = 70.0 * (SPEED_OF_LIGHT / FREQUENCY[band]) / (diameter / 100.0)
    limit = beam / 2.0 + 0.25
    sat = unit(*satellite_azel(lon, lat, sat_lon))
    sky = SunSky(lon, lat)
    rows = []
    for (m0, d0), (m1, d1) in WINDOWS:
        date = datetime.date(year, m0, d0)
        last = datetime.date(year, m1, d1)
        while date <= last:
            best = None
            first_minute = last_minute = None
            for minute, utc in day_minutes(date):
                az, el = sky.at(utc)
                if el < 0:
                    continue
                sep = angle(unit(az, el), sat)
                if sep > limit:
                    continue
                if first_minute is None:
                    first_minute = minute
                last_minute = minute
                if best is None or sep < best[1]:
                    best = (minute, sep)
            if first_minute is not None:
                if date in (datetime.date(year, m0, d0), last):
                    sys.exit(f"{name}: outage on the window's edge {date}; widen the window")
                rows.append((name, lon, lat, sat_lon, diameter, band, year, f"{limit:.9f}",
                             date.isoformat(), first_minute, best[0], last_minute,
                             f"{best[1]:.4f}"))
            date += datetime.timedelta(days=1)
    return rows


def azimuth_rows(case):
    name, lon, lat, target, date_text = case
    if isinstance(target, str):
        target = satellite_azel(lon, lat, float(target[1:]))[0]
    date = datetime.date.fromisoformat(date_text)
    sky = SunSky(lon, lat)
    sun = [sky.at(utc) for _, utc in day_minutes(date)]

    def offset(az):
        return (az - target + 180.0) % 360.0 - 180.0

    rows = []
    for m in range(len(sun) - 1):
        d0, d1 = offset(sun[m][0]), offset(sun[m + 1][0])
        if not ((d0 < 0 <= d1) or (d0 > 0 >= d1)) or abs(d0) + abs(d1) >= 180.0:
            continue
        nearest = m if abs(d0) <= abs(d1) else m + 1
        if sun[nearest][1] > 0:
            rows.append((name, lon, lat, f"{target:.6f}", date_text, nearest,
                         f"{sun[nearest][1]:.3f}"))
    if not rows:
        rows.append((name, lon, lat, f"{target:.6f}", date_text, "-", "-"))
    return rows


def sun_rows(case):
    name, lon, lat, instant = case
    sky = SunSky(lon, lat)
    az, el = sky.at(datetime.datetime.fromisoformat(instant))
    return [(name, lon, lat, instant, f"{az:.6f}", f"{el:.6f}")]


def write(path, header, rows):
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write("# Made by tools/sun/make_reference.py with PyEphem " + ephem.__version__ +
                  "; minutes are Beijing time (UTC+8), minute of the day.\n")
        out.write("\t".join(header) + "\n")
        for row in rows:
            out.write("\t".join(str(v) for v in row) + "\n")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "tests",
                                                                 "data", "sun")
    os.makedirs(out_dir, exist_ok=True)
    outage = [row for case in OUTAGE_CASES for row in outage_rows(case)]
    write(os.path.join(out_dir, "outage_reference.tsv"),
          ["case", "lon", "lat", "satLon", "diameterCm", "band", "year", "outageAngle", "date",
           "start", "peak", "end", "peakSeparation"], outage)
    azimuth = [row for case in AZIMUTH_CASES for row in azimuth_rows(case)]
    write(os.path.join(out_dir, "azimuth_reference.tsv"),
          ["case", "lon", "lat", "azimuth", "date", "minute", "sunElevation"], azimuth)
    sun = [row for case in SUN_CASES for row in sun_rows(case)]
    write(os.path.join(out_dir, "sun_reference.tsv"),
          ["case", "lon", "lat", "utc", "azimuth", "elevation"], sun)


if __name__ == "__main__":
    main()
