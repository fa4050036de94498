#!/usr/bin/env python3
"""A tile server for the online map tests, on 127.0.0.1 only.

Serves /Z/X/Y.png as 256x256 PNGs of 32-pixel blocks whose colours follow
from the tile and block numbers (tile_colour below, mirrored by the tests),
and records every tile request with its headers, one JSON line each, in the
log file. The mode, set with GET /_mode/NAME, picks the answer:

  normal      200 with an ETag and Last-Modified, no caching headers;
              304 when If-None-Match names the ETag
  maxage60    as normal, with Cache-Control: max-age=60
  404         404 for every tile
  429         429 for every tile
  hang        takes the request and never answers
  slow        as normal, 0.2 s late (to count requests at a time)

Prints the port on the first line of its output.
"""
import functools
import http.server
import json
import struct
import sys
import threading
import time
import zlib

TILE = 256
BLOCK = 32
ETAG = '"tile-v1"'
LAST_MODIFIED = "Mon, 07 Dec 2026 10:00:00 GMT"


def tile_colour(z, x, y, bx, by):
    return ((x * 37 + bx * 29 + z) % 256, (y * 53 + by * 31) % 256, (bx * 7 + by * 11 + x + y) % 256)


@functools.lru_cache(maxsize=4096)
def png(z, x, y):
    rows = bytearray()
    for py in range(TILE):
        rows.append(0)
        line = bytearray()
        for bx in range(TILE // BLOCK):
            line += bytes(tile_colour(z, x, y, bx, py // BLOCK)) * BLOCK
        rows += line

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", TILE, TILE, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 1))
            + chunk(b"IEND", b""))


class State:
    mode = "normal"
    active = 0
    most = 0
    lock = threading.Lock()
    log = None


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # Headers and body go out in two writes: without this, the client's
    # delayed acknowledgement would hold every answer for 40 ms.
    disable_nagle_algorithm = True

    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.path.startswith("/_mode/"):
            State.mode = self.path[len("/_mode/"):]
            self.answer(200, b"ok", "text/plain")
            return
        with State.lock:
            State.active += 1
            State.most = max(State.most, State.active)
            record = {"path": self.path, "headers": dict(self.headers.items()), "most": State.most,
                      "mode": State.mode}
            with open(State.log, "a") as log:
                log.write(json.dumps(record) + "\n")
        try:
            self.tile()
        finally:
            with State.lock:
                State.active -= 1

    def tile(self):
        mode = State.mode
        if mode == "hang":
            time.sleep(3600)
            return
        if mode == "slow":
            time.sleep(0.2)
        if mode in ("404", "429"):
            self.answer(int(mode), b"no", "text/plain")
            return
        parts = self.path.split("?")[0].strip("/").split("/")
        try:
            z, x, y = int(parts[0]), int(parts[1]), int(parts[2].split(".")[0])
        except (IndexError, ValueError):
            self.answer(400, b"bad", "text/plain")
            return
        extra = {"ETag": ETAG, "Last-Modified": LAST_MODIFIED}
        if mode == "maxage60":
            extra["Cache-Control"] = "max-age=60"
        if self.headers.get("If-None-Match") == ETAG:
            self.answer(304, b"", None, extra)
            return
        self.answer(200, png(z, x, y), "image/png", extra)

    def answer(self, status, body, kind, extra=None):
        self.send_response(status)
        if kind:
            self.send_header("Content-Type", kind)
        for name, value in (extra or {}).items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def main():
    State.log = sys.argv[1]
    open(State.log, "w").close()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
