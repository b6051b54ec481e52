// Device lists and the sound-device dialog's OK rules.
#include <gtest/gtest.h>

#include <cstring>

#include "playback/device_list.h"

namespace zv {
namespace {

TEST(DeviceList, KeepsStereoDevicesInOrderAtMostEightAndResetsAStoredIndexBeyondIt) {
    std::vector<SystemDevice> system;
    for (int i = 0; i < 12; ++i) {
        SystemDevice d;
        d.name = "dev" + std::to_string(i);
        d.max_output_channels = i == 1 ? 0 : 2;  // 1 is an input only
        d.max_input_channels = i % 3 == 0 ? 2 : 0;
        d.query_ok = i != 2;  // 2 cannot be queried
        system.push_back(d);
    }
    DeviceList outputs;
    uint16_t out_index = 7;
    EXPECT_EQ(build_device_list(system, true, outputs, out_index), 8);
    EXPECT_EQ(outputs.devices[0].device_id, 0u);
    EXPECT_EQ(outputs.devices[1].device_id, 3u);  // list index and identifier differ
    EXPECT_STREQ(outputs.devices[1].name, "dev3");
    EXPECT_EQ(outputs.devices[7].device_id, 9u);
    EXPECT_EQ(out_index, 7);

    DeviceList inputs;
    uint16_t in_index = 5;
    EXPECT_EQ(build_device_list(system, false, inputs, in_index), 4);  // 0, 3, 6, 9
    EXPECT_EQ(in_index, 0);

    system.resize(2);
    out_index = 5;
    EXPECT_EQ(build_device_list(system, true, outputs, out_index), 1);
    EXPECT_EQ(out_index, 0);
}

TEST(DeviceList, NamesAreCutTo31BytesWithoutSplittingUtf8) {
    char name[DEVICE_NAME_BYTES];
    copy_device_name(name, std::string(40, 'a'));
    EXPECT_EQ(std::strlen(name), 31u);
    // 30 ASCII bytes and a three-byte character: the character does not fit and is dropped.
    copy_device_name(name, std::string(30, 'b') + "\xE3\x82\xA2" + "c");
    EXPECT_EQ(std::string(name), std::string(30, 'b'));
    // 28 bytes and a three-byte character end exactly at 31.
    copy_device_name(name, std::string(28, 'b') + "\xE3\x82\xA2" + "c");
    EXPECT_EQ(std::string(name), std::string(28, 'b') + "\xE3\x82\xA2");
    copy_device_name(name, "HDA Intel PCH: ALC");
    EXPECT_STREQ(name, "HDA Intel PCH: ALC");
}

TEST(DeviceDialog, ComboTextFirstDigitBelowEightIsTheNewIndex) {
    DeviceInfo info;
    copy_device_name(info.name, "system");
    EXPECT_EQ(device_combo_line(1, info), "1: system");
    EXPECT_EQ(device_index_from_combo_text("1: system", 0), 1);
    EXPECT_EQ(device_index_from_combo_text("7: x", 2), 7);
    EXPECT_EQ(device_index_from_combo_text("9: x", 2), 2);
    EXPECT_EQ(device_index_from_combo_text("", 3), 0);
}

TEST(DeviceDialog, RateRadiosAndBufferCountRules) {
    EXPECT_EQ(rate_choice_from_radios(true, false), ONAIR_RATE_32000);
    EXPECT_EQ(rate_choice_from_radios(false, true), ONAIR_RATE_44100);
    EXPECT_EQ(rate_choice_from_radios(false, false), ONAIR_RATE_48000);
    EXPECT_EQ(buffer_count_from_text("0"), 2);
    EXPECT_EQ(buffer_count_from_text("1"), 2);
    EXPECT_EQ(buffer_count_from_text("5"), 5);
    EXPECT_EQ(buffer_count_from_text(" 8 "), 8);
    EXPECT_EQ(buffer_count_from_text("12"), 8);
    EXPECT_EQ(buffer_count_from_text("99999999999999999999999"), 8);
    EXPECT_EQ(buffer_count_from_text("abc"), 2);
    EXPECT_EQ(buffer_count_from_text("-3"), 2);
    EXPECT_EQ(buffer_count_from_text(""), 2);
}

TEST(DeviceList, StartupProblemsNameTheMissingKinds) {
    DeviceLists lists;
    EXPECT_EQ(startup_device_problems(lists),
              (std::vector<DeviceProblem>{DeviceProblem::NoOutput, DeviceProblem::NoInput}));
    lists.inputs.count = 1;
    EXPECT_EQ(startup_device_problems(lists), std::vector<DeviceProblem>{DeviceProblem::NoOutput});
    lists.outputs.count = 1;
    EXPECT_TRUE(startup_device_problems(lists).empty());
}

}  // namespace
}  // namespace zv
