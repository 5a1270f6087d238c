#!/usr/bin/env python3
"""RC2 (RFC 2268) written independently of the Windows CryptoAPI, to check the password cipher.

Run as a program it first checks itself against the RFC's published test vectors, then
recomputes every vector of the password vector file named by its argument. Each vector is
enciphered the way the agent desktop's cipher must do it for the server to read it: the key text
is the pass phrase, or with an n-character suffix the pass phrase without its first n characters
followed by the suffix,
the 128-bit RC2 key is the MD5 hash of the key text (effective key length 128 bits), the plain
text is the password's UTF-16LE code units, and the cipher runs in CBC mode with a zero IV and
PKCS#5 padding; the cipher bytes are written as letter pairs (A..P, high four bits first).
The C++ cipher tests assert the same file, so a wrong vector fails on both sides.
"""
import hashlib
import sys

# The permutation of 0..255 made from the digits of pi (RFC 2268, section 2).
PITABLE = bytes.fromhex(
    "d978f9c419ddb5ed28e9fd794aa0d89d"
    "c67e37832b76538e624c6488448bfba2"
    "179a59f587b34f1361456d8d09817d32"
    "bd8f40eb86b77b0bf09521225c6b4e82"
    "54d66593ce60b21c7356c014a78cf1dc"
    "1275ca1f3bbee4d1423dd430a33cb626"
    "6fbf0eda4669075727f21d9bbc944303"
    "f811c7f690ef3ee706c3d52fc8661ed7"
    "08e8eade8052eef784aa72ac354d6a2a"
    "961ad2715a1549744b9fd05e0418a4ec"
    "c2e0416e0f51cbcc2491af50a1f47039"
    "997c3a8523b8b47afc02365b25559731"
    "2d5dfa98e38a92ae05df2910676cbac9"
    "d300e6cfe19ea82c6316013f58e289a9"
    "0d38341bab33ffb0bb480c5fb9b1cd2e"
    "c5f3db47e5a59c770aa62068fe7fc1ad"
)

PASS_PHRASE = "Kofimax7Q#tanuLebro4sEdwUvY2pAhq"
LETTERS = "ABCDEFGHIJKLMNOP"
MASK16 = 0xFFFF


def expand_key(key, effective_bits):
    """The 64 16-bit subkeys K[0..63] of RFC 2268, section 2."""
    if not 1 <= len(key) <= 128 or not 1 <= effective_bits <= 1024:
        raise ValueError("RC2 key of 1..128 bytes and effective length of 1..1024 bits")
    t = len(key)
    t8 = (effective_bits + 7) // 8
    tm = 0xFF >> (8 * t8 - effective_bits)
    buf = bytearray(128)
    buf[:t] = key
    for i in range(t, 128):
        buf[i] = PITABLE[(buf[i - 1] + buf[i - t]) & 0xFF]
    buf[128 - t8] = PITABLE[buf[128 - t8] & tm]
    for i in range(127 - t8, -1, -1):
        buf[i] = PITABLE[buf[i + 1] ^ buf[i + t8]]
    return [buf[2 * i] | (buf[2 * i + 1] << 8) for i in range(64)]


def _rol(x, s):
    return ((x << s) | (x >> (16 - s))) & MASK16


def _ror(x, s):
    return ((x >> s) | (x << (16 - s))) & MASK16


_SHIFTS = (1, 2, 3, 5)


def encrypt_block(k, block):
    r = [block[2 * i] | (block[2 * i + 1] << 8) for i in range(4)]
    j = 0
    for rounds in (5, "mash", 6, "mash", 5):
        if rounds == "mash":
            for i in range(4):
                r[i] = (r[i] + k[r[i - 1] & 63]) & MASK16
            continue
        for _ in range(rounds):
            for i in range(4):
                x = r[i] + k[j] + (r[i - 1] & r[i - 2]) + (~r[i - 1] & r[i - 3])
                j += 1
                r[i] = _rol(x & MASK16, _SHIFTS[i])
    return bytes(b for w in r for b in (w & 0xFF, w >> 8))


def decrypt_block(k, block):
    r = [block[2 * i] | (block[2 * i + 1] << 8) for i in range(4)]
    j = 63
    for rounds in (5, "mash", 6, "mash", 5):
        if rounds == "mash":
            for i in range(3, -1, -1):
                r[i] = (r[i] - k[r[i - 1] & 63]) & MASK16
            continue
        for _ in range(rounds):
            for i in range(3, -1, -1):
                x = _ror(r[i], _SHIFTS[i])
                r[i] = (x - k[j] - (r[i - 1] & r[i - 2]) - (~r[i - 1] & r[i - 3])) & MASK16
                j -= 1
    return bytes(b for w in r for b in (w & 0xFF, w >> 8))


