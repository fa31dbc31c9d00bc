#!/usr/bin/env python3
"""HTTP test server for the setup's network tests (Python 3 standard library only).

It listens on 127.0.0.1 only, on a free port that it writes into --port-file, and serves one folder per
host name under --root, in the download-server layout:

    ROOT/download.zorvex.example/zrx/setup/system.xml  ->  http://download.zorvex.example/zrx/setup/system.xml

Requests whose request line holds an absolute URI ("GET http://host/path HTTP/1.1") are answered as a
proxy would: the host comes from the URI, and a host without a folder gets 502 Bad Gateway, like a name
the proxy cannot reach. Other requests take the host from their Host header and get 404 when it has no
folder.

Each request is appended to --log, before its reply is sent, as one line of tab-separated fields:
    request line, host, User-Agent, Referer, status sent ("-" for a request never answered)
(a missing header is an empty field; tabs and line breaks inside values become blanks).

A file may misbehave: when "NAME.misbehave" lies beside NAME (NAME itself need not exist), its first line
chooses the reply:
    status N        status N with a short text body (404, 500, ...)
    redirect URL    302 to URL (absolute, or a path on the same host)
    redirect-loop   302 to the very same address, every time
    empty           200 with an empty body
    truncate        Content-Length of the whole file, half of the body, then the connection is closed
    no-length       the body without Content-Length, ended by closing the connection
    chunked         the body in chunked transfer coding
    slow [MS]       the body in 1 KB pieces, MS milliseconds apart (default 20)
    dribble [S]     Content-Length of the whole file, then the body one byte at a time, S seconds apart
                    (default 20): never silent for long, yet hardly arriving; it ends when the client goes
    reset           Content-Length of the whole file, half of the body, then a TCP reset
    silent          the request is read and never answered: the connection stays open until the client goes
    stall           Content-Length of the whole file, half of the body, then silence until the client goes
    endless [MBPS]  a body without length that never ends (MBPS megabytes a second, default as fast as it
                    goes), until the client goes
    endless-chunked the same in chunked transfer coding
    huge            Content-Length of a terabyte, then an endless body
    pause MS        the plain reply, after MS milliseconds (a slow server, long enough to watch the client wait)

The server stops by itself after --idle seconds without a request and after --lifetime seconds in all;
"--stop --port-file F" stops the server that wrote F at once.
"""
import argparse
import http.client
import http.server
import os
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse

