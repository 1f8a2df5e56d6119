#include "groups/platform/cpu_board_group.h"

#include "device/text_helpers.h"

namespace kv {

enum class BoardTemperatures {
    kNone,
    kBoardSensor,        // one "Board temperature" test
    kBoardSensorOnWtb2,  // the same, only when a WTB2 board is fitted
    kFourSensors,        // "Sensor 1" to "Sensor 4" with alarm flags
};

enum class BoardVoltages {
    kNone,
    kSupplyVoltages,  // +3.3Vin, +5Vin, 5Vsb
    kInputAndPower,   // Vin (where the model measures it) and Wcpu
};

// What the group shows on each model; models missing here get no group at all.
struct CpuBoardModel {
    DWORD type;
    bool factorySettings;
    bool factoryVersionAndRawData;  // "Version" and "Raw data" among the factory settings
    bool statistics;
    BoardTemperatures temperatures;
    BoardVoltages voltages;
    bool inputVoltage;  // "Vin" among the voltages
};

namespace {

using T = BoardTemperatures;
using V = BoardVoltages;

//                                      factory  version+raw  counters  temperatures          voltages            Vin
const CpuBoardModel kModels[] = {
    {kCorvaboxC20,  false, false, false, T::kBoardSensorOnWtb2, V::kSupplyVoltages, false},
    {kPanevoxP30,   false, false, false, T::kBoardSensorOnWtb2, V::kSupplyVoltages, false},
    {kCorvaboxC40,  false, false, false, T::kBoardSensor,       V::kNone,           false},
    {kPanevoxP50,   false, false, false, T::kBoardSensor,       V::kNone,           false},
    {kCorvaboxC60,  false, false, false, T::kBoardSensor,       V::kNone,           false},
    {kVoltadeckV70, true,  true,  true,  T::kFourSensors,       V::kInputAndPower,  true},
    {kCorvaboxC80,  true,  true,  true,  T::kFourSensors,       V::kInputAndPower,  true},
    {kCorvaboxC81,  true,  true,  true,  T::kFourSensors,       V::kInputAndPower,  true},
    {kCorvaboxC90,  true,  false, false, T::kFourSensors,       V::kInputAndPower,  false},
    {kPanevoxP91,   true,  false, false, T::kFourSensors,       V::kInputAndPower,  false},
    {kCorvaboxC92,  false, false, false, T::kNone,              V::kNone,           false},
    {kPanevoxP93,   false, false, false, T::kNone,              V::kNone,           false},
};

const DWORD kWtb2Board = 3;

// Library selectors.
const UINT kTemperatureBoard = 6;

struct VoltageRow {
    const wchar_t* label;
    const wchar_t* description;
    UINT selector;
};

// Millivolts, shown as volts with three decimals.
const VoltageRow kSupplyVoltages[] = {
    {L"+3.3Vin", nullptr, 1},
    {L"+5Vin", nullptr, 5},
    {L"5Vsb", L"Standby voltage (5Vsb)", 2},
};

const VoltageRow kInputVoltage = {L"Vin", nullptr, 7};
const VoltageRow kPower = {L"Wcpu",
                           L"The power of the complete device on C90 and P91 and CPU power on all other devices.", 8};

const wchar_t kNoDescription[] = L"";

const CpuBoardModel* FindModel(DWORD type)
{
    for (const CpuBoardModel& model : kModels) {
        if (model.type == type)
            return &model;
    }
    return nullptr;
}

}  // namespace

void CTestCPUBoard::RunTests()
{
    if (!PassDeviceTypeGate())
        return;
    const CpuBoardModel* model = FindModel(m_device.deviceType);
    if (!model)
        return;

    Writer().BeginGroup(L"CPU Board",
                        L"A group of tests which are checking CPU board related items like board voltages or board "
                        L"temperatures.",
                        L"Identification", nullptr);
    WriteTypeTest();
    if (model->factorySettings)
        WriteFactorySettingsTests(*model);
    if (model->statistics) {
        Writer().BeginCategory(L"Statistics", nullptr);
        WriteStatistics16(kCpuBoardStatistics);
    }
    WriteTemperatureTests(*model);
    WriteVoltageTests(*model);
    Writer().EndGroup();
}

void CTestCPUBoard::WriteTypeTest()
{
    Writer().BeginTest(L"Type", kNoDescription);
    DWORD code = 0;
    CpuBoardText board;
    if (CpuBoardCode(m_device, &code, board))
        WritePassed(board.text, kFmtString);
    else
        WriteErrorResult(::GetLastError());
    Writer().EndTest();
}

void CTestCPUBoard::WriteFactorySettingsTests(const CpuBoardModel& model)
{
    Writer().BeginCategory(L"Factory Settings", nullptr);
    FactorySettingsForm form;
    form.labels = FactoryLabelSet::kTextLabelled;
    form.rawDataDescription = L"Complete factory settings of CPU Board.";
    form.hardwareRevisionAsString = true;
    form.withVersion = model.factoryVersionAndRawData;
    form.withRawData = model.factoryVersionAndRawData;
    WriteFactorySettings(kCpuBoardSelectors, form);
}

void CTestCPUBoard::WriteTemperatureTests(const CpuBoardModel& model)
{
    switch (model.temperatures) {
    case BoardTemperatures::kNone:
        return;
    case BoardTemperatures::kBoardSensorOnWtb2:
        if (!IsCpuBoard(m_device, kWtb2Board))
            return;
        Writer().BeginCategory(L"Temperatures", nullptr);
        WriteBoardTemperatureTest();
        return;
    case BoardTemperatures::kBoardSensor:
        Writer().BeginCategory(L"Temperatures", nullptr);
        WriteBoardTemperatureTest();
        return;
    case BoardTemperatures::kFourSensors:
        Writer().BeginCategory(L"Temperatures", nullptr);
        WriteSensorTemperatures(kCpuBoardSensors);
        return;
    }
}

void CTestCPUBoard::WriteBoardTemperatureTest()
{
    Writer().BeginTest(L"Board temperature", kNoDescription);
    signed char degrees = 0;
    if (m_device.IxaGetTemperature && m_device.IxaGetTemperature(kTemperatureBoard, &degrees, sizeof degrees))
        WritePassed(Format(L"%d", static_cast<int>(degrees)), kFmtDegreeCentigrade);
    else
        WriteErrorResult(::GetLastError());
    Writer().EndTest();
}

void CTestCPUBoard::WriteVoltageTests(const CpuBoardModel& model)
{
    switch (model.voltages) {
    case BoardVoltages::kNone:
        return;
    case BoardVoltages::kSupplyVoltages:
        Writer().BeginCategory(L"Voltages", nullptr);
        for (const VoltageRow& row : kSupplyVoltages)
            WriteVoltageTest(row.label, row.description, row.selector, L"%.3f", kFmtVolt);
        return;
    case BoardVoltages::kInputAndPower:
        Writer().BeginCategory(L"Voltages", nullptr);
        if (model.inputVoltage)
            WriteVoltageTest(kInputVoltage.label, kInputVoltage.description, kInputVoltage.selector, L"%.2f",
                             kFmtVolt);
        WriteVoltageTest(kPower.label, kPower.description, kPower.selector, L"%.2f", kFmtWatt);
        return;
    }
}

// Values come in thousandths (millivolts, milliwatts) and are divided in single precision.
void CTestCPUBoard::WriteVoltageTest(const wchar_t* label, const wchar_t* description, UINT selector,
                                     const wchar_t* text, int format)
{
    Writer().BeginTest(label, description ? description : kNoDescription);
    DWORD thousandths = 0;
    if (m_device.IxaGetVoltage && m_device.IxaGetVoltage(selector, &thousandths, sizeof thousandths)) {
        float value = static_cast<float>(thousandths) / 1000.0f;
        WritePassed(Format(text, static_cast<double>(value)), format);
    } else {
        WriteErrorResult(::GetLastError());
    }
    Writer().EndTest();
}

}  // namespace kv
