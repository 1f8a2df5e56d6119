"""The BIOS, general, voltage, operating controls and fan settings groups.

Each scan runs against a device profile built here as a dict. The group and test
numbers of a group depend on what the report holds before it, so they are taken
from the group's position in the report and the tests written before it; the
expected lines then check the numbering as well as every text and verdict.
"""

import glob
import os
import unittest

from host_groups import (BIOS, BIOS_KEY, FAN_SETTINGS, GENERAL, IXA_KEY, KEY_LAYER_DESCRIPTION, KEY_STATE_DESCRIPTION,
                         LAYER_MODE_DESCRIPTION, OP_CTRLS, PLAIN_FAMILY, SERIAL_ID_DESCRIPTION, VOLTAGES, Unsupported,
                         bios_group, calls_with, device, error, expected_groups, failed, failed_control, fan_group,
                         general_group, na_control, not_available, op_ctrls_group, read, volatile_key,
                         voltages_group)
from kvtest import PROFILES_DIR, TAB, ScanTestCase, escape, load_profile, test_block


class HostGroupsTestCase(ScanTestCase):

    def setUp(self):
        super().setUp()
        self.assertEqual(0, volatile_key("delete", IXA_KEY))
        self.addCleanup(volatile_key, "delete", IXA_KEY)

    def set_bios_key(self, value_name, kind, data):
        self.assertEqual(0, volatile_key("set", BIOS_KEY, value_name, kind, data))

    def placed(self, scan, name):
        """Group number and first test number of the group as its place in the report gives them."""
        self.assertIn(name, scan.groups())
        number = scan.groups().index(name) + 1
        start = scan.lines.index(TAB * 2 + "<GroupName>%s</GroupName>" % escape(name)) - 2
        tests_before = sum(1 for line in scan.lines[:start] if line.startswith(TAB * 7 + "<TestNumber>"))
        return number, tests_before + 1

    def assertGroup(self, scan, name, build):
        """Compares the whole group with build(group number, first test number)."""
        number, first = self.placed(scan, name)
        self.assertLines(build(number, first), scan.group(name))

    def assertOrder(self, expected, scan):
        """These groups, and no other of them, appear in this order."""
        mine = {BIOS, GENERAL, VOLTAGES, OP_CTRLS, FAN_SETTINGS}
        self.assertEqual(expected, [name for name in scan.groups() if name in mine])


