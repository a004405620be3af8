#!/usr/bin/env python3
"""Key-to-voice, for tools/bench-voice.sh: starts each program in turn on the display,
writes a digit key into its window through one resident xdotool, and times the sound's
onset on the null sink's monitor, read in 1 ms chunks. Needs DISPLAY and a PulseAudio
server whose default sink is the null sink "capture"."""

import argparse
import os
import statistics
import subprocess
import threading
import time

RATE = 44100
CHUNK_FRAMES = 44  # 1 ms at 44.1 kHz, mono
LOUD = int(0.01 * 32768)  # the null sink is digital silence: any cue is far above this


class Monitor:
    """Peak of each 1 ms chunk of the sink's monitor, stamped when it arrives."""

    def __init__(self):
        self.chunks = []  # (monotonic ns, peak)
        self.lock = threading.Lock()
        self.parec = subprocess.Popen(
            ["parec", "-d", "capture.monitor", "--raw", "--format=s16le", f"--rate={RATE}",
             "--channels=1", "--latency-msec=1"], stdout=subprocess.PIPE, bufsize=0)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        fd = self.parec.stdout.fileno()
        size = CHUNK_FRAMES * 2
        pending = b""
        while True:
            data = os.read(fd, 4096)
            if not data:
                return
            now = time.monotonic_ns()
            pending += data
            with self.lock:
                while len(pending) >= size:
                    chunk, pending = pending[:size], pending[size:]
                    samples = memoryview(chunk).cast("h")
                    self.chunks.append((now, max(max(samples), -min(samples))))

    def quiet_for(self, ms):
        """Waits until the last `ms` chunks were silent (at most 3 s)."""
        deadline = time.monotonic() + 3
        while time.monotonic() < deadline:
            with self.lock:
                tail = self.chunks[-ms:]
            if len(tail) == ms and all(peak < LOUD for _, peak in tail):
                return True
            time.sleep(0.005)
        return False

    def onset_after(self, sent_ns, timeout_s=1.5):
        """Milliseconds from sent_ns to the first loud chunk that arrived after it."""
        deadline = time.monotonic() + timeout_s
        start = 0
        while time.monotonic() < deadline:
            with self.lock:
                chunks = self.chunks[start:]
                base = start
                start = len(self.chunks)
            for at, peak in chunks:
                if at > sent_ns and peak >= LOUD:
                    return (at - sent_ns) / 1e6
            if base == start:
                time.sleep(0.0005)
        return None

    def stop(self):
        self.parec.terminate()
        self.parec.wait()


def window_of(pid, timeout_s=20):
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                               capture_output=True, text=True).stdout.split()
        if found:
            return found[-1]
        time.sleep(0.005)
    return None


def run_once(name, command, monitor, keys, args, results):
    env = dict(os.environ, HOME=args.home, XDG_DATA_HOME=args.home)
    program = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        window = window_of(program.pid)
        if not window:
            print(f"{name}: no window; run left out")
            return
        shown = time.monotonic()
        subprocess.run(["xdotool", "windowfocus", "--sync", window], check=False)
        for press in range(args.presses):
            if press == 0:
                time.sleep(max(0.0, shown + args.first_delay / 1000 - time.monotonic()))
            if not monitor.quiet_for(50):
                print(f"{name}: the sink did not fall silent; press left out")
                continue
            sent = time.monotonic_ns()
            keys.stdin.write(f"key {args.key}\n")
            keys.stdin.flush()
            onset = monitor.onset_after(sent)
            if onset is None:
                print(f"{name}: press {press} was not heard")
            else:
                results[name]["first" if press == 0 else "rest"].append(onset)
            time.sleep(args.gap / 1000)
    finally:
        program.kill()
        program.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tapecalc", required=True)
    parser.add_argument("--floor", required=True, help="the floor client, with its cue")
    parser.add_argument("--cue", required=True)
    parser.add_argument("--key", default="5")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--presses", type=int, default=15)
    parser.add_argument("--gap", type=int, default=450, help="ms from an onset to the next key")
    parser.add_argument("--first-delay", type=int, default=250,
                        help="ms from the window's appearance to the first key")
    parser.add_argument("--home", required=True)
    args = parser.parse_args()

    programs = {"tapecalc": [args.tapecalc], "floor": [args.floor, args.cue]}
    results = {name: {"first": [], "rest": []} for name in programs}
    monitor = Monitor()
    keys = subprocess.Popen(["xdotool", "-"], stdin=subprocess.PIPE, text=True)
    try:
        time.sleep(0.5)
        for round_ in range(args.rounds):
            names = list(programs)
            if round_ % 2:
                names.reverse()
            for name in names:
                run_once(name, programs[name], monitor, keys, args, results)
    finally:
        keys.stdin.close()
        keys.wait()
        monitor.stop()

    def med(values):
        return statistics.median(values) if values else float("nan")

    print(f"key to voice, ms (key {args.key}; {args.rounds} starts each, "
          f"{args.presses - 1} presses after the first per start; first press "
          f"{args.first_delay} ms after the window appears)")
    print(f"{'':10} {'median':>8} {'first press':>12} {'presses':>8}")
    for name in programs:
        r = results[name]
        print(f"{name:10} {med(r['rest']):8.1f} {med(r['first']):12.1f} {len(r['rest']):8d}")
    t, f = results["tapecalc"], results["floor"]
    print(f"tapecalc / floor: median {med(t['rest']) / med(f['rest']):.2f}, "
          f"first press {med(t['first']) / med(f['first']):.2f}, "
          f"first press / floor median {med(t['first']) / med(f['rest']):.2f}")


if __name__ == "__main__":
    main()
