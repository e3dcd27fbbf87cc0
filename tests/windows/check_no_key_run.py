#!/usr/bin/python3
"""Fails when the 16 bytes of the key shared with the driver stand as one run in a built program.

Usage: check_no_key_run.py PROGRAM...   (a missing program fails)
"""
import sys

KEY = bytes.fromhex("3c91e705d2486ab31fc47e29805df2a6")

bad = 0
for path in sys.argv[1:]:
    try:
        data = open(path, "rb").read()
    except OSError as e:
        print(f"FAIL: {path}: {e}")
        bad += 1
        continue
    # Half the key in either order is already too much to leave in one piece.
    for piece in (KEY, KEY[:8], KEY[8:]):
        if piece in data:
            print(f"FAIL: {path} holds {piece.hex()} at {data.index(piece):#x}")
            bad += 1
    print(f"{path}: checked {len(data)} bytes")
sys.exit(1 if bad else 0)