class BiosTest(HostGroupsTestCase):

    def test_version_build_date_id_and_normal_boot_area(self):
        self.set_bios_key("VersionID", "sz", "KV-BIOS-0815")
        scan = self.scan(profile=device())
        self.assertGroup(scan, BIOS, lambda n, t: bios_group(n, t, id_result="KV-BIOS-0815"))
        self.assertEqual(["IxaGetFirmwareStringW(21, 512) = 1 [0]", "IxaGetFirmwareStringW(23, 512) = 1 [0]"],
                         calls_with(scan, "IxaGetFirmwareStringW", ("21", "23")))
        self.assertEqual(["IxaGetFirmwareValue(28, 4) = 1 [0]"], calls_with(scan, "IxaGetFirmwareValue", ("28",)))

    def test_unreadable_firmware_strings_fail_with_the_system_text_and_the_rest_follows(self):
        self.set_bios_key("VersionID", "sz", "ID 7")
        scan = self.scan(profile=device(IxaGetFirmwareStringW={"21": error(87), "23": error(1)}))
        self.assertGroup(scan, BIOS, lambda n, t: bios_group(
            n, t, version=lambda name, k: failed(name, k, 87), build_date=lambda name, k: failed(name, k, 1),
            id_result="ID 7"))

    def test_other_firmware_string_errors_fail_with_their_system_text(self):
        scan = self.scan(profile=device(IxaGetFirmwareStringW={"21": error(5), "23": error(1168)}))
        self.assertGroup(scan, BIOS, lambda n, t: bios_group(
            n, t, version=lambda name, k: failed(name, k, 5), build_date=lambda name, k: failed(name, k, 1168)))

    def test_without_the_registry_key_there_is_no_id_test(self):
        scan = self.scan(profile=device(IxaGetFirmwareValue={"28": {"u32": 0}}))
        self.assertGroup(scan, BIOS, lambda n, t: bios_group(n, t, boot_mode="Backup area"))

    def test_boot_mode_2_is_the_backup_area(self):
        scan = self.scan(profile=device(IxaGetFirmwareValue={"28": {"u32": 2}}))
        self.assertGroup(scan, BIOS, lambda n, t: bios_group(n, t, boot_mode="Backup area"))

    def test_unreadable_boot_mode_writes_no_test(self):
        self.set_bios_key("VersionID", "sz", "ID 7")
        scan = self.scan(profile=device(IxaGetFirmwareValue={"28": error(87)}))
        self.assertGroup(scan, BIOS, lambda n, t: bios_group(n, t, id_result="ID 7", boot_mode=None))

    def test_id_value_of_another_type_is_shown_as_text(self):
        # Little-endian UTF-16 "AB".
        self.set_bios_key("VersionID", "binary", "41004200")
        scan = self.scan(profile=device())
        self.assertGroup(scan, BIOS, lambda n, t: bios_group(n, t, id_result="AB"))

    def test_missing_id_value_fails_with_the_query_error(self):
        self.set_bios_key("Other", "sz", "x")
        scan = self.scan(profile=device())
        # ERROR_FILE_NOT_FOUND from the value query.
        self.assertGroup(scan, BIOS, lambda n, t: bios_group(n, t, id_result=lambda name, k: failed(name, k, 2)))

    def test_follows_the_operating_system_and_drivers_in_sequence_b_as_well(self):
        scan = self.scan(profile=device(family=PLAIN_FAMILY))
        before = scan.groups()[:scan.groups().index(BIOS)]
        self.assertEqual(["Operating System", "Kavrol Drivers and Tools"], before)
        self.assertGroup(scan, BIOS, lambda n, t: bios_group(n, t))


