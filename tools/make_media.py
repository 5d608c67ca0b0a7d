#!/usr/bin/python3
"""Makes a media file set for the simulated camera with Debian's ffmpeg.

A set of prefix P is three files: P (the frame records, each the marker FC FC FC FC followed by one
video access unit in Annex B form or one audio frame), P.index (one line per record,
"media=M,offset=O,len=L,timestamp=T,key=K", no line break after the last) and P.meta (key=value lines).

Without --output only the picture is made. The video is re-encoded from --input (any file ffmpeg reads) or, by default, from ffmpeg's testsrc
pattern; the audio from the input's first audio stream or a sine tone. The encoder's buffer model caps
every frame so that each record fits the camera's 131072-byte frame buffer; a set that still does not
fit is refused. With --picture a JPEG of at most 65536 bytes is written as well.

After writing, the set is checked with the camera's own reader, the media_check program: given with
--checker, or $OV_MEDIA_CHECK, or the newest build/*/sample/ipc_operation/media_check of this tree.
Without one the set is written unchecked and a note says so.

Exit status: 0 written (and checked), 1 refused or failed, 2 bad arguments.
"""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile

RECORD_MAX_LEN = 131072
MARKER = b"\xfc\xfc\xfc\xfc"
PICTURE_MAX_LEN = 65536
G711_FRAME_MS = 40
G711_SAMPLE_RATE = 8000
AAC_SAMPLE_RATE = 16000
AAC_SAMPLES_PER_FRAME = 1024
START_CODE = b"\x00\x00\x00\x01"
# Headroom in a record for parameter sets added in front of a key frame.
PARAMETER_SET_ROOM = 1024

MEDIA_VIDEO = 0
MEDIA_AUDIO = 1


class Refusal(Exception):
    """A set that cannot be made as asked; the message says why."""


class Codec:
    """How one video codec's NAL units are classified (ITU-T H.264 7.4.1.2.3, H.265 7.4.2.4.4)."""

    def __init__(self, name, encoder, es_format, header_len, type_of, vcl, first_slice, key, parameter_sets,
                 dropped, au_starters):
        self.name = name
        self.encoder = encoder
        self.es_format = es_format
        self.header_len = header_len
        self.type_of = type_of
        self.vcl = vcl
        self.first_slice = first_slice
        self.key = key
        self.parameter_sets = parameter_sets
        self.dropped = dropped
        self.au_starters = au_starters


CODECS = {
    "h264": Codec("h264", "libx264", "h264", 1, lambda nal: nal[0] & 0x1F, {1, 5},
                  lambda nal: len(nal) > 1 and nal[1] & 0x80 != 0, {5}, (7, 8), {6, 9},
                  {6, 7, 8, 9, 14, 15, 16, 17, 18}),
    "h265": Codec("h265", "libx265", "hevc", 2, lambda nal: (nal[0] >> 1) & 0x3F, set(range(32)),
                  lambda nal: len(nal) > 2 and nal[2] & 0x80 != 0, set(range(16, 24)), (32, 33, 34),
                  {35, 39, 40}, {32, 33, 34, 35, 39, 41, 42, 43, 44} | set(range(48, 56))),
}

AUDIO = {
    "aac": {"encoder": ["-c:a", "aac", "-b:a", "32k", "-ar", str(AAC_SAMPLE_RATE), "-ac", "1", "-f", "adts"],
            "sample_rate": AAC_SAMPLE_RATE},
    "g711a": {"encoder": ["-c:a", "pcm_alaw", "-ar", str(G711_SAMPLE_RATE), "-ac", "1", "-f", "alaw"],
              "sample_rate": G711_SAMPLE_RATE},
}

# ISO/IEC 14496-3 1.6.3.4 sampling frequency index.
ADTS_SAMPLE_RATES = [96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350]


def run(command):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        raise Refusal("%s failed: %s" % (command[0], result.stderr.strip()[-2000:]))
    return result.stdout


def has_audio(path):
    out = run(["ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "stream=index", "-of", "csv=p=0",
               path])
    return out.strip() != ""


