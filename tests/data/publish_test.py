#!/usr/bin/python3
"""The publisher's server tree: publish_test.py BUILD_DIR"""
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
# Any file above the package check's 400,000 bytes stands in for a program build.
PROGRAM_DIR = tempfile.TemporaryDirectory()
PROGRAM = pathlib.Path(PROGRAM_DIR.name) / "zorvast"
PROGRAM.write_bytes(bytes(range(256)) * 2000)
MIRRORS = ["http://127.0.0.1:8080/zorvast", "ftp://127.0.0.1:2121/pub/"]


def publish(out, *extra, mirrors=MIRRORS, program=PROGRAM):
    args = ["/usr/bin/python3", str(PUBLISH), "--data-package", str(PACKAGE), "--program",
            str(program), "--out", str(out), "--build", str(BUILD)]
    for mirror in mirrors:
        args += ["--mirror", mirror]
    return subprocess.run(args + list(extra), capture_output=True, text=True)


class PublishTest(unittest.TestCase):
    def test_server_tree(self):
        with tempfile.TemporaryDirectory() as out:
            out = pathlib.Path(out)
            result = publish(out)
            self.assertEqual(result.returncode, 0, result.stderr)
            version = (out / "dv.htm").read_bytes()
            self.assertTrue(1 <= len(version) <= 7, version)
            self.assertTrue(version.isdigit(), version)
            sys_tsv = (REPO / "data/channels/sys.tsv").read_text().splitlines()
            self.assertEqual(version.decode(), sys_tsv[1].strip())
            self.assertEqual((out / "sv.htm").read_bytes(), b"1.02")

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

            self.assertEqual((out / "satdata.sta").read_bytes(), PACKAGE.read_bytes())
            with zipfile.ZipFile(out / "zorvast.zip") as software:
                self.assertEqual(software.namelist(), ["plumo.exe"])
                self.assertEqual(software.read("plumo.exe"), PROGRAM.read_bytes())

    def test_same_input_same_tree(self):
        with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
            self.assertEqual(publish(a).returncode, 0)
            self.assertEqual(publish(b).returncode, 0)
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
            }
            for what, kwargs in cases.items():
                result = publish(pathlib.Path(out) / "tree", **kwargs)
                self.assertNotEqual(result.returncode, 0, what)
                self.assertIn("publish:", result.stderr, what)


if __name__ == "__main__":
    unittest.main()
