#!/usr/bin/python3
"""Test cloud peer: plays the IoT cloud towards one device over a real MQTT broker.

It connects to the broker as an ordinary MQTT client (paho), subscribes to everything the device
publishes (/sys/<pk>/<dn>/#, /ext/ntp/<pk>/<dn>/#, /ota/device/#), prints "READY" once subscribed,
then runs a scenario: a JSON list of steps, read from --scenario FILE (or standard input when FILE
is "-"). Each step is one of:

  {"send": "property_set", "id": "7", "params": {...}}
      publishes {"id":"7","version":"1.0","params":...,"method":"thing.service.property.set"}
      on /sys/<pk>/<dn>/thing/service/property/set
  {"send": "service", "name": "StartVod", "id": "8", "params": {...}}
      the same envelope with method "thing.service.<name>" on .../thing/service/<name>
  {"send": "rrpc", "rrpc_id": "998877", "id": "9", "method": "thing.service.QueryRecordList",
   "params": {...}}
      the envelope on .../rrpc/request/<rrpc_id>
  {"send": "event_notify", "id": "10", "params": {...}}
      the envelope with method "thing.event.notify" on .../_thing/event/notify
  {"send": "raw", "topic": "/full/topic" | "suffix": "vision/p2p/dev/data/downstream",
   "payload": "text sent as it is", "qos": 0}
  {"expect": {"topic": ... | "suffix": ..., "payload": "exact text" | "pattern": "regex",
              "timeout": 10}}
      waits for the next message from the device on that topic (messages are taken in arrival
      order, each only once) and compares its payload byte for byte (or against the regex, whole
      match)
  {"expect_none": {"topic": ... | "suffix": ..., "within": 1.0}}
      fails when a message arrives on that topic within that many seconds
  {"sleep": 0.5}

Envelope params are serialised compactly (separators "," and ":"), so a step can predict the exact
bytes the device echoes. On standard output each step prints one JSON line {"step": n, "ok": ...};
the run ends with "SCENARIO PASSED" (exit 0) or "SCENARIO FAILED" (exit 1). Only loopback brokers
are accepted.

Usage: test_cloud.py --port P --cafile CA --user U --password PW --product-key PK --device-name DN
                     --scenario FILE [--host localhost]
"""

import argparse
import ipaddress
import json
import queue
import re
import socket
import sys
import threading
import time

import paho.mqtt.client as mqtt


def compact(value):
    return json.dumps(value, separators=(",", ":"))


