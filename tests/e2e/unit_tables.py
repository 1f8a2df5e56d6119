"""Expected report lines of the unit and panel groups, written as compact tables.

A table is a list of rows: cat(...) opens a category, sub(...) a subcategory, t(...)
is one test. render() turns the rows into the group's whole lines, numbered as the
scan numbered them, so a test compares every line of a group at once."""

from kvtest import TAB, category, escape, group_end, group_start, load_profile, subcategory, system_text, test_block
from test_cpu_board import dump

__all__ = ["cat", "sub", "t", "ok", "na", "failed", "shown", "render", "dump", "selected", "profile_bytes",
           "changed", "group_calls", "selection_run"]


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


def selected(source, entry_point, *selectors):
    """Calls of an entry point whose first argument is one of the selectors, in a scan or a list of trace lines."""
    calls = source.calls(entry_point) if hasattr(source, "calls") else [
        line for line in source if line.startswith(entry_point + "(")]
    prefixes = tuple("%s(%d," % (entry_point, s) for s in selectors) + tuple("%s(%d)" % (entry_point, s)
                                                                              for s in selectors)
    return [call for call in calls if call.startswith(prefixes)]


def group_calls(scan, first_call):
    """The calls of one group behind the device-type gate: from the device type read that opens it (the last one
    before a call starting with first_call) up to the next group's device type read."""
    trace = scan.trace
    first = next(i for i, line in enumerate(trace) if line.startswith(first_call))
    start = max(i for i in range(first) if trace[i].startswith("IxaGetDeviceType("))
    end = next((i for i in range(first, len(trace)) if trace[i].startswith("IxaGetDeviceType(")), len(trace))
    return trace[start:end]


def selection_run(trace, expected):
    """The trace from where the panel selections run exactly as expected, one after the other; None if nowhere."""
    selections = [i for i, line in enumerate(trace) if line.startswith("IxaSelectPanel(")]
    for k in range(len(selections) - len(expected) + 1):
        if [trace[i] for i in selections[k:k + len(expected)]] == expected:
            return trace[selections[k]:]
    return None


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
