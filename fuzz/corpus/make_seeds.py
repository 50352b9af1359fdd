#!/usr/bin/python3
"""Writes the seed corpus of the fuzz targets: tiny audio files of the containers libsndfile
reads, for fuzz_sound_input, option values for fuzz_option_values, and a few seeded byte strings for the other targets.
Run from anywhere: /usr/bin/python3 fuzz/corpus/make_seeds.py"""
import os
import random

import numpy as np
import soundfile

here = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    with open(os.path.join(here, target, name), "wb") as seed:
        seed.write(data)


def audio_seeds():
    folder = os.path.join(here, "fuzz_sound_input")
    t = np.arange(64) / 8000.0
    stereo = np.stack([np.sin(2 * np.pi * 440 * t), np.cos(2 * np.pi * 300 * t)], axis=1) * 0.5
    cases = [
        ("float.wav", "WAV", "FLOAT", stereo, 8000),
        ("pcm16.wav", "WAV", "PCM_16", stereo[:, :1], 8000),
        ("ulaw.wav", "WAV", "ULAW", stereo[:, :1], 8000),
        ("pcm24.aiff", "AIFF", "PCM_24", stereo, 44100),
        ("s8.aiff", "AIFF", "PCM_S8", stereo[:, :1], 8000),
        ("double.au", "AU", "DOUBLE", stereo[:, :1], 48000),
        ("alaw.caf", "CAF", "ALAW", stereo, 16000),
        ("pcm16.flac", "FLAC", "PCM_16", stereo, 48000),
        ("float.w64", "W64", "FLOAT", stereo[:, :1], 8000),
        ("pcm32.rf64", "RF64", "PCM_32", stereo[:, :1], 8000),
        ("pcm16.nist", "NIST", "PCM_16", stereo[:, :1], 8000),
        ("u8.voc", "VOC", "PCM_U8", stereo[:, :1], 8000),
        ("vorbis.oga", "OGG", "VORBIS", np.tile(stereo, (8, 1)), 8000),
        ("mpeg.mp3", "MP3", "MPEG_LAYER_III", np.tile(stereo[:, :1], (20, 1)), 8000),
    ]
    for name, container, subtype, samples, rate in cases:
        soundfile.write(os.path.join(folder, name), samples, rate, format=container,
                        subtype=subtype)


def byte_seeds(target, lengths):
    generator = random.Random(target)
    for index, length in enumerate(lengths):
        write(target, "seed%d" % index, bytes(generator.randrange(256) for _ in range(length)))


def option_value_seeds():
    # Lines: --highpass, --lowpass, --route, --mix, --gain, then --set KEY=VALUE each.
    cases = {
        "units": "300Hz\n4k\n0:1,1:0\n5.1\n-6\nhOrder=4\n",
        "khz": "20.5kHz\n0.1K\n7:7\nstereo\n+120\nlPass=1\nlFrequency=3e0\n",
        "bad": "12 Hz\n-4k\n0:1,0:1\n9.1\nnan\nhOrder\n=3\nhOrder=1x\n",
        "empty": "\n\n\n\n\n",
    }
    os.makedirs(os.path.join(here, "fuzz_option_values"), exist_ok=True)
    for name, text in cases.items():
        write("fuzz_option_values", name, text.encode())


audio_seeds()
option_value_seeds()
byte_seeds("fuzz_component", [16, 64, 256, 1024])
byte_seeds("fuzz_channel", [16, 64, 256, 1024])
byte_seeds("fuzz_dsp", [16, 64, 256, 1024])
byte_seeds("fuzz_sound_output", [16, 64, 256, 1024])
