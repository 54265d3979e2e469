"""The generator right after load, checked by an independent route.

Python's random module seeds from an integer through init_by_array, taking
the integer's 32-bit words (least significant first) as the key, and
getrandbits(32) returns the next output. Each load happens in a fresh
process, so this also checks that two loads give the same first draws.
"""
import ctypes
import random
import subprocess
import sys

KEY = [0x12345, 0x23456, 0x34567, 0x45678, 0x56789, 0x67890, 0x78901, 0x89012, 0x90123]
C1 = 2.328306437080797e-10


def first_outputs(lib_path, count):
    lib = ctypes.CDLL(lib_path)
    lib.RanMT1.restype = ctypes.c_double
    lib.RanMT1.argtypes = []
    return [round(lib.RanMT1() / C1) for _ in range(count)]


def main():
    lib_path = sys.argv[1]
    if len(sys.argv) > 2 and sys.argv[2] == "--child":
        print(" ".join(map(str, first_outputs(lib_path, 1000))))
        return 0
    reference = random.Random()
    reference.seed(sum(word << (32 * i) for i, word in enumerate(KEY)))
    expected = [reference.getrandbits(32) for _ in range(1000)]
    runs = [subprocess.run([sys.executable, __file__, lib_path, "--child"], check=True,
                           capture_output=True, text=True).stdout.split() for _ in range(2)]
    for run in runs:
        got = list(map(int, run))
        if got != expected:
            first = next(i for i, (a, b) in enumerate(zip(got, expected)) if a != b)
            print(f"draw {first}: library {got[first]}, reference {expected[first]}")
            return 1
    print("2 loads x 1000 draws agree with the reference generator: 1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