class Cloud:
    def __init__(self, args):
        self.prefix = "/sys/%s/%s/" % (args.product_key, args.device_name)
        self.subscriptions = [
            self.prefix + "#",
            "/ext/ntp/%s/%s/#" % (args.product_key, args.device_name),
            "/ota/device/#",
        ]
        self.received = []
        self.arrived = threading.Condition()
        self.subscribed = queue.Queue()
        self.client = mqtt.Client(client_id="test-cloud", protocol=mqtt.MQTTv311)
        self.client.tls_set(ca_certs=args.cafile)
        self.client.username_pw_set(args.user, args.password)
        self.client.on_connect = self.on_connect
        self.client.on_subscribe = lambda *unused: self.subscribed.put(True)
        self.client.on_message = self.on_message
        self.client.connect(args.host, args.port, keepalive=60)
        self.client.loop_start()
        for _ in self.subscriptions:
            self.subscribed.get(timeout=10)

    def on_connect(self, client, userdata, flags, rc):
        for topic in self.subscriptions:
            client.subscribe(topic, qos=1)

    def is_own(self, topic):
        """Topics the cloud sends on: our own messages come back through the wildcard subscriptions."""
        if not topic.startswith(self.prefix):
            return topic.startswith("/ext/ntp/") and topic.endswith("/response")
        rest = topic[len(self.prefix):]
        return (re.fullmatch(r"thing/service/[^/]+(/set)?", rest) is not None and not rest.endswith("_reply")
                or rest.startswith("rrpc/request/") or rest == "_thing/event/notify"
                or re.fullmatch(r"vision/[^/]+/[^/]+/[^/]+/(downstream|invoke)", rest) is not None)

    def on_message(self, client, userdata, message):
        if self.is_own(message.topic):
            return
        with self.arrived:
            self.received.append((message.topic, bytes(message.payload)))
            self.arrived.notify_all()

    def topic(self, step):
        return step["topic"] if "topic" in step else self.prefix + step["suffix"]

    def publish(self, topic, payload, qos=0):
        self.client.publish(topic, payload, qos=qos).wait_for_publish()

    def envelope(self, step, method):
        return '{"id":"%s","version":"1.0","params":%s,"method":"%s"}' % (
            step["id"], compact(step.get("params", {})), method)

    def send(self, step):
        kind = step["send"]
        if kind == "property_set":
            self.publish(self.prefix + "thing/service/property/set",
                         self.envelope(step, "thing.service.property.set"))
        elif kind == "service":
            self.publish(self.prefix + "thing/service/" + step["name"],
                         self.envelope(step, "thing.service." + step["name"]))
        elif kind == "rrpc":
            self.publish(self.prefix + "rrpc/request/" + step["rrpc_id"], self.envelope(step, step["method"]))
        elif kind == "event_notify":
            self.publish(self.prefix + "_thing/event/notify", self.envelope(step, "thing.event.notify"))
        elif kind == "raw":
            self.publish(self.topic(step), step["payload"], step.get("qos", 0))
        else:
            raise ValueError("unknown send kind " + kind)
        return {"ok": True}

    def take(self, topic, deadline):
        with self.arrived:
            while True:
                for index, (got_topic, payload) in enumerate(self.received):
                    if got_topic == topic:
                        del self.received[index]
                        return payload
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self.arrived.wait(left)

    def expect(self, step):
        topic = self.topic(step)
        payload = self.take(topic, time.monotonic() + step.get("timeout", 10))
        if payload is None:
            return {"ok": False, "error": "nothing on " + topic}
        text = payload.decode("utf-8", "replace")
        if "payload" in step:
            ok = payload == step["payload"].encode()
        else:
            ok = re.fullmatch(step["pattern"], text) is not None
        return {"ok": ok, "topic": topic, "got": text}

    def expect_none(self, step):
        topic = self.topic(step)
        payload = self.take(topic, time.monotonic() + step.get("within", 1.0))
        return {"ok": payload is None, "topic": topic, "got": None if payload is None else payload.decode()}

    def run_step(self, step):
        if "send" in step:
            return self.send(step)
        if "expect" in step:
            return self.expect(step["expect"])
        if "expect_none" in step:
            return self.expect_none(step["expect_none"])
        if "sleep" in step:
            time.sleep(step["sleep"])
            return {"ok": True}
        raise ValueError("unknown step " + compact(step))


def require_loopback(host):
    for info in socket.getaddrinfo(host, None):
        if not ipaddress.ip_address(info[4][0]).is_loopback:
            sys.exit("test_cloud.py talks to loopback brokers only, not " + host)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--host", default="localhost")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--cafile", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--product-key", required=True)
    parser.add_argument("--device-name", required=True)
    parser.add_argument("--scenario", required=True)
    args = parser.parse_args()
    require_loopback(args.host)
    steps = json.load(sys.stdin if args.scenario == "-" else open(args.scenario))

    cloud = Cloud(args)
    print("READY", flush=True)
    passed = True
    for number, step in enumerate(steps):
        result = cloud.run_step(step)
        result["step"] = number
        print(compact(result), flush=True)
        passed = passed and result["ok"]
    cloud.client.loop_stop()
    cloud.client.disconnect()
    print("SCENARIO PASSED" if passed else "SCENARIO FAILED", flush=True)
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
