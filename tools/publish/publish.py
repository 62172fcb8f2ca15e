#!/usr/bin/python3
"""Writes the tree a data server serves, for any static HTTP or FTP server.

Usage:
  publish.py --data-package satdata.sta --program zorvast --mirror URL [--mirror URL ...]
             --signing-key FILE --out FOLDER [--program-version 1.03]
             [--trade-page trade.htm] [--issued YYYY-MM-DD | --no-statement]

From a data package (satdata.sta) and a program build it writes into FOLDER:
  dv.htm        the data version of the package (table sys, field s_ver)
  du.htm        the data package mirrors, joined by the full-width comma, GBK
  sv.htm        the program version (what "PROGRAM --version" prints, unless given)
  su.htm        the program package mirrors, the same way
  nch.htm       the package's latest-channel list with the end mark "￣"
  sng.htm       the package's SNG list with the end mark
  news.htm      the package's news banner
  trade.htm     the online trade board (its title marks it as the online page)
  satdata.sta   the data package, signed with the key of --signing-key: its entries
                "zorvast.pkg" (kind data, the version of dv.htm) and "zorvast.sig" written
                anew; the program refuses a package without a valid signature
  zorvast.zip   the program package: the program file as "plumo.exe", signed the same way
                with the manifest kind program and the version of sv.htm (the program never
                offers or runs an unsigned or altered one, nor an older one)
  release.sig   the release statement: both versions and the issue date (today in UTC, or
                --issued), signed with the same key; left out with --no-statement
Each mirror is a base URL; the packages are expected at MIRROR/satdata.sta and
MIRROR/zorvast.zip, so the output folder itself can be one of the mirrors.

The signing key is the secret half of a package key pair (hex text, from
"zorvast-pack keygen"). The release key lives outside the repository; keys/test-package.sec
signs packages for tests and local servers only.
"""
import argparse
import datetime
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

REPO = pathlib.Path(__file__).resolve().parents[2]
END_MARK = "￣".encode("gbk")
COMMA = "，"
DATA_PACKAGE = "satdata.sta"
PROGRAM_PACKAGE = "zorvast.zip"
RELEASE_STATEMENT = "release.sig"
# What a version answer, and so a package manifest and the release statement, may hold.
VERSION_BYTES = "[!-~]"
FIXED_DATE = (2024, 1, 1, 0, 0, 0)


def fail(message):
    print(f"publish: {message}", file=sys.stderr)
    sys.exit(1)


def pack_tool(build):
    return build / "tools/pack/zorvast-pack"


def sign_package(package, key, build, kind, version):
    """Adds the manifest "zorvast.pkg" (kind and version) and "zorvast.sig" in place."""
    result = subprocess.run([str(pack_tool(build)), "sign", str(package), str(key),
                             "--kind", kind, "--version", version],
                            capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"cannot sign {package.name}: {result.stderr.strip()}")


def write_statement(path, key, build, data, program, issued):
    """The signed release statement naming both versions and the issue date."""
    result = subprocess.run([str(pack_tool(build)), "statement", str(path), str(key), data,
                             program, issued.isoformat()], capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"cannot write {path.name}: {result.stderr.strip()}")


def issue_date(text):
    """--issued: a calendar date written YYYY-MM-DD."""
    if not re.fullmatch(r"[0-9]{4}-[0-9]{2}-[0-9]{2}", text):
        raise argparse.ArgumentTypeError(f"not YYYY-MM-DD: {text!r}")
    try:
        return datetime.date.fromisoformat(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"no such day: {text!r}") from None


def data_version(package, build):
    """s_ver of table sys, read from the package's stored database."""
    with tempfile.TemporaryDirectory() as work:
        work = pathlib.Path(work)
        with zipfile.ZipFile(package) as archive:
            (work / "satdata.str").write_bytes(archive.read("satdata.str"))
        subprocess.run([str(pack_tool(build)), "working-copy",
                        str(work / "satdata.str"), str(work / "satdata.mdb")], check=True)
        rows = subprocess.run([str(build / "src/app/zorvast-cli"), "rows",
                               str(work / "satdata.mdb"), "sys"], check=True,
                              capture_output=True, text=True).stdout.splitlines()
    # zorvast-cli prints a header line, then one tab-separated line per row.
    names = rows[0].split("\t") if rows else []
    if len(rows) < 2 or "s_ver" not in names:
        fail("table sys has no s_ver")
    version = rows[1].split("\t")[names.index("s_ver")].strip()
    if not re.fullmatch(VERSION_BYTES + "{1,7}", version):
        fail(f"data version {version!r} does not fit a version answer (1 to 7 bytes, "
             "printable ASCII without spaces)")
    return version


