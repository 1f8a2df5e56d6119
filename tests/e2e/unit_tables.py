"""Expected report lines of the unit and panel groups, written as compact tables.

A table is a list of rows: cat(...) opens a category, sub(...) a subcategory, t(...)
is one test. render() turns the rows into the group's whole lines, numbered as the
scan numbered them, so a test compares every line of a group at once."""

from kvtest import TAB, category, escape, group_end, group_start, load_profile, subcategory, system_text, test_block
from test_cpu_board import dump

__all__ = ["cat", "sub", "t", "ok", "na", "failed", "shown", "render", "dump", "selected", "profile_bytes",
           "changed"]


def cat(name, subcategory="CatUndef"):
    """BeginCategory; subcategory None: the caller opens its own."""
    return ("cat", name, subcategory)


def sub(name):
    return ("sub", name)


def t(label, result, description="DescrUndef"):
    """One test; result is a text ("String", "Passed") or (text, format, status)."""
    if isinstance(result, str):
        result = (result, "String", "Passed")
    return ("test", label, result, description)


def ok(text, fmt):
    return (text, fmt, "Passed")


def na(fmt="String"):
    return ("N/A", fmt, "Passed")


def failed(code):
    return (system_text(code), "String", "Failed")


def shown(code):
    """An error text that is not a failure."""
    return (system_text(code), "String", "Passed")


def _numbers(scan, name):
    """Group number and first test number of the group named name."""
    lines = scan.lines
    start = lines.index("\t\t<GroupName>%s</GroupName>" % escape(name)) - 2
    numbers = [int(line.strip()[len("<TestNumber>"):-len("</TestNumber>")]) for line in lines[:start]
               if line.startswith(TAB * 7 + "<TestNumber>")]
    return scan.groups().index(name) + 1, (max(numbers) if numbers else 0) + 1


def render(scan, name, description, rows, first_category=None, first_subcategory=None):
    """The whole group as the report holds it; first_subcategory None: MANUALSUBCATS."""
    number, test = _numbers(scan, name)
    lines = group_start(number, name, description, first_category, first_subcategory)
    open_sub = first_subcategory is not None
    for row in rows:
        if row[0] == "cat":
            lines += category(row[1], row[2], open_sub)
            open_sub = row[2] is not None
        elif row[0] == "sub":
            lines += subcategory(row[1], open_sub)
            open_sub = True
        else:
            _, label, (text, fmt, status), description_text = row
            lines += test_block(label, test, text, fmt, status, description_text)
            test += 1
    lines += group_end(open_sub)
    return [piece for line in lines for piece in line.split("\r\n")]


def selected(scan, entry_point, *selectors):
    """Traced calls of an entry point whose first argument is one of the selectors."""
    prefixes = tuple("%s(%d," % (entry_point, s) for s in selectors) + tuple("%s(%d)" % (entry_point, s)
                                                                              for s in selectors)
    return [call for call in scan.calls(entry_point) if call.startswith(prefixes)]


def profile_bytes(answer):
    """The bytes of a "hex" answer, padded as the library pads them up to length."""
    rows = answer["hex"] if isinstance(answer["hex"], list) else [answer["hex"]]
    data = bytes(int(pair, 16) for row in rows for pair in row.split())
    return data


def changed(name, **entries):
    """A shipped profile with answers replaced: key by key where the answers are keyed by selector, else whole."""
    profile = load_profile(name)
    for entry, answers in entries.items():
        keyed = all(key[:1].isdigit() or key.startswith("default") for key in answers)
        if keyed and entry in profile:
            profile[entry].update(answers)
        else:
            profile[entry] = answers
    return profile
