#!/usr/bin/python3
"""Makes the certificates of the TLS tests in the given folder (PEM, EC P-256 keys):
  ca.pem/.key               a CA made here, to be named as the trusted file
  good.pem/.key             issued by the CA for 127.0.0.1 and localhost
  expired.pem/.key          issued by the CA for 127.0.0.1, expired yesterday
  otherhost.pem/.key        issued by the CA for other.example only
  selfsigned.pem/.key       self-signed for 127.0.0.1
"""

import datetime
import ipaddress
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID

DAY = datetime.timedelta(days=1)


def name(text):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, text)])


def main(folder):
    now = datetime.datetime.now(datetime.timezone.utc)
    ca_key = ec.generate_private_key(ec.SECP256R1())
    local = ["127.0.0.1", "localhost"]
    cases = {
        "ca": (now - DAY, now + 30 * DAY, None),
        "good": (now - DAY, now + 30 * DAY, local),
        "expired": (now - 30 * DAY, now - DAY, local),
        "otherhost": (now - DAY, now + 30 * DAY, ["other.example"]),
        "selfsigned": (now - DAY, now + 30 * DAY, local),
    }
    for base, (start, end, hosts) in cases.items():
        key = ca_key if base == "ca" else ec.generate_private_key(ec.SECP256R1())
        issuer, issuer_key = (base, key) if base in ("ca", "selfsigned") else ("ca", ca_key)
        builder = (x509.CertificateBuilder().subject_name(name(base)).issuer_name(name(issuer))
                   .public_key(key.public_key()).serial_number(x509.random_serial_number())
                   .not_valid_before(start).not_valid_after(end)
                   .add_extension(x509.BasicConstraints(ca=base == "ca", path_length=None),
                                  critical=True))
        if hosts:
            alt = [x509.IPAddress(ipaddress.ip_address(h)) if h[0].isdigit() else x509.DNSName(h)
                   for h in hosts]
            builder = builder.add_extension(x509.SubjectAlternativeName(alt), critical=False)
        with open(os.path.join(folder, base + ".pem"), "wb") as out:
            out.write(builder.sign(issuer_key, hashes.SHA256()).public_bytes(
                serialization.Encoding.PEM))
        with open(os.path.join(folder, base + ".key"), "wb") as out:
            out.write(key.private_bytes(serialization.Encoding.PEM,
                                        serialization.PrivateFormat.PKCS8,
                                        serialization.NoEncryption()))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
