#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 for the crawl benchmark.

    site_server.py PORT FOLDER

Python's own "python3 -m http.server", with one change: a listen backlog of
128 connections instead of socketserver's 5. A crawler with 20 workers
overflows a backlog of 5; the kernel then drops connection requests, and
each dropped one costs its worker a full second until the client tries
again, which measures the server, not the client. Requests are logged to
standard error as http.server logs them.
"""
import functools
import http.server
import sys


class SiteServer(http.server.ThreadingHTTPServer):
    request_queue_size = 128


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: site_server.py PORT FOLDER")
    port = int(sys.argv[1])
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[2])
    with SiteServer(("127.0.0.1", port), handler) as server:
        server.serve_forever()


if __name__ == "__main__":
    main()
