#!/usr/bin/env python3
"""Writes the scale benchmark's scene of N channels (default 10,000).

Chains of 16 Math::Add calls: each chain has an animated input, and each
call adds the result of the call before it (the input, for the first) to
the input and writes its own result channel, so a chain is 33 channels and
about half of all channels are calls. Every 97th chain (from the sixth)
calls a missing procedure, Math::Missing, at its eighth call. Chains are
grouped 32 to a group ("bank N"); channels left over are plain values.
Three channels are watched: the first chain's first call and last result,
and the first missing call.

    bench/scale_scene.py 100000 > /tmp/scale.json
"""
import sys

CALLS_PER_CHAIN = 16
CHAIN = 1 + 2 * CALLS_PER_CHAIN
CHAINS_PER_GROUP = 32
WATCHED = {"k0.c0", "k0.r15", "k5.c7"}


def failing(chain):
    return chain % 97 == 5


def channels(n):
    """Yields (id, JSON text) of each channel of an n-channel scene."""
    def watch(cid):
        return "" if cid in WATCHED else ', "watch": false'

    for k in range(n // CHAIN):
        source = "k%d.in" % k
        yield source, '{"id": "%s", "type": "value", "value": %d, "animate": {"step": 1}, "watch": false}' % (
            source, k % 100)
        for j in range(CALLS_PER_CHAIN):
            call, result = "k%d.c%d" % (k, j), "k%d.r%d" % (k, j)
            yield result, '{"id": "%s", "type": "value"%s}' % (result, watch(result))
            procedure = "Add"
            params = ""
            if j == 7 and failing(k):
                procedure = "Missing"
                params = (', "params": [{"name": "a"}, {"name": "b"}, '
                          '{"name": "result", "mode": "out"}]')
            yield call, ('{"id": "%s", "type": "call", "owner": "Math", "procedure": "%s"%s, '
                         '"links": {"a": "%s", "b": "k%d.in", "result": "%s"}%s}' % (
                             call, procedure, params, source, k, result, watch(call)))
            source = result
    for i in range(n - n // CHAIN * CHAIN):
        yield "pad%d" % i, '{"id": "pad%d", "type": "value", "value": %d, "watch": false}' % (i, i)


def write_scene(n, out, frames=3):
    out.write('{"name": "scale %d", "frames": %d, "channels": [\n' % (n, frames))
    first = True
    for _, text in channels(n):
        out.write(text if first else ",\n" + text)
        first = False
    out.write('\n], "groups": [')
    chains = n // CHAIN
    for g in range((chains + CHAINS_PER_GROUP - 1) // CHAINS_PER_GROUP):
        ids = []
        for k in range(g * CHAINS_PER_GROUP, min(chains, (g + 1) * CHAINS_PER_GROUP)):
            ids.append('"k%d.in"' % k)
            for j in range(CALLS_PER_CHAIN):
                ids.append('"k%d.c%d", "k%d.r%d"' % (k, j, k, j))
        out.write(('' if g == 0 else ',') + '\n{"name": "bank %d", "channels": [%s]}' % (g, ", ".join(ids)))
    out.write('\n]}\n')


def counts(n):
    """(calls, missing calls) of an n-channel scene."""
    chains = n // CHAIN
    return chains * CALLS_PER_CHAIN, sum(1 for k in range(chains) if failing(k))


if __name__ == "__main__":
    write_scene(int(sys.argv[1]) if len(sys.argv) > 1 else 10_000, sys.stdout)
