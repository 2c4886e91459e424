#!/usr/bin/env python3
"""Keys and signed file lists for the tests, made with python3-cryptography.

  signed_lists.py keys DIR             DIR/publisher.key (PKCS#8 PEM), DIR/publisher.xy (X||Y, 64 bytes),
                                       DIR/other.key: another signer
  signed_lists.py sign KEY BODY OUT    OUT: the body followed by its signature line
  signed_lists.py files DIR NAME...    the body of a list of the files DIR/NAME... (stdout; --version N,
                                       --expires TIME before DIR)
  signed_lists.py verifier-cases DIR   the documents of the verifier's table, one thing wrong in each
  signed_lists.py loop-cases DIR       DIR/files/ (a small client) and lists of it: good (version 200),
                                       older (100), expired, other-key; DIR/publisher.xy
"""
import hashlib
import os
import sys

from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, utils

FORMAT = b"format qxt-signed-file-list 1\n"


def new_key(path):
    key = ec.generate_private_key(ec.SECP256R1())
    with open(path, "wb") as f:
        f.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                  serialization.NoEncryption()))
    return key


def load_key(path):
    with open(path, "rb") as f:
        return serialization.load_pem_private_key(f.read(), None)


def point(key):
    numbers = key.public_key().public_numbers()
    return numbers.x.to_bytes(32, "big") + numbers.y.to_bytes(32, "big")


def signature_line(key, body, upper=False):
    r, s = utils.decode_dss_signature(key.sign(body, ec.ECDSA(hashes.SHA256())))
    text = (r.to_bytes(32, "big") + s.to_bytes(32, "big")).hex()
    return b"signature " + (text.upper() if upper else text).encode() + b"\n"


def keys(folder):
    os.makedirs(folder, exist_ok=True)
    key = new_key(os.path.join(folder, "publisher.key"))
    with open(os.path.join(folder, "publisher.xy"), "wb") as f:
        f.write(point(key))
    new_key(os.path.join(folder, "other.key"))


def file_line(size, data, name):
    return b"file %d %s %s\n" % (size, hashlib.sha256(data).hexdigest().encode(), name)


def files_body(folder, names, version, expires):
    body = FORMAT + b"version %d\n" % version + b"expires %s\n" % expires.encode()
    for name in sorted(n.encode() for n in names):
        with open(os.path.join(folder, name.decode()), "rb") as f:
            data = f.read()
        body += file_line(len(data), data, name)
    return body