def program_version(program):
    """The version the program build reports ("Zorvast 1.02")."""
    try:
        result = subprocess.run([str(program), "--version"], capture_output=True, text=True,
                                timeout=60)
    except OSError as error:
        fail(f"cannot run {program}: {error}")
    words = result.stdout.split()
    if result.returncode != 0 or len(words) != 2 or words[0] != "Zorvast":
        fail(f"{program} --version did not name a version")
    return words[1]


def mirror_list(mirrors, name):
    return COMMA.join(m.rstrip("/") + "/" + name for m in mirrors).encode("gbk")


def write_zip(path, entries):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, FIXED_DATE)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o755 << 16
            archive.writestr(info, data)


def with_end_mark(text):
    if not text.endswith(b"\r\n") and text:
        text += b"\r\n"
    return text + END_MARK


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data-package", required=True, type=pathlib.Path)
    parser.add_argument("--program", required=True, type=pathlib.Path)
    parser.add_argument("--mirror", action="append", required=True)
    parser.add_argument("--out", required=True, type=pathlib.Path)
    parser.add_argument("--signing-key", required=True, type=pathlib.Path,
                        help="secret package key (hex text) both packages are signed with")
    parser.add_argument("--program-version",
                        help="the version sv.htm offers; default: the program's own")
    parser.add_argument("--trade-page", type=pathlib.Path,
                        default=REPO / "data/server/trade.htm")
    parser.add_argument("--build", type=pathlib.Path, default=REPO / "build",
                        help="build folder holding zorvast-pack and zorvast-cli")
    statement = parser.add_mutually_exclusive_group()
    statement.add_argument("--issued", type=issue_date,
                           help="issue date of release.sig (YYYY-MM-DD); default: today in UTC")
    statement.add_argument("--no-statement", action="store_true",
                           help="publish no release.sig")
    args = parser.parse_args()
    if args.issued is None:
        args.issued = datetime.datetime.now(datetime.timezone.utc).date()

    if args.program_version is None:
        args.program_version = program_version(args.program)
    if not re.fullmatch(VERSION_BYTES + "{1,5}", args.program_version):
        fail("the program version must be 1 to 5 bytes, printable ASCII without spaces")
    for mirror in args.mirror:
        if not mirror.startswith(("http://", "https://", "ftp://")):
            fail(f"a mirror must be an HTTP or FTP URL: {mirror}")
        if COMMA in mirror or mirror != mirror.strip(" 　"):
            fail(f"a mirror cannot hold the separator or edge spaces: {mirror!r}")

    if not args.signing_key.is_file():
        fail(f"signing key not found: {args.signing_key}")
    version = data_version(args.data_package, args.build)
    with zipfile.ZipFile(args.data_package) as archive:
        lists = {name: archive.read(name) for name in ("nch.str", "sng.str", "news.htm")}
    program = args.program.read_bytes()
    if len(program) <= 400000:
        fail("the program file must be larger than 400,000 bytes")
    trade = args.trade_page.read_text(encoding="utf-8")
    if "<title>Zorvast-交易</title>" not in trade:
        fail("the online trade page must carry the title Zorvast-交易")

    out = args.out
    out.mkdir(parents=True, exist_ok=True)
    files = {
        "dv.htm": version.encode("gbk"),
        "du.htm": mirror_list(args.mirror, DATA_PACKAGE),
        "sv.htm": args.program_version.encode("gbk"),
        "su.htm": mirror_list(args.mirror, PROGRAM_PACKAGE),
        "nch.htm": with_end_mark(lists["nch.str"]),
        "sng.htm": with_end_mark(lists["sng.str"]),
        "news.htm": lists["news.htm"],
        "trade.htm": trade.replace("\r\n", "\n").replace("\n", "\r\n").encode("gbk"),
    }
    for name, data in files.items():
        (out / name).write_bytes(data)
    shutil.copyfile(args.data_package, out / DATA_PACKAGE)
    sign_package(out / DATA_PACKAGE, args.signing_key, args.build, "data", version)
    write_zip(out / PROGRAM_PACKAGE, [("plumo.exe", program)])
    sign_package(out / PROGRAM_PACKAGE, args.signing_key, args.build, "program",
                 args.program_version)
    if args.no_statement:
        (out / RELEASE_STATEMENT).unlink(missing_ok=True)
    else:
        write_statement(out / RELEASE_STATEMENT, args.signing_key, args.build, version,
                        args.program_version, args.issued)
    print(f"published data {version}, program {args.program_version} to {out}")


if __name__ == "__main__":
    main()
