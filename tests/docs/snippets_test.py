#!/usr/bin/env python3
"""Compiles every program in docs/host-integration.md.

Each fenced block in C, C++, C# or Pascal is one compilation unit: the C blocks
natively as C11 after the header (so that a block of bare declarations checks
them against it), the C++ block with the MinGW-w64 i686 compiler and linked,
the C# block with Mono's compiler for x86, the Pascal block with Free Pascal in
Delphi mode without linking. The C++ host is also run under Wine with the
DLL beside it, as a Windows user would run it.

Usage: snippets_test.py --source-dir DIR --cc CC --mingw-cxx CXX --mcs MCS --fpc FPC
       --dll LexoraDX.dll --wine WINE [unittest arguments]
A compiler that is not installed makes the test exit with 77 (skipped).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ARGS = None
SKIPPED = 77
SOURCE = "<source>"  # where the block's file goes in a compiler command


def blocks(language):
    with open(os.path.join(ARGS.source_dir, "docs", "host-integration.md"), encoding="utf-8") as f:
        guide = f.read()
    return re.findall(r"^```" + re.escape(language) + r"\n(.*?)^```$", guide, re.M | re.S)


class SnippetsTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)

    def compile_each(self, language, file_name, command, prefix=""):
        found = blocks(language)
        self.assertTrue(found, f"no {language} block in the guide")
        for number, text in enumerate(found):
            with self.subTest(block=number):
                path = os.path.join(self.folder, file_name)
                with open(path, "w", encoding="utf-8") as f:
                    f.write(prefix + text)
                done = subprocess.run([path if part == SOURCE else part for part in command], cwd=self.folder, capture_output=True, text=True,
                                      timeout=300)
                self.assertEqual(done.returncode, 0, f"{language} block {number}:\n{done.stdout}{done.stderr}")

    def test_c_blocks(self):
        self.compile_each("c", "host.c",
                          [ARGS.cc, "-std=c11", "-Wall", "-Wextra", "-Werror", "-fsyntax-only",
                           "-I", os.path.join(ARGS.source_dir, "plugin"), "-I", ARGS.source_dir, SOURCE],
                          prefix='#include "lexoradx.h"\n')

    def test_cpp_windows_host(self):
        self.compile_each("cpp", "host.cpp",
                          [ARGS.mingw_cxx, "-std=c++17", "-Wall", "-Wextra", "-Werror", "-static",
                           "-I", os.path.join(ARGS.source_dir, "plugin"), SOURCE, "-loleaut32", "-o", "host.exe"])

    def test_cpp_windows_host_runs_and_prints_the_whole_entry_alone(self):
        # tea.html has text outside ASCII and a fourth-level heading, whose
        # diagnostic line the host silences.
        self.compile_each("cpp", "host.cpp",
                          [ARGS.mingw_cxx, "-std=c++17", "-static", "-I", os.path.join(ARGS.source_dir, "plugin"),
                           SOURCE, "-loleaut32", "-o", "host.exe"])
        pages = os.path.join(ARGS.source_dir, "samples", "pages", "en.lexora.org", "wiki")
        shutil.copy(os.path.join(pages, "tea.html"), os.path.join(self.folder, "cat.html"))
        shutil.copy(ARGS.dll, self.folder)
        done = subprocess.run([ARGS.wine, "host.exe"], cwd=self.folder, capture_output=True, timeout=300,
                              env={**os.environ, "WINEDEBUG": "-all"})
        with open(os.path.join(ARGS.source_dir, "samples", "expected", "en.lexora.org", "tea.txt"),
                  encoding="utf-8") as f:
            entry = f.read()
        self.assertEqual(done.returncode, 0, done.stderr)
        shown = done.stdout.decode("utf-8").replace("\r\n", "\n")  # the C runtime's text mode
        self.assertTrue(shown.endswith("wiki/\n" + entry), shown)
        self.assertNotIn(b"head:", done.stdout + done.stderr)

    def test_csharp_host(self):
        self.compile_each("csharp", "Host.cs", [ARGS.mcs, "-platform:x86", "-warnaserror", "-out:Host.exe", SOURCE])

    def test_delphi_host(self):
        # -Cn: no linking, for the DLLs named are Windows ones
        self.compile_each("pascal", "MiniHost.pas", [ARGS.fpc, "-Cn", "-Sew", "-vew", SOURCE])


def main():
    global ARGS
    parser = argparse.ArgumentParser(add_help=False)
    for option in ("--source-dir", "--cc", "--mingw-cxx", "--mcs", "--fpc", "--dll", "--wine"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    ARGS.source_dir = os.path.abspath(ARGS.source_dir)
    missing = [name for name in (ARGS.cc, ARGS.mingw_cxx, ARGS.mcs, ARGS.fpc, ARGS.wine)
               if not shutil.which(name)]
    if missing:
        print("not installed: " + " ".join(missing), file=sys.stderr)
        return SKIPPED
    program = unittest.main(argv=[sys.argv[0], *rest], verbosity=2, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
