// The dialog host of the end-to-end test's control channel: dialogs and message boxes are
// answered from a queue that the test fills ("answer ..." lines) before the action that opens
// them. The export and peak dialogs always run for real: they end themselves with their job.
// What a dialog or box was, and how it was answered, is told on the test events.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "ui/dialogs/dialog_host.h"

namespace zv {

class TestDialogHost final : public DialogHost {
public:
    using Say = std::function<void(const std::string&)>;
    explicit TestDialogHost(Say say) : say_(std::move(say)) {}

    // One answer: "ok", "cancel", "yes", "no" (dialogs and boxes), "file PATH" (a file or
    // folder dialog), "export mp3|wav BITRATE" (an export option dialog, then OK).
    void queue(const std::string& answer) { answers_.push_back(answer); }

    int exec(QDialog& dialog) override;
    MessageAnswer show(QWidget* owner, const BoxMessage& message) override;

private:
    std::string next();

    Say say_;
    std::deque<std::string> answers_;
};

}  // namespace zv
