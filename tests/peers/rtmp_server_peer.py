#!/usr/bin/python3
"""Scripted RTMP server for tests (standard library only).

It listens on 127.0.0.1, accepts one client, does the plain handshake and then plays a scenario:
a JSON list of steps that wait for the client's commands and send whatever the test needs (status
commands, control messages, malformed bytes) or drop the connection at a chosen point. Every
message the client sends is written to the record file, one line each, so the test can check the
bytes it produced.

Usage: rtmp_server_peer.py --port P --record FILE (--scenario FILE | --steps JSON) [--s2 echo|random]

Steps (objects, run in order):
  {"expect": "publish"}            read until a command with this name arrives
  {"expect_type": 9}               read until a message of this type arrives
  {"expect_count": 3, "type": 9}   read until that many messages of the type have arrived
  {"send": KIND, ...}              send one message, see SENDERS below
  {"publish_ok": true}             answer connect, createStream and publish as a relay server does
  {"drop": true}                   close the connection at once
  {"hold": true}                   stop reading (the client's sends back up) until it closes
  {"drain": true}                  read and record until the client closes
After the last step the peer drains until the client closes, writes "end" and exits.

Record lines:
  handshake c0=3 c1_time=<n> c1_zero=<n> c2_echoes_s1=<0|1>
  msg type=<t> csid=<c> stream=<s> ts=<ms> fmts=<f,f,..> len=<n> name=<command or -> args=<json> body=<hex>
  closed / dropped / end
"""

import argparse
import json
import os
import signal
import socket
import struct
import sys

HANDSHAKE_SIZE = 1536


# --- AMF0 -------------------------------------------------------------------------------------

class AmfError(ValueError):
    pass


def amf_encode(value):
    if value is None:
        return b"\x05"
    if isinstance(value, bool):
        return b"\x01" + (b"\x01" if value else b"\x00")
    if isinstance(value, (int, float)):
        return b"\x00" + struct.pack(">d", float(value))
    if isinstance(value, str):
        data = value.encode()
        if len(data) > 0xFFFF:
            return b"\x0c" + struct.pack(">I", len(data)) + data
        return b"\x02" + struct.pack(">H", len(data)) + data
    if isinstance(value, dict):
        out = b"\x03"
        for key, item in value.items():
            name = key.encode()
            out += struct.pack(">H", len(name)) + name + amf_encode(item)
        return out + b"\x00\x00\x09"
    if isinstance(value, list):
        return b"\x0a" + struct.pack(">I", len(value)) + b"".join(amf_encode(v) for v in value)
    raise AmfError("cannot encode %r" % (value,))


def _need(buf, pos, n):
    if pos + n > len(buf):
        raise AmfError("truncated")


def amf_decode_value(buf, pos):
    _need(buf, pos, 1)
    marker = buf[pos]
    pos += 1
    if marker == 0x00:
        _need(buf, pos, 8)
        return struct.unpack(">d", buf[pos:pos + 8])[0], pos + 8
    if marker == 0x01:
        _need(buf, pos, 1)
        return buf[pos] != 0, pos + 1
    if marker in (0x02, 0x0c):
        width = 2 if marker == 0x02 else 4
        _need(buf, pos, width)
        n = int.from_bytes(buf[pos:pos + width], "big")
        pos += width
        _need(buf, pos, n)
        return buf[pos:pos + n].decode("utf-8", "replace"), pos + n
    if marker in (0x03, 0x08):
        if marker == 0x08:
            _need(buf, pos, 4)
            pos += 4
        obj = {}
        while True:
            _need(buf, pos, 3)
            if buf[pos:pos + 3] == b"\x00\x00\x09":
                return obj, pos + 3
            n = int.from_bytes(buf[pos:pos + 2], "big")
            pos += 2
            _need(buf, pos, n)
            key = buf[pos:pos + n].decode("utf-8", "replace")
            obj[key], pos = amf_decode_value(buf, pos + n)
    if marker in (0x05, 0x06):
        return None, pos
    if marker == 0x0a:
        _need(buf, pos, 4)
        count = int.from_bytes(buf[pos:pos + 4], "big")
        pos += 4
        items = []
        for _ in range(count):
            item, pos = amf_decode_value(buf, pos)
            items.append(item)
        return items, pos
    if marker == 0x0b:
        _need(buf, pos, 10)
        return struct.unpack(">d", buf[pos:pos + 8])[0], pos + 10
    raise AmfError("unsupported marker 0x%02x" % marker)


