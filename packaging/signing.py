"""Authenticode signatures (SHA-256) through osslsigncode, each verified after signing.

The certificate's password comes from the environment variable KV_SIGN_PASSWORD only and
reaches the tools through a pipe or their own environment option, never a command line,
where any user of the machine could read it."""

import os
import shutil
import subprocess

PASSWORD_VARIABLE = "KV_SIGN_PASSWORD"
# Where Debian keeps the certificate authorities a signature's chain may end in.
SYSTEM_CERTIFICATES = "/etc/ssl/certs/ca-certificates.crt"


class SigningError(Exception):
    pass


def _password():
    password = os.environ.get(PASSWORD_VARIABLE)
    if password is None:
        raise SigningError("set %s to the certificate's password (empty for none)" % PASSWORD_VARIABLE)
    return password


def _run(command, what, password=None):
    """Runs a tool; the password, when given, is readable at the path "{password}" stands for."""
    read_end = None
    if password is not None:
        read_end, write_end = os.pipe()
        os.write(write_end, password.encode("utf-8"))
        os.close(write_end)
        command = [part.replace("{password}", "/dev/fd/%d" % read_end) for part in command]
    try:
        done = subprocess.run(command, capture_output=True, text=True,
                              pass_fds=(read_end,) if read_end is not None else ())
    finally:
        if read_end is not None:
            os.close(read_end)
    if done.returncode != 0:
        raise SigningError("%s failed:\n%s%s" % (what, done.stdout, done.stderr))
    return done.stdout


class Signer:
    """Signs with one PKCS#12 file; verifies against its own certificates (a self-made
    one included) and the system's certificate authorities."""

    def __init__(self, pfx, workdir, timestamp_url=None):
        if not os.path.isfile(pfx):
            raise SigningError("no certificate file %s" % pfx)
        self.pfx = os.path.abspath(pfx)
        self.timestamp_url = timestamp_url
        self.password = _password()
        self.trusted = os.path.join(workdir, "trusted-certificates.pem")
        _run(["openssl", "pkcs12", "-in", self.pfx, "-nokeys", "-passin", "env:" + PASSWORD_VARIABLE,
              "-out", self.trusted], "reading the certificates of " + pfx)
        if os.path.exists(SYSTEM_CERTIFICATES):
            with open(self.trusted, "ab") as out, open(SYSTEM_CERTIFICATES, "rb") as system:
                shutil.copyfileobj(system, out)

    def sign(self, path):
        """Signs path in place, then verifies the signature."""
        signed = path + ".signed"
        command = ["osslsigncode", "sign", "-pkcs12", self.pfx, "-readpass", "{password}", "-h", "sha256",
                   "-n", "Kavrol Inspectra"]
        if self.timestamp_url:
            command += ["-ts", self.timestamp_url]
        _run(command + ["-in", path, "-out", signed], "signing " + path, self.password)
        os.replace(signed, path)
        self.verify(path)

    def verify(self, path):
        _run(["osslsigncode", "verify", "-in", path, "-CAfile", self.trusted], "verifying the signature of " + path)
