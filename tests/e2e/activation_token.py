#!/usr/bin/python3
"""Prints an activation token of the Wayland compositor at $XDG_RUNTIME_DIR/$WAYLAND_DISPLAY
(xdg_activation_v1), as a notification server asks for one before it sends an action.

It speaks the Wayland wire protocol itself (a request or event is its object's id, then
its size and opcode, then its arguments as 32-bit words; strings carry their length,
end with NUL and are padded to 4 bytes), so it needs no Wayland library. The token is
asked for without a surface or a seat, as a server asks that has no input of its own.
Exit 1: the compositor offers no xdg_activation_v1.
"""
import os
import socket
import struct
import sys

DISPLAY, REGISTRY, CALLBACK, ACTIVATION, TOKEN = 1, 2, 3, 4, 5


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("=I", len(data)) + data + b"\0" * (-len(data) % 4)


def request(sock, obj, opcode, payload=b""):
    sock.sendall(struct.pack("=II", obj, ((8 + len(payload)) << 16) | opcode) + payload)


def read_string(payload, at):
    (length,) = struct.unpack_from("=I", payload, at)
    text = payload[at + 4:at + 4 + length - 1].decode()
    return text, at + 4 + length + (-length % 4)


def events(sock):
    buffer = b""
    while True:
        while len(buffer) >= 8:
            obj, word = struct.unpack_from("=II", buffer)
            size = word >> 16
            if len(buffer) < size:
                break
            yield obj, word & 0xFFFF, buffer[8:size]
            buffer = buffer[size:]
        chunk = sock.recv(4096)
        if not chunk:
            sys.exit("the compositor closed the connection")
        buffer += chunk


def main():
    path = os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ.get("WAYLAND_DISPLAY", "wayland-0"))
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.connect(path)
    request(sock, DISPLAY, 1, struct.pack("=I", REGISTRY))  # wl_display.get_registry
    request(sock, DISPLAY, 0, struct.pack("=I", CALLBACK))  # wl_display.sync
    incoming = events(sock)
    activation = None
    for obj, opcode, payload in incoming:
        if obj == REGISTRY and opcode == 0:  # wl_registry.global
            (name,) = struct.unpack_from("=I", payload)
            interface, _ = read_string(payload, 4)
            if interface == "xdg_activation_v1":
                activation = name
        elif obj == CALLBACK and opcode == 0:  # every global is listed
            break
        elif obj == DISPLAY and opcode == 0:
            sys.exit("the compositor reported an error")
    if activation is None:
        print("no xdg_activation_v1", file=sys.stderr)
        sys.exit(1)
    # wl_registry.bind, xdg_activation_v1.get_activation_token, xdg_activation_token_v1.commit
    request(sock, REGISTRY, 0, struct.pack("=I", activation) + string("xdg_activation_v1")
            + struct.pack("=II", 1, ACTIVATION))
    request(sock, ACTIVATION, 1, struct.pack("=I", TOKEN))
    request(sock, TOKEN, 3)
    for obj, opcode, payload in incoming:
        if obj == TOKEN and opcode == 0:  # xdg_activation_token_v1.done
            print(read_string(payload, 0)[0])
            return
        if obj == DISPLAY and opcode == 0:
            sys.exit("the compositor reported an error")


main()
