#!/usr/bin/env python3
"""End-to-end tests of lexoradx-lookup, the command-line host.

The program runs as a user would run it: offline from the page store, and
online against a small HTTP server on 127.0.0.1 started by these tests. Every
child process and every transfer is bounded in time; the server lives in a
thread of this process and is shut down with it.

Usage: lookup_test.py --exe PATH --source-dir DIR [unittest arguments]
"""
import argparse
import http.server
import json
import os
import shutil
import socket
import socketserver
import subprocess
import sys
import tempfile
import signal
import threading
import time
import unittest

EXE = None         # the lexoradx-lookup program under test
SOURCE_DIR = None  # the repository, for its samples/
RUN_SECONDS = 60   # bound on one run of the program


def run_lookup(*args, env=None):
    """Runs the program; returns (exit status, stdout text, stderr text)."""
    done = subprocess.run([EXE, *args], capture_output=True, timeout=RUN_SECONDS,
                          env=env, stdin=subprocess.DEVNULL)
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


def read_text(*parts):
    with open(os.path.join(*parts), encoding="utf-8") as f:
        return f.read()


def read_bytes(*parts):
    with open(os.path.join(*parts), "rb") as f:
        return f.read()


def samples(*parts):
    return os.path.join(SOURCE_DIR, "samples", *parts)


def expected(word):
    return read_text(samples("expected", "en.lexora.org", word + ".txt"))


