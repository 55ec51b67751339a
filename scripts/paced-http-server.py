#!/usr/bin/env python3
"""Serves one file on 127.0.0.1 as a recorder sends its stream live: spread
over about SECONDS, in fifty pieces. For scripts/check-wine.sh.

  paced-http-server.py FILE PORT SECONDS
"""
import http.server
import os
import sys
import time

PIECES = 50


def main():
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    path, port, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])

    class Paced(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            size = os.path.getsize(path)
            self.send_response(200)
            self.send_header("Content-Length", str(size))
            self.end_headers()
            with open(path, "rb") as f:
                while data := f.read(max(1, size // PIECES)):
                    self.wfile.write(data)
                    time.sleep(seconds / PIECES)

        def log_message(self, *args):
            pass

    http.server.HTTPServer(("127.0.0.1", port), Paced).serve_forever()


if __name__ == "__main__":
    main()