class GeneralTest(HostGroupsTestCase):

    def test_serial_id_and_valid_key_configuration(self):
        scan = self.scan(profile=device())
        self.assertGroup(scan, GENERAL, lambda n, t: general_group(n, t))
        self.assertEqual(["IxaGetKeyCfgStringW(0, 512) = 1 [0]", "IxaGetKeyCfgStringW(1, 512) = 1 [0]",
                          "IxaGetKeyCfgStringW(2, 512) = 1 [0]"], scan.calls("IxaGetKeyCfgStringW"))

    def test_invalid_key_configuration_shows_only_its_state(self):
        scan = self.scan(profile=device(IxaGetKeyCfgState={"u32": 0}, IxaGetUserSerialId={"u32": 0}))
        self.assertGroup(scan, GENERAL, lambda n, t: general_group(
            n, t, serial_id=lambda k: test_block("Value", k, "00000000h", description=SERIAL_ID_DESCRIPTION),
            state="Invalid"))
        self.assertEqual([], scan.calls("IxaGetKeyCfgStringW"))
        self.assertEqual([], scan.calls("IxaGetKeyLayer"))
        self.assertEqual([], scan.calls("IxaGetKeyLayerMode"))

    def test_unreadable_state_fails_and_ends_the_group(self):
        scan = self.scan(profile=device(IxaGetKeyCfgState=error(5),
                                        IxaGetUserSerialId={"u32": 0xFFFFFFFF}))
        self.assertGroup(scan, GENERAL, lambda n, t: general_group(
            n, t, serial_id=lambda k: test_block("Value", k, "FFFFFFFFh", description=SERIAL_ID_DESCRIPTION),
            state=lambda k: failed("State", k, 5, KEY_STATE_DESCRIPTION)))
        self.assertEqual([], scan.calls("IxaGetKeyCfgStringW"))

    def test_unreadable_serial_id_fails_even_for_a_missing_value(self):
        scan = self.scan(profile=device(IxaGetUserSerialId=error(87), IxaGetKeyCfgState={"u32": 7}))
        self.assertGroup(scan, GENERAL, lambda n, t: general_group(
            n, t, serial_id=lambda k: failed("Value", k, 87, SERIAL_ID_DESCRIPTION)))

    def test_empty_user_information_is_not_available_and_string_errors_fail(self):
        scan = self.scan(profile=device(IxaGetKeyCfgStringW={"0": error(87), "1": error(1168), "2": {"wstr": ""}}))
        self.assertGroup(scan, GENERAL, lambda n, t: general_group(n, t, strings={
            "Version": lambda name, k: failed(name, k, 87),
            "Build date": lambda name, k: failed(name, k, 1168),
            "User information": lambda name, k: not_available(name, k)}))

    def test_unreadable_user_information_fails(self):
        scan = self.scan(profile=device(IxaGetKeyCfgStringW={"2": error(1)}))
        self.assertGroup(scan, GENERAL, lambda n, t: general_group(n, t, strings={
            "User information": lambda name, k: failed(name, k, 1)}))

    def test_layer_mode_of_a_library_without_it_is_not_available(self):
        scan = self.scan(profile=device(IxaGetKeyLayer=error(87), IxaGetKeyLayerMode=error(1)))
        self.assertGroup(scan, GENERAL, lambda n, t: general_group(
            n, t, key_layer=lambda k: failed("Key layer", k, 87, KEY_LAYER_DESCRIPTION),
            layer_mode=lambda k: not_available("Layer mode", k, "Dec", LAYER_MODE_DESCRIPTION)))

    def test_other_layer_mode_errors_fail(self):
        scan = self.scan(profile=device(IxaGetKeyLayer={"u8": 255}, IxaGetKeyLayerMode=error(87)))
        self.assertGroup(scan, GENERAL, lambda n, t: general_group(
            n, t, key_layer=lambda k: test_block("Key layer", k, "255", "Dec", description=KEY_LAYER_DESCRIPTION),
            layer_mode=lambda k: failed("Layer mode", k, 87, LAYER_MODE_DESCRIPTION)))


class VoltagesTest(HostGroupsTestCase):

    def test_thousandths_with_two_decimals_and_battery_state(self):
        scan = self.scan(profile=device())
        self.assertGroup(scan, VOLTAGES, lambda n, t: voltages_group(n, t))
        self.assertEqual(["IxaGetVoltage(3, 4) = 1 [0]", "IxaGetVoltage(7, 4) = 1 [0]", "IxaGetVoltage(8, 4) = 1 [0]"],
                         calls_with(scan, "IxaGetVoltage", ("3", "7", "8")))
        self.assertEqual(["IxaGetHardwareValue(37, 4) = 1 [0]"], calls_with(scan, "IxaGetHardwareValue", ("37",)))

    def test_division_is_done_in_single_precision(self):
        # 4294967295 as a float is 2^32: the single-precision quotient is 4294967.5, not .296.
        # 5 / 1000 in single precision lies just below 0.005 and prints 0.00 (double: 0.01).
        scan = self.scan(profile=device(IxaGetVoltage={"3": {"u32": 4294967295}, "7": {"u32": 0},
                                                       "8": {"u32": 5}}))
        self.assertGroup(scan, VOLTAGES, lambda n, t: voltages_group(
            n, t, vbat=("4294967.50", "Volt"), vin=("0.00", "Volt"), cpu_power=("0.00", "Watt")))

    def test_battery_states(self):
        for value, text in ((0, "(unknown)"), (2, "Bad"), (3, "3")):
            with self.subTest(state=value):
                scan = self.scan(profile=device(IxaGetHardwareValue={"37": {"u32": value}}))
                self.assertGroup(scan, VOLTAGES, lambda n, t: voltages_group(n, t, state=text))

    def test_missing_readings_are_not_available(self):
        scan = self.scan(profile=device(IxaGetVoltage={"3": error(87), "7": error(1), "8": error(87)},
                                        IxaGetHardwareValue={"37": error(87)}))
        self.assertGroup(scan, VOLTAGES, lambda n, t: voltages_group(n, t, vbat=not_available, state=not_available,
                                                                     vin=not_available, cpu_power=not_available))

    def test_other_errors_fail_with_the_system_text(self):
        scan = self.scan(profile=device(IxaGetVoltage={"3": error(5), "7": error(1168), "8": error(1)},
                                        IxaGetHardwareValue={"37": error(1)}))
        self.assertGroup(scan, VOLTAGES, lambda n, t: voltages_group(
            n, t, vbat=lambda name, k: failed(name, k, 5), state=lambda name, k: failed(name, k, 1),
            vin=lambda name, k: failed(name, k, 1168), cpu_power=lambda name, k: not_available(name, k)))