def amf_decode_all(buf):
    values, pos = [], 0
    while pos < len(buf):
        value, pos = amf_decode_value(buf, pos)
        values.append(value)
    return values


# --- Chunk streams ----------------------------------------------------------------------------

class PeerClosed(Exception):
    pass


class Connection:
    def __init__(self, sock):
        self.sock = sock
        self.in_chunk_size = 128
        self.out_chunk_size = 128
        self.in_state = {}
        self.pending = b""

    def recv_exact(self, n):
        while len(self.pending) < n:
            data = self.sock.recv(65536)
            if not data:
                raise PeerClosed()
            self.pending += data
        out, self.pending = self.pending[:n], self.pending[n:]
        return out

    def send(self, data):
        self.sock.sendall(data)

    # RTMP 5.3.1: basic header, message header by fmt, extended timestamp, then the chunk data.
    def read_message(self):
        fmts = []
        while True:
            first = self.recv_exact(1)[0]
            fmt, csid = first >> 6, first & 0x3F
            if csid == 0:
                csid = 64 + self.recv_exact(1)[0]
            elif csid == 1:
                b = self.recv_exact(2)
                csid = 64 + b[0] + 256 * b[1]
            st = self.in_state.setdefault(csid, {"ts": 0, "delta": 0, "len": 0, "type": 0, "stream": 0,
                                                "ext": False, "body": None})
            continuing = fmt == 3 and st["body"] is not None
            if fmt <= 2:
                field = int.from_bytes(self.recv_exact(3), "big")
                if fmt <= 1:
                    st["len"] = int.from_bytes(self.recv_exact(3), "big")
                    st["type"] = self.recv_exact(1)[0]
                if fmt == 0:
                    st["stream"] = int.from_bytes(self.recv_exact(4), "little")
                st["ext"] = field == 0xFFFFFF
            else:
                field = None
            if st["ext"]:
                ext = int.from_bytes(self.recv_exact(4), "big")
                field = ext if field is not None else field
            if not continuing:
                if fmt == 0:
                    st["ts"], st["delta"] = field, 0
                elif fmt in (1, 2):
                    st["delta"] = field
                    st["ts"] += field
                else:
                    st["ts"] += st["delta"]
                st["body"] = b""
            fmts.append(fmt)
            take = min(self.in_chunk_size, st["len"] - len(st["body"]))
            st["body"] += self.recv_exact(take)
            if len(st["body"]) == st["len"]:
                body, st["body"] = st["body"], None
                msg = {"type": st["type"], "csid": csid, "stream": st["stream"], "ts": st["ts"],
                       "fmts": fmts, "body": body}
                if msg["type"] == 1 and len(body) >= 4:
                    self.in_chunk_size = int.from_bytes(body[:4], "big") & 0x7FFFFFFF
                return msg

    def write_message(self, csid, mtype, stream, ts, body, fmt=0):
        ext = ts >= 0xFFFFFF
        field = 0xFFFFFF if ext else ts
        header = self._basic(fmt, csid)
        if fmt <= 2:
            header += field.to_bytes(3, "big")
        if fmt <= 1:
            header += len(body).to_bytes(3, "big") + bytes([mtype])
        if fmt == 0:
            header += stream.to_bytes(4, "little")
        if ext:
            header += ts.to_bytes(4, "big")
        out = header + body[:self.out_chunk_size]
        for offset in range(self.out_chunk_size, len(body), self.out_chunk_size):
            out += self._basic(3, csid) + (ts.to_bytes(4, "big") if ext else b"")
            out += body[offset:offset + self.out_chunk_size]
        self.send(out)

    @staticmethod
    def _basic(fmt, csid):
        if csid < 64:
            return bytes([(fmt << 6) | csid])
        if csid < 320:
            return bytes([fmt << 6, csid - 64])
        return bytes([(fmt << 6) | 1, (csid - 64) & 0xFF, (csid - 64) >> 8])