STOP_PATH = "/__zrx-test-server/stop"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "ZrxTestServer/1.0"

    def log_message(self, format, *args):  # quiet: the request log is the record
        pass

    def do_GET(self):
        self.server.touch()
        self._logged_host = None
        if self.path == STOP_PATH:
            self._send_text(200, "stopping\n")
            threading.Thread(target=self.server.shutdown, daemon=True).start()
            return
        proxied = not self.path.startswith("/")
        if proxied:
            url = urllib.parse.urlsplit(self.path)
            host, path = url.hostname or "", url.path or "/"
        else:
            host, path = (self.headers.get("Host") or "").rsplit(":", 1)[0], urllib.parse.urlsplit(self.path).path
        self._logged_host = host
        self._serve(host.lower(), urllib.parse.unquote(path), proxied)

    def send_response(self, code, message=None):
        # Logged before the first byte of the reply leaves, so a client that has its reply finds its line.
        host = getattr(self, "_logged_host", None)
        if host is not None:
            self.server.log_request_line(self.requestline, host, self.headers.get("User-Agent", ""),
                                         self.headers.get("Referer", ""), code)
        super().send_response(code, message)

    def _serve(self, host, path, proxied):
        site = os.path.join(self.server.root, host)
        if not host or not os.path.isdir(site):
            return self._send_text(502 if proxied else 404, "no such host\n")
        parts = [p for p in path.split("/") if p]
        if any(p in (".", "..") or "\\" in p for p in parts):
            return self._send_text(403, "forbidden\n")
        local = os.path.join(site, *parts)
        behaviour = self._misbehaviour(local)
        if behaviour:
            return self._misbehave(local, behaviour)
        if not os.path.isfile(local):
            return self._send_text(404, "not found\n")
        size = os.path.getsize(local)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        with open(local, "rb") as f:
            if size:
                self.connection.sendfile(f)
        return 200

    @staticmethod
    def _misbehaviour(local):
        try:
            with open(local + ".misbehave", encoding="utf-8") as f:
                return f.readline().split()
        except OSError:
            return None

    def _body(self, local):
        try:
            with open(local, "rb") as f:
                return f.read()
        except OSError:
            return b""

    def _misbehave(self, local, behaviour):
        word, args = behaviour[0], behaviour[1:]
        if word == "pause":
            # At most a minute: the pause is for watching, not a server that never answers ("silent").
            time.sleep(min(max(int(args[0]) if args else 1000, 0), 60000) / 1000.0)
            if not os.path.isfile(local):
                return self._send_text(404, "not found\n")
        if word == "status":
            return self._send_text(int(args[0]), "misbehaving on purpose\n")
        if word in ("redirect", "redirect-loop"):
            target = args[0] if word == "redirect" else self.path
            self.send_response(302)
            self.send_header("Location", target)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return 302
        if word == "silent":
            # Logged all the same, with "-" for the status that never comes.
            self.server.log_request_line(self.requestline, self._logged_host, self.headers.get("User-Agent", ""),
                                         self.headers.get("Referer", ""), "-")
            return self._hold(None)
        body = self._body(local)
        if word == "stall":
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[:len(body) // 2])
            self.wfile.flush()
            return self._hold(200)
        if word in ("endless", "endless-chunked", "huge"):
            return self._endless(word, float(args[0]) if args else 0)
        if word == "empty":
            body = b""
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if word == "no-length":
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)
            self.close_connection = True
        elif word == "chunked":
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for i in range(0, len(body), 4096):
                piece = body[i:i + 4096]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            self.wfile.write(b"0\r\n\r\n")
        elif word in ("truncate", "reset"):
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[:len(body) // 2])
            self.close_connection = True
            if word == "reset":
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        elif word == "dribble":
            delay = float(args[0]) if args else 20.0
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.close_connection = True
            try:
                for i in range(len(body)):
                    self.wfile.write(body[i:i + 1])
                    self.wfile.flush()
                    time.sleep(delay)
            except OSError:
                pass
        elif word == "slow":
            delay = (int(args[0]) if args else 20) / 1000.0
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            for i in range(0, len(body), 1024):
                self.wfile.write(body[i:i + 1024])
                time.sleep(delay)
        else:  # "empty" and anything unknown: a plain reply
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        return 200

    def _hold(self, status):
        """Sends nothing more and keeps the connection until the client closes it (or the server stops)."""
        self.close_connection = True
        try:
            while self.connection.recv(65536):
                pass
        except OSError:
            pass
        return status

    def _endless(self, word, mbps):
        """A body that ends only when the client goes; paced to mbps megabytes a second when given."""
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if word == "huge":
            self.send_header("Content-Length", str(1 << 40))
        elif word == "endless-chunked":
            self.send_header("Transfer-Encoding", "chunked")
        else:
            self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        piece = bytes(range(256)) * 1024  # 256 KB
        if word == "endless-chunked":
            piece = b"%x\r\n%s\r\n" % (len(piece), piece)
        started, sent = time.monotonic(), 0
        try:
            while True:
                self.wfile.write(piece)
                sent += len(piece)
                if mbps:
                    ahead = sent / (mbps * 1e6) - (time.monotonic() - started)
                    if ahead > 0:
                        time.sleep(ahead)
        except OSError:
            pass
        return 200

    def _send_text(self, status, text):
        data = text.encode()
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
        return status


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, root, log):
        super().__init__(("127.0.0.1", 0), Handler)
        self.root = os.path.abspath(root)
        self.log = log
        self.last_request = time.monotonic()
        self._log_lock = threading.Lock()

    def touch(self):
        self.last_request = time.monotonic()

    def log_request_line(self, *fields):
        text = "\t".join(" ".join(str(f).split()) if isinstance(f, str) else str(f) for f in fields)
        with self._log_lock, open(self.log, "a", encoding="utf-8") as f:
            f.write(text + "\n")


def watchdog(server, idle, lifetime):
    started = time.monotonic()
    while True:
        time.sleep(0.5)
        now = time.monotonic()
        if now - server.last_request > idle or now - started > lifetime:
            server.shutdown()
            return


def serve(args):
    os.makedirs(args.root, exist_ok=True)
    server = Server(args.root, args.log)
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % server.server_address[1])
    os.replace(tmp, args.port_file)
    threading.Thread(target=watchdog, args=(server, args.idle, args.lifetime), daemon=True).start()
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
        try:
            os.remove(args.port_file)
        except OSError:
            pass


def start_detached(args):
    stop(args)  # a server left over from an earlier run that wrote the same port file
    try:
        os.remove(args.port_file)
    except OSError:
        pass
    if os.fork() == 0:
        os.setsid()
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)
        try:
            serve(args)
        finally:
            os._exit(0)
    for _ in range(200):
        if os.path.exists(args.port_file):
            with open(args.port_file) as f:
                print("test server on 127.0.0.1:%s" % f.read().strip())
            return 0
        time.sleep(0.05)
    print("test server did not start", file=sys.stderr)
    return 1


def stop(args):
    try:
        with open(args.port_file) as f:
            port = int(f.read())
    except (OSError, ValueError):
        return 0  # not running
    try:
        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
        conn.request("GET", STOP_PATH)
        conn.getresponse().read()
    except OSError:
        pass
    for _ in range(100):
        if not os.path.exists(args.port_file):
            break
        time.sleep(0.05)
    return 0


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--root", default="server-root", help="folder that holds one folder per host name")
    p.add_argument("--log", default="server.log", help="request log, one line per request")
    p.add_argument("--port-file", default="server.port", help="the chosen port is written here")
    p.add_argument("--idle", type=float, default=300, help="stop after this many seconds without a request")
    p.add_argument("--lifetime", type=float, default=1800, help="stop after this many seconds in any case")
    p.add_argument("--detach", action="store_true", help="run in the background once the port is known")
    p.add_argument("--stop", action="store_true", help="stop the server that wrote --port-file")
    args = p.parse_args()
    if args.stop:
        return stop(args)
    args.log = os.path.abspath(args.log)
    args.port_file = os.path.abspath(args.port_file)
    return start_detached(args) if args.detach else serve(args) or 0


if __name__ == "__main__":
    sys.exit(main())
