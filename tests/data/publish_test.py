#!/usr/bin/python3
"""The publisher's server tree: publish_test.py BUILD_DIR"""
import datetime
import pathlib
import subprocess
import sys
import tempfile
import unittest
import zipfile

REPO = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(sys.argv.pop(1)) if len(sys.argv) > 1 else REPO / "build"
PUBLISH = REPO / "tools/publish/publish.py"
PACKAGE = BUILD / "data/satdata.sta"
PACK = BUILD / "tools/pack/zorvast-pack"
TEST_SECRET_KEY = REPO / "keys/test-package.sec"
TEST_PUBLIC_KEY = REPO / "keys/test-package.pub"
# Any file above the package check's 400,000 bytes stands in for a program build (its version
# is then given); the real build reports its own.
BUILT_PROGRAM = BUILD / "src/app/zorvast"
PROGRAM_DIR = tempfile.TemporaryDirectory()
PROGRAM = pathlib.Path(PROGRAM_DIR.name) / "zorvast"
PROGRAM.write_bytes(bytes(range(256)) * 2000)
MIRRORS = ["http://127.0.0.1:8080/zorvast", "ftp://127.0.0.1:2121/pub/"]
ISSUED = "2026-01-15"


def publish(out, *extra, mirrors=MIRRORS, program=PROGRAM, key=TEST_SECRET_KEY, version="1.03"):
    args = ["/usr/bin/python3", str(PUBLISH), "--data-package", str(PACKAGE), "--program",
            str(program), "--out", str(out), "--build", str(BUILD)]
    if version is not None:
        args += ["--program-version", version]
    if key is not None:
        args += ["--signing-key", str(key)]
    for mirror in mirrors:
        args += ["--mirror", mirror]
    return subprocess.run(args + list(extra), capture_output=True, text=True)


def manifest(kind, version):
    return f"kind={kind}\r\nversion={version}\r\n".encode()


def statement(data, program, issued):
    """The statement zorvast-pack signs for these facts (Ed25519 signatures are deterministic)."""
    with tempfile.TemporaryDirectory() as work:
        out = pathlib.Path(work) / "release.sig"
        made = subprocess.run([str(PACK), "statement", str(out), str(TEST_SECRET_KEY), data,
                               program, issued], capture_output=True, text=True)
        if made.returncode != 0:
            raise AssertionError(made.stderr)
        return out.read_bytes()


def verify(package, public_key=TEST_PUBLIC_KEY):
    return subprocess.run([str(PACK), "verify", str(package), str(public_key)],
                          capture_output=True, text=True)


def zip_entries(path):
    with zipfile.ZipFile(path) as archive:
        return [(info, archive.read(info.filename)) for info in archive.infolist()]


def rewrite_zip(path, entries):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for info, data in entries:
            archive.writestr(info, data)