def closed_port():
    """A loopback port with nothing listening on it."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# --- the loopback server -------------------------------------------------------

HUGE_BYTES = 33 << 20  # one MiB over the host's limit


class StoreHandler(http.server.BaseHTTPRequestHandler):
    """Serves the page and media stores the way a wiki serves its URLs:
    /HOST/PATH answers with PAGES/HOST/PATH.html or MEDIA/HOST/PATH. Besides:
    /moved/REST redirects to /REST, /huge/... streams more than the host
    accepts (no length announced), /slow/... trickles for at most 10 s,
    anything else is 404."""

    pages_root = None
    media_root = None

    def log_message(self, *args):  # keep the test output clean
        pass

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        if path.startswith("/moved/"):
            self.send_response(301)
            self.send_header("Location", path[len("/moved"):])
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif path.startswith("/huge/"):
            self.send_huge()
        elif path.startswith("/slow/"):
            self.send_slowly()
        else:
            self.send_file(path.lstrip("/"))

    def send_file(self, relative):
        parts = relative.split("/")
        candidates = [os.path.join(self.pages_root, *parts) + ".html",
                      os.path.join(self.media_root, *parts)]
        found = next((c for c in candidates if ".." not in parts and os.path.isfile(c)), None)
        if not found:
            self.send_error(404)
            return
        body = read_bytes(found)
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8" if found.endswith(".html")
                         else "audio/ogg")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_huge(self):
        self.send_response(200)
        self.send_header("Content-Type", "audio/ogg")
        self.end_headers()  # no length: the client learns the size only by reading
        chunk = b"\0" * (1 << 20)
        try:
            for _ in range(HUGE_BYTES >> 20):
                self.wfile.write(chunk)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the host hung up at its limit, as it should


    def send_slowly(self):
        self.send_response(200)
        self.send_header("Content-Type", "audio/ogg")
        self.send_header("Content-Length", str(100 * 1024))
        self.end_headers()
        try:
            for _ in range(100):
                self.wfile.write(b"\0" * 1024)
                self.wfile.flush()
                time.sleep(0.1)
        except (BrokenPipeError, ConnectionResetError):
            pass


class LoopbackServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class ServerFixture:
    def __init__(self, pages_root, media_root):
        handler = type("Handler", (StoreHandler,), {"pages_root": pages_root,
                                                    "media_root": media_root})
        self.server = LoopbackServer(("127.0.0.1", 0), handler)
        self.server.timeout = 5
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever,
                                       kwargs={"poll_interval": 0.1}, daemon=True)
        self.thread.start()
        self.wait_until_answering()

    def url(self, path=""):
        return "http://127.0.0.1:%d/%s" % (self.port, path)

    def wait_until_answering(self):
        with socket.create_connection(("127.0.0.1", self.port), timeout=10):
            pass

    def stop(self):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join(timeout=10)


# --- tests ---------------------------------------------------------------------

class TempFolderTest(unittest.TestCase):
    def setUp(self):
        self.tmp = os.path.realpath(tempfile.mkdtemp(prefix="lexoradx-host-"))
        self.base = os.path.join(self.tmp, "base") + "/"
        self.voice = os.path.join(self.base, "VoiceFiles")

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def voice_files(self):
        return sorted(os.listdir(self.voice)) if os.path.isdir(self.voice) else []


class OfflineTest(TempFolderTest):
    """The bundled page store and the plug-in module built beside the program."""

    def test_bundled_store_gives_the_entry_and_stores_its_audio(self):
        # One word per dictionary; the Japanese page's file name keeps the
        # percent escapes of its URL.
        cases = [
            ("en", "cat", "en.lexora.org/cat.txt", "media.lexora.org/a/ab/En-cat.ogg",
             "c1_a_ab_En-cat.ogg"),
            ("ja", "\u306d\u3053", "ja.lexora.org/%E3%81%AD%E3%81%93.txt",
             "media.lexora.org/4/4e/Ja-neko.ogg", "c1_4_4e_Ja-neko.ogg"),
            ("fr", "chat", "fr.lexora.org/chat.txt", "media.lexora.org/1/1c/Fr-chat.ogg",
             "c1_1_1c_Fr-chat.ogg"),
        ]
        for dictionary, word, entry, media, stored in cases:
            with self.subTest(word=word):
                shutil.rmtree(self.voice, ignore_errors=True)
                status, out, err = run_lookup("--base-path", self.base, "-d", dictionary, word)
                self.assertEqual(status, 0, err)
                self.assertEqual(out, read_text(samples("expected", *entry.split("/"))))
                self.assertEqual(self.voice_files(), [stored])
                self.assertEqual(read_bytes(self.voice, stored),
                                 read_bytes(samples("media", *media.split("/"))))
                self.assertIn("audio: %s -> %sVoiceFiles/%s" % (stored, self.base, stored),
                              err.splitlines())

    def test_list_prints_the_three_dictionaries(self):
        status, out, err = run_lookup("--list")
        self.assertEqual(status, 0, err)
        rows = [line.split() for line in out.splitlines()]
        self.assertEqual(rows, [
            ["0", "!LexoraJA", "Lexora(JA)", "http://ja.lexora.org/wiki/"],
            ["1", "!LexoraEN", "Lexora(EN)", "http://en.lexora.org/wiki/"],
            ["2", "!LexoraFR", "Lexora(FR)", "http://fr.lexora.org/wiki/"],
        ])
        status, out, err = run_lookup("--list", "--json")
        self.assertEqual(status, 0, err)
        self.assertEqual(json.loads(out)[2], {"index": 2, "id": "!LexoraFR", "name": "Lexora(FR)",
                                              "url": "http://fr.lexora.org/wiki/"})

    def test_plugin_diagnostics_are_hidden_unless_traced(self):
        # tea.html has an h4 headline (a "head:" line on stdout) and a tag cut
        # by a line end (an open-tag warning on stderr).
        status, out, err = run_lookup("--base-path", self.base, "tea")
        self.assertEqual(status, 0, err)
        self.assertEqual(out, expected("tea"))
        self.assertNotIn("WARNING", err)
        status, out, err = run_lookup("--base-path", self.base, "--trace", "tea")
        self.assertEqual(status, 0, err)
        self.assertIn("head:Translations\n", out)
        self.assertIn("WARNING!! - open tag\n", err)
        self.assertEqual(out.replace("head:Translations\n", ""), expected("tea"))

    def test_word_missing_from_the_store_exits_1_naming_word_and_dictionary(self):
        status, out, err = run_lookup("--base-path", self.base, "-d", "fr", "zzyzx")
        self.assertEqual(status, 1)
        self.assertEqual(out, "")
        self.assertIn('no entry for "zzyzx" in Lexora(FR)', err)

    def test_no_audio_declines_every_download(self):
        status, out, err = run_lookup("--base-path", self.base, "--no-audio", "cat")
        self.assertEqual(status, 0, err)
        self.assertEqual(out, expected("cat"))
        self.assertEqual(self.voice_files(), [])
        self.assertNotIn("audio:", err)

    def test_page_urls_outside_the_store_are_refused(self):
        # "%2E%2E" stays escaped; a mapped "/../" segment must not leave the store.
        status, _, err = run_lookup("--base-path", self.base,
                                    "--map", "http://en.lexora.org/wiki/=http://en.lexora.org/../",
                                    "cat")
        self.assertEqual(status, 1)
        self.assertIn("does not map into the store", err)


class UsageTest(unittest.TestCase):
    def test_usage_errors_exit_2_with_one_line_and_a_hint(self):
        cases = [
            ([], "missing WORD"),
            (["cat", "dog"], "one WORD only"),
            (["--bogus", "cat"], "unknown option --bogus"),
            (["--dict"], "--dict needs a value"),
            (["-d", "de", "cat"], 'no dictionary "de"'),
            (["--timeout", "0", "cat"], "--timeout needs"),
            (["--map", "=http://x/", "cat"], "--map needs FROM=TO"),
            (["--list", "cat"], "--list takes no WORD"),
            (["--online=yes", "cat"], "--online takes no value"),
            ([b"caf\xe9"], "not UTF-8"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                done = subprocess.run([EXE, *args], capture_output=True, timeout=RUN_SECONDS)
                self.assertEqual(done.returncode, 2)
                self.assertIn(message, done.stderr.decode("utf-8", "replace"))
                self.assertEqual(done.stdout, b"")

    def test_help_documents_every_option(self):
        status, out, _ = run_lookup("--help")
        self.assertEqual(status, 0)
        for option in ["--list", "--dict", "--module", "--pages", "--media", "--online", "--map",
                       "--base-path", "--no-audio", "--json", "--trace", "--timeout", "--help"]:
            self.assertIn(option, out)

    def test_module_that_cannot_be_loaded_exits_3(self):
        for module in ["/nonexistent/LexoraDX.so", os.path.abspath(__file__)]:
            with self.subTest(module=module):
                status, out, err = run_lookup("--module", module, "cat")
                self.assertEqual(status, 3)
                self.assertEqual(out, "")
                self.assertIn("cannot load the plug-in module", err)


class OnlineTest(TempFolderTest):
    """Pages and audio over HTTP from the loopback server."""

    @classmethod
    def setUpClass(cls):
        cls.server = ServerFixture(samples("pages"), samples("media"))

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def online(self, *args, media_to=None):
        server = self.server
        maps = ["--map", "http://en.lexora.org/=" + server.url("en.lexora.org/")]
        if media_to:
            maps = ["--map", "http://media.lexora.org/=" + media_to] + maps
        maps += ["--map", "http://media.lexora.org/=" + server.url("media.lexora.org/")]
        return run_lookup("--online", "--timeout", "20", "--base-path", self.base, *maps, *args)

    def assert_no_partial_files(self):
        self.assertEqual([f for f in self.voice_files() if f.startswith(".")], [])

    def test_entry_and_audio_file_arrive_over_http(self):
        status, out, err = self.online("cat")
        self.assertEqual(status, 0, err)
        self.assertEqual(out, expected("cat"))
        self.assertEqual(self.voice_files(), ["c1_a_ab_En-cat.ogg"])
        self.assertEqual(read_bytes(self.voice, "c1_a_ab_En-cat.ogg"),
                         read_bytes(samples("media", "media.lexora.org", "a", "ab", "En-cat.ogg")))
        self.assertIn("audio: c1_a_ab_En-cat.ogg -> %sVoiceFiles/c1_a_ab_En-cat.ogg" % self.base,
                      err.splitlines())

    def test_json_holds_word_dictionary_page_url_entry_and_audio(self):
        status, out, err = self.online("--json", "cat")
        self.assertEqual(status, 0, err)
        self.assertEqual(out.count("\n"), 1)  # one object on one line
        self.assertEqual(json.loads(out), {
            "word": "cat",
            "dictionary": "Lexora(EN)",
            "url": "http://en.lexora.org/wiki/cat",  # as the plug-in asked, before --map
            "entry": expected("cat"),
            "audio": [{"name": "c1_a_ab_En-cat.ogg",
                       "path": self.base + "VoiceFiles/c1_a_ab_En-cat.ogg"}],
        })

    def test_redirects_are_followed(self):
        status, out, err = self.online("cat", media_to=self.server.url("moved/media.lexora.org/"))
        self.assertEqual(status, 0, err)
        self.assertEqual(self.voice_files(), ["c1_a_ab_En-cat.ogg"])

    def test_relative_audio_link_is_fetched_from_the_page_host(self):
        status, out, err = self.online("tea")  # links /media/En-uk-tea.ogg
        self.assertEqual(status, 0, err)
        self.assertEqual(out, expected("tea"))
        self.assertEqual(read_bytes(self.voice, "c1_media_En-uk-tea.ogg"),
                         read_bytes(samples("media", "en.lexora.org", "media", "En-uk-tea.ogg")))

    def test_missing_page_exits_1_with_the_http_status(self):
        status, out, err = self.online("--json", "zzyzx")
        self.assertEqual(status, 1)
        self.assertIn("HTTP status 404", err)
        self.assertIn('no entry for "zzyzx" in Lexora(EN)', err)
        self.assertIsNone(json.loads(out)["entry"])

    def test_unreachable_server_exits_1_with_one_error_line(self):
        status, out, err = run_lookup(
            "--online", "--timeout", "10", "--base-path", self.base, "--map",
            "http://en.lexora.org/=http://127.0.0.1:%d/en.lexora.org/" % closed_port(), "cat")
        self.assertEqual(status, 1)
        self.assertEqual(out, "")
        self.assertRegex(err, r"cannot fetch http://127\.0\.0\.1:\d+/en\.lexora\.org/wiki/cat: .+\n")
        self.assertIn('no entry for "cat" in Lexora(EN)', err)

    def test_failed_audio_transfer_leaves_no_file_and_keeps_the_entry(self):
        for where, cause in [("missing/", "HTTP status 404"), ("huge/", "larger than 32 MiB")]:
            with self.subTest(where=where):
                status, out, err = self.online("cat", media_to=self.server.url(where))
                self.assertEqual(status, 0, err)
                self.assertEqual(out, expected("cat"))
                self.assertIn(cause, err)
                self.assertNotIn("audio: c1_", err)
                self.assertEqual(self.voice_files(), [])


class InterruptionTest(TempFolderTest):
    """SIGINT in the middle of a download: the lookup ends, nothing partial stays."""

    def test_interrupted_download_exits_130_and_leaves_no_file(self):
        server = ServerFixture(samples("pages"), samples("media"))
        try:
            child = subprocess.Popen(
                [EXE, "--online", "--timeout", "20", "--base-path", self.base,
                 "--map", "http://media.lexora.org/=" + server.url("slow/"),
                 "--map", "http://en.lexora.org/=" + server.url("en.lexora.org/"), "cat"],
                stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
            try:
                deadline = time.monotonic() + 10
                while not self.voice_files() and time.monotonic() < deadline:
                    time.sleep(0.05)  # the temporary file shows the transfer has begun
                self.assertEqual(len(self.voice_files()), 1)
                child.send_signal(signal.SIGINT)
                out, err = child.communicate(timeout=RUN_SECONDS)
            finally:
                if child.poll() is None:
                    child.kill()
                    child.wait(timeout=10)
        finally:
            server.stop()
        self.assertEqual(child.returncode, 130, err)
        self.assertIn(b"interrupted", err)
        self.assertEqual(out, b"")
        self.assertEqual(self.voice_files(), [])


def main():
    global EXE, SOURCE_DIR
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--source-dir", required=True)
    args, rest = parser.parse_known_args()
    EXE = os.path.abspath(args.exe)
    SOURCE_DIR = os.path.abspath(args.source_dir)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