def cbc_encrypt(k, data):
    """CBC with a zero IV; PKCS#5 padding always adds 1..8 bytes."""
    pad = 8 - len(data) % 8
    data = bytes(data) + bytes([pad]) * pad
    prev = bytes(8)
    out = bytearray()
    for pos in range(0, len(data), 8):
        prev = encrypt_block(k, bytes(a ^ b for a, b in zip(data[pos:pos + 8], prev)))
        out += prev
    return bytes(out)


def cbc_decrypt(k, data):
    if not data or len(data) % 8:
        raise ValueError("cipher text must be whole blocks")
    prev = bytes(8)
    out = bytearray()
    for pos in range(0, len(data), 8):
        block = data[pos:pos + 8]
        out += bytes(a ^ b for a, b in zip(decrypt_block(k, block), prev))
        prev = block
    pad = out[-1]
    if not 1 <= pad <= 8 or out[-pad:] != bytes([pad]) * pad:
        raise ValueError("bad padding")
    return bytes(out[:-pad])


def key_text(suffix):
    if not suffix:
        return PASS_PHRASE
    if len(suffix) >= len(PASS_PHRASE):
        return suffix
    return PASS_PHRASE[len(suffix):] + suffix


def password_key(suffix=""):
    return expand_key(hashlib.md5(key_text(suffix).encode("ascii")).digest(), 128)


def to_letters(data):
    return "".join(LETTERS[b >> 4] + LETTERS[b & 15] for b in data)


def from_letters(text):
    if len(text) % 2 or any(c not in LETTERS for c in text):
        raise ValueError("not a letter-pair text")
    return bytes(LETTERS.index(text[i]) * 16 + LETTERS.index(text[i + 1]) for i in range(0, len(text), 2))


def encrypt_password(password, suffix=""):
    return to_letters(cbc_encrypt(password_key(suffix), password.encode("utf-16-le")))


def decrypt_password(letters, suffix=""):
    return cbc_decrypt(password_key(suffix), from_letters(letters)).decode("utf-16-le")


# RFC 2268, section 5: (key, effective bits, plain, cipher)
RFC_VECTORS = [
    ("0000000000000000", 63, "0000000000000000", "ebb773f993278eff"),
    ("ffffffffffffffff", 64, "ffffffffffffffff", "278b27e42e2f0d49"),
    ("3000000000000000", 64, "1000000000000001", "30649edf9be7d2c2"),
    ("88", 64, "0000000000000000", "61a8a244adacccf0"),
    ("88bca90e90875a", 64, "0000000000000000", "6ccf4308974c267f"),
    ("88bca90e90875a7f0f79c384627bafb2", 64, "0000000000000000", "1a807d272bbe5db1"),
    ("88bca90e90875a7f0f79c384627bafb2", 128, "0000000000000000", "2269552ab0f85ca6"),
    ("88bca90e90875a7f0f79c384627bafb216f80a6f85920584c42fceb0be255daf1e", 129,
     "0000000000000000", "5b78d3a43dfff1f1"),
]


def read_vectors(path):
    """Vector file: '#' comments; lines 'suffix<TAB>password<TAB>letters' in UTF-8, where a
    password of the form '*<count>:<text>' stands for the text repeated up to count characters."""
    vectors = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            suffix, password, letters = line.split("\t")
            vectors.append((number, suffix, expand_password(password), letters))
    return vectors


def expand_password(field):
    if not field.startswith("*"):
        return field
    count, text = field[1:].split(":", 1)
    return (text * int(count))[:int(count)]


def main(argv):
    failures = 0

    def check(ok, what):
        nonlocal failures
        print(("ok   " if ok else "FAIL ") + what)
        failures += not ok

    check(sorted(PITABLE) == list(range(256)), "the pi table is a permutation of 0..255")
    for key, bits, plain, cipher in RFC_VECTORS:
        k = expand_key(bytes.fromhex(key), bits)
        got = encrypt_block(k, bytes.fromhex(plain)).hex()
        check(got == cipher, f"RFC 2268 key {key} bits {bits}: expected {cipher}, got {got}")
        back = decrypt_block(k, bytes.fromhex(cipher)).hex()
        check(back == plain, f"RFC 2268 key {key} bits {bits} deciphers: expected {plain}, got {back}")

    if len(argv) > 1:
        vectors = read_vectors(argv[1])
        check(len(vectors) > 0, f"{argv[1]} holds vectors")
        for number, suffix, password, letters in vectors:
            got = encrypt_password(password, suffix)
            check(got == letters, f"line {number}: expected {letters[:48]}..., got {got[:48]}...")
            try:
                back = decrypt_password(letters, suffix)
            except ValueError as e:
                back = f"<{e}>"
            check(back == password, f"line {number}: the letters decipher to the password")

    print(f"{failures} failed" if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
