"""Expected report lines of the BIOS, general, voltage, operating controls and fan
settings groups, a model of the simulated library's answers for them, and a helper
that sets the registry key the BIOS group reads."""

import copy
import os
import struct
import subprocess

from kvtest import category, group_end, group_start, subcategory, system_text, test_block, wine_env


BIOS_KEY = r"HARDWARE\IXA\Bios"
IXA_KEY = r"HARDWARE\IXA"

BIOS = "BIOS"
GENERAL = "General"
VOLTAGES = "Voltages"
OP_CTRLS = "Operating controls"
FAN_SETTINGS = "Fan settings"

BIOS_DESCRIPTION = "Contains BIOS related tests like checking the version number or the BIOS ID."
GENERAL_DESCRIPTION = "Contains general tests like key configuration or user settings."
VOLTAGES_DESCRIPTION = "Contains voltage values like CMOS battery or Vin voltage."
OP_CTRLS_DESCRIPTION = "Contains operating controls related tests like push button or selector switch."
FAN_DESCRIPTION = "Contains information about the fan settings."
SERIAL_ID_DESCRIPTION = ("The User Serial ID is a 32-bit value that can be freely defined and allows you to give "
                         "the Kavrol device your own identification number.")
KEY_STATE_DESCRIPTION = ("\"Valid\" indicates that the key configuration is valid. \"Invalid\" is shown, if the key "
                         "configuration is invalid or not installed.")
KEY_LAYER_DESCRIPTION = "The number of the active key layer."
LAYER_MODE_DESCRIPTION = "0=Shift, 1=Toggle, 2=One-Shot."
SPECIAL_HARDWARE = "Can only be read with special hardware."


# Answers of a device of the module family: the family probe succeeds.
MODULE_FAMILY = {"IxaGetModuleTemperatureValue": {"0/0/0": {"u32": 35}}}
# A device without module entry points in a library that has them.
PLAIN_FAMILY = {"IxaGetModuleTemperatureValue": {"default": {"error": 1}}}


def device(family=MODULE_FAMILY, **answers):
    """A Corvabox C90 whose every value of these groups is readable (the line builders
    below default to its values), with answers replaced."""
    profile = {
        "IxaGetDeviceType": {"u32": 18},
        "IxaGetFirmwareStringW": {"21": {"wstr": "V1.17 R2"}, "23": {"wstr": "04/05/2023"}},
        "IxaGetFirmwareValue": {"28": {"u32": 1}},
        "IxaGetUserSerialId": {"u32": "0x1A2B"},
        "IxaGetKeyCfgState": {"u32": 1},
        "IxaGetKeyCfgStringW": {"0": {"wstr": "1.04"}, "1": {"wstr": "11/30/2022"}, "2": {"wstr": "Line 3 <east>"}},
        "IxaGetKeyLayer": {"u8": 3},
        "IxaGetKeyLayerMode": {"u8": 2},
        "IxaGetVoltage": {"3": {"u32": 3012}, "7": {"u32": 24150}, "8": {"u32": 240}},
        "IxaGetHardwareValue": {
            "37": {"u32": 1},
            "75": {"u32": 1}, "76": {"u32": 1},
            "71": {"u32": 1}, "72": {"u8": 255},
            "73": {"u32": 1}, "74": {"u32": 0},
            "48": {"u8": 1},
        },
        "IxaGetFanValue": {"0": {"u8": 0}, "1": {"u8": 40}},
    }
    profile.update(copy.deepcopy(family))
    for entry_point, replacement in answers.items():
        if isinstance(replacement, dict) and entry_point in profile and not _is_answer(replacement):
            profile[entry_point] = dict(profile[entry_point], **replacement)
        else:
            profile[entry_point] = replacement
    return {name: value for name, value in profile.items() if value is not None}


def _is_answer(value):
    return any(key in value for key in ("u8", "u16", "u32", "i8", "i16", "i32", "f32", "wstr", "hex", "error",
                                        "return"))


def volatile_key_tool():
    """tests/tools/volatile_key.c: creates and deletes keys below the volatile HKLM\\HARDWARE,
    which reg.exe and regedit cannot do."""
    return os.path.join(os.environ["KV_BIN_DIR"], "kv_volatile_key.exe")


