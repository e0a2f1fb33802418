#!/usr/bin/env python3
"""Screen recording, judged from the videos, on a private 1920x1080 Xvfb desktop.

  bench/recording.py [build folder, default build-bench] [seconds, default 20] [latency runs, default 5]

1. Monitor source: Lumetra records the screen while bench/flip-pattern changes a numbered pattern 30 times
   a second; a plain `ffmpeg -f x11grab` with the same encoder options records the same screen right after.
   For each video: patterns missing and shown twice; CPU (Lumetra with its encoder, against ffmpeg alone).
2. Region source 1280x720: gaps between the frame copies Lumetra logs, its own CPU, time per copy, and the
   video's patterns.
3. Capture command to the first frame in the video (from the pattern it shows) and stop command to the
   finished file, medians over short recordings of each source.
"""

import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-bench"))
SECONDS = float(sys.argv[2]) if len(sys.argv) > 2 else 20
RUNS = int(sys.argv[3]) if len(sys.argv) > 3 else 5
CELLS, CELL = 16, 40
TICK = os.sysconf("SC_CLK_TCK")
REGION = (100, 100, 1280, 720)
ENCODER = ["-c:v", "libx264", "-preset", "ultrafast", "-r", "30", "-tune", "zerolatency", "-crf", "25",
           "-pix_fmt", "yuv420p"]


