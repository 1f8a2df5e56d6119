"""Zip files and checksums that come out the same from the same files: entries in name
order, every entry stamped with the commit's time, fixed attributes, no extra fields."""

import hashlib
import os
import time
import zipfile

# Zip's MS-DOS times start in 1980.
_EARLIEST_ZIP_TIME = 315532800


def zip_time(epoch):
    """The entry time for a commit time (seconds since 1970, UTC)."""
    return time.gmtime(max(epoch, _EARLIEST_ZIP_TIME))[:6]


def write_zip(path, root, files, epoch):
    """Writes files ({name in the zip: path on disk}) under the folder root/ into path."""
    stamp = zip_time(epoch)
    with zipfile.ZipFile(path, "w") as archive:
        for name in sorted(files):
            entry = zipfile.ZipInfo(root + "/" + name, date_time=stamp)
            entry.create_system = 3  # Unix, whatever machine packs it
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(files[name], "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def write_checksums(folder, names, out_name="SHA256SUMS"):
    """SHA256SUMS over the named files of folder, in the format sha256sum -c reads."""
    lines = ["%s  %s\n" % (sha256_of(os.path.join(folder, name)), name) for name in sorted(names)]
    with open(os.path.join(folder, out_name), "w", encoding="ascii", newline="\n") as f:
        f.writelines(lines)