class PublishTest(unittest.TestCase):
    def test_server_tree(self):
        with tempfile.TemporaryDirectory() as out:
            out = pathlib.Path(out)
            result = publish(out, "--issued", ISSUED)
            self.assertEqual(result.returncode, 0, result.stderr)
            version = (out / "dv.htm").read_bytes()
            self.assertTrue(1 <= len(version) <= 7, version)
            self.assertTrue(version.isdigit(), version)
            sys_tsv = (REPO / "data/channels/sys.tsv").read_text().splitlines()
            self.assertEqual(version.decode(), sys_tsv[1].strip())
            self.assertEqual((out / "sv.htm").read_bytes(), b"1.03")

            comma = "，".encode("gbk")
            self.assertEqual((out / "du.htm").read_bytes().split(comma),
                             [b"http://127.0.0.1:8080/zorvast/satdata.sta",
                              b"ftp://127.0.0.1:2121/pub/satdata.sta"])
            self.assertEqual((out / "su.htm").read_bytes().split(comma),
                             [b"http://127.0.0.1:8080/zorvast/zorvast.zip",
                              b"ftp://127.0.0.1:2121/pub/zorvast.zip"])

            with zipfile.ZipFile(PACKAGE) as package:
                nch = package.read("nch.str")
                sng = package.read("sng.str")
                news = package.read("news.htm")
            for name, cache in (("nch.htm", nch), ("sng.htm", sng)):
                page = (out / name).read_bytes()
                self.assertTrue(page.endswith(b"\r\n\xa3\xfe"), name)
                self.assertTrue(page.startswith(cache.rstrip(b"\r\n")), name)
            self.assertEqual((out / "news.htm").read_bytes(), news)
            trade = (out / "trade.htm").read_bytes().decode("gbk")
            self.assertIn("<title>Zorvast-交易</title>", trade)

            # The published package is the built one signed again with the publisher's key;
            # the build signs with the test key, so here the two are the same.
            with zipfile.ZipFile(PACKAGE) as built, \
                    zipfile.ZipFile(out / "satdata.sta") as published:
                self.assertEqual(built.namelist()[-1], "zorvast.sig")
                self.assertEqual(published.namelist(), built.namelist())
                for name in built.namelist():
                    self.assertEqual(published.read(name), built.read(name), name)
                    self.assertEqual(published.getinfo(name).date_time,
                                     built.getinfo(name).date_time, name)
                self.assertEqual(len(published.read("zorvast.sig")), 64)
                # The signed manifest names the kind and the version dv.htm announces.
                self.assertEqual(published.namelist()[-2], "zorvast.pkg")
                self.assertEqual(published.read("zorvast.pkg"),
                                 manifest("data", version.decode()))
            self.assertEqual((out / "satdata.sta").read_bytes(), PACKAGE.read_bytes())
            checked = verify(out / "satdata.sta")
            self.assertEqual(checked.returncode, 0, checked.stderr)
            with zipfile.ZipFile(out / "zorvast.zip") as software:
                self.assertEqual(software.namelist(), ["plumo.exe", "zorvast.pkg", "zorvast.sig"])
                self.assertEqual(software.read("plumo.exe"), PROGRAM.read_bytes())
                self.assertEqual(software.read("zorvast.pkg"), manifest("program", "1.03"))
            checked = verify(out / "zorvast.zip")
            self.assertEqual(checked.returncode, 0, checked.stderr)
            # The release statement names what dv.htm and sv.htm announce.
            self.assertEqual((out / "release.sig").read_bytes(),
                             statement(version.decode(), "1.03", ISSUED))
            self.assertTrue((out / "release.sig").read_bytes().startswith(
                b"format=1\r\ndata=" + version + b"\r\nprogram=1.03\r\nissued=2026-01-15\r\n"
                b"signature="))

    def test_program_version_comes_from_the_build(self):
        with tempfile.TemporaryDirectory() as out:
            out = pathlib.Path(out)
            result = publish(out, program=BUILT_PROGRAM, version=None)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual((out / "sv.htm").read_bytes(), b"1.02")
            with zipfile.ZipFile(out / "zorvast.zip") as software:
                self.assertEqual(software.read("zorvast.pkg"), manifest("program", "1.02"))
            self.assertIn(b"\r\nprogram=1.02\r\n", (out / "release.sig").read_bytes())

    def test_package_signature(self):
        with tempfile.TemporaryDirectory() as out:
            out = pathlib.Path(out)
            self.assertEqual(publish(out).returncode, 0)
            signed = zip_entries(out / "satdata.sta")

            unsigned = out / "unsigned.sta"
            rewrite_zip(unsigned, [(i, d) for i, d in signed if i.filename != "zorvast.sig"])
            altered = out / "altered.sta"
            rewrite_zip(altered, [(i, d[:100] + bytes([d[100] ^ 1]) + d[101:])
                                  if i.filename == "satdata.str" else (i, d) for i, d in signed])
            extra = out / "extra.sta"
            rewrite_zip(extra, signed + [(zipfile.ZipInfo("extra.htm", (2024, 1, 1, 0, 0, 0)),
                                          b"<html></html>")])
            renamed = out / "renamed.sta"
            rewrite_zip(renamed, [(zipfile.ZipInfo("nch2.str", i.date_time), d)
                                  if i.filename == "nch.str" else (i, d) for i, d in signed])
            program = zip_entries(out / "zorvast.zip")
            altered_program = out / "altered.zip"
            rewrite_zip(altered_program, [(i, d[:100] + bytes([d[100] ^ 1]) + d[101:])
                                          if i.filename == "plumo.exe" else (i, d)
                                          for i, d in program])
            for what, package in (("unsigned", unsigned), ("one byte changed", altered),
                                  ("an entry added", extra), ("an entry renamed", renamed),
                                  ("one byte of the program changed", altered_program)):
                result = verify(package)
                self.assertNotEqual(result.returncode, 0, what)
                self.assertIn("signature missing or wrong", result.stderr, what)

            # Another key pair's public half does not accept the package either.
            other = out / "other"
            other.mkdir()
            made = subprocess.run([str(PACK), "keygen", str(other / "k.pub"), str(other / "k.sec")],
                                  capture_output=True, text=True)
            self.assertEqual(made.returncode, 0, made.stderr)
            self.assertNotEqual(verify(out / "satdata.sta", other / "k.pub").returncode, 0)

    def test_another_key_replaces_the_signature(self):
        with tempfile.TemporaryDirectory() as out:
            out = pathlib.Path(out)
            keys = out / "keys"
            keys.mkdir()
            made = subprocess.run([str(PACK), "keygen", str(keys / "k.pub"), str(keys / "k.sec")],
                                  capture_output=True, text=True)
            self.assertEqual(made.returncode, 0, made.stderr)
            tree = out / "tree"
            result = publish(tree, key=keys / "k.sec")
            self.assertEqual(result.returncode, 0, result.stderr)
            with zipfile.ZipFile(tree / "satdata.sta") as published:
                self.assertEqual(published.namelist().count("zorvast.sig"), 1)
            self.assertEqual(verify(tree / "satdata.sta", keys / "k.pub").returncode, 0)
            self.assertNotEqual(verify(tree / "satdata.sta").returncode, 0)
            # The built package itself carries the test key's signature.
            self.assertEqual(verify(PACKAGE).returncode, 0)

    def test_release_statement_date(self):
        with tempfile.TemporaryDirectory() as out:
            out = pathlib.Path(out)
            before = datetime.datetime.now(datetime.timezone.utc).date()
            result = publish(out)
            after = datetime.datetime.now(datetime.timezone.utc).date()
            self.assertEqual(result.returncode, 0, result.stderr)
            version = (out / "dv.htm").read_text()
            text = (out / "release.sig").read_bytes()
            self.assertIn(text, [statement(version, "1.03", day.isoformat())
                                 for day in {before, after}], "issued today in UTC")

            # An old date, as a test of an expired statement wants it.
            result = publish(out, "--issued", "2020-02-29")
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual((out / "release.sig").read_bytes(),
                             statement(version, "1.03", "2020-02-29"))

            # Left out, and one from an earlier run in the same folder removed.
            result = publish(out, "--no-statement")
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertFalse((out / "release.sig").exists())
            self.assertTrue((out / "dv.htm").exists())

        for bad in ("2026-02-29", "2026-13-01", "2026-1-10", "20261210", "2026-12-10T00:00",
                    " 2026-12-10", ""):
            with tempfile.TemporaryDirectory() as out:
                tree = pathlib.Path(out) / "tree"
                result = publish(tree, "--issued", bad)
                self.assertNotEqual(result.returncode, 0, bad)
                self.assertIn("--issued", result.stderr, bad)
                self.assertFalse(tree.exists(), bad)
        with tempfile.TemporaryDirectory() as out:
            tree = pathlib.Path(out) / "tree"
            result = publish(tree, "--issued", ISSUED, "--no-statement")
            self.assertNotEqual(result.returncode, 0)
            self.assertFalse(tree.exists())

    def test_same_input_same_tree(self):
        with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
            self.assertEqual(publish(a, "--issued", ISSUED).returncode, 0)
            self.assertEqual(publish(b, "--issued", ISSUED).returncode, 0)
            for path in sorted(pathlib.Path(a).iterdir()):
                self.assertEqual(path.read_bytes(), (pathlib.Path(b) / path.name).read_bytes(),
                                 path.name)

    def test_refuses_bad_input(self):
        with tempfile.TemporaryDirectory() as out:
            small = pathlib.Path(out) / "small.bin"
            small.write_bytes(b"x" * 1000)
            cases = {
                "mirror with the separator": dict(mirrors=["http://a，b"]),
                "mirror that is no URL": dict(mirrors=["/srv/zorvast"]),
                "mirror with an edge space": dict(mirrors=["http://a/ "]),
                "program too small to be accepted": dict(program=small),
                "program that reports no version": dict(version=None),
                "version too long for a version answer": dict(version="1.0300"),
                "version with a space": dict(version="1 03"),
                "version that is not ASCII": dict(version="版本"),
            }
            cases["a signing key that is not there"] = dict(key=pathlib.Path(out) / "none.sec")
            bad_key = pathlib.Path(out) / "bad.sec"
            bad_key.write_text("not a key\n")
            cases["a signing key that is no key"] = dict(key=bad_key)
            for what, kwargs in cases.items():
                result = publish(pathlib.Path(out) / "tree", **kwargs)
                self.assertNotEqual(result.returncode, 0, what)
                self.assertIn("publish:", result.stderr, what)
            # Without a key argparse refuses before anything is written.
            result = publish(pathlib.Path(out) / "unsigned", key=None)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn("--signing-key", result.stderr)
            self.assertFalse((pathlib.Path(out) / "unsigned").exists())


if __name__ == "__main__":
    unittest.main()
