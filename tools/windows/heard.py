#!/usr/bin/env python3
"""What a recording of the sound server's sink holds, for the Windows scripts that play
through wine (cue-output.sh, smoke.sh). The recording is raw 16-bit little-endian mono at
22050 Hz (parec --raw --format=s16le --rate=22050 --channels=1), read in 10 ms windows.
Order and amounts are checked, not times: on a busy machine wine's output drops out and
stretches.

  heard.py tones RAW HZ:MIN:MAX...   the tones heard, in this order, each for MIN to MAX ms
                                     (of the windows wholly sounding; its pitch from its
                                     zero crossings); at most --stray ms (default 30) of
                                     another tone within each (--stray 0: none at all)
  heard.py sound RAW MIN MAX         sound (above a tenth of full scale) for MIN to MAX ms,
                                     peaking above a third of full scale

Prints what it found; exits 0 when it matches, else with "FAIL: ..." on stderr.
"""
import argparse
import array
import sys

RATE = 22050
WINDOW = RATE // 100  # 10 ms
LOUD = 0.1 * 32768


def windows(path):
    samples = array.array("h")
    with open(path, "rb") as f:
        data = f.read()
    samples.frombytes(data[: len(data) // 2 * 2])
    if sys.byteorder != "little":
        samples.byteswap()
    for at in range(0, len(samples) - WINDOW + 1, WINDOW):
        yield samples[at : at + WINDOW]


def pitch(window, choices):
    """The listed tone nearest the window's zero crossings; None when it is wholly
    sounding in none of its quarters, or no listed tone is within a quarter of it."""
    quarter = WINDOW // 4
    if not all(max(abs(v) for v in window[q : q + quarter]) > LOUD for q in range(0, 4 * quarter, quarter)):
        return None
    crossings = sum((window[i - 1] < 0) != (window[i] < 0) for i in range(1, len(window)))
    hz = crossings * 50  # two crossings a period, 100 windows a second
    best = min(choices, key=lambda c: abs(c - hz))
    return best if abs(best - hz) <= best / 4 else None


def split(heard, stages):
    """The split of the tones heard into one run per stage, in order, that leaves the
    fewest windows of another tone inside a run (runs may be empty)."""
    n, k = len(heard), len(stages)
    # cost[j][i]: the fewest strays with the first i windows in the first j runs.
    inf = float("inf")
    cost = [[inf] * (n + 1) for _ in range(k + 1)]
    cut = [[0] * (n + 1) for _ in range(k + 1)]
    cost[0][0] = 0
    for j in range(1, k + 1):
        hz = stages[j - 1][0]
        for i in range(n + 1):
            strays = 0
            # The run j covers windows start..i-1; strays counted from the end back.
            for start in range(i, -1, -1):
                if start < i and heard[start] != hz:
                    strays += 1
                if cost[j - 1][start] + strays < cost[j][i]:
                    cost[j][i] = cost[j - 1][start] + strays
                    cut[j][i] = start
    runs, i = [], n
    for j in range(k, 0, -1):
        runs.append(heard[cut[j][i] : i])
        i = cut[j][i]
    return runs[::-1]


def stage(text):
    try:
        hz, low, high = (int(v) for v in text.split(":"))
    except ValueError:
        raise argparse.ArgumentTypeError(f"not HZ:MIN:MAX: {text}")
    if hz <= 0 or low < 0 or high < low:
        raise argparse.ArgumentTypeError(f"not a tone and a range of ms: {text}")
    return hz, low, high


def check_tones(args):
    choices = sorted({s[0] for s in args.stages})
    heard = [t for t in (pitch(w, choices) for w in windows(args.raw)) if t is not None]
    failures, said = [], []
    for (hz, low, high), run in zip(args.stages, split(heard, args.stages)):
        ms, strays = 10 * run.count(hz), 10 * (len(run) - run.count(hz))
        said.append(f"{hz} Hz {ms} ms" + (f" ({strays} ms of another among it)" if strays else ""))
        if not low <= ms <= high:
            failures.append(f"{hz} Hz for {ms} ms, not {low} to {high}")
        if strays > args.stray:
            failures.append(f"{strays} ms of another tone within the {hz} Hz")
    print("heard: " + ", then ".join(said))
    return failures


def check_sound(args):
    peaks = [max(abs(v) for v in w) for w in windows(args.raw)]
    ms = 10 * sum(p > LOUD for p in peaks)
    peak = max(peaks, default=0) / 32768
    print(f"heard: sound for {ms} ms of {10 * len(peaks)} ms, peak {peak:.2f}")
    failures = []
    if not args.min <= ms <= args.max:
        failures.append(f"sound for {ms} ms, not {args.min} to {args.max}")
    if peak <= 1 / 3:
        failures.append(f"the loudest is {peak:.2f} of full scale")
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    verbs = parser.add_subparsers(dest="verb", required=True)
    tones = verbs.add_parser("tones")
    tones.add_argument("raw")
    tones.add_argument("stages", nargs="+", type=stage, metavar="HZ:MIN:MAX")
    tones.add_argument("--stray", type=int, default=30, metavar="MS")
    sound = verbs.add_parser("sound")
    sound.add_argument("raw")
    sound.add_argument("min", type=int)
    sound.add_argument("max", type=int)
    args = parser.parse_args()
    failures = check_tones(args) if args.verb == "tones" else check_sound(args)
    if failures:
        sys.exit("FAIL: " + "; ".join(failures))


if __name__ == "__main__":
    main()