def video_source(args):
    width, height = args.size
    if args.input:
        return ["-i", args.input], ["-vf", "scale=%d:%d,fps=%d" % (width, height, args.fps)]
    pattern = "testsrc=size=%dx%d:rate=%d:duration=%d" % (width, height, args.fps, args.duration)
    return ["-f", "lavfi", "-i", pattern], []


def video_encoder_options(args, codec):
    gop = max(1, round(args.fps * args.keyint))
    bitrate = args.bitrate
    # The buffer model bounds any single frame by the buffer size; keep that below one record.
    buffer_kbit = min(2 * bitrate, (RECORD_MAX_LEN - len(MARKER) - PARAMETER_SET_ROOM) * 8 // 1000 * 3 // 4)
    common = ["-pix_fmt", "yuv420p", "-c:v", codec.encoder, "-preset", "veryfast", "-b:v", "%dk" % bitrate]
    if codec.name == "h264":
        params = "keyint=%d:min-keyint=%d:scenecut=0:bframes=0" % (gop, gop)
        return common + ["-maxrate", "%dk" % bitrate, "-bufsize", "%dk" % buffer_kbit, "-x264-params", params]
    params = ("keyint=%d:min-keyint=%d:scenecut=0:bframes=0:open-gop=0:info=0:log-level=error:"
              "vbv-maxrate=%d:vbv-bufsize=%d" % (gop, gop, bitrate, buffer_kbit))
    return common + ["-x265-params", params]


def encode_video(args, codec, out_path):
    source, filters = video_source(args)
    command = (["ffmpeg", "-hide_banner", "-loglevel", "error", "-y"] + source + ["-t", str(args.duration), "-an"] +
               filters + video_encoder_options(args, codec) + ["-f", codec.es_format, out_path])
    run(command)


def encode_audio(args, out_path):
    audio = AUDIO[args.audio]
    if args.input and has_audio(args.input):
        source = ["-i", args.input, "-vn"]
    else:
        source = ["-f", "lavfi", "-i", "sine=frequency=440:sample_rate=%d:duration=%d" % (audio["sample_rate"],
                                                                                          args.duration)]
    run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y"] + source + ["-t", str(args.duration)] +
        audio["encoder"] + [out_path])


def split_nal_units(stream):
    """NAL unit payloads of an Annex B byte stream, without their start codes."""
    starts = []
    pos = stream.find(b"\x00\x00\x01")
    while pos >= 0:
        starts.append(pos + 3)
        pos = stream.find(b"\x00\x00\x01", pos + 3)
    units = []
    for i, start in enumerate(starts):
        end = starts[i + 1] - 3 if i + 1 < len(starts) else len(stream)
        unit = stream[start:end]
        # A four-byte start code leaves its leading zero on the unit before; trailing zeros are padding.
        unit = unit.rstrip(b"\x00")
        if unit:
            units.append(unit)
    return units


def group_access_units(units, codec):
    """Lists of NAL units, one list per picture (H.264 7.4.1.2.3, H.265 7.4.2.4.4)."""
    access_units = []
    current = []
    has_vcl = False
    for unit in units:
        if len(unit) < codec.header_len:
            continue
        kind = codec.type_of(unit)
        starts_new = kind in codec.au_starters or (kind in codec.vcl and codec.first_slice(unit))
        if has_vcl and starts_new:
            access_units.append(current)
            current, has_vcl = [], False
        current.append(unit)
        has_vcl = has_vcl or kind in codec.vcl
    if has_vcl:
        access_units.append(current)
    return access_units


def build_video_frames(stream, codec, fps):
    """(timestamp_ms, key, bytes) per picture; key frames always carry the parameter sets."""
    frames = []
    latest_sets = {}
    for number, units in enumerate(group_access_units(split_nal_units(stream), codec)):
        kinds = [codec.type_of(unit) for unit in units]
        for unit, kind in zip(units, kinds):
            if kind in codec.parameter_sets:
                latest_sets[kind] = unit
        key = any(kind in codec.key for kind in kinds)
        kept = [unit for unit, kind in zip(units, kinds) if kind not in codec.dropped]
        if key:
            missing = [latest_sets[kind] for kind in codec.parameter_sets if kind not in kinds and kind in latest_sets]
            kept = missing + kept
        frames.append((round(number * 1000 / fps), key, b"".join(START_CODE + unit for unit in kept)))
    return frames


