"""Random device profiles for fault injection.

From a seed, a profile in which the entry points and keys the program reads answer
at random: plausible values taken from the shipped profiles of any model, and faults
(every error the groups tell apart and others, numbers of the wrong width, empty,
maximal, too long and unterminated texts, characters XML forbids, raw blocks of any
length, forced return values, panel-specific answers, odd device types). Half the
profiles build on a shipped model profile and change part of it, the others are
made up from scratch. The same seed gives the same profile for the same profiles/.

The keys come from the shipped profiles, which answer what the groups read; the
module and panel-module keys are spread over every module and panel index.
"""

import glob
import json
import os
import random
import struct

from kvtest import DIRECT_ANSWERS, PROFILES_DIR, load_profile, overlay

# Errors the groups tell apart, then others no group expects.
KNOWN_ERRORS = [1, 87, 122, 1168, 31, 23, 50]
OTHER_ERRORS = [0, 2, 5, 6, 13, 21, 120, 126, 1610, 0x7FFFFFFF, 0x80004005, 0xFFFFFFFF]
RETURNS = [0, 2, -1, 7, 0x7FFFFFFF, -0x80000000]
KNOWN_TYPES = [6, 7] + list(range(12, 25))
ODD_TYPES = [0, 1, 5, 25, 99, 255, 0x100, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF]
NUMBER_KINDS = {"u8": (0, 0xFF), "u16": (0, 0xFFFF), "u32": (0, 0xFFFFFFFF), "i8": (-0x80, 0x7F),
                "i16": (-0x8000, 0x7FFF), "i32": (-0x80000000, 0x7FFFFFFF)}
FLOATS = [0.0, -1.5, 23.75, 1e-45, 1e30, -3.4e38, 3.4e38]
TEXT_LENGTHS = [0, 1, 2, 7, 8, 15, 16, 99, 100, 127, 128, 199, 200, 254, 255, 256, 257, 300]
BLOCK_LENGTHS = [0, 1, 2, 3, 4, 5, 8, 16, 17, 32, 100, 255, 256, 257, 300, 511, 512, 513, 600, 2048]
ODD_CHARACTERS = "\x00\x01\x08\x0b\x0c\x1f\ufffe\uffff\ufffd&<>\"'\t\r\n\U0001F600\u00e4\u20ac"
# Entry points whose answers depend on nothing but the call: a panel-specific device type
# would make the groups a scan must write depend on the order of panel selections.
NOT_PER_PANEL = {"IxaGetDeviceType"}

USES = {"IxaGetDisplayEqualizer": "equalizer", "IxaUploadFileW": "file", "IxaSelectPanel": "status",
        "IxaEnableWmi": "status", "IxaGetKeyMatrix": "buffer", "IxaGetKeySwitches": "buffer"}
# Entry points whose sub-index picks a fan, sensor or counter set (0 to 3).
SUB_INDEXED = {"IxaGetModuleFanValue", "IxaGetModuleTemperatureValue", "IxaGetModuleStatisticsValue",
               "IxaGetPanelModuleStatisticsValue", "IxaGetPanelModuleTemperatureValue"}


def use_of(entry):
    return USES.get(entry, "value" if entry in DIRECT_ANSWERS else "buffer")


def key_shape(entry):
    """"module" (selector/module/sub), "panel" (selector/panel/module/sub), or "plain"."""
    if entry.startswith("IxaGetPanelModule"):
        return "panel"
    if entry.startswith("IxaGetModule"):
        return "module"
    return "plain"


def normal_key(entry, key):
    """The key without its module and panel index: what answers of any module share."""
    parts = key.split("/")
    if key_shape(entry) == "module":
        return (parts[0], parts[2])
    if key_shape(entry) == "panel":
        return (parts[0], parts[2], parts[3])
    return key


