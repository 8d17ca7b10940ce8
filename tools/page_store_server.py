#!/usr/bin/env python3
"""Serves a page store and a media store over HTTP, so that lexoradx-lookup
--online can be tried against a local copy of the stores.

/HOST/PATH answers with PAGES/HOST/PATH.html (a page) or MEDIA/HOST/PATH (an
audio file); anything else is 404. The lookup's --map options point each site
at the server, for example with the default port:

  tools/page_store_server.py &
  lexoradx-lookup --online \\
      --map http://en.lexora.org/=http://127.0.0.1:8000/en.lexora.org/ \\
      --map http://media.lexora.org/=http://127.0.0.1:8000/media.lexora.org/ cat

Usage: page_store_server.py [--pages DIR] [--media DIR] [--port N]
(default: the repository's samples/pages and samples/media on 127.0.0.1:8000)
"""
import argparse
import http.server
import os
import socketserver
import sys

SAMPLES = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "samples"))


class StoreHandler(http.server.BaseHTTPRequestHandler):
    """Answers GET /HOST/PATH from the two stores (set on a subclass)."""

    pages_root = None
    media_root = None

    def log_message(self, *args):  # one line per request is noise in a lookup's terminal
        pass

    def do_GET(self):
        self.send_file(self.path.split("?", 1)[0].lstrip("/"))

    def send_file(self, relative):
        parts = relative.split("/")
        candidates = [os.path.join(self.pages_root, *parts) + ".html",
                      os.path.join(self.media_root, *parts)]
        found = next((c for c in candidates if ".." not in parts and os.path.isfile(c)), None)
        if not found:
            self.send_error(404)
            return
        with open(found, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8" if found.endswith(".html")
                         else "audio/ogg")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class StoreServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def make_server(pages_root, media_root, port=0, handler=StoreHandler):
    """A server on 127.0.0.1:`port` (0: any free port) serving the two stores."""
    bound = type("Handler", (handler,), {"pages_root": os.path.abspath(pages_root),
                                         "media_root": os.path.abspath(media_root)})
    return StoreServer(("127.0.0.1", port), bound)


def main():
    parser = argparse.ArgumentParser(description="Serve a page store and a media store over HTTP.")
    parser.add_argument("--pages", default=os.path.join(SAMPLES, "pages"))
    parser.add_argument("--media", default=os.path.join(SAMPLES, "media"))
    parser.add_argument("--port", type=int, default=8000)
    args = parser.parse_args()
    server = make_server(args.pages, args.media, args.port)
    url = "http://127.0.0.1:%d/" % server.server_address[1]
    print("serving %s and %s at %s (Ctrl-C stops)" % (args.pages, args.media, url), file=sys.stderr)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    server.server_close()


if __name__ == "__main__":
    main()