def build_aac_frames(data):
    frames = []
    pos = 0
    number = 0
    while pos + 7 <= len(data):
        if data[pos] != 0xFF or data[pos + 1] & 0xF0 != 0xF0:
            raise Refusal("the AAC encoder's output lost ADTS sync at byte %d" % pos)
        length = ((data[pos + 3] & 0x03) << 11) | (data[pos + 4] << 3) | (data[pos + 5] >> 5)
        rate = ADTS_SAMPLE_RATES[(data[pos + 2] >> 2) & 0x0F]
        if length < 7 or pos + length > len(data):
            raise Refusal("the AAC encoder's output has a cut frame at byte %d" % pos)
        frames.append((round(number * AAC_SAMPLES_PER_FRAME * 1000 / rate), False, data[pos:pos + length]))
        pos += length
        number += 1
    return frames


def build_g711_frames(data):
    size = G711_SAMPLE_RATE * G711_FRAME_MS // 1000
    return [(n * G711_FRAME_MS, False, data[pos:pos + size]) for n, pos in enumerate(range(0, len(data), size))]


def interleave(video, audio, end_ms):
    """Records in play order: by time stamp, video first on a tie; audio past the video's end is cut."""
    records = [(ts, MEDIA_VIDEO, key, data) for ts, key, data in video]
    records += [(ts, MEDIA_AUDIO, key, data) for ts, key, data in audio if ts < end_ms]
    records.sort(key=lambda record: (record[0], record[1]))
    return records


def check_record_sizes(records):
    for number, (ts, media, _, data) in enumerate(records):
        if len(MARKER) + len(data) > RECORD_MAX_LEN:
            kind = "video" if media == MEDIA_VIDEO else "audio"
            raise Refusal("%s frame %d at %d ms is %d bytes; a record holds at most %d bytes of frame: "
                          "lower --bitrate or --size" % (kind, number, ts, len(data), RECORD_MAX_LEN - len(MARKER)))


def write_set(prefix, records, meta_lines):
    index_lines = []
    offset = 0
    with open(prefix + ".part", "wb") as stream:
        for ts, media, key, data in records:
            stream.write(MARKER + data)
            length = len(MARKER) + len(data)
            index_lines.append("media=%d,offset=%d,len=%d,timestamp=%d,key=%d" % (media, offset, length, ts,
                                                                                   1 if key else 0))
            offset += length
    with open(prefix + ".index.part", "w") as index:
        index.write("\n".join(index_lines))
    with open(prefix + ".meta.part", "w") as meta:
        meta.write("\n".join(meta_lines) + "\n")
    for name in (prefix, prefix + ".index", prefix + ".meta"):
        os.replace(name + ".part", name)


def meta_for(args, video_frames):
    duration = round(len(video_frames) / args.fps)
    return [
        "video.format=%s" % args.codec,
        "video.fps=%d" % args.fps,
        "audio.format=%s" % args.audio,
        "audio.sample_rate=%d" % AUDIO[args.audio]["sample_rate"],
        "audio.bits_per_sample=16",
        "audio.channel=1",
        "duration=%d" % duration,
    ]


def make_picture(args, path):
    width, height = args.size
    source = ["-i", args.input] if args.input else ["-f", "lavfi", "-i", "testsrc=size=%dx%d:rate=1" % (width, height)]
    for quality in (4, 8, 16, 31):
        run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y"] + source +
            ["-frames:v", "1", "-vf", "scale=%d:%d" % (width, height), "-q:v", str(quality), path])
        if os.path.getsize(path) <= PICTURE_MAX_LEN:
            return
    os.remove(path)
    raise Refusal("the picture stays above %d bytes even at the lowest quality: lower --size" % PICTURE_MAX_LEN)


def find_checker(args):
    if args.checker:
        return args.checker
    if os.environ.get("OV_MEDIA_CHECK"):
        return os.environ["OV_MEDIA_CHECK"]
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    found = glob.glob(os.path.join(root, "build", "*", "sample", "ipc_operation", "media_check"))
    return max(found, key=os.path.getmtime) if found else None


