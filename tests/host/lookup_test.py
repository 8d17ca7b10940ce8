#!/usr/bin/env python3
"""End-to-end tests of lexoradx-lookup, the command-line host.

The program runs as a user would run it: offline from the page store, and
online against a small HTTP server on 127.0.0.1 started by these tests. Every
child process and every transfer is bounded in time; the server lives in a
thread of this process and is shut down with it.

Usage: lookup_test.py --exe PATH --source-dir DIR --build-dir DIR [unittest arguments]
"""
import argparse
import json
import os
import pty
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

EXE = None         # the lexoradx-lookup program under test
SOURCE_DIR = None  # the repository, for its samples/, docs/ and tools/
BUILD_DIR = None   # the build tree the program comes from, for the install test
RUN_SECONDS = 60   # bound on one run of the program
StoreHandler = make_server = None  # from tools/page_store_server.py, loaded by main()

# Exit statuses of the program.
FOUND, NO_PAGE, USAGE, MODULE, FETCH_FAILED, NO_ENTRY, OUTPUT_FAILED = range(7)


def run_lookup(*args, env=None, exe=None, stdout=subprocess.PIPE, **kwargs):
    """Runs the program; returns (exit status, stdout text, stderr text)."""
    done = subprocess.run([exe or EXE, *args], stdout=stdout, stderr=subprocess.PIPE,
                          timeout=RUN_SECONDS, env=env, stdin=subprocess.DEVNULL, **kwargs)
    return done.returncode, (done.stdout or b"").decode("utf-8"), done.stderr.decode("utf-8")


def classic_module():
    """The module as built, without an INI: it reads the classic markup only."""
    return os.path.join(BUILD_DIR, "plugin", "LexoraDX.so")


def read_text(*parts):
    with open(os.path.join(*parts), encoding="utf-8") as f:
        return f.read()


def read_bytes(*parts):
    with open(os.path.join(*parts), "rb") as f:
        return f.read()


def samples(*parts):
    return os.path.join(SOURCE_DIR, "samples", *parts)


def expected(word):
    """The entry of the build tree's module, whose INI turns current-markup mode on."""
    return read_text(samples("expected-current", "en.lexora.org", word + ".txt"))


def key_paths(value, prefix=""):
    """Every key of a JSON value as a path ("audio[].url"), the first element
    of each array standing for all of them."""
    if isinstance(value, dict):
        paths = set()
        for key, item in value.items():
            paths |= {prefix + key} | key_paths(item, prefix + key + ".")
        return paths
    if isinstance(value, list) and value:
        return key_paths(value[0], prefix[:-1] + "[].")
    return set()


def on_terminal(*args):
    """Runs the program with standard output on a pseudo-terminal; returns
    (exit status, what the terminal received, standard error)."""
    leader, follower = pty.openpty()
    try:
        status, _, err = run_lookup("--no-audio", *args, stdout=follower)
        os.close(follower)
        follower = None
        chunks = []
        while True:
            try:
                chunk = os.read(leader, 65536)
            except OSError:  # the terminal's other end is closed: all is read
                break
            if not chunk:
                break
            chunks.append(chunk)
        return status, b"".join(chunks).decode("utf-8").replace("\r\n", "\n"), err
    finally:
        os.close(leader)
        if follower is not None:
            os.close(follower)


