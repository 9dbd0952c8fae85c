#!/usr/bin/env python3
"""A timestamp server (RFC 3161) on the loopback address for the signing
tests: each POSTed query is answered by `openssl ts -reply` with the TSA
section of an OpenSSL configuration.

    tsa.py CONFIG PORT_FILE

It listens on a free port and also holds a second one bound but not
listening, where a connection is refused: a dead server. Once it listens it
writes "PORT DEAD_PORT" to PORT_FILE; it runs until it is killed."""
import http.server
import os
import socket
import subprocess
import sys
import tempfile


class Handler(http.server.BaseHTTPRequestHandler):
    config = ""  # the OpenSSL configuration, an absolute path

    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.TemporaryDirectory() as work:
            with open(os.path.join(work, "query.tsq"), "wb") as out:
                out.write(query)
            made = subprocess.run(
                ["openssl", "ts", "-reply", "-config", self.config, "-queryfile", "query.tsq", "-out", "reply.tsr"],
                cwd=work, capture_output=True, text=True)
            if made.returncode != 0:
                self.send_error(500, "openssl ts -reply failed: " + made.stderr.strip())
                return
            with open(os.path.join(work, "reply.tsr"), "rb") as reply:
                body = reply.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: tsa.py CONFIG PORT_FILE")
    Handler.config = os.path.abspath(sys.argv[1])
    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    dead = socket.socket()
    dead.bind(("127.0.0.1", 0))
    ports = "%d %d\n" % (server.server_address[1], dead.getsockname()[1])
    # Written whole under another name, so that a reader never sees half.
    with open(sys.argv[2] + ".new", "w") as out:
        out.write(ports)
    os.replace(sys.argv[2] + ".new", sys.argv[2])
    server.serve_forever()


main()
