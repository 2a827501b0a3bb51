#!/usr/bin/env python3
"""Writes a dravik scene of about N channels (default 10,000) on stdout.

Chains of 16 Math::Add calls: each chain starts at an animated value, and
every call adds a constant to the value before it and writes the sum into
the chain's next value, so that about half the channels are calls. Every
50th chain calls Math::Missing, a procedure no frame registers (its
parameters given in the scene). Only the first call is watched. Used to
measure the runner's own cost of reading, building, running and saving:

    bench/gen_chain_scene.py 100000 > /tmp/chain.json
    /usr/bin/time -v build/dev/bin/dravik run /tmp/chain.json -f csv -q
"""
import sys

CHAIN = 16
PARAMS = ('[{"name": "a", "type": "float", "mode": "in"}, {"name": "b", "type": "float", "mode": "in"}, '
          '{"name": "result", "type": "float", "mode": "out"}]')


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 10_000
    per_chain = 2 * CHAIN + 2  # values v0..v16, the constant, 16 calls
    chains = max(1, n // per_chain)
    items = []
    for c in range(chains):
        items.append('{"id": "k%d", "type": "value", "value": %d, "watch": false}' % (c, c % 7 + 1))
        items.append('{"id": "v%d_0", "type": "value", "value": %d, "animate": {"step": 1}, "watch": false}'
                     % (c, c))
        missing = c % 50 == 49
        for k in range(1, CHAIN + 1):
            items.append('{"id": "v%d_%d", "type": "value", "value": 0, "watch": false}' % (c, k))
            extra = ', "params": %s' % PARAMS if missing else ''
            watch = '' if c == 0 and k == 1 else ', "watch": false'
            items.append('{"id": "c%d_%d", "type": "call", "owner": "Math", "procedure": "%s", '
                         '"links": {"a": "v%d_%d", "b": "k%d", "result": "v%d_%d"}%s%s}'
                         % (c, k, "Missing" if missing else "Add", c, k - 1, c, c, k, extra, watch))
    out = sys.stdout
    out.write('{"name": "chains", "frames": 3, "channels": [\n')
    out.write(",\n".join(items))
    out.write("\n]}\n")


if __name__ == "__main__":
    main()