def closed_port():
    """A loopback port with nothing listening on it."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# --- the loopback server -------------------------------------------------------

HUGE_BYTES = 33 << 20  # one MiB over the host's limit


def with_test_routes(base):
    class TestRoutes(base):
        """The store, and besides: /moved/REST redirects to /REST, /huge/...
        streams more than the host accepts (no length announced), /slow/...
        trickles for at most 10 s, /status/CODE/... answers CODE (with a body
        unless the status forbids one, and without a Location), /empty/...
        answers 200 without a body, /endless/CODE/... answers CODE with a body
        that never ends."""

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
            elif path.startswith("/status/"):
                self.send_status(int(path.split("/")[2]))
            elif path.startswith("/empty/"):
                self.send_status(200, b"")
            elif path.startswith("/endless/"):
                self.send_endlessly(int(path.split("/")[2]))
            else:
                self.send_file(path.lstrip("/"))

        def send_status(self, code, body=b"not the file"):
            if code in (204, 304):
                body = b""
            self.send_response(code)
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

        def send_endlessly(self, code):
            self.send_response(code)
            self.end_headers()
            deadline = time.monotonic() + 30
            try:
                while time.monotonic() < deadline:
                    self.wfile.write(b"\0" * 65536)
            except (BrokenPipeError, ConnectionResetError):
                pass

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
    return TestRoutes


class ServerFixture:
    def __init__(self, pages_root, media_root):
        self.server = make_server(pages_root, media_root, handler=with_test_routes(StoreHandler))
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
        self.cache = os.path.join(self.tmp, "cache", "lexoradx", "pages")
        os.environ["XDG_CACHE_HOME"] = os.path.join(self.tmp, "cache")
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
                self.assertEqual(out, read_text(samples("expected-current", *entry.split("/"))))
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
            ["0", "ja", "!LexoraJA", "Lexora(JA)", "http://ja.lexora.org/wiki/"],
            ["1", "en", "!LexoraEN", "Lexora(EN)", "http://en.lexora.org/wiki/"],
            ["2", "fr", "!LexoraFR", "Lexora(FR)", "http://fr.lexora.org/wiki/"],
        ])
        status, out, err = run_lookup("--list", "--json")
        self.assertEqual(status, 0, err)
        self.assertEqual(json.loads(out)[2], {"index": 2, "id": "!LexoraFR", "code": "fr",
                                              "name": "Lexora(FR)",
                                              "url": "http://fr.lexora.org/wiki/"})

    def test_several_dictionaries_and_words_give_one_headed_block_per_entry(self):
        def block(word, name, entry):
            return "==> %s in %s <==\n" % (word, name) + read_text(samples("expected-current", *entry.split("/")))
        cat, chat = block("cat", "Lexora(EN)", "en.lexora.org/cat.txt"), block(
            "chat", "Lexora(FR)", "fr.lexora.org/chat.txt")
        cases = [  # arguments, standard input, status, output, messages
            (["-d", "all", "cat"], None, FOUND, cat, ['"cat" in Lexora(JA)', '"cat" in Lexora(FR)']),
            (["-d", "fr", "-d", "en", "-d", "fr", "zzyzx"], None, NO_PAGE, "",
             ['"zzyzx" in Lexora(FR)', '"zzyzx" in Lexora(EN)']),
            (["-d", "en", "-dfr", "-"], "cat\n\n  chat \r\n", FOUND, cat + "\n" + chat,
             ['"cat" in Lexora(FR)', '"chat" in Lexora(EN)']),
            (["-dfr"], "zzyzx\nchat\n", NO_PAGE, chat, ['"zzyzx" in Lexora(FR)']),
            # Capitals without a page: the first letter, then all, in lower case.
            (["CAT"], None, FOUND, expected("cat"), ['no page for "CAT" in Lexora(EN); showing "cat"']),
            (["-dfr", "-"], "CHAT\n", FOUND, chat, ['no page for "CHAT" in Lexora(FR); showing "chat"']),
        ]
        for args, words, want_status, want_out, messages in cases:
            with self.subTest(args=args, words=words):
                done = subprocess.run([EXE, "--no-audio", *args], capture_output=True,
                                      timeout=RUN_SECONDS, input=(words or "").encode())
                err = done.stderr.decode()
                self.assertEqual((done.returncode, done.stdout.decode()), (want_status, want_out), err)
                for message in messages:
                    self.assertIn(message, err)
                self.assertEqual(err.count("\n"), len(messages), err)

    def test_plugin_diagnostics_are_hidden_unless_traced_and_never_on_stdout(self):
        # tea.html has an h4 headline (a "head:" line) and a tag cut by a line
        # end (an open-tag warning); traced, both go to standard error.
        status, out, err = run_lookup("--base-path", self.base, "tea")
        self.assertEqual(status, FOUND, err)
        self.assertEqual(out, expected("tea"))
        self.assertNotIn("WARNING", err)
        status, out, err = run_lookup("--base-path", self.base, "--trace", "tea")
        self.assertEqual(status, FOUND, err)
        self.assertEqual(out, expected("tea"))
        self.assertIn("head:Translations\n", err)
        self.assertIn("WARNING!! - open tag\n", err)
        status, out, err = run_lookup("--base-path", self.base, "--trace", "--json", "tea")
        self.assertEqual(json.loads(out)["entry"], expected("tea"))

    def test_each_outcome_has_its_own_status_message_and_json(self):
        cases = [
            (["-d", "fr", "zzyzx"], NO_PAGE, "no-page",
             'no page for "zzyzx" in Lexora(FR): not in the page store'),
            # The page arrives; the module without the switch finds nothing in its later markup.
            (["--module", classic_module(), "aardvark"], NO_ENTRY, "no-entry",
             'no entry for "aardvark" in Lexora(EN): the page http://en.lexora.org/wiki/aardvark'
             ' holds none; it may be in a later markup, which the module reads only with'
             ' CurrentMarkup=1 in ' + classic_module()[:-2] + "ini\n"),
            # "%2E%2E" stays escaped; a mapped "/../" segment must not leave the store.
            (["--map", "http://en.lexora.org/wiki/=http://en.lexora.org/../", "cat"],
             FETCH_FAILED, "fetch-failed", "does not map into the store"),
        ]
        for args, want_status, name, message in cases:
            with self.subTest(args=args):
                status, out, err = run_lookup("--base-path", self.base, *args)
                self.assertEqual((status, out), (want_status, ""))
                self.assertEqual(err.count("\n"), 1, err)
                self.assertIn(message, err)
                status, out, _ = run_lookup("--base-path", self.base, "--json", *args)
                self.assertEqual(status, want_status)
                self.assertEqual(json.loads(out)["status"], name)

    def test_no_audio_declines_every_download_and_creates_nothing(self):
        status, out, err = run_lookup("--base-path", self.base, "--no-audio", "cat")
        self.assertEqual(status, FOUND, err)
        self.assertEqual(out, expected("cat"))
        self.assertFalse(os.path.exists(self.base))
        self.assertNotIn("audio:", err)

    def test_audio_already_stored_is_kept_unless_refreshed(self):
        os.makedirs(self.voice)
        stored = os.path.join(self.voice, "c1_a_ab_En-cat.ogg")
        with open(stored, "wb") as f:
            f.write(b"kept")
        status, _, err = run_lookup("--base-path", self.base, "--media", self.tmp, "cat")
        self.assertEqual(status, FOUND, err)  # the empty media store is never asked
        self.assertIn("audio: c1_a_ab_En-cat.ogg -> " + stored, err)
        self.assertEqual(read_bytes(stored), b"kept")
        status, _, err = run_lookup("--base-path", self.base, "--refresh", "cat")
        self.assertEqual(status, FOUND, err)
        self.assertEqual(read_bytes(stored),
                         read_bytes(samples("media", "media.lexora.org", "a", "ab", "En-cat.ogg")))

    def test_local_write_failure_says_what_failed_where(self):
        os.makedirs(os.path.join(self.voice, "c1_a_ab_En-cat.ogg"))  # a folder in the file's place
        status, out, err = run_lookup("--base-path", self.base, "cat")
        self.assertEqual(status, FOUND, err)
        self.assertIn("cannot store %s/c1_a_ab_En-cat.ogg: Is a directory" % self.voice, err)
        self.assertNotIn("media store", err)

    def test_failed_output_is_reported(self):
        for args in [["--no-audio", "cat"], ["--json", "--no-audio", "cat"], ["--list"]]:
            with self.subTest(args=args):
                with open("/dev/full", "wb") as full:
                    status, _, err = run_lookup(*args, stdout=full)
                self.assertEqual(status, OUTPUT_FAILED)
                self.assertIn("write error: No space left on device", err)
                done = subprocess.run("exec %s >&-" % " ".join([EXE, *args]), shell=True,
                                      capture_output=True, timeout=RUN_SECONDS)
                self.assertEqual(done.returncode, OUTPUT_FAILED)
                self.assertIn(b"write error: Bad file descriptor", done.stderr)

    def test_terminal_gets_a_rendering_and_raw_the_layout(self):
        status, out, _ = on_terminal("cat")
        self.assertEqual(status, FOUND)
        self.assertTrue(out.startswith("\033[1mEnglish\033[0m  /k\u00e6t/\n"), out)
        self.assertIn("\n\033[1;4mNoun\033[0m\ncat (plural\u00a0cats)\n", out)
        status, out, _ = on_terminal("--raw", "cat")
        self.assertEqual(out, expected("cat"))

    def test_controls_from_the_page_are_shown_never_sent(self):
        # ESC (a screen clear, a clipboard write), BEL, DEL and the C1 CSI in
        # the transcription, a section text, a traced headline and the audio
        # link that the "audio not stored" message quotes.
        hostile = "\x1b[2J\x1b]52;c;aGk=\x07\x7f\u009b"
        page = read_text(samples("pages", "en.lexora.org", "wiki", "tea.html"))
        for plain, planted in [("/ti&#720;/", "/ti" + hostile + "/"),
                               ("/media/En-uk-tea.ogg", "/media/En" + hostile + ".ogg"),
                               ('id="Translations">Translations', 'id="Translations">T' + hostile),
                               ("<i>UK</i>", "<i>U" + hostile + "K</i>")]:
            self.assertIn(plain, page)
            page = page.replace(plain, planted)
        store = os.path.join(self.tmp, "pages", "en.lexora.org", "wiki")
        os.makedirs(store)
        with open(os.path.join(store, "tea.html"), "w", encoding="utf-8") as f:
            f.write(page)
        shown = "^[[2J^[]52;c;aGk=^G^?\\x9b"
        runs = [run_lookup("--pages", os.path.dirname(os.path.dirname(store)), "--base-path",
                           self.base, "--trace", *args, "tea") for args in [[], ["--json"]]]
        terminal = on_terminal("--pages", os.path.dirname(os.path.dirname(store)), "--trace", "tea")
        emphasis = re.compile("\x1b\\[(1|1;4|0)m")
        for status, out, err in runs + [terminal]:
            self.assertEqual(status, FOUND, err)
            for stream in [emphasis.sub("", out), err]:
                self.assertIsNone(re.search("[\x00-\x08\x0b-\x1f\x7f-\x9f]", stream), stream)
        self.assertIn("/ti" + shown + "/", runs[0][1])
        self.assertIn("head:T" + shown, runs[0][2])
        self.assertIn("audio not stored: no file for http://en.lexora.org/media/En" + shown, runs[0][2])
        self.assertIn("/ti" + shown + "/", terminal[1])
        self.assertIn("/ti\x1b[2J\x1b]52;c;aGk=\x07\x7f\x9b/", json.loads(runs[1][1])["entry"])


class CurrentMarkupTest(TempFolderTest):
    """A copy of the module with CurrentMarkup=1 in the INI beside it reads the
    twin pages of both later markups, and the classic ones, alike: each gives
    the article's current-mode entry."""

    TWINS = [
        ("en", "dog", "en.lexora.org/dog.txt", "media.lexora.org/2/2e/En-us-dog.ogg",
         "c1_2_2e_En-us-dog.ogg"),
        ("fr", "chien", "fr.lexora.org/chien.txt",
         "media.lexora.org/transcoded/3/3c/Fr-Paris-chien.wav/Fr-Paris-chien.wav.ogg",
         "c1_transcoded_3_3c_Fr-Paris-chien.wav_Fr-Paris-chien.wav.ogg"),
        ("ja", "\u3044\u306c", "ja.lexora.org/%E3%81%84%E3%81%AC.txt",
         "media.lexora.org/8/8d/Ja-inu.ogg", "c1_8_8d_Ja-inu.ogg"),
    ]

    def copy_module(self, ini):
        folder = os.path.join(self.tmp, "module")
        os.makedirs(folder)
        module = shutil.copy(classic_module(), os.path.join(folder, "LexoraDX.so"))
        if ini is not None:
            with open(os.path.join(folder, "LexoraDX.ini"), "w") as f:
                f.write(ini)
        return module

    def test_twins_give_the_current_entry_and_audio(self):
        module = self.copy_module("[config]\nCurrentMarkup=1\n")
        for store in ["pages-markup2", "pages-markup3", "pages"]:
            for dictionary, word, entry, media, stored in self.TWINS:
                with self.subTest(store=store, word=word):
                    shutil.rmtree(self.voice, ignore_errors=True)
                    status, out, err = run_lookup("--module", module, "--pages", samples(store),
                                                  "--base-path", self.base, "-d", dictionary, word)
                    self.assertEqual(status, FOUND, err)
                    self.assertEqual(out, read_text(samples("expected-current", *entry.split("/"))))
                    self.assertEqual(self.voice_files(), [stored])
                    self.assertEqual(read_bytes(self.voice, stored),
                                     read_bytes(samples("media", *media.split("/"))))

    def test_json_languages_keep_the_page_order_and_repeated_names(self):
        module = self.copy_module("[config]\nCurrentMarkup=1\n")
        status, out, err = run_lookup("--module", module, "--pages", samples("pages-markup2"),
                                      "--no-audio", "--json", "bark")
        self.assertEqual(status, FOUND, err)
        got = [(language["name"], language["ipa"], [section["name"] for section in language["sections"]])
               for language in json.loads(out)["languages"]]
        self.assertEqual(got, [
            ("English", "/b\u0251\u02d0k/", ["Etymology 1", "Verb", "Synonyms", "Noun", "Etymology 2", "Noun",
                                      "Synonyms", "Verb"]),
            ("Norwegian Bokm\u00e5l", "", ["Noun"])])

    def test_the_program_in_the_build_tree_reads_todays_site(self):
        env = dict(os.environ)
        env.pop("LEXORADX_MODULE", None)
        status, out, err = run_lookup("-n", "--pages", samples("pages-markup3"), "dog", env=env)
        self.assertEqual((status, out), (FOUND, read_text(samples("expected-current", "en.lexora.org",
                                                                  "dog.txt"))), err)
        # A page without an entry in any markup: no hint at the switch.
        store = os.path.join(self.tmp, "en.lexora.org", "wiki")
        os.makedirs(store)
        with open(os.path.join(store, "zzz.html"), "w") as f:
            f.write("<html><body><p>nothing here</p></body></html>\n")
        status, out, err = run_lookup("-n", "--pages", self.tmp, "zzz", env=env)
        self.assertEqual(status, NO_ENTRY, err)
        self.assertTrue(err.endswith("holds none\n"), err)

    def test_without_the_key_later_markups_give_no_entry(self):
        for ini in [None, "[config]\nCurrentMarkup=0\n"]:
            with self.subTest(ini=ini):
                module = self.copy_module(ini)
                status, out, err = run_lookup("--module", module, "--pages",
                                              samples("pages-markup3"), "--no-audio", "dog")
                self.assertEqual(status, NO_ENTRY)
                self.assertIn('no entry for "dog"', err)
                shutil.rmtree(os.path.dirname(module))


