#!/usr/bin/env python3
"""A small HTTP server on loopback for the formula download tests.

Serves the files of a folder, plus a few answers that a download must
refuse: /status404 (a 404 with a body), /truncated/NAME (NAME announced
whole but cut short), /zero (Content-Length 0) and /nolength/NAME (no
Content-Length). Binds 127.0.0.1 on a free port, writes the port into
PORTFILE and stops by itself after LIFETIME seconds or at /quit.

With FIXTURES (a folder of formula files) it first writes the test
archives into ROOT with Python's zipfile: uf.zip (julia.ufm, sub/banded.ucl,
a gradient and a text file, all dated 5 March 2011 10:20:30), own.zip and
own_5.3.2011.zip (Compiler/own.sfm), traversal.zip (an entry "../evil.txt")
and the list formulas/formulas_v4_0.txt naming own.zip,
own_[day].[month].[year].zip, uf.zip, traversal.zip and missing.zip.

usage: formula_server.py ROOT PORTFILE [LIFETIME [FIXTURES]]
"""
import http.server
import os
import sys
import threading
import zipfile

DATE = (2011, 3, 5, 10, 20, 30)


def add(archive, name, data):
    info = zipfile.ZipInfo(name, DATE)
    info.compress_type = zipfile.ZIP_DEFLATED
    archive.writestr(info, data)


def make_archives(root, fixtures, port):
    def read(name):
        with open(os.path.join(fixtures, name), "rb") as f:
            return f.read()

    with zipfile.ZipFile(os.path.join(root, "uf.zip"), "w") as z:
        add(z, "julia.ufm", read("julia.ufm"))
        add(z, "sub/banded.ucl", read("banded.ucl"))
        add(z, "gradients/one.ugr", b"gradient {}\r\n")
        add(z, "readme.txt", b"UltraFractal formulas\r\n")
    own = b"Own {\r\n\tvoid loop(void)\r\n\t{\r\n\t\tz = z*z + pixel;\r\n\t}\r\n}\r\n"
    for name in ("own.zip", "own_5.3.2011.zip"):
        with zipfile.ZipFile(os.path.join(root, name), "w") as z:
            add(z, "Compiler/own.sfm", own)
    with zipfile.ZipFile(os.path.join(root, "traversal.zip"), "w") as z:
        add(z, "ok.txt", b"fine")
        add(z, "../evil.txt", b"outside")
    os.makedirs(os.path.join(root, "formulas"), exist_ok=True)
    base = "http://127.0.0.1:%d/" % port
    with open(os.path.join(root, "formulas", "formulas_v4_0.txt"), "w") as f:
        for name in ("own.zip", "own_[day].[month].[year].zip", "uf.zip", "traversal.zip", "missing.zip"):
            f.write(base + name + "\n")


def make_handler(root, server_box):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.0"

        def log_message(self, *args):
            pass

        def send_body(self, status, body, length=None):
            self.send_response(status)
            self.send_header("Content-Type", "application/octet-stream")
            if length is not None:
                self.send_header("Content-Length", str(length))
            self.end_headers()
            self.wfile.write(body)

        def file_body(self, name):
            path = os.path.normpath(os.path.join(root, name.lstrip("/")))
            if not path.startswith(os.path.abspath(root)) or not os.path.isfile(path):
                return None
            with open(path, "rb") as f:
                return f.read()

        def do_GET(self):
            path = self.path
            if path == "/quit":
                self.send_body(200, b"bye", 3)
                threading.Thread(target=server_box[0].shutdown, daemon=True).start()
            elif path == "/status404":
                body = b"<html>not here</html>"
                self.send_body(404, body, len(body))
            elif path == "/zero":
                self.send_body(200, b"", 0)
            elif path.startswith("/truncated/"):
                body = self.file_body(path[len("/truncated"):]) or b"x" * 100
                self.send_body(200, body[: len(body) // 2], len(body))
            elif path.startswith("/nolength/"):
                body = self.file_body(path[len("/nolength"):]) or b""
                self.send_body(200, body)
            else:
                body = self.file_body(path)
                if body is None:
                    self.send_body(404, b"missing", 7)
                else:
                    self.send_body(200, body, len(body))

    return Handler


def main():
    root = os.path.abspath(sys.argv[1])
    os.makedirs(root, exist_ok=True)
    port_file = sys.argv[2]
    lifetime = float(sys.argv[3]) if len(sys.argv) > 3 else 120.0
    box = []
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), make_handler(root, box))
    box.append(server)
    if len(sys.argv) > 4:
        make_archives(root, sys.argv[4], server.server_address[1])
    timer = threading.Timer(lifetime, server.shutdown)
    timer.daemon = True
    timer.start()
    with open(port_file + ".part", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(port_file + ".part", port_file)
    server.serve_forever()
    server.server_close()


if __name__ == "__main__":
    main()