def validate(args):
    checker = find_checker(args)
    if not checker:
        print("make_media: media_check not found (build the media_check target); %s not checked" % args.output)
        return
    command = [checker, args.output] + (["--picture", args.picture] if args.picture else [])
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    sys.stdout.write(result.stdout)
    if result.returncode != 0:
        raise Refusal("the camera's reader rejects the set written to %s" % args.output)


def make_media(args):
    if not args.output:
        make_picture(args, args.picture)
        return
    codec = CODECS[args.codec]
    work = tempfile.mkdtemp(prefix="make_media-")
    try:
        video_path = os.path.join(work, "video.es")
        audio_path = os.path.join(work, "audio.es")
        encode_video(args, codec, video_path)
        encode_audio(args, audio_path)
        with open(video_path, "rb") as video_file:
            video = build_video_frames(video_file.read(), codec, args.fps)
        if not video or not video[0][1]:
            raise Refusal("the encoder produced no pictures or did not start with a key frame")
        with open(audio_path, "rb") as audio_file:
            data = audio_file.read()
        audio = build_aac_frames(data) if args.audio == "aac" else build_g711_frames(data)
        records = interleave(video, audio, round(len(video) * 1000 / args.fps))
        check_record_sizes(records)
        directory = os.path.dirname(os.path.abspath(args.output))
        os.makedirs(directory, exist_ok=True)
        write_set(args.output, records, meta_for(args, video))
        if args.picture:
            make_picture(args, args.picture)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if not args.no_check:
        validate(args)


def describe(args):
    written = [args.output, args.output + ".index", args.output + ".meta"] if args.output else []
    return ", ".join(written + ([args.picture] if args.picture else []))


def parse_size(text):
    try:
        width, height = (int(part) for part in text.lower().split("x"))
    except ValueError:
        raise argparse.ArgumentTypeError("size is WIDTHxHEIGHT, for example 768x432")
    if width < 16 or height < 16 or width % 2 or height % 2:
        raise argparse.ArgumentTypeError("width and height must be even and at least 16")
    return width, height


def positive_int(text):
    value = int(text)
    if value <= 0:
        raise argparse.ArgumentTypeError("must be a positive whole number")
    return value


def positive_float(text):
    value = float(text)
    if value <= 0:
        raise argparse.ArgumentTypeError("must be positive")
    return value


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description="Make a media file set for the simulated camera.")
    parser.add_argument("--input", help="video file to re-encode (default: testsrc pattern and a sine tone)")
    parser.add_argument("--output", help="output prefix P: writes P, P.index and P.meta")
    parser.add_argument("--codec", choices=sorted(CODECS), default="h265")
    parser.add_argument("--audio", choices=sorted(AUDIO), default="aac")
    parser.add_argument("--size", type=parse_size, default=(768, 432), help="WIDTHxHEIGHT (default 768x432)")
    parser.add_argument("--fps", type=positive_int, default=15)
    parser.add_argument("--duration", type=positive_int, default=10, help="whole seconds (default 10)")
    parser.add_argument("--keyint", type=positive_float, default=2.0, help="seconds between key frames")
    parser.add_argument("--bitrate", type=positive_int, help="video kbit/s (default from the size)")
    parser.add_argument("--picture", help="also write a JPEG picture to this file")
    parser.add_argument("--checker", help="media_check program that validates the set")
    parser.add_argument("--no-check", action="store_true", help="do not validate the set")
    args = parser.parse_args(argv)
    if not args.output and not args.picture:
        parser.error("give --output, --picture or both")
    if args.bitrate is None:
        width, height = args.size
        args.bitrate = max(100, width * height * args.fps // 10000)
    if args.input and not os.path.isfile(args.input):
        parser.error("input file %s does not exist" % args.input)
    return args


def main(argv):
    args = parse_arguments(argv)
    try:
        make_media(args)
    except Refusal as refusal:
        print("make_media: %s" % refusal, file=sys.stderr)
        return 1
    except OSError as error:
        print("make_media: %s" % error, file=sys.stderr)
        return 1
    print("make_media: wrote %s" % describe(args))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