class OpCtrlsTest(HostGroupsTestCase):

    def test_fitted_controls_show_their_values(self):
        scan = self.scan(profile=device())
        self.assertGroup(scan, OP_CTRLS, lambda n, t: op_ctrls_group(n, t))
        self.assertEqual(["IxaGetHardwareValue(75, 4) = 1 [0]", "IxaGetHardwareValue(76, 4) = 1 [0]",
                          "IxaGetHardwareValue(71, 4) = 1 [0]", "IxaGetHardwareValue(72, 1) = 1 [0]",
                          "IxaGetHardwareValue(73, 4) = 1 [0]", "IxaGetHardwareValue(74, 4) = 1 [0]",
                          "IxaGetHardwareValue(48, 1) = 1 [0]"], self.op_ctrl_reads(scan))

    @staticmethod
    def op_ctrl_reads(scan):
        return calls_with(scan, "IxaGetHardwareValue", ("75", "76", "71", "72", "73", "74", "48"))

    def test_controls_not_fitted_are_not_available_without_reading_their_value(self):
        scan = self.scan(profile=device(IxaGetHardwareValue={"75": {"u32": 0}, "71": error(87), "73": error(5),
                                                             "48": error(1168)}))
        self.assertGroup(scan, OP_CTRLS, lambda n, t: op_ctrls_group(
            n, t, push=na_control, selector=na_control, stop=na_control, enable=na_control))
        self.assertEqual(["IxaGetHardwareValue(75, 4) = 1 [0]", "IxaGetHardwareValue(71, 4) = 0 [87]",
                          "IxaGetHardwareValue(73, 4) = 0 [5]", "IxaGetHardwareValue(48, 1) = 0 [1168]"],
                         self.op_ctrl_reads(scan))

    def test_unreadable_values_of_fitted_controls_fail(self):
        scan = self.scan(profile=device(IxaGetHardwareValue={"76": error(87), "72": error(1), "74": error(5),
                                                             "48": error(87)}))
        self.assertGroup(scan, OP_CTRLS, lambda n, t: op_ctrls_group(
            n, t, push=failed_control(87), selector=failed_control(1), stop=failed_control(5), enable=na_control))

    def test_other_enable_switch_errors_fail_and_values_print_as_signed_decimals(self):
        scan = self.scan(profile=device(IxaGetHardwareValue={"75": {"u32": 2}, "76": {"i32": -1},
                                                             "72": {"u8": 0}, "74": {"u32": 7},
                                                             "48": error(1)}))
        self.assertGroup(scan, OP_CTRLS, lambda n, t: op_ctrls_group(
            n, t, push="-1", selector="0", stop="7", enable=failed_control(1)))


