#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: small valid encodings like
those the AMF and chunk tests build. Run from anywhere; files go to
tests/fuzz/corpus/<target>/ beside this script. Inputs kept from findings
live in the same folders under names starting with "crash-" and are left
alone."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def be(v, n):
    return v.to_bytes(n, "big")


# ------------------------------------------------------------------ AMF0
def num(d):
    return b"\x00" + struct.pack(">d", d)


def boolean(b):
    return b"\x01" + (b"\x01" if b else b"\x00")


def string(s):
    s = s.encode()
    return b"\x02" + be(len(s), 2) + s


def long_string(s):
    s = s.encode()
    return b"\x0c" + be(len(s), 4) + s


def props(pairs):
    out = b""
    for name, value in pairs:
        out += be(len(name), 2) + name.encode() + value
    return out + b"\x00\x00\x09"


def obj(pairs):
    return b"\x03" + props(pairs)


def ecma(pairs):
    return b"\x08" + be(len(pairs), 4) + props(pairs)


def strict(values):
    return b"\x0a" + be(len(values), 4) + b"".join(values)


NULL = b"\x05"
UNDEFINED = b"\x06"


def date(ms, offset):
    return b"\x0b" + struct.pack(">d", ms) + struct.pack(">h", offset)


# ------------------------------------------------------------------ AMF3
def str3(text):
    text = text.encode()
    return bytes([len(text) << 1 | 1]) + text


def traits(sealed, externalizable, dynamic):
    return sealed << 4 | (8 if dynamic else 0) | (4 if externalizable else 0) | 3


DOUBLE_2_5 = struct.pack(">d", 2.5)


def on_status(code):
    return (string("onStatus") + num(0) + NULL +
            obj([("level", string("status")), ("code", string(code)),
                 ("description", string("scripted"))]))


def result(transaction, info):
    return string("_result") + num(transaction) + NULL + info


CONNECT_RESULT = result(1, obj([("level", string("status")),
                                ("code", string("NetConnection.Connect.Success"))]))
METADATA = string("onMetaData") + ecma([
    ("duration", num(60.0)), ("filesize", num(123456.0)), ("stereo", boolean(True)),
    ("encoder", string("Lavf")), ("keyframes", obj([("times", strict([num(0), num(2)]))])),
])

AMF0 = {
    "number": num(1.5),
    "boolean": boolean(True),
    "string": string("connect"),
    "long_string": long_string("a long string"),
    "null_undefined": NULL + UNDEFINED,
    "date": date(1.0e12, -60),
    "object": obj([("app", string("vod")), ("fpad", boolean(False)), ("caps", num(15))]),
    "ecma_array": ecma([("duration", num(60)), ("filesize", num(1000))]),
    "strict_array": strict([num(1), string("x"), NULL]),
    "nested": obj([("a", obj([("b", ecma([("c", strict([obj([])]))]))]))]),
    "reference": obj([("x", b"\x07\x00\x00")]),
    "typed_object": b"\x10" + be(3, 2) + b"Cls" + props([("m", num(1))]),
    "amf3_switch": b"\x11\x0a" + bytes([traits(2, False, True)]) + str3("C") + str3("a") +
                   str3("b") + b"\x04\x05\x06" + str3("xy") + str3("d") + b"\x03\x01",
    "command_result": CONNECT_RESULT,
    "on_status": on_status("NetStream.Play.Start"),
    "metadata": METADATA,
    # An object body as decoded with names: named values up to the end marker.
    "object_body": props([("app", string("vod")), ("tcUrl", string("rtmp://h/vod"))]),
    "unsupported_markers": b"\x0d\x0e\x0f" + num(0),
    "end_marker_resync": obj([("a", b"\x0d"), ("b", num(2))]),
}

