#!/usr/bin/env python3
"""Writes a dravik scene of N channels (default 1,000,000) on stdout.

1,024 animated value inputs, and N - 1,024 procedure-call channels bound to
Math::Add, each reading two inputs of the pool; the first call is watched.
Used to measure `dravik run` on a large scene (examples/README.md, Limits):

    bench/make_big_scene.py 1000000 > /tmp/big.json
    /usr/bin/time -v build/dev/bin/dravik run /tmp/big.json -f csv -q
"""
import sys

def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    pool = min(1024, n)
    out = sys.stdout
    out.write('{"name": "big", "frames": 3, "channels": [\n')
    items = []
    for i in range(pool):
        items.append('{"id": "v%d", "type": "value", "value": %d, "animate": {"step": 1}, "watch": false}' % (i, i))
    for i in range(n - pool):
        a, b = i % pool, (i * 7 + 1) % pool
        items.append('{"id": "c%d", "type": "call", "owner": "Math", "procedure": "Add", '
                     '"links": {"a": "v%d", "b": "v%d"}%s}' % (i, a, b, "" if i == 0 else ', "watch": false'))
    out.write(",\n".join(items))
    out.write("\n]}\n")

if __name__ == "__main__":
    main()
