#!/usr/bin/python3
"""Extracts HEVC video (FLV codec id 12) from an FLV file into an Annex-B stream (standard library only).

FLV 10.1 E.4.3: each video tag body starts with FrameType/CodecID, AVCPacketType and a composition
time; packet type 0 carries an HEVCDecoderConfigurationRecord (ISO/IEC 14496-15 8.3.3.1), type 1
length-prefixed NAL units. The parameter sets of every record and the units of every frame are
written with four-byte start codes.

Usage: flv_hevc_extract.py FLV OUT.hevc
Prints one JSON object: the fields of the first record, the number of records and of frames, and the
frames' timestamps and key-frame flags.
"""

import json
import struct
import sys

START_CODE = b"\x00\x00\x00\x01"


class FormatError(ValueError):
    pass


def flv_tags(data):
    if data[:3] != b"FLV" or len(data) < 9:
        raise FormatError("not an FLV file")
    pos = struct.unpack(">I", data[5:9])[0] + 4
    while pos + 11 <= len(data):
        tag_type = data[pos] & 0x1F
        size = int.from_bytes(data[pos + 1:pos + 4], "big")
        ts = int.from_bytes(data[pos + 4:pos + 7], "big") | (data[pos + 7] << 24)
        body = data[pos + 11:pos + 11 + size]
        if len(body) < size:
            break
        yield tag_type, ts, body
        pos += 11 + size + 4


def parse_hvcc(rec):
    if len(rec) < 23:
        raise FormatError("short hvcC")
    fields = {
        "configuration_version": rec[0],
        "profile_space": rec[1] >> 6,
        "tier_flag": (rec[1] >> 5) & 1,
        "profile_idc": rec[1] & 0x1F,
        "compatibility_flags": struct.unpack(">I", rec[2:6])[0],
        "level_idc": rec[12],
        "min_spatial_segmentation_idc": struct.unpack(">H", rec[13:15])[0] & 0x0FFF,
        "parallelism_type": rec[15] & 3,
        "chroma_format": rec[16] & 3,
        "bit_depth_luma_minus8": rec[17] & 7,
        "bit_depth_chroma_minus8": rec[18] & 7,
        "num_temporal_layers": (rec[21] >> 3) & 7,
        "temporal_id_nested": (rec[21] >> 2) & 1,
        "length_size_minus_one": rec[21] & 3,
    }
    units, arrays, pos = [], [], 23
    for _ in range(rec[22]):
        if pos + 3 > len(rec):
            raise FormatError("short array header")
        unit_type, count = rec[pos] & 0x3F, struct.unpack(">H", rec[pos + 1:pos + 3])[0]
        pos += 3
        arrays.append({"type": unit_type, "count": count})
        for _ in range(count):
            length = struct.unpack(">H", rec[pos:pos + 2])[0]
            unit = rec[pos + 2:pos + 2 + length]
            if len(unit) < length:
                raise FormatError("short unit")
            units.append(unit)
            pos += 2 + length
    fields["arrays"] = arrays
    return fields, units


def split_units(payload, length_size):
    pos = 0
    while pos < len(payload):
        if pos + length_size > len(payload):
            raise FormatError("short length field")
        length = int.from_bytes(payload[pos:pos + length_size], "big")
        unit = payload[pos + length_size:pos + length_size + length]
        if len(unit) < length:
            raise FormatError("unit runs past the tag")
        yield unit
        pos += length_size + length


def extract(data, out):
    first, records, frames, length_size = None, 0, [], 4
    for tag_type, ts, body in flv_tags(data):
        if tag_type != 9 or len(body) < 5 or (body[0] & 0x0F) != 12:
            continue
        if body[1] == 0:
            fields, units = parse_hvcc(body[5:])
            first = first or fields
            length_size = fields["length_size_minus_one"] + 1
            records += 1
            for unit in units:
                out.write(START_CODE + unit)
        elif body[1] == 1:
            for unit in split_units(body[5:], length_size):
                out.write(START_CODE + unit)
            frames.append({"ts": ts, "key": (body[0] >> 4) == 1})
    return {"record": first, "records": records, "frames": frames}


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    try:
        with open(sys.argv[2], "wb") as out:
            summary = extract(data, out)
    except FormatError as error:
        print("flv_hevc_extract: %s" % error, file=sys.stderr)
        return 1
    print(json.dumps(summary))
    return 0


if __name__ == "__main__":
    sys.exit(main())
