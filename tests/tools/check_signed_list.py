#!/usr/bin/python3
"""Checks a signed file list the way a keyed setup program must read it.

    check_signed_list.py LIST PUBKEY

Prints the list's version, expiry and "SIZE SHA256 NAME" per file, one per
line; exit code 1 with the reason on the standard error when the document is
not in the format, or its signature does not check with PUBKEY. Written from
the format's description, independently of tools/make-manifest.
"""
import re
import sys

from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import encode_dss_signature


def check(document, public_key):
    if b"\r" in document:
        return "a carriage return"
    if not document.endswith(b"\n"):
        return "the last line has no line feed"
    lines = document[:-1].split(b"\n")
    if lines[0] != b"format qxt-signed-file-list 1":
        return f"format line {lines[0]!r}"
    version = re.fullmatch(rb"version ([1-9][0-9]*)", lines[1])
    if not version or int(version.group(1)) >= 1 << 63:
        return f"version line {lines[1]!r}"
    if not re.fullmatch(rb"expires \d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", lines[2]):
        return f"expires line {lines[2]!r}"
    files = lines[3:-1]
    names = []
    for line in files:
        m = re.fullmatch(rb"file (0|[1-9][0-9]*) ([0-9a-f]{64}) (.+)", line)
        if not m:
            return f"file line {line!r}"
        names.append(m.group(3))
    if names != sorted(set(names)):
        return "names not in byte order, or one twice"
    signature = re.fullmatch(rb"signature ([0-9a-f]{128})", lines[-1])
    if not signature:
        return f"signature line {lines[-1]!r}"
    raw = bytes.fromhex(signature.group(1).decode())
    der = encode_dss_signature(int.from_bytes(raw[:32], "big"), int.from_bytes(raw[32:], "big"))
    signed = document[:len(document) - len(lines[-1]) - 1]
    try:
        public_key.verify(der, signed, ec.ECDSA(hashes.SHA256()))
    except InvalidSignature:
        return "the signature does not check"
    print(version.group(1).decode())
    print(lines[2][len(b"expires "):].decode())
    for line in files:
        print(line[len(b"file "):].decode("utf-8"))
    return None


def main():
    document = open(sys.argv[1], "rb").read()
    public_key = serialization.load_pem_public_key(open(sys.argv[2], "rb").read())
    problem = check(document, public_key)
    if problem:
        print(f"{sys.argv[1]}: {problem}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