class FanValuesTest(HostGroupsTestCase):

    def test_automatic_and_percent_minimum_speeds(self):
        scan = self.scan(profile=device())
        self.assertGroup(scan, FAN_SETTINGS, lambda n, t: fan_group(n, t))
        self.assertEqual(["IxaGetFanValue(0, 1) = 1 [0]", "IxaGetFanValue(1, 1) = 1 [0]"],
                         scan.calls("IxaGetFanValue"))

    def test_only_the_bus_fan_readable(self):
        scan = self.scan(profile=device(IxaGetFanValue={"0": error(87), "1": {"u8": 255}}))
        self.assertGroup(scan, FAN_SETTINGS, lambda n, t: fan_group(n, t, fan=None, bus_fan="255%"))

    def test_only_the_device_fan_readable(self):
        scan = self.scan(profile=device(IxaGetFanValue={"0": {"u8": 1}, "1": error(5)}))
        self.assertGroup(scan, FAN_SETTINGS, lambda n, t: fan_group(n, t, fan="1%", bus_fan=None))

    def test_no_group_when_neither_value_can_be_read(self):
        scan = self.scan(profile=device(IxaGetFanValue={"0": error(1), "1": error(87)}))
        self.assertNotIn(FAN_SETTINGS, scan.groups())
        self.assertOrder([BIOS, OP_CTRLS, GENERAL, VOLTAGES], scan)


class SequenceAndGateTest(HostGroupsTestCase):

    def test_module_family_runs_all_five_groups_in_sequence_a_order(self):
        scan = self.scan(profile=device())
        self.assertOrder([BIOS, FAN_SETTINGS, OP_CTRLS, GENERAL, VOLTAGES], scan)

    def test_plain_family_has_no_fan_settings_and_no_voltages(self):
        scan = self.scan(profile=device(family=PLAIN_FAMILY))
        self.assertOrder([BIOS, GENERAL, OP_CTRLS], scan)
        self.assertGroup(scan, GENERAL, lambda n, t: general_group(n, t))
        self.assertGroup(scan, OP_CTRLS, lambda n, t: op_ctrls_group(n, t))

    def test_library_without_module_functions_runs_sequence_b(self):
        scan = self.scan(profile=device(family={}), library="legacy")
        self.assertOrder([BIOS, GENERAL, OP_CTRLS], scan)

    def test_without_library_none_of_the_groups_is_written(self):
        scan = self.scan(library=None)
        self.assertOrder([], scan)

    def test_device_type_0_leaves_only_the_fan_settings(self):
        scan = self.scan(profile=device(IxaGetDeviceType={"u32": 0}))
        self.assertOrder([FAN_SETTINGS], scan)
        self.assertGroup(scan, FAN_SETTINGS, lambda n, t: fan_group(n, t))

    def test_unreadable_device_type_leaves_only_the_fan_settings(self):
        scan = self.scan(profile=device(IxaGetDeviceType=error(87)))
        self.assertOrder([FAN_SETTINGS], scan)
        self.assertEqual([], calls_with(scan, "IxaGetFirmwareStringW", ("21", "23")))
        self.assertEqual([], calls_with(scan, "IxaGetVoltage", ("3", "7", "8")))


class EveryDeviceModelTest(HostGroupsTestCase):

    def test_every_shipped_profile_gives_exactly_its_groups_and_lines(self):
        paths = sorted(glob.glob(os.path.join(PROFILES_DIR, "*.json")))
        self.assertTrue(paths)
        for path in paths:
            profile = load_profile(os.path.basename(path))
            ok, device_type, _ = read(profile, "IxaGetDeviceType", None, 4)
            if ok and device_type == 22:
                continue  # refused at start-up: no report at all
            with self.subTest(profile=os.path.basename(path)):
                try:
                    groups = expected_groups(profile)
                except Unsupported as reason:
                    self.skipTest("profile answers outside this model: %s" % reason)
                scan = self.scan(profile=os.path.basename(path))
                self.assertOrder([name for name, _ in groups], scan)
                for name, build in groups:
                    self.assertGroup(scan, name, build)


if __name__ == "__main__":
    unittest.main()
