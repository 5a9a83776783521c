#!/usr/bin/env python3
"""A watched page on 127.0.0.1 for end-to-end tests.

page_server.py REQUESTS_FILE: listens on an ephemeral loopback port, prints the port,
and answers every request with a page one paragraph longer than the one before, so each
check finds a change. Each request's text is appended to REQUESTS_FILE once answered.
"""
import socket
import sys

requests_file = sys.argv[1]
server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
server.bind(("127.0.0.1", 0))
server.listen(5)
print(server.getsockname()[1], flush=True)

served = 0
while True:
    conn, _ = server.accept()
    with conn:
        request = b""
        while b"\r\n\r\n" not in request:
            chunk = conn.recv(4096)
            if not chunk:
                break
            request += chunk
        served += 1
        body = b"".join(b"<p>Paragraph %d</p>\n" % i for i in range(served))
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n"
                     + body)
    with open(requests_file, "ab") as out:
        out.write(request)