def cpu_seconds(pid):
    """User and system time of a process so far."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICK
    except (FileNotFoundError, ProcessLookupError):
        return None


def encoder_of(video):
    """The pid of the ffmpeg writing the video."""
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as line:
                words = line.read().split(b"\0")
        except OSError:
            continue
        if words and words[0].endswith(b"ffmpeg") and video.encode() in words:
            return int(pid)
    return None


def patterns(video, left=0, top=0):
    """The number each frame of the video shows, in order."""
    crop = f"crop={CELLS * CELL}:{CELL}:{left}:{top},scale={CELLS}:1:flags=area"
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", video, "-vf", crop, "-f", "rawvideo", "-pix_fmt",
                          "gray", "-"], capture_output=True, check=True).stdout
    numbers = []
    for at in range(0, len(raw) - CELLS + 1, CELLS):
        number = 0
        for value in raw[at:at + CELLS]:
            number = number * 2 + (1 if value > 127 else 0)
        numbers.append(number)
    return numbers


def judge(numbers):
    """Patterns missing and shown twice between the first and last pattern of the video."""
    missing = sum(max(0, b - a - 1) for a, b in zip(numbers, numbers[1:]))
    twice = sum(1 for a, b in zip(numbers, numbers[1:]) if a == b)
    return missing, twice, len(numbers)


class Desk:
    def __init__(self):
        self.work = tempfile.mkdtemp(prefix="lumetra-bench-")
        os.chmod(self.work, 0o700)
        for folder in ("run", "config/Brenholt", "out"):
            os.makedirs(os.path.join(self.work, folder), exist_ok=True)
        os.chmod(os.path.join(self.work, "run"), 0o700)
        self.processes = []
        server = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1920x1080x24", "-nolisten",
                                   "tcp"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.processes.append(server)
        number = server.stdout.readline().decode().strip()
        self.env = dict(os.environ, DISPLAY=f":{number}", HOME=self.work,
                        XDG_CONFIG_HOME=os.path.join(self.work, "config"),
                        XDG_RUNTIME_DIR=os.path.join(self.work, "run"), QT_ENABLE_HIGHDPI_SCALING="0")
        self.display = f":{number}"
        self.lumetra = None

    def flipper(self, geometry=None):
        arguments = [os.path.join(BUILD, "bench", "flip-pattern")] + [str(v) for v in (geometry or ())]
        process = subprocess.Popen(arguments, env=self.env, stdout=subprocess.PIPE)
        self.processes.append(process)
        start = int(process.stdout.readline().split()[1]) / 1000.0
        return process, start

    def start_lumetra(self, settings, log=None):
        out = os.path.join(self.work, "out")
        subprocess.run(["rm", "-rf", out])
        os.makedirs(out)
        with open(os.path.join(self.work, "config/Brenholt/Lumetra.conf"), "w") as config:
            config.write("[General]\npath=%s\nmouse=0\nsaveto=5\n%s" % (os.path.join(self.work, "out"), settings))
        env = dict(self.env)
        if log:
            env["QT_LOGGING_RULES"] = "lumetra.recorder.debug=true"
        self.lumetra = subprocess.Popen([os.path.join(BUILD, "lumetra"), "/start"], env=env,
                                        stdout=subprocess.DEVNULL, stderr=open(log or os.devnull, "w"))
        socket = os.path.join(self.work, "run", "TFrmLumetra")
        for _ in range(400):
            if os.path.exists(socket):
                break
            time.sleep(0.025)
        time.sleep(0.5)

    def stop_lumetra(self):
        self.lumetra.send_signal(signal.SIGKILL)
        self.lumetra.wait()

    def command(self, text):
        return subprocess.run([os.path.join(BUILD, "lumetra"), "--command", text], env=self.env,
                              capture_output=True).stdout.strip()

    def close(self):
        for process in reversed(self.processes):
            process.kill()
            process.wait()
        subprocess.run(["rm", "-rf", self.work])


def wait_gone(pid):
    while pid and os.path.exists(f"/proc/{pid}") and cpu_seconds(pid) is not None:
        with open(f"/proc/{pid}/stat") as stat:
            if stat.read().rsplit(")", 1)[1].split()[0] == "Z":
                return
        time.sleep(0.002)


def record_with_lumetra(desk, video, seconds):
    """Records for `seconds`; returns the CPU seconds of Lumetra and of its encoder meanwhile."""
    desk.command('{"command":"capture"}')
    encoder = None
    while not encoder:
        encoder = encoder_of(video)
        time.sleep(0.01)
    time.sleep(1)  # the encoder's start-up is not what is compared
    own, enc = cpu_seconds(desk.lumetra.pid), cpu_seconds(encoder)
    time.sleep(seconds)
    own, enc = cpu_seconds(desk.lumetra.pid) - own, cpu_seconds(encoder) - enc
    desk.command('{"command":"capture"}')
    wait_gone(encoder)
    time.sleep(0.3)
    return own, enc


def monitor(desk):
    flipper, start = desk.flipper()
    desk.start_lumetra("area=0\n")
    video = os.path.join(desk.work, "out", "Q-001.mp4")
    own, enc = record_with_lumetra(desk, video, SECONDS)
    desk.stop_lumetra()
    plain_video = os.path.join(desk.work, "plain.mp4")
    plain = subprocess.Popen(["ffmpeg", "-v", "error", "-rtbufsize", "150M", "-f", "x11grab", "-video_size",
                              "1920x1080", "-framerate", "30", "-draw_mouse", "0", "-i", desk.display + "+0,0"]
                             + ENCODER + ["-y", plain_video], env=desk.env, stdin=subprocess.PIPE)
    time.sleep(1)
    before = cpu_seconds(plain.pid)
    time.sleep(SECONDS)
    plain_cpu = cpu_seconds(plain.pid) - before
    plain.communicate(b"q", timeout=30)
    ours, theirs = judge(patterns(video)), judge(patterns(plain_video))
    print(f"Monitor 1920x1080, {SECONDS:.0f} s (CPU in % of one core over the same {SECONDS:.0f} s):")
    print(f"  Lumetra + ffmpeg : {100 * (own + enc) / SECONDS:6.1f} %  (Lumetra {100 * own / SECONDS:.1f} %,"
          f" ffmpeg {100 * enc / SECONDS:.1f} %); patterns missing {ours[0]}, shown twice {ours[1]}"
          f" of {ours[2]} frames")
    print(f"  plain ffmpeg     : {100 * plain_cpu / SECONDS:6.1f} %; patterns missing {theirs[0]},"
          f" shown twice {theirs[1]} of {theirs[2]} frames")
    print(f"  ratio            : {(own + enc) / plain_cpu:.2f}")
    flipper.kill()


def region(desk):
    flipper, start = desk.flipper(REGION)
    left, top, width, height = REGION
    log = os.path.join(desk.work, "recorder.log")
    desk.start_lumetra(f"area=1\nleft={left - 6}\ntop={top - 25 - 6}\nwidth={width}\nheight={height}\n", log)
    video = os.path.join(desk.work, "out", "Q-001.mp4")
    own, enc = record_with_lumetra(desk, video, SECONDS)
    desk.stop_lumetra()
    taken, copies = [], []
    for line in open(log, errors="replace"):
        if "frame" in line and " at " in line and "copied in" in line:
            words = line.split()
            taken.append(int(words[words.index("at") + 1]) / 1000.0)
            copies.append(int(words[words.index("in") + 1]) / 1000.0)
    gaps = [b - a for a, b in zip(taken, taken[1:])]
    ours = judge(patterns(video))
    print(f"Region 1280x720, {SECONDS:.0f} s:")
    print(f"  frames copied {len(taken)} ({len(taken) / (taken[-1] - taken[0]) * 1000:.1f} per second),"
          f" longest gap {max(gaps):.1f} ms, gaps over 50 ms {sum(1 for g in gaps if g > 50)}"
          f" (at {', '.join(f'{taken[i]:.0f}' for i, g in enumerate(gaps) if g > 50) or '-'} ms)")
    print(f"  copy per frame: median {statistics.median(copies):.2f} ms, 95th percentile"
          f" {sorted(copies)[int(len(copies) * 0.95)]:.2f} ms")
    print(f"  Lumetra CPU {100 * own / SECONDS:.1f} % of one core, ffmpeg {100 * enc / SECONDS:.1f} %;"
          f" patterns missing {ours[0]}, shown twice {ours[1]} of {ours[2]} frames")
    flipper.kill()


def latency(desk, settings, geometry, crop):
    flipper, start = desk.flipper(geometry)
    desk.start_lumetra(settings)
    first, finish = [], []
    for run in range(RUNS):
        video = os.path.join(desk.work, "out", f"Q-{run + 1:03d}.mp4")
        sent = time.time()
        desk.command('{"command":"capture"}')
        encoder = None
        while not encoder:
            encoder = encoder_of(video)
            time.sleep(0.005)
        time.sleep(2)
        stop = time.time()
        desk.command('{"command":"capture"}')
        wait_gone(encoder)
        finish.append((time.time() - stop) * 1000)
        shown = patterns(video, *crop)
        # The pattern of the first frame was put up at start + n/30 and was still up when grabbed.
        first.append((start + (shown[0] + 0.5) / 30 - sent) * 1000)
        time.sleep(0.5)
    desk.stop_lumetra()
    flipper.kill()
    return statistics.median(first), statistics.median(finish)


def main():
    for tool in ("Xvfb", "ffmpeg"):
        if subprocess.run(["which", tool], capture_output=True).returncode:
            sys.exit(f"{tool} is missing: run tools/deps.sh bench")
    desk = Desk()
    try:
        monitor(desk)
        region(desk)
        left, top, width, height = REGION
        m = latency(desk, "area=0\n", None, (0, 0))
        r = latency(desk, f"area=1\nleft={left - 6}\ntop={top - 25 - 6}\nwidth={width}\nheight={height}\n",
                    REGION, (0, 0))
        print(f"Command to first frame, median of {RUNS}: monitor {m[0]:.0f} ms, region {r[0]:.0f} ms")
        print(f"Stop command to finished file, median of {RUNS}: monitor {m[1]:.0f} ms, region {r[1]:.0f} ms")
    finally:
        desk.close()


if __name__ == "__main__":
    main()