AMF3 = {
    "undefined_null_bools": b"\x00\x01\x02\x03",
    "integer": b"\x04\x81\x00",
    "integer_negative": b"\x04\xff\xff\xff\xff",
    "double": b"\x05" + DOUBLE_2_5,
    "string": b"\x06" + str3("abc"),
    "string_ref": b"\x06\x02",
    "xml": b"\x07" + str3("<a/>"),
    "xml_doc": b"\x0b" + str3("<b/>"),
    "date": b"\x08\x01" + DOUBLE_2_5,
    "date_ref": b"\x08\x02",
    "object_ref": b"\x0a\x02",
    "object_empty": b"\x0a\x03\x01",
    "array": b"\x09\x01\x01",
    "sealed_dynamic": b"\x0a" + bytes([traits(2, False, True)]) + str3("C") + str3("a") +
                      str3("b") + b"\x04\x05\x06" + str3("xy") + str3("d") + b"\x03" +
                      str3("e") + b"\x05" + DOUBLE_2_5 + b"\x01",
    "externalizable": b"\x0a" + bytes([traits(0, True, False)]) + str3("E") + b"\x04\x07",
    "sealed_plain": bytes([traits(2, False, False), 0x01]) + str3("a") + str3("b") + b"\x09",
    "traits_ref": b"\x0a\x05\x04\x01",
    "nested": b"\x0a" + bytes([traits(1, False, False)]) + str3("O") + str3("in") + b"\x0a" +
              bytes([traits(0, False, True)]) + str3("") + str3("k") + b"\x03\x01",
    "named_value": str3("name") + b"\x06" + str3("value"),
    "dynamic_end": b"\x01",
}


# ------------------------------------------------------------------ chunks
def basic(fmt, channel):
    if channel < 64:
        return bytes([fmt << 6 | channel])
    if channel < 64 + 256:
        return bytes([fmt << 6, channel - 64])
    return bytes([fmt << 6 | 1, (channel - 64) & 0xFF, (channel - 64) >> 8])


def stamp(ts):
    return be(min(ts, 0xFFFFFF), 3)


def ext(ts):
    return be(ts, 4) if ts >= 0xFFFFFF else b""


def type0(channel, ts, length, mtype, stream_id=0):
    return (basic(0, channel) + stamp(ts) + be(length, 3) + bytes([mtype]) +
            struct.pack("<I", stream_id) + ext(ts))


def type1(channel, delta, length, mtype):
    return basic(1, channel) + stamp(delta) + be(length, 3) + bytes([mtype]) + ext(delta)


def type2(channel, delta):
    return basic(2, channel) + stamp(delta) + ext(delta)


def type3(channel):
    return basic(3, channel)


def message(channel, ts, mtype, body, chunk=128, stream_id=1):
    """A whole message in chunks of `chunk` bytes, type-3 continuations."""
    out = type0(channel, ts, len(body), mtype, stream_id)
    for pos in range(0, max(len(body), 1), chunk):
        if pos:
            out += type3(channel) + ext(ts)
        out += body[pos:pos + chunk]
    return out


def pattern(n, seed):
    return bytes((i * 31 + seed) & 0xFF for i in range(n))


def flv_tag(mtype, ts, data):
    return (bytes([mtype]) + be(len(data), 3) + be(ts & 0xFFFFFF, 3) + bytes([ts >> 24]) +
            b"\x00\x00\x00" + data + be(len(data) + 11, 4))


CHUNK_SIZE_4096 = message(2, 0, 1, be(4096, 4), stream_id=0)

# Interleaved: audio and video chunks of two 300-byte messages alternate.
audio, video = pattern(300, 1), pattern(300, 2)
INTERLEAVED = (type0(4, 0, 300, 8, 1) + audio[:128] + type0(6, 0, 300, 9, 1) + video[:128] +
               type3(4) + audio[128:256] + type3(6) + video[128:256] + type3(4) + audio[256:] +
               type3(6) + video[256:])

