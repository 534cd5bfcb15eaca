#!/usr/bin/env python3
"""New files after removed ones, natively, in the folder given (on the file system of the
Wine prefix): rounds of 2,000 files of 4 KiB created, then removed. Prints the time per new
file of each round. A file system that passes over the numbers of files removed a moment
ago, when it numbers a new one, makes each round slower than the one before: what every
reinstall through new temporary copies pays for the files that the reinstalls before it
replaced, whatever program makes them.
  new_files.py folder [rounds]"""
import os
import shutil
import sys
import time

folder = os.path.join(sys.argv[1], "new-files")
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
count, data = 2000, b"x" * 4096
shutil.rmtree(folder, ignore_errors=True)
print(f"New files after removed ones, natively: {count} x 4 KiB created, then removed, per round")
for r in range(rounds):
    os.makedirs(folder)
    start = time.perf_counter()
    for i in range(count):
        fd = os.open(os.path.join(folder, f"f{i}"), os.O_CREAT | os.O_EXCL | os.O_WRONLY)
        os.write(fd, data)
        os.close(fd)
    took = time.perf_counter() - start
    shutil.rmtree(folder)
    print(f"  round {r + 1}: {took / count * 1e6:7.1f} us per new file")
