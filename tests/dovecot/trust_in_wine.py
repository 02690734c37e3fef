#!/usr/bin/env python3
"""Makes a Wine prefix trust a test CA: writes the .reg file that puts the certificate into the machine's
Root store, and imports it with `wine regedit /S` (no display needed; it lasts across wineserver restarts).

    trust_in_wine.py CA_PEM            imports into $WINEPREFIX
    trust_in_wine.py CA_PEM --reg OUT  only writes the .reg file
"""

import argparse
import hashlib
import os
import ssl
import struct
import subprocess
import sys
import tempfile


def root_store_reg(pem_text):
    """The .reg text: key named by the SHA-1 of the DER, value "Blob" holding the serialized properties
    3 (that SHA-1) and 0x20 (the DER), each as <id u32><1 u32><length u32><bytes>."""
    der = ssl.PEM_cert_to_DER_cert(pem_text)
    sha1 = hashlib.sha1(der).digest()
    blob = struct.pack("<III", 3, 1, len(sha1)) + sha1 + struct.pack("<III", 0x20, 1, len(der)) + der
    pairs = [f"{b:02x}" for b in blob]
    lines = [",".join(pairs[i:i + 24]) for i in range(0, len(pairs), 24)]
    key = r"HKEY_LOCAL_MACHINE\Software\Microsoft\SystemCertificates\Root\Certificates" + "\\" + sha1.hex().upper()
    return "REGEDIT4\r\n\r\n[" + key + "]\r\n\"Blob\"=hex:" + ",\\\r\n  ".join(lines) + "\r\n"


def trust(pem_path, env=None):
    """Imports the CA into the prefix of `env` (default: this process's WINEPREFIX)."""
    with open(pem_path, encoding="ascii") as f:
        text = root_store_reg(f.read())
    with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False, newline="") as reg:
        reg.write(text)
    try:
        subprocess.run(["wine", "regedit", "/S", reg.name], env=env, check=True, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    finally:
        os.unlink(reg.name)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("ca_pem")
    parser.add_argument("--reg", help="write the .reg file here instead of importing it")
    args = parser.parse_args()
    if args.reg:
        with open(args.ca_pem, encoding="ascii") as f, open(args.reg, "w", newline="") as out:
            out.write(root_store_reg(f.read()))
    else:
        trust(args.ca_pem)
    return 0


if __name__ == "__main__":
    sys.exit(main())