class Universe:
    """Entry points, the keys the program reads and the answers the shipped profiles give."""

    def __init__(self):
        self.profiles = sorted(os.path.basename(p) for p in glob.glob(os.path.join(PROFILES_DIR, "*.json")))
        self.templates = {}  # (entry, normal key) -> shipped answers
        for name in self.profiles:
            for entry, answers in sorted(load_profile(name).items()):
                if entry.startswith("_") or entry == "delayMs":
                    continue
                if entry in DIRECT_ANSWERS:
                    self.add(entry, "", {k: v for k, v in answers.items() if not k.startswith("@panel")})
                    continue
                for key, answer in sorted(answers.items()):
                    if not key.startswith("_") and not key.startswith("default"):
                        self.add(entry, normal_key(entry, key.split("@")[0]), answer)
        self.spread()
        self.entries = sorted({entry for entry, _ in self.templates})

    def spread(self):
        """Keys the groups read that the shipped profiles leave to their defaults: every
        sub-index, panel module, panel and LED layer, answered like their neighbours."""
        for (entry, key), answers in list(self.templates.items()):
            if key_shape(entry) == "plain":
                continue
            subs = [str(sub) for sub in range(4)] if entry in SUB_INDEXED else [key[-1]]
            if key_shape(entry) == "module":
                for sub in subs:
                    self.templates.setdefault((entry, (key[0], sub)), answers)
            elif key_shape(entry) == "panel":
                for module in range(5):
                    for sub in subs:
                        self.templates.setdefault((entry, (key[0], str(module), sub)), answers)
        for layer in range(4):
            self.templates.setdefault(("IxaGetLedMatrix", str(layer)), self.templates.get(("IxaGetLedMatrix", "0"), []))
        for panel in range(16):
            self.add("IxaSelectPanel", str(panel), {"return": 1})
        for on in range(2):
            self.add("IxaEnableWmi", str(on), {"return": 1})

    def add(self, entry, key, answer):
        answers = self.templates.setdefault((entry, key), [])
        if answer not in answers:
            answers.append(answer)

    def keys(self, entry):
        return sorted({key for e, key in self.templates if e == entry}, key=str)


def random_text(rng):
    length = rng.choice(TEXT_LENGTHS)
    pool = rng.choice(["ascii", "odd", "mixed"])
    if pool == "ascii":
        chars = [chr(rng.randrange(0x20, 0x7F)) for _ in range(length)]
    elif pool == "odd":
        chars = [rng.choice(ODD_CHARACTERS) for _ in range(length)]
    else:
        chars = [rng.choice([chr(rng.randrange(0x20, 0xD800)), rng.choice(ODD_CHARACTERS)]) for _ in range(length)]
    text = "".join(chars)
    return text + rng.choice(["", "", "\n", "\r\n", "\n\r"])


