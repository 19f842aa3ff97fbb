#!/usr/bin/env python3
"""Writes the bundled demo story into examples/demo/dat: the script (Shift-JIS, CR LF), a MIDI
piece, a WAV effect and three pictures. Needs python3 and ImageMagick's `convert` (for JPEG).

    python3 examples/make-demo.py
"""
import math
import os
import struct
import subprocess
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
DAT = os.path.join(HERE, "demo", "dat")

SCRIPT = """\
// 夜の駅 - 短いお話（デモ）
#Midi bgm.mid
#Cg station.jpg
夜の駅に着いた。
ホームには誰もいない。
R&&K 鉄道の終電を待つ。
#Wave whistle.wav
遠くで汽笛が鳴った。

@menu
さて、どうしようか。
乗る@ride
待つ@wait
帰る@home
空を見る@sky

@ride
#Cg train.bmp
汽車に乗った。
窓の外は真っ暗だ。
#Goto @last

@wait   // ベンチでひと休み
#Wave
もう少し待とう。
ベンチに座った。
#Goto @menu

@sky
#Cg sky.jpg
星がきれいだ。
#Goto @menu

@home
#Cg
#Midi
家に帰ることにした。
おしまい。
#Stop

@last
長い旅が始まる。
おわり。
#End
"""


def write_script():
    data = SCRIPT.replace("\n", "\r\n").encode("cp932")
    with open(os.path.join(DAT, "1.txt"), "wb") as f:
        f.write(data)


def var_len(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, (n & 0x7F) | 0x80)
        n >>= 7
    return bytes(out)


def write_midi():
    """A slow eight-bar tune on a music box over soft strings, format 0."""
    ticks = 480
    melody = [72, 76, 79, 76, 74, 77, 81, 77, 72, 76, 79, 84, 83, 79, 74, 71,
              72, 76, 79, 76, 77, 81, 84, 81, 79, 77, 76, 74, 72, 67, 72, 0]
    chords = [(48, 55, 64), (50, 57, 65), (48, 55, 64), (43, 50, 59),
              (48, 55, 64), (53, 57, 65), (43, 50, 59), (48, 55, 64)]
    events = []  # (time, bytes)
    events.append((0, bytes([0xFF, 0x51, 3]) + (750000).to_bytes(3, "big")))  # 80 bpm
    events.append((0, bytes([0xC0, 10])))   # music box
    events.append((0, bytes([0xC1, 48])))   # strings
    events.append((0, bytes([0xB1, 7, 60])))
    for i, note in enumerate(melody):
        if note:
            t = i * ticks
            events.append((t, bytes([0x90, note, 90])))
            events.append((t + ticks - 20, bytes([0x80, note, 0])))
    for bar, chord in enumerate(chords):
        t = bar * 4 * ticks
        for note in chord:
            events.append((t, bytes([0x91, note, 55])))
            events.append((t + 4 * ticks - 10, bytes([0x81, note, 0])))
    events.sort(key=lambda e: e[0])
    track = bytearray()
    now = 0
    for t, data in events:
        track += var_len(t - now) + data
        now = t
    track += var_len(0) + bytes([0xFF, 0x2F, 0])
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, ticks)
    with open(os.path.join(DAT, "bgm.mid"), "wb") as f:
        f.write(header + b"MTrk" + struct.pack(">I", len(track)) + track)


def write_wave():
    """A short falling whistle, 22050 Hz mono 16-bit."""
    rate = 22050
    length = int(rate * 0.7)
    frames = bytearray()
    phase = 0.0
    for i in range(length):
        t = i / rate
        freq = 1400 - 500 * t
        phase += 2 * math.pi * freq / rate
        envelope = min(1.0, t * 30) * max(0.0, 1 - t / 0.7)
        sample = 0.45 * envelope * (math.sin(phase) + 0.3 * math.sin(2 * phase))
        frames += struct.pack("<h", int(sample * 32767))
    with wave.open(os.path.join(DAT, "whistle.wav"), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


def convert(args, out, prefix=""):
    subprocess.run(["convert"] + args + [prefix + os.path.join(DAT, out)], check=True)


def write_pictures():
    # The station at night: platform, roof, a lamp.
    convert(["-size", "140x80", "gradient:#101838-#303050",
             "-fill", "#202020", "-draw", "rectangle 0,58 139,79",
             "-fill", "#807060", "-draw", "rectangle 0,54 139,58",
             "-fill", "#403030", "-draw", "rectangle 10,12 130,16",
             "-fill", "#505050", "-draw", "rectangle 30,16 33,54 rectangle 106,16 109,54",
             "-fill", "#FFE890", "-draw", "circle 70,24 70,28",
             "-quality", "90"], "station.jpg")
    # The train, kept as a classic 24-bit bitmap.
    convert(["-size", "120x70", "xc:#0C1020",
             "-fill", "#7A2020", "-draw", "rectangle 8,20 112,56",
             "-fill", "#FFE070", "-draw", "rectangle 16,28 30,40 rectangle 38,28 52,40 "
                                           "rectangle 60,28 74,40 rectangle 82,28 96,40",
             "-fill", "#101010", "-draw", "circle 30,58 30,64 circle 90,58 90,64",
             "-type", "TrueColor"], "train.bmp", prefix="BMP3:")
    # The starry sky over the whole picture area.
    stars = " ".join("point %d,%d" % ((i * 37) % 154, (i * 53) % 70) for i in range(40))
    convert(["-size", "154x95", "gradient:#000010-#102050",
             "-fill", "#FFFFFF", "-draw", stars,
             "-fill", "#F0E0A0", "-draw", "circle 120,20 120,27",
             "-quality", "90"], "sky.jpg")


def main():
    os.makedirs(DAT, exist_ok=True)
    write_script()
    write_midi()
    write_wave()
    write_pictures()


if __name__ == "__main__":
    main()
