"""Finishes an MSI that wixl wrote, through libmsi (the library wixl writes with):

- the package code and the summary information's creation and save times, which wixl
  makes new on every build, become values derived from the commit, so the same source
  gives the same MSI;
- the programs and libraries get their file version, which wixl does not read from
  them, and so lose their hash rows (Windows Installer compares versioned files by
  version).

    /usr/bin/python3 msi_stamp.py PACKAGE.msi {PACKAGE-CODE} EPOCH FILE-VERSION

Runs under Debian's Python, where the libmsi binding (gir1.2-libmsi-1.0, python3-gi) is.
"""

import sys

import gi

gi.require_version("Libmsi", "1.0")
from gi.repository import Libmsi  # noqa: E402

# FILETIME counts 100 ns from 1601; Unix time seconds from 1970.
_FILETIME_1970 = 116444736000000000
_VERSIONED = (".exe", ".dll")


def _execute(database, sql):
    query = Libmsi.Query.new(database, sql)
    query.execute(None)
    return query


def _versioned_files(database):
    query = _execute(database, "SELECT `File`, `FileName` FROM `File`")
    found = []
    record = query.fetch()
    while record is not None:
        if record.get_string(2).lower().endswith(_VERSIONED):
            found.append(record.get_string(1))
        record = query.fetch()
    query.close()
    return found


def stamp(path, package_code, epoch, file_version):
    database = Libmsi.Database.new(path, Libmsi.DbFlags.TRANSACT, None)
    for file_id in _versioned_files(database):
        _execute(database, "UPDATE `File` SET `Version` = '%s' WHERE `File` = '%s'" % (file_version, file_id)).close()
        _execute(database, "DELETE FROM `MsiFileHash` WHERE `File_` = '%s'" % file_id).close()
    summary = Libmsi.SummaryInfo.new(database, 0xFFFFFFFF)
    summary.set_string(Libmsi.Property.UUID, package_code)
    filetime = _FILETIME_1970 + epoch * 10000000
    summary.set_filetime(Libmsi.Property.CREATED_TM, filetime)
    summary.set_filetime(Libmsi.Property.LASTSAVED_TM, filetime)
    summary.persist()
    database.commit()


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit("usage: msi_stamp.py PACKAGE.msi {PACKAGE-CODE} EPOCH FILE-VERSION")
    stamp(sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4])
