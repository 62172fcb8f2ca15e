#!/usr/bin/env python3
"""Two local users on one machine: the real program run as an unprivileged victim while a second
user has planted folders, links, programs and a held marker where the program used to work.

Needs root (to start the program as other users with setpriv and to give files to them); skips
otherwise. Usage: two_users_test.py BUILD_DIR
"""

import fcntl
import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = sys.argv.pop(1) if len(sys.argv) > 1 else "build"
PROGRAM = os.path.join(BUILD, "src", "app", "zorvast")
PACKAGE = os.path.join(BUILD, "data", "satdata.sta")
VICTIM = 47101
ATTACKER = 47102
DEAD_SERVER = "http://127.0.0.1:9"
HELPER_NAME = "plumo_updata_69656858.exe"


def give(path, uid):
    """Everything at and below `path` now belongs to `uid`, links themselves included."""
    os.lchown(path, uid, uid)
    if os.path.isdir(path) and not os.path.islink(path):
        for root, dirs, files in os.walk(path):
            for name in dirs + files:
                os.lchown(os.path.join(root, name), uid, uid)


def owned_by(path, uid):
    found = []
    for root, dirs, files in os.walk(path):
        for name in dirs + files:
            full = os.path.join(root, name)
            if os.lstat(full).st_uid == uid:
                found.append(full)
    return found


def marker_held(path):
    """True while a running copy holds the marker's lock."""
    try:
        fd = os.open(path, os.O_RDONLY | os.O_NOFOLLOW)
    except OSError:
        return False
    try:
        fcntl.flock(fd, fcntl.LOCK_SH | fcntl.LOCK_NB)
        return False
    except BlockingIOError:
        return True
    finally:
        os.close(fd)


class User:
    """One local user: a home, a runtime folder and a program folder of their own."""

    def __init__(self, root, uid, name):
        self.uid = uid
        self.home = os.path.join(root, name)
        self.runtime = os.path.join(self.home, "run")
        self.program = os.path.join(self.home, "程序 folder")
        for folder in (self.home, self.runtime, self.program,
                       os.path.join(self.home, "Desktop"),
                       os.path.join(self.home, ".local", "share", "applications")):
            os.makedirs(folder, exist_ok=True)
        os.chmod(self.runtime, 0o700)
        shutil.copy2(PROGRAM, os.path.join(self.program, "zorvast"))
        shutil.copy2(PACKAGE, os.path.join(self.program, "satdata.sta"))
        give(self.home, uid)

    @property
    def work_folder(self):
        return os.path.join(self.runtime, "zorvast", "satdata_temp")

    def environment(self, **changes):
        env = {
            "PATH": "/usr/bin:/bin",
            "HOME": self.home,
            "XDG_RUNTIME_DIR": self.runtime,
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "QT_QPA_PLATFORM": "offscreen",
            "QTWEBENGINE_CHROMIUM_FLAGS": "--no-sandbox",
            "QT_LOGGING_RULES": "*=false",
            "ZORVAST_DATA_SERVERS": DEAD_SERVER,
        }
        for key, value in changes.items():
            if value is None:
                env.pop(key, None)
            else:
                env[key] = value
        return env

    def start(self, program_folder=None, **changes):
        folder = program_folder or self.program
        with open(os.path.join(os.path.dirname(self.home), f"log-{self.uid}.txt"), "ab") as log:
            return subprocess.Popen(
                ["setpriv", f"--reuid={self.uid}", f"--regid={self.uid}", "--clear-groups", "--",
                 os.path.join(folder, "zorvast")],
                cwd=folder, env=self.environment(**changes), stdout=log, stderr=log,
                start_new_session=True)

    def run_as(self, command):
        return subprocess.run(
            ["setpriv", f"--reuid={self.uid}", f"--regid={self.uid}", "--clear-groups", "--"]
            + command, capture_output=True, text=True)


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return condition()


def signal_group(process, number):
    try:
        os.killpg(process.pid, number)
    except ProcessLookupError:
        pass


def stop(process):
    """Ends a started program the way a session's SIGTERM does, and waits for it."""
    if process.poll() is None:
        signal_group(process, signal.SIGTERM)
        try:
            process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            signal_group(process, signal.SIGKILL)
            process.wait()