def verifier_cases(folder):
    os.makedirs(folder, exist_ok=True)
    keys(folder)
    key = load_key(os.path.join(folder, "publisher.key"))
    other = load_key(os.path.join(folder, "other.key"))
    head = FORMAT + b"version 1765432100\n" + b"expires 2030-01-01T00:00:00Z\n"
    a = file_line(3, b"abc", b"QXTClient.exe")
    b = file_line(12, b"hello world\n", b"data\\x y.bin")
    valid = head + a + b

    def signed(body, signer=key):
        return body + signature_line(signer, body)

    cases = {
        "valid": signed(valid),
        "no-files": signed(head),
        "other-key": signed(valid, other),
        "version-max": signed(valid.replace(b"version 1765432100", b"version 9223372036854775807")),
        "leap-day": signed(valid.replace(b"2030-01-01", b"2028-02-29")),
        # Signed as they are: only the format is wrong.
        "no-format": signed(valid[len(FORMAT):]),
        "format-2": signed(valid.replace(b"list 1\n", b"list 2\n", 1)),
        "bom": signed(b"\xef\xbb\xbf" + valid),
        "no-version": signed(valid.replace(b"version 1765432100\n", b"")),
        "no-expires": signed(valid.replace(b"expires 2030-01-01T00:00:00Z\n", b"")),
        "only-format": signed(FORMAT),
        "fields-swapped": signed(FORMAT + b"expires 2030-01-01T00:00:00Z\nversion 1765432100\n" + a + b),
        "version-twice": signed(head + b"version 1765432101\n" + a),
        "unknown-line": signed(head + b"comment made by hand\n" + a),
        "crlf": signed(valid.replace(b"\n", b"\r\n")),
        "version-zero": signed(valid.replace(b"version 1765432100", b"version 0")),
        "version-leading-zero": signed(valid.replace(b"version 1765432100", b"version 01765432100")),
        "version-too-big": signed(valid.replace(b"version 1765432100", b"version 9223372036854775808")),
        "version-signed": signed(valid.replace(b"version 1765432100", b"version +1765432100")),
        "date-not-real": signed(valid.replace(b"2030-01-01", b"2029-02-29")),
        "date-other-form": signed(valid.replace(b"2030-01-01T00:00:00Z", b"2030-01-01 00:00:00Z")),
        "size-leading-zero": signed(head + a.replace(b"file 3 ", b"file 03 ")),
        "size-missing": signed(head + a.replace(b"file 3 ", b"file ")),
        "digest-upper-case": signed(head + b"file 3 " + hashlib.sha256(b"abc").hexdigest().upper().encode()
                                    + b" QXTClient.exe\n"),
        "digest-short": signed(head + b"file 3 " + hashlib.sha256(b"abc").hexdigest()[:62].encode() + b" QXTClient.exe\n"),
        "names-out-of-order": signed(head + b + a),
        "name-twice": signed(head + a + a),
        "name-outside": signed(head + file_line(3, b"abc", b"..\\evil.exe")),
        "name-empty": signed(head + a.replace(b" QXTClient.exe", b" ")),
        "name-not-utf8": signed(head + file_line(3, b"abc", b"caf\xe9.txt")),
        "name-control": signed(head + file_line(3, b"abc", b"a\tb.txt")),
        "no-signature": valid,
        "signature-upper-case": valid + signature_line(key, valid, upper=True),
        "signature-der": valid + b"signature " + key.sign(valid, ec.ECDSA(hashes.SHA256())).hex().encode() + b"\n",
        "signature-not-last": signed(valid) + a,
        "signature-twice": signed(valid) + signature_line(key, valid),
        "no-final-lf": signed(valid)[:-1],
        "trailing-byte": signed(valid) + b"x",
    }
    for label, document in cases.items():
        with open(os.path.join(folder, label + ".signed"), "wb") as f:
            f.write(document)


def loop_cases(folder):
    files = os.path.join(folder, "files")
    os.makedirs(files, exist_ok=True)
    keys(folder)
    key = load_key(os.path.join(folder, "publisher.key"))
    other = load_key(os.path.join(folder, "other.key"))
    contents = {
        "QXTClient.exe": bytes((i * 7 + i // 251) & 0xFF for i in range(70000)),
        "data.bin": bytes((i * 13 + 5) & 0xFF for i in range(5000)),
        "readme.txt": b"the third file\n",
    }
    for name, data in contents.items():
        with open(os.path.join(files, name), "wb") as f:
            f.write(data)
    names = list(contents)
    lists = {
        "good": (files_body(files, names, 200, "2099-12-31T23:59:59Z"), key),
        "older": (files_body(files, names, 100, "2099-12-31T23:59:59Z"), key),
        "expired": (files_body(files, names, 300, "2001-01-01T00:00:00Z"), key),
        "other-key": (files_body(files, names, 200, "2099-12-31T23:59:59Z"), other),
        "empty": (files_body(files, [], 400, "2099-12-31T23:59:59Z"), key),
    }
    for label, (body, signer) in lists.items():
        with open(os.path.join(folder, label + ".signed"), "wb") as f:
            f.write(body + signature_line(signer, body))


def main(argv):
    if len(argv) >= 2 and argv[0] == "keys":
        keys(argv[1])
    elif len(argv) == 4 and argv[0] == "sign":
        key = load_key(argv[1])
        with open(argv[2], "rb") as f:
            body = f.read()
        with open(argv[3], "wb") as f:
            f.write(body + signature_line(key, body))
    elif len(argv) >= 2 and argv[0] == "files":
        args = argv[1:]
        version, expires = 1, "2099-12-31T23:59:59Z"
        while args and args[0].startswith("--"):
            if args[0] == "--version":
                version = int(args[1])
            elif args[0] == "--expires":
                expires = args[1]
            else:
                sys.exit("unknown option " + args[0])
            args = args[2:]
        sys.stdout.buffer.write(files_body(args[0], args[1:], version, expires))
    elif len(argv) == 2 and argv[0] == "verifier-cases":
        verifier_cases(argv[1])
    elif len(argv) == 2 and argv[0] == "loop-cases":
        loop_cases(argv[1])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