# Mode byte: bit 0 sends "connect" first, bit 1 reads through GetNextMediaPacket.
RTMP = {
    "single_chunk": b"\x00" + message(4, 0, 8, pattern(100, 3)),
    "three_chunks": b"\x00" + message(6, 40, 9, pattern(300, 4)),
    "chunk_size_4096": b"\x02" + CHUNK_SIZE_4096 + message(6, 0, 9, pattern(3000, 5), 4096),
    "interleaved": b"\x00" + INTERLEAVED,
    "interleaved_player": b"\x02" + INTERLEAVED,
    # 0xFFFFFF in the header, the value in 4 more bytes, repeated after every
    # type-3 header of the message; then a type-2 delta that needs it too.
    "extended_timestamp": b"\x02" + message(4, 0x01000000, 8, pattern(300, 6)) +
                          type2(4, 0x01000020) + pattern(128, 7) + type3(4) +
                          ext(0x01000020) + pattern(128, 8) + type3(4) + ext(0x01000020) +
                          pattern(44, 9) + type1(4, 40, 10, 8) + pattern(10, 8),
    "header_types": b"\x00" + type0(5, 1000, 8, 9, 1) + pattern(8, 9) + type1(5, 40, 4, 8) +
                    pattern(4, 1) + type2(5, 40) + pattern(4, 2) + type3(5) + pattern(4, 3),
    "long_basic_headers": b"\x00" + message(70, 0, 8, pattern(20, 1)) +
                          message(400, 0, 9, pattern(20, 2)) + message(65599, 0, 8, b"\x01"),
    "ping": b"\x00" + message(2, 0, 4, b"\x00\x06" + be(12345, 4), stream_id=0) +
            message(2, 0, 4, b"\x00\x00" + be(1, 4), stream_id=0) +
            message(2, 0, 4, b"\x00\x1a\x00", stream_id=0),
    "connect_flow": b"\x01" + message(3, 0, 20, CONNECT_RESULT, stream_id=0) +
                    message(3, 0, 20, string("onBWDone") + num(0) + NULL, stream_id=0) +
                    message(3, 0, 20, result(2, num(1.0)), stream_id=0) +
                    message(5, 0, 20, on_status("NetStream.Play.Start")) +
                    message(4, 0, 8, pattern(50, 1)) +
                    message(5, 0, 20, on_status("NetStream.Play.Stop")),
    "connect_flow_player": b"\x03" + message(3, 0, 20, CONNECT_RESULT, stream_id=0) +
                           message(3, 0, 20, result(2, num(1.9)), stream_id=0) +
                           message(3, 0, 20, string("_onbwcheck") + num(0) + NULL,
                                   stream_id=0) +
                           message(4, 0, 8, pattern(50, 1)) +
                           message(5, 0, 20, on_status("NetStream.Play.StreamNotFound")),
    "metadata": b"\x02" + message(5, 0, 18, METADATA),
    "flex_message": b"\x00" + message(3, 0, 17, b"\x00" + on_status("NetStream.Play.Reset")),
    "aggregate": b"\x02" + message(5, 0, 22, flv_tag(18, 0, METADATA) +
                                   flv_tag(8, 10, pattern(20, 1)) +
                                   flv_tag(9, 20, pattern(30, 2))),
    "close_command": b"\x00" + message(3, 0, 20, string("close") + num(0) + NULL, stream_id=0),
    "full_header_restarts": b"\x00" + type0(4, 0, 300, 8, 1) + pattern(128, 1) +
                            message(4, 10, 8, pattern(20, 2)),
}


# ------------------------------------------------------------------ HTTP
def http_answer(status, fields, body=b""):
    head = status + b"\r\n" + b"".join(k + b": " + v + b"\r\n" for k, v in fields)
    return head + b"\r\n" + body


FILLER = [(b"Set-Cookie", b"s%d=" % i + b"c" * 200) for i in range(20)]

# Capacity byte first (what the lookups and the line reader may copy), then
# the server's bytes.
HTTP = {
    "ok": b"\x1e" + http_answer(b"HTTP/1.1 200 OK", [(b"Content-Length", b"10"),
                                                     (b"Content-Type", b"video/x-flv")],
                                b"0123456789"),
    "partial": b"\x64" + http_answer(b"HTTP/1.1 206 Partial Content", [
        (b"Content-Length", b"500"), (b"Content-Range", b"bytes 1000-1499/1500")], b"p" * 500),
    "range_unknown_size": b"\x64" + http_answer(b"HTTP/1.1 206 Partial Content", [
        (b"Content-Length", b"5"), (b"Content-Range", b"bytes 1000-1004/*")], b"abcde"),
    "range_past_kept_part": b"\xff" + http_answer(b"HTTP/1.1 206 Partial Content",
                                                   [(b"Content-Length", b"4")] + FILLER +
                                                   [(b"Content-Range", b"bytes 1000-1003/1004")],
                                                   b"tail"),
    "no_colon_and_prefix": b"\x08HTTP/1.1 200 OK\r\nConn: short\r\nX-No-Colon\r\nX-Empty:\r\n\r\n",
    "not_found": b"\x1e" + http_answer(b"HTTP/1.1 404 Not Found", [(b"Content-Length", b"0")]),
    "redirect": b"\x1e" + http_answer(b"HTTP/1.1 302 Found", [(b"Location", b"/ok/file")]),
    "chunked": b"\x1e" + http_answer(b"HTTP/1.1 200 OK", [(b"Transfer-Encoding", b"chunked")],
                                      b"4\r\nWiki\r\n0\r\n\r\n"),
    "no_blank_line": b"\x1e" + b"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n",
    "status_only": b"\x00" + b"HTTP/1.1\r\n\r\n",
    "huge_numbers": b"\x1e" + http_answer(b"HTTP/1.1 99999999999 OK", [
        (b"Content-Length", b"99999999999"), (b"Content-Range", b"bytes 0-99999999999/1")]),
}


