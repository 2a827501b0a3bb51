#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora.

  fuzz/corpus/channel_file/   engine channel files: one record of each
                              channel kind, a scene of several records,
                              and truncated and damaged variants; the
                              scene also as format version 1 (no
                              checksums)
  fuzz/corpus/scene_json/     the scenes of examples/ (and the channel files
                              there, into channel_file/), with truncated
                              and damaged variants
  fuzz/regressions/channel_file/
                              inputs of faults found, kept for good (inputs
                              a fuzzer found are copied there by hand; the
                              ones written here are rewritten, the others
                              left alone)

The files are written from the file format itself (see hostapi/zyr_file.h),
not by the code under test, so that a fault in the saver cannot hide in the
seeds. Output is deterministic; run it again after changing it or the
examples, and commit the result:

  python3 fuzz/make_corpus.py
"""

import json
import pathlib
import struct
import uuid
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"

FLOAT = "BE69CCC4-CFC1-4362-AC81-767D199BBFC3"
VECTOR = "9D045960-EAC2-4C40-9BBF-10F32F7FA305"
COREREF = "34B011DC-643D-4244-A707-71FB7AE9F1AB"
PRCCALL = "C7653FCA-6B0C-44FA-936F-EA1952B129F0"


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def f32(v):
    return struct.pack("<f", v)


def guid(text):
    return uuid.UUID(text).bytes_le  # Data1..3 little-endian, then Data4


def entry(tag, data):
    if isinstance(data, str):
        data = data.encode("latin-1")
    return tag.encode() + u32(len(data)) + data


def record(type_text, entries, size=None):
    """A version-2 record: type, body size, CRC-32 of the two and the body, body."""
    body = b"".join(entries)
    head = guid(type_text) + u32(len(body) if size is None else size)
    return head + u32(zlib.crc32(head + body)) + body


def channel_file(*records):
    return b"ZYRF" + u32(2) + b"".join(records)


def reseal(file):
    """`file` (version 2) with its first record's checksum made good again."""
    file = bytearray(file)
    size = struct.unpack_from("<I", file, 8 + 16)[0]
    file[8 + 20:8 + 24] = u32(zlib.crc32(file[8:8 + 20] + file[8 + 24:8 + 24 + size]))
    return bytes(file)


def version_1(*records):
    """The same records in a version-1 file: no checksums."""
    return b"ZYRF" + u32(1) + b"".join(r[:20] + r[24:] for r in records)


def engine_part(cid, name="", group="", children=()):
    return [entry("ZCID", u32(cid)), entry("ZCNM", name), entry("ZCGR", group),
            entry("ZCLK", b"".join(u32(c) for c in children))]


def call_part(owner, name, static, params, mode=0, auto_name=1, count=None):
    """params: (type, mode, name) triples."""
    out = [entry("MODE", u32(mode)), entry("UACN", bytes([auto_name])),
           entry("OWNC", owner), entry("PRCN", name), entry("STTC", u32(static)),
           entry("PRMS", u32(len(params) if count is None else count))]
    for ptype, pmode, pname in params:
        out += [entry("TYPE", u32(ptype)), entry("MODE", u32(pmode)), entry("NAME", pname)]
    return out


SUM = [(0, 1, "a"), (0, 1, "b"), (0, 2, "sum")]
MOVE = [(1, 3, "pos"), (0, 1, "speed")]