class UsageTest(unittest.TestCase):
    def test_usage_errors_exit_2_with_one_line_and_a_hint(self):
        cases = [
            (["cat", "dog"], "one WORD only"),
            (["--bogus", "cat"], "unknown option --bogus"),
            (["--dict"], "--dict needs a value"),
            (["-d", "de", "cat"], 'no dictionary "de"'),
            (["--timeout", "0", "cat"], "--timeout needs"),
            (["--map", "=http://x/", "cat"], "--map needs FROM=TO"),
            (["--list", "cat"], "--list takes no WORD"),
            (["--online=yes", "cat"], "--online takes no value"),
            ([b"caf\xe9"], "not UTF-8"),
            (["-x", "cat"], "unknown option -x"),
            (["-jd"], "-d needs a value"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                done = subprocess.run([EXE, *args], capture_output=True, timeout=RUN_SECONDS)
                self.assertEqual(done.returncode, 2)
                self.assertIn(message, done.stderr.decode("utf-8", "replace"))
                self.assertEqual(done.stdout, b"")

    def test_no_word_on_a_terminal_is_a_usage_error(self):
        leader, follower = pty.openpty()
        try:
            done = subprocess.run([EXE], stdin=follower, capture_output=True, timeout=RUN_SECONDS)
        finally:
            os.close(leader)
            os.close(follower)
        self.assertEqual(done.returncode, USAGE)
        self.assertIn(b"missing WORD", done.stderr)

    def test_help_documents_every_option_and_exit_status(self):
        status, out, _ = run_lookup("--help")
        self.assertEqual(status, 0)
        for option in ["--list", "--dict", "--module", "--pages", "--media", "--online", "--map",
                       "--base-path", "--no-audio", "--refresh", "--json", "--raw", "--trace",
                       "--timeout", "--deadline", "--help", "--version", "LEXORADX_MODULE"]:
            self.assertIn(option, out)
        for code in range(7):
            self.assertRegex(out, r"\n  %d  +\w" % code)

    def test_bad_base_path_is_refused_before_anything_is_created(self):
        tmp = tempfile.mkdtemp(prefix="lexoradx-host-")
        try:
            base = os.path.join(tmp.encode(), b"caf\xe9", b"deeper")
            done = subprocess.run([EXE, "--base-path", base, "cat"], capture_output=True,
                                  timeout=RUN_SECONDS)
            self.assertEqual(done.returncode, USAGE)
            self.assertIn(b"--base-path is not UTF-8", done.stderr)
            self.assertEqual(os.listdir(tmp), [])
        finally:
            shutil.rmtree(tmp)

    def test_version_names_the_module(self):
        status, out, _ = run_lookup("--version")
        self.assertEqual(status, FOUND)
        self.assertRegex(out, r"^lexoradx-lookup \d+\.\d+\.\d+\nmodule: /.*/LexoraDX\.so\n$")

    def test_copied_program_names_the_paths_it_tried_and_obeys_the_variable(self):
        tmp = tempfile.mkdtemp(prefix="lexoradx-host-")
        try:
            copy = os.path.join(tmp, "bin", "lexoradx-lookup")
            os.makedirs(os.path.dirname(copy))
            shutil.copy(EXE, copy)
            env = dict(os.environ)
            env.pop("LEXORADX_MODULE", None)
            status, _, err = run_lookup("-n", "cat", exe=copy, env=env)
            self.assertEqual(status, MODULE)
            self.assertIn("tried %s/bin/../lib/lexoradx/LexoraDX.so)" % tmp, err)
            module = os.path.join(os.path.dirname(EXE), "..", "plugin", "LexoraDX.so")
            env["LEXORADX_MODULE"] = module
            status, out, err = run_lookup("-n", "cat", exe=copy, env=env)
            classic = read_text(samples("expected", "en.lexora.org", "cat.txt"))  # no INI beside it
            self.assertEqual((status, out), (FOUND, classic), err)
        finally:
            shutil.rmtree(tmp)

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

    def test_json_has_the_documented_keys_and_the_entry_in_parts(self):
        status, out, err = self.online("--json", "cat")
        self.assertEqual(status, FOUND, err)
        self.assertEqual(out.count("\n"), 1)  # one object on one line
        got = json.loads(out)
        documented = json.loads(re.search(r"```json\n(.*?)```", read_text(
            SOURCE_DIR, "docs", "lookup-json.md"), re.S).group(1))
        self.assertEqual(key_paths(got), key_paths(documented))
        self.assertEqual(got["entry"], expected("cat"))
        self.assertEqual(got["url"], "http://en.lexora.org/wiki/cat")  # before --map
        self.assertEqual((got["dictionaryId"], got["code"]), ("!LexoraEN", "en"))
        self.assertEqual(got["audio"], [{
            "name": "c1_a_ab_En-cat.ogg", "path": self.base + "VoiceFiles/c1_a_ab_En-cat.ogg",
            "url": "http://media.lexora.org/a/ab/En-cat.ogg"}])
        english = got["languages"][0]
        self.assertEqual((english["name"], english["ipa"], english["audio"]),
                         ("English", "/k\u00e6t/", "http://media.lexora.org/a/ab/En-cat.ogg"))
        self.assertEqual(english["sections"][-1], {"name": "Anagrams", "text": " - act\n - tac"})
        self.assertEqual([s["name"] for s in english["sections"]],
                         ["Etymology", "Noun", "Synonyms", "Translations", "Verb", "Anagrams"])

    def test_pages_are_cached_for_a_day_and_a_stale_copy_stands_in_for_a_failed_fetch(self):
        refused = ["--map", "http://en.lexora.org/=http://127.0.0.1:%d/" % closed_port()]
        status, out, err = self.online("-n", "cat")
        self.assertEqual(status, FOUND, err)
        [page] = os.listdir(self.cache)
        cached = os.path.join(self.cache, page)
        self.assertEqual(read_bytes(cached), read_bytes(samples("pages", "en.lexora.org", "wiki", "cat.html")))
        # Fresh: no fetch at all.
        status, out, err = run_lookup("-n", "--online", *refused, "cat")
        self.assertEqual((status, out, err), (FOUND, expected("cat"), ""))
        # Two days old: fetched again, and when that fails the copy stands in.
        os.utime(cached, (time.time() - 2 * 86400,) * 2)
        status, out, err = run_lookup("-n", "--online", *refused, "cat")
        self.assertEqual((status, out), (FOUND, expected("cat")), err)
        self.assertRegex(err, r"^lexoradx-lookup: cannot fetch .*wiki/cat: .*; showing the copy cached "
                              r"2 days ago\n$")
        status, out, err = run_lookup("-n", "--online", *refused, "--no-cache", "cat")
        self.assertEqual((status, out), (FETCH_FAILED, ""), err)
        # Fresh again, yet fetched with --refresh.
        os.utime(cached, (time.time() - 3600,) * 2)
        status, out, err = self.online("-n", "--refresh", "cat")
        self.assertEqual(status, FOUND, err)
        self.assertLess(time.time() - os.stat(cached).st_mtime, 60)
        self.assertEqual(os.listdir(self.cache), [page])

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

    def test_missing_page_is_no_page_with_the_http_status(self):
        status, out, err = self.online("--json", "zzyzx")
        self.assertEqual(status, NO_PAGE)
        self.assertIn('no page for "zzyzx" in Lexora(EN)', err)
        self.assertIn("HTTP status 404", err)
        self.assertEqual((json.loads(out)["status"], json.loads(out)["entry"]), ("no-page", None))

    def test_page_gone_for_good_is_no_page_too(self):
        status, out, err = run_lookup("--online", "--timeout", "10", "--base-path", self.base,
                                      "--map", "http://en.lexora.org/=" + self.server.url("status/410/"),
                                      "cat")
        self.assertEqual((status, out), (NO_PAGE, ""), err)
        self.assertIn("HTTP status 410", err)

    def test_page_that_cannot_be_fetched_gives_one_error_line(self):
        refused = "http://127.0.0.1:%d/en.lexora.org/" % closed_port()
        for target, cause in [(refused, r".+"), (self.server.url("status/500/"), "HTTP status 500")]:
            with self.subTest(cause=cause):
                status, out, err = run_lookup("--online", "--timeout", "10", "--base-path",
                                              self.base, "--map", "http://en.lexora.org/=" + target,
                                              "cat")
                self.assertEqual((status, out), (FETCH_FAILED, ""))
                self.assertRegex(err, r"^lexoradx-lookup: cannot fetch http://127\.0\.0\.1:\d+/"
                                 r"[^ ]*wiki/cat: %s\n$" % cause)

    def test_only_a_final_200_with_a_body_stores_audio(self):
        answers = [("status/%d/" % code, "HTTP status %d" % code)
                   for code in [204, 206, 301, 304]]  # the 301 carries no Location
        for where, cause in answers + [("empty/", "HTTP status 200 without a body")]:
            with self.subTest(where=where):
                status, out, err = self.online("cat", media_to=self.server.url(where))
                self.assertEqual(status, FOUND, err)
                self.assertIn(cause, err)
                self.assertNotIn("audio: c1_", err)
                self.assertEqual(self.voice_files(), [])

    def test_a_body_that_is_not_the_file_is_dropped_at_once(self):
        start = time.monotonic()
        status, out, err = self.online("cat", media_to=self.server.url("endless/206/"))
        self.assertEqual(status, FOUND, err)
        self.assertIn("HTTP status 206", err)
        self.assertLess(time.monotonic() - start, 10)  # not at the 20 s timeout
        self.assertEqual(self.voice_files(), [])

    def test_the_deadline_bounds_the_whole_lookup(self):
        # Both languages of "bass" link a recording that trickles for 10 s:
        # the first transfer gets what is left of 2 s, the second is declined.
        start = time.monotonic()
        status, out, err = run_lookup(
            "--online", "--timeout", "20", "--deadline", "2", "--base-path", self.base,
            "--map", "http://en.lexora.org/=" + self.server.url("en.lexora.org/"),
            "--map", "http://media.lexora.org/=" + self.server.url("slow/"), "bass")
        self.assertEqual((status, out), (FOUND, expected("bass")), err)
        self.assertLess(time.monotonic() - start, 8)
        self.assertIn("timed out", err)
        self.assertIn("deadline of 2 s has passed", err)
        self.assertEqual(self.voice_files(), [])

    def test_failed_audio_transfer_leaves_no_file_and_keeps_the_entry(self):
        for where, cause in [("missing/", "HTTP status 404"), ("huge/", "larger than 32 MiB")]:
            with self.subTest(where=where):
                status, out, err = self.online("cat", media_to=self.server.url(where))
                self.assertEqual(status, 0, err)
                self.assertEqual(out, expected("cat"))
                self.assertIn(cause, err)
                self.assertNotIn("audio: c1_", err)
                self.assertEqual(self.voice_files(), [])


class ReadmeTest(TempFolderTest):
    def test_the_map_example_works_pasted_as_one_block(self):
        readme = read_text(SOURCE_DIR, "README.md")
        [block] = [b for b in re.findall(r"```sh\n(.*?)```", readme, re.S) if "--map" in b]
        env = dict(os.environ, XDG_DATA_HOME=self.tmp,
                   PATH=os.path.dirname(EXE) + os.pathsep + os.environ["PATH"])
        done = subprocess.run(["bash", "-c", block.replace("8000", str(closed_port()))],
                              cwd=SOURCE_DIR, env=env, capture_output=True, timeout=RUN_SECONDS)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.decode(), expected("cat"))


class InterruptionTest(TempFolderTest):
    """A signal in the middle of a download: the lookup ends, nothing partial stays."""

    def test_signal_during_a_download_exits_128_plus_it_and_leaves_no_file(self):
        for sent, message in [(signal.SIGINT, b"interrupted"), (signal.SIGTERM, b"terminated"),
                              (signal.SIGHUP, b"hung up")]:
            with self.subTest(signal=sent):
                self.interrupt_download(sent, message)
                shutil.rmtree(self.voice, ignore_errors=True)

    def interrupt_download(self, sent, message):
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
                child.send_signal(sent)
                out, err = child.communicate(timeout=RUN_SECONDS)
            finally:
                if child.poll() is None:
                    child.kill()
                    child.wait(timeout=10)
        finally:
            server.stop()
        self.assertEqual(child.returncode, 128 + sent, err)
        self.assertIn(message, err)
        self.assertEqual(out, b"")
        self.assertEqual(self.voice_files(), [])


class InstallTest(unittest.TestCase):
    """cmake --install into a temporary prefix: the program, its module, the
    samples and the man page, used from another folder."""

    def test_installed_program_finds_its_module_and_samples(self):
        prefix = tempfile.mkdtemp(prefix="lexoradx-install-")
        try:
            subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], check=True,
                           capture_output=True, timeout=RUN_SECONDS)
            program = os.path.join(prefix, "bin", "lexoradx-lookup")
            env = dict(os.environ)
            env.pop("LEXORADX_MODULE", None)
            status, out, err = run_lookup("--version", exe=program, env=env, cwd="/")
            self.assertIn("module: %s/lib/lexoradx/LexoraDX.so\n" % prefix, out)
            self.assertTrue(os.path.isfile(os.path.join(prefix, "lib", "lexoradx", "LexoraDX.ini")))
            status, out, err = run_lookup("-n", "-dfr", "chat", exe=program, env=env, cwd="/")
            self.assertEqual((status, out), (FOUND, read_text(samples("expected-current", "fr.lexora.org",
                                                                      "chat.txt"))), err)
            # The installed INI turns current-markup mode on.
            status, out, err = run_lookup("-n", "--pages", samples("pages-markup3"), "dog",
                                          exe=program, env=env, cwd="/")
            self.assertEqual((status, out), (FOUND, read_text(samples("expected-current", "en.lexora.org",
                                                                      "dog.txt"))), err)
            man_page = os.path.join(prefix, "share", "man", "man1", "lexoradx-lookup.1")
            self.assertIn(".TH LEXORADX-LOOKUP", read_text(man_page))
            for section in ["FILES", "ENVIRONMENT", "EXAMPLES", '"SEE ALSO"']:
                self.assertIn("\n.SH %s\n" % section, read_text(man_page))
            completion = os.path.join(prefix, "share", "bash-completion", "completions",
                                      "lexoradx-lookup")
            done = subprocess.run(["bash", "-c", 'source "$1"; COMP_WORDS=(lexoradx-lookup -d f);'
                                   ' COMP_CWORD=2; _lexoradx_lookup; echo "${COMPREPLY[*]}"', "-",
                                   completion], capture_output=True, timeout=RUN_SECONDS)
            self.assertEqual(done.stdout, b"fr\n", done.stderr)
            if shutil.which("man"):
                shown = subprocess.run(["man", "-P", "cat", "-l", man_page], capture_output=True,
                                       timeout=RUN_SECONDS)
                self.assertIn(b"--refresh", shown.stdout)
        finally:
            shutil.rmtree(prefix)


def main():
    global EXE, SOURCE_DIR, BUILD_DIR, StoreHandler, make_server
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--build-dir", required=True)
    args, rest = parser.parse_known_args()
    EXE = os.path.abspath(args.exe)
    SOURCE_DIR = os.path.abspath(args.source_dir)
    BUILD_DIR = os.path.abspath(args.build_dir)
    sys.path.insert(0, os.path.join(SOURCE_DIR, "tools"))
    from page_store_server import StoreHandler, make_server
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