# ------------------------------------------------------------------ capture blocks
def block(fill, fields):
    """A fill byte, then the fields in block order separated by newlines:
    request, Referer, User-Agent, cookie, Host, pattern, text, value, RTMP
    host, application, play path, RTMPT host, application, play path."""
    return bytes([fill]) + b"\n".join(fields)


NO_VALUE = b"\0\0\0\0"
CAPTURE = {
    "http": block(0, [b"GET /v/clip.flv HTTP/1.1", b"Referer: http://page/", b"User-Agent: UA", b"a=1",
                      b"Host: h", b"*.flv", b"", b"\x01\x00\x00\x00"]),
    "http_full": block(0, [b"GET http://cdn/x.mp4 HTTP/1.1", b"", b"", b"", b"Host: ", b"*.mp4"]),
    "rtmp": block(0, [b""] * 7 + [NO_VALUE, b"RTMP://fms", b"vod/", b"clip"]),
    "rtmpt": block(0, [b""] * 7 + [NO_VALUE, b"", b"", b"", b"tunnel:80", b"app", b"mp4:a.mp4"]),
    "special": block(0, [b""] * 7 + [NO_VALUE, b"special.example", b"live?x=1", b"p?y=2"]),
    "unterminated": block(ord("A"), [b"GET", b"", b"", b"", b"Host:", b""]),
}


def frames(*messages):
    """Native messaging frames: a 4-byte little-endian length, then the text."""
    return b"".join(struct.pack("<I", len(m)) + m for m in messages)


HOST = {
    "hello-capture": frames(
        b'{"type":"hello","version":1}',
        b'{"type":"capture","url":"http://127.0.0.1:8080/v/clip.mp4","method":"GET",'
        b'"referer":"http://127.0.0.1:8080/p.html","userAgent":"Mozilla/5.0","cookie":"a=1; b=2",'
        b'"contentType":"video/mp4"}'),
    "untyped": frames(b'{"type":"capture","url":"https://h/stream?id=7","contentType":"video/MPEG; x=1"}'),
    "long-cookie": frames(b'{"type":"capture","url":"http://h/a.flv","cookie":"' +
                          b"; ".join(b"c%d=" % i + b"v" * 40 for i in range(80)) + b'"}'),
    "bad": frames(b'{"type":"capture","url":', b"[1,2", b'{"type":"capture","url":7}') +
           b"\xff\xff\xff\x7f{}",
}


def write(target, seeds):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        if name.startswith("seed-"):
            os.remove(os.path.join(folder, name))
    for name, data in seeds.items():
        with open(os.path.join(folder, "seed-" + name), "wb") as f:
            f.write(data)


write("fuzz_amf0", AMF0)
write("fuzz_amf3", AMF3)
write("fuzz_rtmp_read_packet", RTMP)

# ------------------------------------------------------------------ FLV files
def flv_file(flags, tags):
    return b"FLV\x01" + bytes([flags]) + be(9, 4) + be(0, 4) + b"".join(tags)


KEY = b"\x17\x01\x00\x00\x00" + pattern(40, 1)
INTER = b"\x27\x01\x00\x00\x00" + pattern(20, 2)
SOUND = b"\xaf\x01" + pattern(30, 3)
META_TAG = flv_tag(18, 0, METADATA)
AV_FILE = flv_file(5, [META_TAG, flv_tag(9, 0, KEY), flv_tag(8, 5, SOUND), flv_tag(9, 40, INTER),
                       flv_tag(9, 1000, KEY), flv_tag(8, 1005, SOUND)])
AUDIO_FILE = flv_file(4, [META_TAG, flv_tag(8, 0, SOUND), flv_tag(8, 500, SOUND),
                          flv_tag(8, 1000, SOUND)])


def fuzz_msg(mtype, ts, body):
    return bytes([mtype]) + be(ts, 4) + be(len(body), 2) + body


def flv_case(mode, file_bytes, messages):
    return bytes([mode]) + be(len(file_bytes), 2) + file_bytes + b"".join(messages)