def channel_seeds():
    seeds = {}
    value = record(FLOAT, engine_part(1, "speed") + [entry("FVAL", f32(1.5))])
    vector = record(VECTOR, engine_part(2, "pos") + [entry("VVAL", f32(1) + f32(2) + f32(3))])
    ref = record(COREREF, engine_part(3, "target") + [entry("OREF", u32(1))])
    unbound = record(PRCCALL, engine_part(4, "VanticPrcCall_Call") + call_part("", "", 1, []))
    call_sum = record(PRCCALL, engine_part(5, "Fuzz :: Sum", "G", (1, 1, 0))
                      + call_part("Fuzz", "Sum", 1, SUM))
    call_move = record(PRCCALL, engine_part(6, "Fuzz :: Move", "", (3, 2, 1))
                       + call_part("Fuzz", "Move", 0, MOVE))
    call_throw = record(PRCCALL, engine_part(7, "Fuzz :: Throw") + call_part("Fuzz", "Throw", 1, []))
    seeds["value"] = channel_file(value)
    seeds["vector"] = channel_file(vector)
    seeds["coreref"] = channel_file(ref)
    seeds["call_unbound"] = channel_file(unbound)
    seeds["call_sum"] = channel_file(call_sum)
    seeds["call_move"] = channel_file(call_move)
    seeds["call_throw"] = channel_file(call_throw)
    scene = channel_file(value, vector, ref, call_sum, call_move, unbound)
    seeds["scene"] = scene
    seeds["scene_v1"] = version_1(value, vector, ref, call_sum, call_move, unbound)

    # User text the engine must treat as text.
    seeds["call_format_text"] = channel_file(record(PRCCALL, engine_part(8, "%n%s\\", "%s%n")
                                                    + call_part("%n%s\\", "%s%n\\", 1,
                                                                [(0, 1, "%n"), (1, 3, "%s\\")])))
    seeds["call_long_names"] = channel_file(record(PRCCALL, engine_part(9, "x" * 300)
                                                   + call_part("O" * 256, "P" * 255, 0,
                                                               [(0, 1, "n" * 255), (0, 2, "m" * 256)])))
    # Damage the loaders must refuse or survive.
    seeds["call_count_ffffffff"] = channel_file(record(PRCCALL, engine_part(10)
                                                       + call_part("Fuzz", "Sum", 1, SUM,
                                                                   count=0xFFFFFFFF)))
    seeds["call_bad_type_mode"] = channel_file(record(PRCCALL, engine_part(11)
                                                      + call_part("Fuzz", "Sum", 1,
                                                                  [(2, 1, "t"), (0, 7, "m"),
                                                                   (0xFFFFFFFF, 0x10001, "w")])))
    seeds["call_missing_tags"] = channel_file(record(PRCCALL, engine_part(12) + [
        entry("MODE", u32(0)), entry("OWNC", "Fuzz"), entry("PRMS", u32(3)),
        entry("TYPE", u32(0)), entry("NAME", "a"), entry("MODE", u32(2)), entry("NAME", "b")]))
    seeds["call_repeated_unknown_tags"] = channel_file(record(PRCCALL, engine_part(13) + [
        entry("MODE", u32(0)), entry("MODE", u32(1)), entry("UACN", b"\x01"),
        entry("XXXX", "?"), entry("OWNC", "Fuzz"), entry("OWNC", "Again"),
        entry("PRCN", "Sum"), entry("STTC", u32(1)), entry("PRMS", u32(1)),
        entry("TYPE", b"\x00"), entry("MODE", u32(1)), entry("NAME", "a")]))
    sized = bytearray(channel_file(call_sum))
    sized[8 + 24 + 4:8 + 24 + 8] = u32(0x7FFFFFFF)  # first entry's block size
    seeds["entry_size_beyond_record"] = reseal(sized)
    flipped = bytearray(channel_file(call_sum))
    flipped[-1] ^= 0x20  # the last parameter's name: "sum" -> "suM"
    seeds["checksum_failed"] = bytes(flipped)
    seeds["record_size_beyond_file"] = channel_file(record(FLOAT, engine_part(14), size=1 << 30))
    seeds["unknown_type"] = channel_file(record("00000001-0000-0000-0000-000000000000",
                                                engine_part(15) + call_part("Fuzz", "Sum", 1, SUM)))
    for cut in (7, 8, 31, 32, 44, len(scene) // 3, len(scene) // 2, len(scene) - 1):
        seeds["scene_cut_%d" % cut] = scene[:cut]
    return seeds


def regression_seeds():
    """Faults found outside the fuzzer, as inputs the fuzzer replays."""
    seeds = {}
    # Names longer than a saved engine part may hold (65536 bytes): the
    # engine saved them whole and then refused the record on load.
    seeds["long_channel_name"] = channel_file(record(FLOAT, engine_part(1, "n" * 70000, "g" * 70000)
                                                     + [entry("FVAL", f32(2.0))]))
    seeds["long_call_names"] = channel_file(record(PRCCALL, engine_part(2)
                                                   + call_part("O" * 40000, "P" * 40000, 1,
                                                               [(0, 1, "x")])))
    return seeds


def scene_seeds():
    """The example scenes, and damaged copies of the first few."""
    seeds = {}
    examples = sorted((ROOT / "examples").glob("**/*.json"))
    for path in examples:
        text = path.read_bytes()
        stem = path.stem
        seeds[stem] = text
        seeds[stem + "_cut_half"] = text[: len(text) // 2]
        seeds[stem + "_cut_last"] = text[:-1]
        try:
            doc = json.loads(text)
        except ValueError:
            continue
        seeds[stem + "_texts"] = json.dumps(walk(doc, damage_text)).encode()
        seeds[stem + "_numbers"] = json.dumps(walk(doc, damage_number)).encode()
    return seeds


def walk(node, leaf):
    """`node` with every value that is neither object nor array replaced by leaf(value)."""
    if isinstance(node, dict):
        return {k: walk(v, leaf) for k, v in node.items()}
    if isinstance(node, list):
        return [walk(v, leaf) for v in node]
    return leaf(node)


def damage_text(value):
    """A text gets "%n%s\\" and grows past 256 characters."""
    return (value + "%n%s\\").ljust(257, "x") if isinstance(value, str) else value


def damage_number(value):
    """A number becomes huge, negative or fractional; a flag flips."""
    if isinstance(value, bool):
        return not value
    if isinstance(value, int):
        return -value if value else 4294967296
    if isinstance(value, float):
        return value * 1e300
    return value


def write(folder, seeds, clear=True):
    """Writes the seeds into folder; inputs kept from fuzzing campaigns ("kept-*") stay."""
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        if clear and old.is_file() and not old.name.startswith("kept-"):
            old.unlink()
    for name, data in seeds.items():
        (folder / name).write_bytes(data)


def main():
    channel = channel_seeds()
    for path in sorted((ROOT / "examples").glob("**/*.zyr")):
        channel["example_" + path.stem] = path.read_bytes()
    write(CORPUS / "channel_file", channel)
    write(CORPUS / "scene_json", scene_seeds())
    write(ROOT / "fuzz" / "regressions" / "channel_file", regression_seeds(), clear=False)
    for folder in (CORPUS, ROOT / "fuzz" / "regressions"):
        files = [p for p in folder.rglob("*") if p.is_file() and p.name != "README.md"]
        print("%s: %d files, %d bytes" % (folder.relative_to(ROOT), len(files),
                                          sum(p.stat().st_size for p in files)))


if __name__ == "__main__":
    main()