@unittest.skipUnless(os.geteuid() == 0, "needs root: the program is started as two other "
                     "users with setpriv")
class TwoUsers(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="zorvast-two-users-")
        os.chmod(self.root, 0o755)
        self.victim = User(self.root, VICTIM, "victim")
        self.attacker = User(self.root, ATTACKER, "attacker")
        # The shared temporary folder of the machine, as /tmp is: everyone may create in it.
        self.shared = os.path.join(self.root, "tmp")
        os.makedirs(self.shared)
        os.chmod(self.shared, 0o1777)
        self.secret = os.path.join(self.victim.home, "secret.txt")
        with open(self.secret, "w") as f:
            f.write("only for the victim")
        os.chmod(self.secret, 0o600)
        give(self.secret, VICTIM)
        self.proof = os.path.join(self.root, "attacker-code-ran")
        self.processes = []

    def tearDown(self):
        for process in self.processes:
            stop(process)
        shutil.rmtree(self.root, ignore_errors=True)

    def start(self, user, **changes):
        process = user.start(**changes)
        self.processes.append(process)
        return process

    def planted_program(self, path):
        with open(path, "w") as f:
            f.write(f"#!/bin/sh\ntouch '{self.proof}'\n")
        os.chmod(path, 0o777)

    def assert_running(self, user, process):
        marker = os.path.join(user.work_folder, "ready.tmp")
        self.assertTrue(wait_for(lambda: marker_held(marker), 30),
                        f"the program of user {user.uid} never held its marker")
        self.assertIsNone(process.poll(), "the program ended")

    def test_files_planted_in_the_shared_temporary_folder_are_never_used(self):
        # The fixed names of the old working folders, as another user can plant them: a plain
        # file where the working folder goes, a helper program and its hand-over file.
        with open(os.path.join(self.shared, "satdata_temp"), "w") as f:
            f.write("planted")
        helper_folder = os.path.join(self.shared, "satdata_temp2")
        os.makedirs(helper_folder)
        self.planted_program(os.path.join(helper_folder, HELPER_NAME))
        with open(os.path.join(helper_folder, "file.tmp"), "w") as f:
            f.write(os.path.join(helper_folder, HELPER_NAME))
        reader = os.path.join(self.shared, "satdata_temp1")
        os.makedirs(reader)
        os.chmod(reader, 0o777)
        give(self.shared, ATTACKER)
        os.lchown(self.shared, 0, 0)

        process = self.start(self.victim, TMPDIR=self.shared)
        self.assert_running(self.victim, process)
        time.sleep(3)  # the start-up workers have written what they write
        self.assertFalse(os.path.exists(self.proof), "the attacker's program ran")
        self.assertEqual(owned_by(self.shared, VICTIM), [], "the victim wrote in /tmp")
        with open(os.path.join(self.shared, "satdata_temp")) as f:
            self.assertEqual(f.read(), "planted")
        area = os.path.dirname(self.victim.work_folder)
        self.assertEqual(stat.S_IMODE(os.stat(area).st_mode), 0o700)
        self.assertEqual(os.stat(area).st_uid, VICTIM)
        # The other user cannot even look into the victim's working folder.
        listing = self.attacker.run_as(["ls", self.victim.work_folder])
        self.assertNotEqual(listing.returncode, 0, listing.stdout)
        page = self.attacker.run_as(["cat", os.path.join(self.victim.work_folder, "home.htm")])
        self.assertNotEqual(page.returncode, 0)
        stop(process)
        self.assertFalse(os.path.exists(self.victim.work_folder), "not cleaned up at exit")

    def test_a_working_area_prepared_by_another_user_is_refused(self):
        # The victim has no runtime folder and a cache folder that others can write in (a bad
        # setup, but one the program must survive): the attacker got there first.
        shared_cache = os.path.join(self.shared, "cache")
        os.makedirs(os.path.join(shared_cache, "zorvast", "satdata_temp"))
        planted = os.path.join(shared_cache, "zorvast", "satdata_temp")
        os.symlink(self.secret, os.path.join(planted, "city.tmp"))
        os.symlink(self.secret, os.path.join(planted, "satdata.tmp"))
        with open(os.path.join(planted, "home.htm"), "w") as f:
            f.write("<script>steal()</script>")
        os.chmod(os.path.join(shared_cache, "zorvast"), 0o777)
        os.chmod(planted, 0o777)
        give(shared_cache, ATTACKER)
        # The attacker also holds the marker, as if his copy were the one running.
        marker = os.path.join(planted, "ready.tmp")
        with open(marker, "w") as f:
            f.write("ready\r\n")
        give(marker, ATTACKER)
        holder = subprocess.Popen(
            ["setpriv", f"--reuid={ATTACKER}", f"--regid={ATTACKER}", "--clear-groups", "--",
             "/usr/bin/flock", "-x", marker, "sleep", "60"], start_new_session=True)
        self.processes.append(holder)
        time.sleep(0.5)

        # Both a folder of another user and a link to one are refused.
        linked_cache = os.path.join(self.shared, "cache2")
        os.makedirs(linked_cache)
        os.symlink(os.path.join(shared_cache, "zorvast"), os.path.join(linked_cache, "zorvast"))
        give(linked_cache, ATTACKER)
        for cache in (shared_cache, linked_cache):
            with self.subTest(cache=cache):
                process = self.start(self.victim, XDG_RUNTIME_DIR=None, XDG_CACHE_HOME=cache)
                time.sleep(6)
                # It does not end silently as if another copy ran: it stays with its message.
                self.assertIsNone(process.poll(), "the program ended without a word")
                stop(process)
                with open(self.secret) as f:
                    self.assertEqual(f.read(), "only for the victim")
                self.assertEqual(owned_by(shared_cache, VICTIM), [])
                self.assertTrue(os.path.islink(os.path.join(planted, "city.tmp")))
                with open(os.path.join(planted, "home.htm")) as f:
                    self.assertEqual(f.read(), "<script>steal()</script>")

    def test_two_users_run_the_program_at_the_same_time(self):
        # Another user's lock on the old shared marker stops nobody.
        os.makedirs(os.path.join(self.shared, "satdata_temp"))
        old_marker = os.path.join(self.shared, "satdata_temp", "ready.tmp")
        with open(old_marker, "w") as f:
            f.write("ready\r\n")
        give(os.path.join(self.shared, "satdata_temp"), ATTACKER)
        holder = subprocess.Popen(["/usr/bin/flock", "-x", old_marker, "sleep", "60"],
                                  start_new_session=True)
        self.processes.append(holder)

        first = self.start(self.victim, TMPDIR=self.shared)
        second = self.start(self.attacker, TMPDIR=self.shared)
        self.assert_running(self.victim, first)
        self.assert_running(self.attacker, second)
        time.sleep(2)
        self.assertIsNone(first.poll())
        self.assertIsNone(second.poll())
        # A second copy of the same user still ends at once, silently.
        again = self.start(self.victim, TMPDIR=self.shared)
        self.assertEqual(again.wait(timeout=30), 0)
        self.assertIsNone(first.poll())

    def test_no_launcher_points_into_a_folder_others_can_write(self):
        entry = os.path.join(self.victim.home, ".local", "share", "applications",
                             "Zorvast.desktop")
        # A program folder anyone can write in: someone could swap the program, so no entry.
        open_folder = os.path.join(self.shared, "program")
        os.makedirs(open_folder)
        shutil.copy2(PROGRAM, os.path.join(open_folder, "zorvast"))
        shutil.copy2(PACKAGE, os.path.join(open_folder, "satdata.sta"))
        give(open_folder, VICTIM)
        os.chmod(open_folder, 0o777)
        process = self.start(self.victim, program_folder=open_folder)
        self.assert_running(self.victim, process)
        time.sleep(5)
        self.assertFalse(os.path.lexists(entry), "an entry points into a folder others write")
        stop(process)

        # The user's own folder gets one, its Exec quoted so the blank stays in the name.
        process = self.start(self.victim)
        self.assert_running(self.victim, process)
        self.assertTrue(wait_for(lambda: os.path.exists(entry), 15), "no entry written")
        with open(entry, encoding="utf-8") as f:
            text = f.read()
        self.assertIn(f'Exec="{self.victim.program}/zorvast"\n', text)
        self.assertEqual(os.stat(entry).st_uid, VICTIM)
        self.assertEqual(stat.S_IMODE(os.stat(entry).st_mode) & 0o022, 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
