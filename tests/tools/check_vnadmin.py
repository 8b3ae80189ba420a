#!/usr/bin/env python3
"""Checks the staff tool against an implementation of the stored formats written here from
their description alone: the cipher round by round, Python's own Base64 and zlib, and the
initial key-schedule values computed as the hexadecimal digits of pi."""

import base64
import os
import random
import subprocess
import sys
import tempfile
import zlib

CREDENTIAL_KEY = bytes.fromhex("569E31C47A0DE852B3166FA924D78B40")
RICH_TEXT_KEY = bytes.fromhex("E14B92076CD538AF137EC059A42DF681")
MASK = 0xFFFFFFFF


def pi_words(count):
    digits = count * 8 + 16
    scale = 16 ** (digits + 10)

    def arctan_inverse(x):
        total, term, n, sign = 0, scale // x, 1, 1
        while term:
            total += sign * (term // n)
            term //= x * x
            n += 2
            sign = -sign
        return total

    fraction = 16 * arctan_inverse(5) - 4 * arctan_inverse(239) - 3 * scale
    text = format(fraction, "x").rjust(digits + 10, "0")
    return [int(text[i * 8:i * 8 + 8], 16) for i in range(count)]


class Cipher:
    INITIAL = pi_words(18 + 4 * 256)

    def __init__(self, key):
        self.p = list(self.INITIAL[:18])
        self.s = [list(self.INITIAL[18 + 256 * i:18 + 256 * (i + 1)]) for i in range(4)]
        k = 0
        for i in range(18):
            word = 0
            for _ in range(4):
                word = (word << 8) | key[k]
                k = (k + 1) % 16
            self.p[i] ^= word
        left = right = 0
        for i in range(0, 18, 2):
            left, right = self.encrypt_words(left, right)
            self.p[i], self.p[i + 1] = left, right
        for box in self.s:
            for i in range(0, 256, 2):
                left, right = self.encrypt_words(left, right)
                box[i], box[i + 1] = left, right

    def f(self, x):
        s = self.s
        return ((((s[0][x >> 24] + s[1][(x >> 16) & 255]) & MASK) ^ s[2][(x >> 8) & 255])
                + s[3][x & 255]) & MASK

    def encrypt_words(self, l0, r0):
        left, right = l0 ^ self.p[0], r0
        for i in range(1, 16, 2):
            right ^= self.p[i] ^ self.f(l0)
            left ^= self.p[i + 1] ^ self.f(r0)
        return left, right ^ self.p[17]

    def decrypt_words(self, l0, r0):
        right, left = r0 ^ self.p[17], l0
        for i in range(16, 1, -2):
            left ^= self.p[i] ^ self.f(r0)
            right ^= self.p[i - 1] ^ self.f(l0)
        return left ^ self.p[0], right

    def block(self, data, forward):
        left = int.from_bytes(data[:4], "little")
        right = int.from_bytes(data[4:8], "little")
        left, right = (self.encrypt_words if forward else self.decrypt_words)(left, right)
        return left.to_bytes(4, "little") + right.to_bytes(4, "little")

    def encrypt_string(self, plain):
        out = b"".join(self.block(plain[i:i + 8], True) for i in range(0, len(plain) // 8 * 8, 8))
        rest = plain[len(plain) // 8 * 8:]
        last = rest + bytes(7 - len(rest)) + bytes([len(rest)])
        return base64.b64encode(out + self.block(last, True)).decode("ascii")

    def decrypt_string(self, text):
        data = base64.b64decode(text)
        blocks = len(data) // 8
        assert blocks > 0
        plain = b"".join(self.block(data[i * 8:i * 8 + 8], False) for i in range(blocks))
        count = plain[-1]
        assert count <= 8
        return plain[:(blocks - 1) * 8 + count]


def run(tool, *args, check=True):
    result = subprocess.run([tool, *args], capture_output=True)
    if check and result.returncode != 0:
        raise AssertionError(f"{args}: exit {result.returncode}: {result.stderr!r}")
    return result


def main():
    tool = sys.argv[1]
    failures = 0
    credential = Cipher(CREDENTIAL_KEY)
    rich_text = Cipher(RICH_TEXT_KEY)

    def check(name, condition):
        nonlocal failures
        print(("PASS" if condition else "FAIL") + ": " + name)
        failures += 0 if condition else 1

    for user, password in [("sa", "Hemligt1"), ("", ""), ("Åsa Öberg", "lösen€ord!"),
                           ("12345678", "x" * 40)]:
        out = run(tool, "encrypt-login", user, password).stdout.decode("utf-8").splitlines()
        expected = ["VNUSERNAME=" + credential.encrypt_string(user.encode("cp1252")),
                    "VNPASSWORD=" + credential.encrypt_string(password.encode("cp1252"))]
        check(f"encrypt-login {user!r}", out == expected)
        back = run(tool, "decrypt", expected[1].split("=", 1)[1]).stdout.decode("utf-8")
        check(f"decrypt of our cipher text for {password!r}", back == password + "\n")

    rng = random.Random(1209)
    with tempfile.TemporaryDirectory() as folder:
        for size in [0, 1, 7, 8, 1000, 200000]:
            rtf = b"{\\rtf1\\ansi " + bytes(rng.getrandbits(7) + 32 for _ in range(size)) + b"}"
            rtf_path = os.path.join(folder, "in.rtf")
            blob_path = os.path.join(folder, "blob.bin")
            back_path = os.path.join(folder, "back.rtf")
            with open(rtf_path, "wb") as f:
                f.write(rtf)
            run(tool, "blob-encode", rtf_path, blob_path)
            with open(blob_path, "rb") as f:
                blob = f.read()
            stream = rich_text.decrypt_string(blob.decode("ascii"))
            check(f"blob-encode {size}: level-9 zlib header", stream[:2] == b"\x78\xda")
            check(f"blob-encode {size}: decodes here", zlib.decompress(stream) == rtf)
            ours = rich_text.encrypt_string(zlib.compress(rtf, 9)).encode("ascii")
            with open(blob_path, "wb") as f:
                f.write(ours)
            run(tool, "blob-decode", blob_path, back_path)
            with open(back_path, "rb") as f:
                check(f"blob-decode {size} of our blob", f.read() == rtf)

        with open(blob_path, "wb") as f:
            f.write(b"not a stored document at all")
        bad = run(tool, "blob-decode", blob_path, back_path + ".x", check=False)
        check("blob-decode of garbage fails with a message",
              bad.returncode != 0 and bad.stderr and not os.path.exists(back_path + ".x"))

    for text in ["!!!!", "", "AAAA", credential.encrypt_string(b"ok")[:-4]]:
        bad = run(tool, "decrypt", text, check=False)
        check(f"decrypt {text!r} is refused", bad.returncode != 0 and bad.stderr)

    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
