#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cstring>

#include "dialog_test_support.h"
#include "ui/dialogs/device_settings_dialog.h"

namespace zv {
namespace {

DeviceLists three_outputs_two_inputs() {
    DeviceLists lists;
    const char* outs[] = {"Built-in Audio", "USB DAC", "HDMI"};
    for (int i = 0; i < 3; ++i) {
        std::strcpy(lists.outputs.devices[static_cast<size_t>(i)].name, outs[i]);
        // Identifiers differ from the list index: a failed query was skipped.
        lists.outputs.devices[static_cast<size_t>(i)].device_id = static_cast<uint32_t>(2 * i + 1);
    }
    lists.outputs.count = 3;
    std::strcpy(lists.inputs.devices[0].name, "Line In");
    std::strcpy(lists.inputs.devices[1].name, "Mic");
    lists.inputs.count = 2;
    return lists;
}

bool same(const DeviceSettings& a, const DeviceSettings& b) {
    return a.out_device_index == b.out_device_index && a.in_device_index == b.in_device_index &&
           a.onair_rate_choice == b.onair_rate_choice && a.buffer_count == b.buffer_count &&
           a.onair_autostart == b.onair_autostart && a.low_latency == b.low_latency;
}

TEST(DeviceSettingsDialog, ShowsTheListsAndTheSettingsInForce) {
    DeviceLists lists = three_outputs_two_inputs();
    DeviceSettings s;
    s.out_device_index = 2;
    s.in_device_index = 1;
    s.onair_rate_choice = 5;  // anything above 1 is 48 kHz
    s.buffer_count = 6;
    s.onair_autostart = 1;
    s.low_latency = 1;
    DeviceSettingsDialog d(lists, s);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("サウンドデバイスの設定"));
    ASSERT_EQ(d.output_combo()->count(), 3);
    EXPECT_EQ(d.output_combo()->itemText(1), QStringLiteral("1: USB DAC"));
    EXPECT_EQ(d.output_combo()->currentIndex(), 2);
    EXPECT_EQ(d.input_combo()->currentText(), QStringLiteral("1: Mic"));
    EXPECT_TRUE(d.rate_radio(2)->isChecked());
    EXPECT_TRUE(d.autostart_check()->isChecked());
    EXPECT_TRUE(d.low_latency_check()->isChecked());
    EXPECT_EQ(d.low_latency_check()->text(), QStringLiteral("Low latency"));
    EXPECT_EQ(d.buffer_edit()->text(), QStringLiteral("6"));
    EXPECT_EQ(d.buttons()->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("ｷｬﾝｾﾙ"));
}

TEST(DeviceSettingsDialog, OkAppliesTheRulesOfEachControl) {
    DeviceLists lists = three_outputs_two_inputs();
    struct Case {
        const char* buffers;
        int32_t stored;
    };
    for (Case c : {Case{"0", 2}, Case{"1", 2}, Case{"12", 8}, Case{"abc", 2}, Case{" 5 ", 5}}) {
        DeviceSettings s;
        DeviceSettingsDialog d(lists, s);
        d.output_combo()->setCurrentIndex(1);  // the second line stores index 1
        d.rate_radio(0)->setChecked(true);
        d.autostart_check()->setChecked(true);
        d.low_latency_check()->setChecked(true);
        d.buffer_edit()->setText(QString::fromUtf8(c.buffers));
        d.accept();
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_EQ(s.out_device_index, 1);
        EXPECT_EQ(s.in_device_index, 0);
        EXPECT_EQ(s.onair_rate_choice, 0);
        EXPECT_EQ(s.onair_autostart, 1);
        EXPECT_EQ(s.low_latency, 1);
        EXPECT_EQ(s.buffer_count, c.stored) << c.buffers;
    }
}

TEST(DeviceSettingsDialog, AnEmptyListKeepsItsIndexAndCancelChangesNothing) {
    DeviceLists lists = three_outputs_two_inputs();
    lists.inputs.count = 0;
    DeviceSettings s;
    s.in_device_index = 3;  // whatever the state file held
    s.out_device_index = 1;
    s.onair_rate_choice = 1;
    {
        DeviceSettingsDialog d(lists, s);
        EXPECT_FALSE(d.input_combo()->isEnabled());
        EXPECT_EQ(d.input_combo()->count(), 0);
        d.rate_radio(2)->setChecked(true);
        d.accept();
        EXPECT_EQ(s.in_device_index, 3);
        EXPECT_EQ(s.onair_rate_choice, 2);
    }
    const DeviceSettings before = s;
    DeviceSettingsDialog d(lists, s);
    d.output_combo()->setCurrentIndex(2);
    d.rate_radio(0)->setChecked(true);
    d.autostart_check()->setChecked(true);
    d.low_latency_check()->setChecked(true);
    d.buffer_edit()->setText(QStringLiteral("7"));
    d.reject();
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_TRUE(same(s, before));
}

TEST(DeviceSettingsDialog, KeyboardAlone) {
    DeviceLists lists = three_outputs_two_inputs();
    DeviceSettings s;
    {
        DeviceSettingsDialog d(lists, s);
        ASSERT_TRUE(test::show_active(d));
        d.input_combo()->setFocus();
        std::vector<QWidget*> walk = test::tab_walk(d);
        std::vector<QWidget*> expected = {d.input_combo(),
                                          d.output_combo(),
                                          d.rate_radio(1),
                                          d.autostart_check(),
                                          d.low_latency_check(),
                                          d.buffer_edit(),
                                          d.buttons()->button(QDialogButtonBox::Ok),
                                          d.buttons()->button(QDialogButtonBox::Cancel)};
        EXPECT_EQ(walk, expected);
        // Enter in the edit is OK.
        d.buffer_edit()->setFocus();
        d.buffer_edit()->setText(QStringLiteral("3"));
        QTest::keyClick(d.buffer_edit(), Qt::Key_Return);
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_EQ(s.buffer_count, 3);
    }
    DeviceSettingsDialog d(lists, s);
    ASSERT_TRUE(test::show_active(d));
    d.buffer_edit()->setText(QStringLiteral("8"));
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(s.buffer_count, 3);
}

}  // namespace
}  // namespace zv