def random_bytes(rng, length):
    pattern = rng.choice(["random", "ff", "zero", "utf16"])
    if pattern == "ff":
        return bytes([0xFF]) * length
    if pattern == "zero":
        return bytes(length)
    if pattern == "random":
        return bytes(rng.randrange(256) for _ in range(length))
    # UTF-16 text with unpaired surrogates, noncharacters and no terminator.
    units = [rng.choice([0x41, 0x3C, 0x26, 0xD800, 0xDC00, 0xFFFE, 0x0001, 0x00E4]) for _ in range(length // 2)]
    return b"".join(struct.pack("<H", u) for u in units) + bytes(length % 2)


def random_number(rng):
    kind = rng.choice(list(NUMBER_KINDS) + ["f32"])
    if kind == "f32":
        return {kind: rng.choice(FLOATS)}
    low, high = NUMBER_KINDS[kind]
    return {kind: rng.choice([low, high, 0, 1, rng.randint(low, high)])}


def random_error(rng):
    return {"error": rng.choice(KNOWN_ERRORS) if rng.random() < 0.7 else rng.choice(OTHER_ERRORS)}


def random_fault(rng, use):
    """Any answer the entry point's kind takes, most of them faults."""
    if use == "status":
        answer = random_error(rng) if rng.random() < 0.7 else {"return": rng.choice(RETURNS)}
    elif use == "equalizer":
        answer = rng.choice([{"mode": rng.choice([0, 1, 0xFFFFFFFF]), "value": rng.randrange(256)},
                             random_error(rng), {"return": rng.choice(RETURNS)}])
    else:
        kinds = ["number", "error", "return"] if use == "value" else ["number", "text", "bytes", "error", "return"]
        if use == "file":
            kinds.remove("number")
        kind = rng.choice(kinds)
        if kind == "number":
            answer = random_number(rng)
        elif kind == "text":
            answer = {"wstr": random_text(rng)}
        elif kind == "bytes":
            answer = {"hex": random_bytes(rng, rng.choice(BLOCK_LENGTHS)).hex()}
            if rng.random() < 0.4:
                answer["fill"] = rng.choice([0, 0x41, 0xFF, rng.randrange(256)])
            if rng.random() < 0.2:
                answer["length"] = len(answer["hex"]) // 2 + rng.choice([0, 1, 100, 600])
        elif kind == "error":
            answer = random_error(rng)
        else:
            return {"return": rng.choice(RETURNS)}
    if "return" not in answer and "mode" not in answer and rng.random() < 0.15:
        answer["return"] = rng.choice(RETURNS)
    return answer


def plausible(rng, answer):
    """A shipped answer, its number or text sometimes changed within its kind."""
    answer = {k: v for k, v in answer.items() if not k.startswith("_")}
    for kind, (low, high) in NUMBER_KINDS.items():
        if kind in answer and rng.random() < 0.5:
            answer[kind] = rng.choice([low, high, 0, 1, rng.randint(low, high)])
    if "wstr" in answer and rng.random() < 0.3:
        answer["wstr"] = random_text(rng)
    return answer


class Generator:
    """One seed's profile: which modules and panels are fitted, how faulty the device is."""

    def __init__(self, universe, seed):
        self.u = universe
        self.rng = random.Random(seed)
        self.fault_rate = self.rng.choice([0.02, 0.1, 0.3, 0.6, 0.9])
        self.modules = [m for m in range(16) if self.rng.random() < 0.3]
        self.panels = [p for p in range(16) if self.rng.random() < 0.2]

    def answer(self, entry, key):
        templates = self.u.templates.get((entry, key))
        if templates and self.rng.random() >= self.fault_rate:
            return plausible(self.rng, self.rng.choice(templates))
        return random_fault(self.rng, use_of(entry))

    def concrete_keys(self, entry, key):
        """The calls a normal key stands for on this seed's modules and panels."""
        if key_shape(entry) == "module":
            return ["%s/%d/%s" % (key[0], m, key[1]) for m in self.modules]
        if key_shape(entry) == "panel":
            return ["%s/%d/%s/%s" % (key[0], p, key[1], key[2]) for p in self.panels]
        return [key]

    def keyed(self, entry, share):
        answers = {}
        for key in self.u.keys(entry):
            for concrete in self.concrete_keys(entry, key):
                if self.rng.random() < share:
                    answers[concrete] = self.answer(entry, key)
                if self.rng.random() < 0.05:
                    answers["%s@panel%d" % (concrete, self.rng.randrange(17))] = self.answer(entry, key)
        if self.rng.random() < 0.5:
            answers["default"] = random_fault(self.rng, use_of(entry))
        if self.rng.random() < 0.2:
            answers["default@panel%d" % self.rng.randrange(16)] = random_fault(self.rng, use_of(entry))
        return answers

    def direct(self, entry):
        answer = self.answer(entry, "")
        if entry not in NOT_PER_PANEL and self.rng.random() < 0.3:
            for _ in range(self.rng.randint(1, 3)):
                answer["@panel%d" % self.rng.randrange(16)] = self.answer(entry, "")
        return answer

    def device_type(self):
        rng = self.rng
        choice = rng.random()
        if choice < 0.55:
            return {"u32": rng.choice(KNOWN_TYPES)}
        if choice < 0.7:
            return {"u32": rng.choice(ODD_TYPES)}
        if choice < 0.8:
            return {rng.choice(["u8", "u16", "i8"]): rng.choice(KNOWN_TYPES)}
        if choice < 0.9:
            return {"u32": rng.choice(KNOWN_TYPES), "return": rng.choice(RETURNS)}
        return random_fault(rng, "value")

    def profile(self):
        """The profile (a dict) and the shipped profile it builds on (None for none)."""
        rng = self.rng
        base = rng.choice(self.u.profiles) if rng.random() < 0.5 else None
        share = self.fault_rate if base else rng.choice([0.3, 0.7, 1.0])
        profile = {"_comment": "fault injection"}
        for entry in self.u.entries:
            if entry == "IxaGetDeviceType":
                continue
            if rng.random() < (0.05 if base else 0.03):
                profile[entry] = None if base else {}
                continue
            if entry in DIRECT_ANSWERS:
                if not base or rng.random() < share:
                    profile[entry] = self.direct(entry)
            else:
                profile[entry] = self.keyed(entry, share)
        if not base or rng.random() < 0.5:
            profile["IxaGetDeviceType"] = self.device_type()
        profile = {k: v for k, v in profile.items() if v != {}}
        return profile, base


def make_profile(universe, seed):
    """(profile dict, base profile name or None, the library variant: "default", "legacy" or None)."""
    generator = Generator(universe, seed)
    profile, base = generator.profile()
    roll = generator.rng.random()
    library = "default" if roll < 0.85 else "legacy" if roll < 0.97 else None
    return profile, base, library


def merged(profile, base):
    """The profile as the simulated library sees it, its base applied."""
    return overlay(load_profile(base) if base else {}, json.loads(json.dumps(profile)))