FLV = {
    "fresh_stream": flv_case(0, b"", [fuzz_msg(18, 0, METADATA), fuzz_msg(9, 0, KEY),
                                      fuzz_msg(8, 10, SOUND), fuzz_msg(9, 40, INTER)]),
    "resume_restarted_timeline": flv_case(0, AV_FILE, [
        fuzz_msg(18, 0, METADATA), fuzz_msg(9, 0, KEY), fuzz_msg(8, 5, SOUND),
        fuzz_msg(9, 40, INTER)]),
    "resume_own_timeline": flv_case(0, AV_FILE, [
        fuzz_msg(9, 40, INTER), fuzz_msg(9, 1000, KEY), fuzz_msg(8, 1005, SOUND),
        fuzz_msg(9, 1040, INTER)]),
    "resume_aggregate": flv_case(0, AV_FILE, [fuzz_msg(22, 0, flv_tag(9, 1000, KEY) +
                                                      flv_tag(8, 1005, SOUND) +
                                                      flv_tag(9, 1040, INTER))]),
    "resume_audio_only": flv_case(0, AUDIO_FILE, [fuzz_msg(8, 0, SOUND), fuzz_msg(8, 20, SOUND)]),
    "truncated_tail": flv_case(0, AV_FILE[:-9], [fuzz_msg(9, 0, KEY), fuzz_msg(9, 40, INTER)]),
    "tunnelled_end": flv_case(1, AV_FILE, [fuzz_msg(9, 0, KEY), fuzz_msg(9, 40, INTER),
                                           fuzz_msg(255, 0, b"")]),
    "aggregate_without_trailer": flv_case(2, b"", [fuzz_msg(22, 0, flv_tag(9, 0, KEY)[:-4])]),
    "flags_zero": flv_case(0, flv_file(0, [flv_tag(9, 0, KEY)]), []),
}


# ------------------------------------------------------------------ Task.dat
VALUE_NAMES = ["TaskIndex", "DownStatus", "FileName", "TempFile", "URL", "Referer", "UserAgent",
               "CreateTime", "FinishTime", "FileBytes", "DownBytes", "Progress", "Width",
               "Height", "Duration", "SaveDir", "SortIndex", "RTMPHost", "RTMPApp",
               "RTMPPlayPath", "RTMPTHost", "RTMPTApp", "RTMPTPlayPath"]


def task(values):
    return b"".join(b"<" + n.encode() + b">" + v + b"</" + n.encode() + b">"
                    for n, v in zip(VALUE_NAMES, values))


def task_list(tasks):
    body = b"".join(b"<Task-%d>" % i + t + b"</Task-%d>" % i for i, t in enumerate(tasks))
    return b'<?xml version="1.0" encoding="UTF-8" ?><Tasks>' + body + b"</Tasks>"


HTTP_TASK = task([b"7", b"2", b"clip.flv", b"{1_clip.flv}.TMP!", b" http://h/v/clip.flv ",
                  b"http://h/", b"", b"2009-12-08 20:30:00", b"", b"1000", b"500", b"50.00",
                  b"320", b"240", b"00:01:00", b"/home/u/Videos/", b"3", b"", b"", b"", b"",
                  b"", b""])
RTMP_TASK = task([b"3", b"4", b"stream.flv", b"{2_stream.flv}.TMP!", b"rtmp://h/vod/stream",
                  b"", b"", b"", b"", b"0", b"0", b"", b"0", b"0", b"", b"/tmp/\xe9t\xe9/",
                  b"9", b"h", b"vod", b"stream", b"", b"", b""])

TASKS = {
    "empty": b"\x00" + task_list([]),
    "two_tasks": b"\x01" + task_list([HTTP_TASK, RTMP_TASK]),
    "short_task": b"\x00" + task_list([HTTP_TASK, task([b"1", b"4", b"a"])]),
    "other_root": b"\x00" + b"<?xml version=\"1.0\"?><Other><T>" + HTTP_TASK + b"</T></Other>",
    "damaged": b"\x00" + task_list([HTTP_TASK])[:-12],
    "entities_cdata": b"\x01" + task_list([task([b"1", b"6", b"a&amp;b<![CDATA[<c>]]>"] +
                                                [b"&#x41;"] * 20)]),
}

write("fuzz_flv_inspect", FLV)
write("fuzz_task_list_file", TASKS)
write("fuzz_http_header", HTTP)
write("fuzz_capture_block", CAPTURE)
write("fuzz_browser_host_message", HOST)
