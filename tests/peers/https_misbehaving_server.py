#!/usr/bin/python3
"""TLS test peer on loopback whose behaviour the test chooses.

Modes:
  echo     send back whatever arrives
  silent   complete the handshake, then send nothing
  close    send "bye", then close with close_notify
  respond  read one HTTP request (headers and Content-Length body), append it to --request-log,
           send the bytes of --response, then --after: "close" (close_notify), "drop" (no close_notify)
           or "stall" (keep the connection open without sending)

Every connection is served on its own thread. Exits on SIGTERM.
"""
import argparse
import socket
import ssl
import threading


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(4096)
        if not chunk:
            return data
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    while len(body) < length:
        chunk = conn.recv(4096)
        if not chunk:
            break
        body += chunk
    return head + b"\r\n\r\n" + body


def stall(conn):
    try:
        while conn.recv(4096):
            pass
    except (OSError, ssl.SSLError):
        pass


def serve(conn, args):
    if args.mode == "echo":
        while True:
            data = conn.recv(4096)
            if not data:
                return
            conn.sendall(data)
    elif args.mode == "silent":
        stall(conn)
    elif args.mode == "close":
        conn.sendall(b"bye")
        conn.unwrap()
    elif args.mode == "respond":
        request = read_request(conn)
        if args.request_log:
            with open(args.request_log, "ab") as log:
                log.write(request)
        with open(args.response, "rb") as response:
            data = response.read()
        for start in range(0, len(data), args.write_size):
            conn.sendall(data[start:start + args.write_size])
        if args.after == "close":
            conn.unwrap()
        elif args.after == "stall":
            stall(conn)


def handle(raw, context, args):
    try:
        with context.wrap_socket(raw, server_side=True) as conn:
            serve(conn, args)
    except (OSError, ssl.SSLError, ValueError):
        pass
    finally:
        raw.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--mode", choices=["echo", "silent", "close", "respond"], required=True)
    parser.add_argument("--response")
    parser.add_argument("--after", choices=["close", "drop", "stall"], default="close")
    parser.add_argument("--request-log")
    parser.add_argument("--write-size", type=int, default=16384)
    parser.add_argument("--max-tls", choices=["1.1", "1.2", "1.3"], default="1.3")
    args = parser.parse_args()

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    versions = {"1.1": ssl.TLSVersion.TLSv1_1, "1.2": ssl.TLSVersion.TLSv1_2, "1.3": ssl.TLSVersion.TLSv1_3}
    context.maximum_version = versions[args.max_tls]
    if args.max_tls == "1.1":
        context.minimum_version = ssl.TLSVersion.TLSv1
        context.set_ciphers("ALL:@SECLEVEL=0")

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(16)
    while True:
        raw, _ = listener.accept()
        threading.Thread(target=handle, args=(raw, context, args), daemon=True).start()


if __name__ == "__main__":
    main()