# --- The scripted server ----------------------------------------------------------------------

class Peer:
    def __init__(self, conn, record):
        self.conn = conn
        self.record = record
        self.last_transaction = 0
        self.counts = {}

    def log(self, line):
        self.record.write(line + "\n")
        self.record.flush()

    def handshake(self, s2_mode):
        c0c1 = self.conn.recv_exact(1 + HANDSHAKE_SIZE)
        s1 = bytes(8) + os.urandom(HANDSHAKE_SIZE - 8)
        c1 = c0c1[1:]
        s2 = c1 if s2_mode == "echo" else os.urandom(HANDSHAKE_SIZE)
        self.conn.send(b"\x03" + s1 + s2)
        c2 = self.conn.recv_exact(HANDSHAKE_SIZE)
        self.log("handshake c0=%d c1_time=%d c1_zero=%d c2_echoes_s1=%d" % (
            c0c1[0], int.from_bytes(c1[:4], "big"), int.from_bytes(c1[4:8], "big"), int(c2 == s1)))

    def next_message(self):
        msg = self.conn.read_message()
        name, args = "-", []
        if msg["type"] in (0x14, 0x12):
            try:
                args = amf_decode_all(msg["body"])
                if args and isinstance(args[0], str):
                    name = args[0]
            except AmfError:
                name = "(undecodable)"
        if msg["type"] == 0x14 and len(args) > 1 and isinstance(args[1], float):
            msg["transaction"] = args[1]
        msg["name"] = name
        self.counts[msg["type"]] = self.counts.get(msg["type"], 0) + 1
        self.log("msg type=%d csid=%d stream=%d ts=%d fmts=%s len=%d name=%s args=%s body=%s" % (
            msg["type"], msg["csid"], msg["stream"], msg["ts"], ",".join(str(f) for f in msg["fmts"]),
            len(msg["body"]), name, json.dumps(args[1:], separators=(",", ":")), msg["body"].hex()))
        return msg

    def expect(self, matches):
        while True:
            msg = self.next_message()
            if matches(msg):
                if "transaction" in msg:
                    self.last_transaction = msg["transaction"]
                return msg

    def command(self, name, transaction, values, stream=0, csid=3):
        body = b"".join(amf_encode(v) for v in [name, transaction] + list(values))
        self.conn.write_message(csid, 0x14, stream, 0, body)

    def publish_ok(self):
        self.expect(lambda m: m["name"] == "connect")
        self.send({"send": "window_ack_size", "value": 2500000})
        self.send({"send": "peer_bandwidth", "value": 2500000, "limit": 2})
        self.send({"send": "result", "values": [{"fmsVer": "FMS/3,0,1,123", "capabilities": 31},
                                                {"level": "status", "code": "NetConnection.Connect.Success"}]})
        self.expect(lambda m: m["name"] == "createStream")
        self.send({"send": "result", "values": [None, 1]})
        self.expect(lambda m: m["name"] == "publish")
        self.send({"send": "onStatus", "code": "NetStream.Publish.Start"})

    def send(self, step):
        SENDERS[step["send"]](self, step)

    def run(self, steps):
        for step in steps:
            if "expect" in step:
                self.expect(lambda m, name=step["expect"]: m["name"] == name)
            elif "expect_type" in step:
                self.expect(lambda m, t=step["expect_type"]: m["type"] == t)
            elif "expect_count" in step:
                t, n = step["type"], step["expect_count"]
                if self.counts.get(t, 0) < n:
                    self.expect(lambda m: self.counts.get(t, 0) >= n)
            elif "send" in step:
                self.send(step)
            elif step.get("publish_ok"):
                self.publish_ok()
            elif step.get("drop"):
                self.log("dropped")
                self.conn.sock.shutdown(socket.SHUT_RDWR)
                self.conn.sock.close()
                return
            elif step.get("hold"):
                self.hold()
                return
            elif step.get("drain"):
                break
        self.drain()

    def drain(self):
        try:
            while True:
                self.next_message()
        except PeerClosed:
            self.log("closed")

    def hold(self):
        self.log("holding")
        while True:  # never reads again: the test stops the peer by its PID
            signal.pause()


