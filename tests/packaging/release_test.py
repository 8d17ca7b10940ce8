#!/usr/bin/env python3
"""Tests of the Windows release zip: what it holds, and that packing it again
from the same files gives the same bytes.

Usage: release_test.py --zip PATH --dll PATH --objdump PATH --source-dir DIR
       [unittest arguments]
"""
import argparse
import calendar
import configparser
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

ARGS = None

EXPECTED_NAMES = ["LexoraDX.dll", "LexoraDX.ini", "README.txt", "LICENSE", "lexoradx.h",
                  "host-integration.md", "SHA256SUMS"]


def version():
    return re.match(r"LexoraDX-(.+)-win32\.zip$", os.path.basename(ARGS.zip)).group(1)


def top_folder():
    return "LexoraDX-%s/" % version()


def as_packed(data):
    """A text file's bytes as the zip holds them: CR LF line ends, the version filled in."""
    return data.replace(b"@VERSION@", version().encode()).replace(b"\n", b"\r\n")


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def objdump(option, path):
    return subprocess.run([ARGS.objdump, option, path], capture_output=True, text=True,
                          check=True).stdout


class ContentsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with zipfile.ZipFile(ARGS.zip) as archive:
            cls.infos = archive.infolist()
            cls.files = {info.filename[len(top_folder()):]: archive.read(info) for info in cls.infos}

    def test_exactly_the_release_files_in_one_top_folder_in_a_fixed_order(self):
        self.assertEqual([info.filename for info in self.infos],
                         [top_folder() + name for name in EXPECTED_NAMES])

    def test_text_files_end_their_lines_with_cr_lf(self):
        for name in EXPECTED_NAMES[1:]:
            with self.subTest(name=name):
                self.assertEqual(self.files[name].count(b"\n"), self.files[name].count(b"\r\n"))
                self.assertTrue(self.files[name].endswith(b"\r\n"))

    def test_readme_tells_end_users_what_they_need(self):
        readme = self.files["README.txt"].decode("utf-8")
        for needed in ["CurrentMarkup=1", "AudioEnabled", "VoiceFiles", "Lexora(EN)", "cat",
                       "Version " + version()]:
            self.assertIn(needed, readme)

    def test_the_guide_stands_alone_beside_the_header(self):
        guide = self.files["host-integration.md"].decode("utf-8")
        self.assertNotIn('#include "plugin/lexoradx.h"', guide)
        self.assertIn('#include "lexoradx.h"', guide)

    def test_files_are_the_sources_and_the_built_dll(self):
        sources = {
            "LexoraDX.dll": ARGS.dll,
            "LexoraDX.ini": os.path.join(ARGS.source_dir, "packaging", "LexoraDX.ini"),
            "README.txt": os.path.join(ARGS.source_dir, "packaging", "README.txt"),
            "LICENSE": os.path.join(ARGS.source_dir, "LICENSE"),
            "lexoradx.h": os.path.join(ARGS.source_dir, "plugin", "lexoradx.h"),
            "host-integration.md": os.path.join(ARGS.source_dir, "docs", "host-integration.md"),
        }
        for name, path in sources.items():
            with self.subTest(name=name):
                source = read_bytes(path)
                self.assertEqual(self.files[name], source if name.endswith(".dll") else as_packed(source))

    def test_checksums_list_every_other_file(self):
        lines = self.files["SHA256SUMS"].decode("ascii").splitlines()  # each ends with CR LF
        self.assertEqual([line[66:] for line in lines], EXPECTED_NAMES[:-1])
        for line in lines:
            with self.subTest(line=line):
                digest, name = line.split("  ", 1)
                self.assertEqual(digest, hashlib.sha256(self.files[name]).hexdigest())

    def test_ini_turns_audio_on_with_a_number(self):
        ini = configparser.ConfigParser(comment_prefixes=(";",))
        ini.read_string(self.files["LexoraDX.ini"].decode("utf-8"))
        self.assertEqual(ini["config"]["AudioEnabled"], "1")
        self.assertIn('"true", "yes" or "on"', self.files["LexoraDX.ini"].decode("utf-8"))

    def test_entries_carry_one_time_and_no_unix_attributes(self):
        self.assertEqual(len({info.date_time for info in self.infos}), 1)
        for info in self.infos:
            with self.subTest(name=info.filename):
                self.assertEqual((info.create_system, info.external_attr), (0, 0x20))  # MS-DOS, archive
                self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED)

    def test_dll_is_stripped_with_a_version_resource_and_no_link_time(self):
        with tempfile.TemporaryDirectory() as folder:
            dll = os.path.join(folder, "LexoraDX.dll")
            with open(dll, "wb") as f:
                f.write(self.files["LexoraDX.dll"])
            headers = objdump("-p", dll)
            sections = objdump("-h", dll)
        self.assertIn("Resource Directory [.rsrc]", headers)
        self.assertRegex(headers, r"Time/Date\s+Thu Jan  1 00:00:00 1970\n")
        self.assertIn(" .rsrc ", sections)
        self.assertNotIn(".debug", sections)


class ReproducibleTest(unittest.TestCase):
    def pack(self, folder, names, zip_name):
        """Packs the named files of `folder` with the release's own packer, at
        the time the built zip carries (a commit since the build moves HEAD)."""
        with zipfile.ZipFile(ARGS.zip) as archive:
            seconds = calendar.timegm(archive.infolist()[0].date_time + (0, 0, 0))
        output = os.path.join(folder, "out", zip_name)
        subprocess.run([sys.executable, os.path.join(ARGS.source_dir, "packaging", "make_release_zip.py"),
                        "--output", output, "--source-dir", ARGS.source_dir, "--version", version(),
                        *[f"{name}={os.path.join(folder, name)}" for name in names]],
                       env={**os.environ, "SOURCE_DATE_EPOCH": str(seconds)}, check=True)
        return read_bytes(output)

    def test_same_files_with_other_times_and_modes_give_the_same_bytes(self):
        with zipfile.ZipFile(ARGS.zip) as archive:
            names = [name for name in archive.namelist() if not name.endswith("/SHA256SUMS")]
            with tempfile.TemporaryDirectory() as folder:
                for name in names:
                    archive.extract(name, folder)
                    path = os.path.join(folder, name)
                    os.chmod(path, 0o600)
                    os.utime(path, (1234567890, 1234567890))
                packed = self.pack(os.path.join(folder, top_folder()),
                                   [name[len(top_folder()):] for name in names],
                                   os.path.basename(ARGS.zip))
                unpacked = sorted(os.listdir(os.path.join(folder, top_folder(), "out")))
        self.assertEqual(packed, read_bytes(ARGS.zip))
        self.assertEqual(unpacked, sorted([os.path.basename(ARGS.zip), os.path.basename(ARGS.zip)[:-4]]))


def main():
    global ARGS
    parser = argparse.ArgumentParser(add_help=False)
    for option in ("--zip", "--dll", "--objdump", "--source-dir"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
