#!/usr/bin/env python3
"""heard.py on recordings made here, each row a recording, the checks asked of it and
whether they must pass: a reader that passed everything would hide a silent or uncut cue."""
import array
import math
import os
import subprocess
import sys
import tempfile

HEARD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "heard.py")
RATE = 22050


def tone(ms, hz, amplitude=0.5):
    return [round(amplitude * 32767 * math.sin(2 * math.pi * hz * i / RATE)) for i in range(RATE * ms // 1000)]


def silence(ms):
    return [0] * (RATE * ms // 1000)


PROBE = ["tones", "440:200:450", "880:200:350", "440:100:350"]
KEYS = ["tones", "440:150:1000", "880:200:450", "--stray", "0"]
# name, recording, heard.py's arguments after its verb, passes
ROWS = [
    ("probe: cut, played, cut", [silence(300), tone(300, 440), tone(300, 880), silence(500), tone(200, 440)], PROBE, True),
    ("probe: first tone not cut", [tone(900, 440), tone(300, 880), silence(500), tone(200, 440)], PROBE, False),
    ("probe: last tone not cut", [tone(300, 440), tone(300, 880), silence(500), tone(900, 440)], PROBE, False),
    ("probe: second tone missing", [tone(300, 440), silence(800), tone(200, 440)], PROBE, False),
    ("probe: 440 Hz among the 880 Hz", [tone(300, 440), tone(150, 880), tone(50, 440), tone(150, 880), tone(200, 440)], PROBE, False),
    ("probe: wrong order", [tone(300, 880), tone(300, 440), tone(200, 880)], PROBE, False),
    ("probe: silence", [silence(2000)], PROBE, False),
    ("keys: cut", [silence(300), tone(320, 440), tone(300, 880), silence(300)], KEYS, True),
    ("keys: stretched and dropping out", [tone(500, 440), silence(40), tone(200, 440), tone(200, 880), silence(30), tone(200, 880)], KEYS, True),
    ("keys: uncut", [tone(1500, 440), tone(300, 880)], KEYS, False),
    ("keys: the first sounds again after", [tone(300, 440), tone(300, 880), tone(30, 440)], KEYS, False),
    ("keys: the second only", [silence(300), tone(300, 880)], KEYS, False),
    ("keys: too quiet to count", [tone(300, 440, 0.05), tone(300, 880, 0.05)], KEYS, False),
    ("sound: heard", [silence(300), tone(800, 300), silence(300)], ["sound", "500", "1000"], True),
    ("sound: too little", [silence(300), tone(300, 300)], ["sound", "500", "1000"], False),
    ("sound: too much", [tone(1500, 300)], ["sound", "500", "1000"], False),
    ("sound: long but quiet", [tone(800, 300, 0.2)], ["sound", "500", "1000"], False),
]


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        for name, parts, args, passes in ROWS:
            samples = array.array("h", [v for part in parts for v in part])
            if sys.byteorder != "little":
                samples.byteswap()
            raw = os.path.join(folder, "recording.raw")
            with open(raw, "wb") as f:
                f.write(samples.tobytes())
            run = subprocess.run([sys.executable, HEARD, args[0], raw, *args[1:]], capture_output=True, text=True)
            ok = (run.returncode == 0) == passes
            failures += not ok
            print(f"{'PASS' if ok else 'FAIL'}: {name}: {run.stdout.strip()} {run.stderr.strip()}")
    print(f"{len(ROWS) - failures} passed, {failures} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