def _status_info(step):
    description = step.get("description", "desc")
    return {"level": step.get("level", "status"), "code": step["code"], "description": description}


def _control(peer, mtype, body, csid=2):
    peer.conn.write_message(csid, mtype, 0, 0, body)


SENDERS = {
    "result": lambda p, s: p.command("_result", s.get("transaction", p.last_transaction), s.get("values", [None])),
    "error": lambda p, s: p.command("_error", s.get("transaction", p.last_transaction),
                                    [None, {"level": "error", "code": s.get("code", "NetConnection.Call.Failed")}]),
    "onStatus": lambda p, s: p.command("onStatus", 0, [None, _status_info(s)], s.get("stream", 1), s.get("csid", 5)),
    "command": lambda p, s: p.command(s["name"], s.get("transaction", 0), s.get("values", []), s.get("stream", 0),
                                      s.get("csid", 3)),
    "chunk_size": lambda p, s: (_control(p, 1, struct.pack(">I", s["value"])),
                                setattr(p.conn, "out_chunk_size", s["value"])),
    "abort": lambda p, s: _control(p, 2, struct.pack(">I", s["csid_aborted"])),
    "window_ack_size": lambda p, s: _control(p, 5, struct.pack(">I", s["value"])),
    "peer_bandwidth": lambda p, s: _control(p, 6, struct.pack(">IB", s["value"], s.get("limit", 2))),
    "ping_request": lambda p, s: _control(p, 4, struct.pack(">HI", 6, s["timestamp"])),
    "stream_begin": lambda p, s: _control(p, 4, struct.pack(">HI", 0, s.get("stream", 1))),
    "message": lambda p, s: p.conn.write_message(s.get("csid", 6), s["type"], s.get("stream", 1), s.get("ts", 0),
                                                 bytes.fromhex(s["hex"]) if "hex" in s else bytes(s["size"]),
                                                 s.get("fmt", 0)),
    "raw": lambda p, s: p.conn.send(bytes.fromhex(s["hex"])),
}


def main():
    parser = argparse.ArgumentParser(description="Scripted RTMP server for tests")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--record", required=True)
    parser.add_argument("--scenario", help="JSON file with a list of steps")
    parser.add_argument("--steps", help="the list of steps as JSON text")
    parser.add_argument("--s2", choices=("echo", "random"), default="echo")
    args = parser.parse_args()
    steps = json.loads(args.steps) if args.steps else json.load(open(args.scenario))

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(4)
    with open(args.record, "w") as record:
        record.write("listening\n")
        record.flush()
        while True:
            sock, _ = listener.accept()
            conn = Connection(sock)
            try:
                first = conn.recv_exact(1)  # a port probe connects and leaves without a byte
            except (PeerClosed, OSError):
                sock.close()
                continue
            conn.pending = first + conn.pending
            break
        listener.close()
        peer = Peer(conn, record)
        try:
            peer.handshake(args.s2)
            peer.run(steps)
        except PeerClosed:
            peer.log("closed")
        except (ConnectionError, OSError) as error:
            peer.log("closed error=%s" % error.__class__.__name__)
        peer.log("end")
    return 0


if __name__ == "__main__":
    sys.exit(main())