def volatile_key(*args):
    """Runs the helper in the test prefix; returns its exit code (a Win32 error code).

    Tried a second time after a failure: on a busy machine one launch in a long run
    has been seen to end with exit code 1 and no other trace."""
    command = ["timeout", "60", "wine", volatile_key_tool()] + list(args)
    code = 1
    for _ in range(2):
        code = subprocess.run(command, env=wine_env(), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode
        if code == 0:
            break
    return code


def calls_with(scan, entry_point, selectors):
    """The traced calls of entry_point with one of these selectors, in call order."""
    prefix = entry_point + "("
    return [call for call in scan.calls(entry_point) if call[len(prefix):].split(",")[0] in selectors]


def error(code):
    return {"error": code}


def failed(name, number, code, description="DescrUndef"):
    """A test whose call failed with code: the program's text for it."""
    return test_block(name, number, system_text(code), "String", "Failed", description)


def not_available(name, number, fmt="String", description="DescrUndef"):
    return test_block(name, number, "N/A", fmt, "Passed", description)


def bios_group(number, first, version="V1.17 R2", build_date="04/05/2023", id_result=None, boot_mode="Normal area"):
    """id_result and boot_mode: a list of test lines builder or None for an absent test."""
    lines = group_start(number, BIOS, BIOS_DESCRIPTION)
    n = first
    for name, result in (("Version", version), ("Build date", build_date)):
        lines += result(name, n) if callable(result) else test_block(name, n, result)
        n += 1
    if id_result is not None:
        lines += id_result("ID", n) if callable(id_result) else test_block("ID", n, id_result)
        n += 1
    if boot_mode is not None:
        lines += test_block("Boot mode", n, boot_mode)
    return lines + group_end()


def general_group(number, first, serial_id=None, state="Valid", strings=None, key_layer=None, layer_mode=None):
    """serial_id, key_layer, layer_mode and the strings: test lines builders; None for the readable defaults."""
    lines = group_start(number, GENERAL, GENERAL_DESCRIPTION, "User Settings", subcategory=None)
    lines += subcategory("User Serial ID", subcategory_open=False)
    n = first
    lines += (serial_id or (lambda k: test_block("Value", k, "00001A2Bh", description=SERIAL_ID_DESCRIPTION)))(n)
    n += 1
    lines += category("Key Configuration")
    if callable(state):
        return lines + state(n) + group_end()
    lines += test_block("State", n, state, "Unknown", description=KEY_STATE_DESCRIPTION)
    n += 1
    if state == "Invalid":
        return lines + group_end()
    defaults = {"Version": "1.04", "Build date": "11/30/2022", "User information": "Line 3 <east>"}
    for name in ("Version", "Build date", "User information"):
        given = (strings or {}).get(name)
        lines += given(name, n) if given else test_block(name, n, defaults[name])
        n += 1
    lines += (key_layer or (lambda k: test_block("Key layer", k, "3", "Dec", description=KEY_LAYER_DESCRIPTION)))(n)
    n += 1
    lines += (layer_mode or (lambda k: test_block("Layer mode", k, "2", "Dec", description=LAYER_MODE_DESCRIPTION)))(n)
    return lines + group_end()


def voltages_group(number, first, vbat=("3.01", "Volt"), state="Good", vin=("24.15", "Volt"),
                   cpu_power=("0.24", "Watt")):
    """Each value: (result, format), a state text, or a test lines builder (name, number)."""
    lines = group_start(number, VOLTAGES, VOLTAGES_DESCRIPTION)
    if not callable(state):
        state = (state, "String")
    tests = (("CMOS battery voltage (Vbat)", vbat), ("CMOS battery state", state), ("Vin voltage", vin),
             ("CPU power", cpu_power))
    for offset, (name, value) in enumerate(tests):
        if callable(value):
            lines += value(name, first + offset)
        else:
            lines += test_block(name, first + offset, value[0], value[1])
    return lines + group_end()


def op_ctrls_group(number, first, push="1", selector="255", stop="0", enable="1"):
    """Each result: a text, or a test lines builder (name, number, description)."""
    lines = group_start(number, OP_CTRLS, OP_CTRLS_DESCRIPTION)
    tests = (("Push button", push), ("Selector switch", selector), ("Stop button", stop), ("Enable switch", enable))
    for offset, (name, result) in enumerate(tests):
        if callable(result):
            lines += result(name, first + offset, SPECIAL_HARDWARE)
        else:
            lines += test_block(name, first + offset, result, description=SPECIAL_HARDWARE)
    return lines + group_end()


def na_control(name, number, description):
    return not_available(name, number, description=description)


def failed_control(code):
    return lambda name, number, description: failed(name, number, code, description)


def fan_group(number, first, fan="Auto", bus_fan="40%"):
    """None leaves the test out."""
    lines = group_start(number, FAN_SETTINGS, FAN_DESCRIPTION)
    n = first
    for name, result in (("Fan min. speed", fan), ("Bus fan min. speed", bus_fan)):
        if result is not None:
            lines += test_block(name, n, result)
            n += 1
    return lines + group_end()


# What the simulated library answers for one call, worked out from the profile, so that
# every shipped device model can be checked line by line.
NUMBER_KINDS = {"u8": 1, "u16": 2, "u32": 4, "i8": 1, "i16": 2, "i32": 4, "f32": 4}


class Unsupported(Exception):
    """An answer this model of the library does not cover."""


def answer_of(profile, entry_point, key):
    answers = profile.get(entry_point)
    if answers is None:
        return None
    if key is None:
        answer = answers
    else:
        if any(name.startswith(key + "@") or name.startswith("default@") for name in answers):
            raise Unsupported("%s %s has panel answers" % (entry_point, key))
        answer = answers.get(key, answers.get("default"))
    if answer is None:
        return None
    return {name: value for name, value in answer.items() if not name.startswith("_")}


def number_of(kind, value):
    """The answer's bits as an unsigned number, and its width in bytes."""
    width = NUMBER_KINDS[kind]
    if kind == "f32":
        return struct.unpack("<I", struct.pack("<f", value))[0], width
    if isinstance(value, str):
        value = int(value, 16)
    return value & ((1 << (8 * width)) - 1), width


def read(profile, entry_point, key, size, text=False):
    """(succeeded, value or text, last error) of a call with a buffer of size bytes.

    key None: a one-value entry point, which writes its answer's own width into a
    32-bit variable."""
    answer = answer_of(profile, entry_point, key)
    if answer is None:
        return False, None, 87
    if "return" in answer:
        raise Unsupported("forced return value")
    if "error" in answer:
        return False, None, answer["error"]
    if "wstr" in answer and text:
        if (len(answer["wstr"].encode("utf-16-le")) + 2) > size:
            return False, None, 122
        return True, answer["wstr"], 0
    kinds = [kind for kind in NUMBER_KINDS if kind in answer]
    if len(kinds) != 1 or text:
        raise Unsupported(str(answer))
    value, width = number_of(kinds[0], answer[kinds[0]])
    if key is not None and width != size:
        return False, None, 87
    return True, value & ((1 << (8 * size)) - 1), 0


def thousandths(value):
    single = struct.unpack("<f", struct.pack("<f", float(value)))[0]
    return "%.2f" % struct.unpack("<f", struct.pack("<f", single / 1000.0))[0]


def expected_bios(profile):
    def build(number, first):
        lines = group_start(number, BIOS, BIOS_DESCRIPTION)
        n = first
        for name, selector in (("Version", "21"), ("Build date", "23")):
            ok, text, code = read(profile, "IxaGetFirmwareStringW", selector, 512, text=True)
            lines += test_block(name, n, text) if ok else failed(name, n, code)
            n += 1
        ok, area, _ = read(profile, "IxaGetFirmwareValue", "28", 4)
        if ok:
            lines += test_block("Boot mode", n, "Normal area" if area == 1 else "Backup area")
        return lines + group_end()
    return build


def expected_general(profile):
    def build(number, first):
        lines = group_start(number, GENERAL, GENERAL_DESCRIPTION, "User Settings", subcategory=None)
        lines += subcategory("User Serial ID", subcategory_open=False)
        ok, serial_id, code = read(profile, "IxaGetUserSerialId", None, 4)
        lines += (test_block("Value", first, "%08Xh" % serial_id, description=SERIAL_ID_DESCRIPTION) if ok
                  else failed("Value", first, code, SERIAL_ID_DESCRIPTION))
        lines += category("Key Configuration")
        ok, state, code = read(profile, "IxaGetKeyCfgState", None, 4)
        if not ok:
            return lines + failed("State", first + 1, code, KEY_STATE_DESCRIPTION) + group_end()
        lines += test_block("State", first + 1, "Valid" if state else "Invalid", "Unknown",
                            description=KEY_STATE_DESCRIPTION)
        if not state:
            return lines + group_end()
        n = first + 2
        for name, selector in (("Version", "0"), ("Build date", "1"), ("User information", "2")):
            ok, text, code = read(profile, "IxaGetKeyCfgStringW", selector, 512, text=True)
            if not ok:
                lines += failed(name, n, code)
            elif not text and selector == "2":
                lines += not_available(name, n)
            else:
                lines += test_block(name, n, text)
            n += 1
        ok, layer, code = read(profile, "IxaGetKeyLayer", None, 4)
        lines += (test_block("Key layer", n, "%d" % (layer & 0xFF), "Dec", description=KEY_LAYER_DESCRIPTION) if ok
                  else failed("Key layer", n, code, KEY_LAYER_DESCRIPTION))
        ok, mode, code = read(profile, "IxaGetKeyLayerMode", None, 4)
        if ok:
            lines += test_block("Layer mode", n + 1, "%d" % (mode & 0xFF), "Dec", description=LAYER_MODE_DESCRIPTION)
        elif code == 1:
            lines += not_available("Layer mode", n + 1, "Dec", LAYER_MODE_DESCRIPTION)
        else:
            lines += failed("Layer mode", n + 1, code, LAYER_MODE_DESCRIPTION)
        return lines + group_end()
    return build


def expected_voltages(profile):
    def build(number, first):
        lines = group_start(number, VOLTAGES, VOLTAGES_DESCRIPTION)
        tests = (("CMOS battery voltage (Vbat)", "3", "Volt"), ("CMOS battery state", None, None),
                 ("Vin voltage", "7", "Volt"), ("CPU power", "8", "Watt"))
        for offset, (name, selector, fmt) in enumerate(tests):
            n = first + offset
            if selector is None:
                ok, state, code = read(profile, "IxaGetHardwareValue", "37", 4)
                if ok:
                    lines += test_block(name, n, {0: "(unknown)", 1: "Good", 2: "Bad"}.get(state, "%u" % state))
                else:
                    lines += not_available(name, n) if code == 87 else failed(name, n, code)
                continue
            ok, value, code = read(profile, "IxaGetVoltage", selector, 4)
            if ok:
                lines += test_block(name, n, thousandths(value), fmt)
            else:
                lines += not_available(name, n) if code in (87, 1) else failed(name, n, code)
        return lines + group_end()
    return build


def expected_op_ctrls(profile):
    def build(number, first):
        lines = group_start(number, OP_CTRLS, OP_CTRLS_DESCRIPTION)
        tests = (("Push button", "75", "76", 4), ("Selector switch", "71", "72", 1), ("Stop button", "73", "74", 4))
        for offset, (name, presence, selector, size) in enumerate(tests):
            n = first + offset
            ok, present, _ = read(profile, "IxaGetHardwareValue", presence, 4)
            if not ok or not present:
                lines += not_available(name, n, description=SPECIAL_HARDWARE)
                continue
            ok, value, code = read(profile, "IxaGetHardwareValue", selector, size)
            if ok and size == 4 and value >= 1 << 31:
                value -= 1 << 32
            lines += (test_block(name, n, "%d" % value, description=SPECIAL_HARDWARE) if ok
                      else failed(name, n, code, SPECIAL_HARDWARE))
        ok, value, code = read(profile, "IxaGetHardwareValue", "48", 1)
        if ok:
            lines += test_block("Enable switch", first + 3, "%d" % value, description=SPECIAL_HARDWARE)
        elif code in (1168, 87):
            lines += not_available("Enable switch", first + 3, description=SPECIAL_HARDWARE)
        else:
            lines += failed("Enable switch", first + 3, code, SPECIAL_HARDWARE)
        return lines + group_end()
    return build


def expected_fan_settings(profile):
    """The builder, or None when the group is absent."""
    readings = []
    for name, selector in (("Fan min. speed", "0"), ("Bus fan min. speed", "1")):
        ok, percent, _ = read(profile, "IxaGetFanValue", selector, 1)
        if ok:
            readings.append((name, "Auto" if percent == 0 else "%u%%" % percent))
    if not readings:
        return None

    def build(number, first):
        lines = group_start(number, FAN_SETTINGS, FAN_DESCRIPTION)
        for offset, (name, result) in enumerate(readings):
            lines += test_block(name, first + offset, result)
        return lines + group_end()
    return build


def expected_groups(profile):
    """The groups of these Parts in report order, each with its builder."""
    ok, device_type, _ = read(profile, "IxaGetDeviceType", None, 4)
    known = ok and device_type != 0
    ok, _, code = read(profile, "IxaGetModuleTemperatureValue", "0/0/0", 4)
    sequence_a = ok or code != 1
    groups = []
    if known:
        groups.append((BIOS, expected_bios(profile)))
    if sequence_a:
        fan = expected_fan_settings(profile)
        if fan:
            groups.append((FAN_SETTINGS, fan))
        if known:
            groups += [(OP_CTRLS, expected_op_ctrls(profile)), (GENERAL, expected_general(profile)),
                       (VOLTAGES, expected_voltages(profile))]
    elif known:
        groups += [(GENERAL, expected_general(profile)), (OP_CTRLS, expected_op_ctrls(profile))]
    return groups
