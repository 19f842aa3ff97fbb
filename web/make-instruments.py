#!/usr/bin/env python3
"""Writes the page's instruments into a folder of the site: freepats's patches, and a Timidity
configuration that finds them under /instruments, where the page puts each patch it fetches
when a piece first needs it.

Usage: make-instruments.py OUT_FOLDER FREEPATS_FOLDER FREEPATS_CFG
"""
import os
import re
import shutil
import sys

out, folder, cfg = sys.argv[1:4]
text = open(cfg, encoding="latin-1").read()
text = re.sub(r"^dir .*$", "dir /instruments", text, count=1, flags=re.M)
patches = sorted(set(re.findall(r"^\s*\d+\s+(\S+\.pat)", text, flags=re.M)))
for patch in patches:
    os.makedirs(os.path.dirname(os.path.join(out, patch)), exist_ok=True)
    shutil.copyfile(os.path.join(folder, patch), os.path.join(out, patch))
# Written last: it marks the folder complete.
with open(os.path.join(out, "timidity.cfg"), "w", encoding="latin-1") as f:
    f.write(text)
