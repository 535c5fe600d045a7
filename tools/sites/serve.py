#!/usr/bin/env python3
"""The sites the tests and the main job browse, served on loopback addresses.

Each site is an address of 127.0.0.0/8 (every one is this machine, and each is
a site of its own to the browser), on the port asked for (--port) where it is
free, else on a free port the system picks. When all
listen, "<address> <port>" lines go to the ports file; the server ends when
the stop file appears, or after --life seconds whatever happens.

    serve.py --ports FILE --stop FILE 127.0.0.2 127.0.0.3 ...
"""
import argparse
import http.server
import ipaddress
import os
import socketserver
import sys
import threading
import time

PAGE = """<html><head><script src="/app.js"></script></head>
<body><img src="/logo.png">{frame}</body></html>
"""


class Site(http.server.BaseHTTPRequestHandler):
    """One site's pages: what a real server tells a browser to keep."""

    protocol_version = "HTTP/1.1"
    frame_of = {}  # address -> "http://address:port/frame.html" of another site

    def log_message(self, *args):
        pass

    def send(self, status, body=b"", kind="text/html", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        host = self.server.server_address[0]
        cacheable = [("Cache-Control", "max-age=3600")]
        if path == "/logo.png":
            self.send(200, b"\x89PNG\r\n\x1a\n", "image/png", cacheable)
        elif path == "/app.js":
            self.send(200, b"var x = 1;\n", "application/javascript", cacheable)
        elif path.startswith("/a/"):
            self.send(200, b"<html>a</html>", headers=cacheable)
        elif path == "/nostore.html":
            self.send(200, b"<html>private</html>", headers=[("Cache-Control", "no-store")])
        elif path == "/go":
            self.send(302, b"", headers=[("Location", self.query_target()),
                                         ("Set-Cookie", "hop=r1; expires=Sat, 01-Jan-2039 00:00:00 GMT")])
        else:  # any other address is a page of the site
            frame = self.frame_of.get(host, "") if path == "/index.html" else ""
            body = PAGE.format(frame=f'<iframe src="{frame}"></iframe>' if frame else "").encode()
            cookies = [
                ("Set-Cookie", "session=s1"),  # host-only, for the browser's session
                ("Set-Cookie", "id=p1; expires=Sat, 01-Jan-2039 00:00:00 GMT"),
                ("Set-Cookie", "pref=a1; Path=/a/; expires=Sat, 01-Jan-2039 00:00:00 GMT"),
            ]
            # A site reached by a name under a parent domain also sets a cookie
            # for the parent, which the browser sends to every site under it.
            name = (self.headers.get("Host") or "").split(":")[0]
            labels = name.split(".")
            if len(labels) >= 3 and not name.replace(".", "").isdigit():
                parent = ".".join(labels[1:])
                cookies.append(("Set-Cookie", f"wide=w1; Domain={parent}; expires=Sat, 01-Jan-2039 00:00:00 GMT"))
            self.send(200, body, headers=cacheable + cookies)

    def query_target(self):
        query = self.path.split("?", 1)[1] if "?" in self.path else ""
        for part in query.split("&"):
            if part.startswith("to="):
                return part[3:]
        return "/"


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = False


def Listen(address, port):
    """A server on the port asked for, or on a free one where that is taken."""
    if port:
        try:
            return Server((address, port), Site)
        except OSError as error:
            print(f"serve.py: port {port} on {address} is taken ({error.strerror}); serving on a free one",
                  file=sys.stderr)
    return Server((address, 0), Site)  # port 0: a free one, never a taken one


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ports", required=True)
    parser.add_argument("--stop", required=True)
    parser.add_argument("--life", type=float, default=900)
    parser.add_argument("--frames", default="", help="address=address of the site whose page frames the other")
    parser.add_argument("--port", type=int, default=0, help="the port to serve on where it is free (0: any free one)")
    parser.add_argument("addresses", nargs="+")
    args = parser.parse_args()
    servers = []
    for address in args.addresses:
        if not ipaddress.ip_address(address).is_loopback:
            sys.exit(f"serve.py: {address} is not a loopback address; only this machine is served")
        servers.append(Listen(address, args.port))
    ports = {server.server_address[0]: server.server_address[1] for server in servers}
    for pair in filter(None, args.frames.split(",")):
        page, framed = pair.split("=")
        Site.frame_of[page] = f"http://{framed}:{ports[framed]}/frame.html"
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    with open(args.ports + ".tmp", "w") as out:
        out.writelines(f"{address} {port}\n" for address, port in ports.items())
    os.replace(args.ports + ".tmp", args.ports)
    ends = time.monotonic() + args.life
    while time.monotonic() < ends and not os.path.exists(args.stop):
        time.sleep(0.1)
    for server in servers:
        server.shutdown()
    os.unlink(args.ports)


if __name__ == "__main__":
    main()
