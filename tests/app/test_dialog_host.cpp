#include "tests/app/test_dialog_host.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QRadioButton>

#include "ui/dialogs/export_options_dialog.h"
#include "ui/dialogs/job_dialog.h"

namespace zv {

std::string TestDialogHost::next() {
    if (answers_.empty()) {
        return {};
    }
    std::string a = answers_.front();
    answers_.pop_front();
    return a;
}

int TestDialogHost::exec(QDialog& dialog) {
    const std::string name = dialog.metaObject()->className();
    if (qobject_cast<JobDialog*>(&dialog) != nullptr) {
        say_("dialog " + name + " runs");
        const int result = dialog.exec();
        say_("dialog " + name + " ended " + std::to_string(result));
        return result;
    }
    const std::string answer = next();
    say_("dialog " + name + " answered '" + answer + "'");
    if (auto* files = qobject_cast<QFileDialog*>(&dialog);
        files != nullptr && answer.rfind("file ", 0) == 0) {
        files->selectFile(QString::fromStdString(answer.substr(5)));
        static_cast<QDialog*>(files)->accept();  // the file dialog's own accept
        return files->result();
    }
    if (auto* options = qobject_cast<ExportOptionsDialog*>(&dialog);
        options != nullptr && answer.rfind("export ", 0) == 0) {
        const bool mp3 = answer.find(" mp3") != std::string::npos;
        (mp3 ? options->mp3_radio() : options->wav_radio())->setChecked(true);
        const size_t space = answer.rfind(' ');
        if (mp3 && space != std::string::npos) {
            options->bitrate_edit()->setText(QString::fromStdString(answer.substr(space + 1)));
        }
        options->accept();
        return options->result();
    }
    if (answer == "ok" || answer == "yes") {
        dialog.accept();
    } else {
        dialog.reject();
    }
    return dialog.result();
}

MessageAnswer TestDialogHost::show(QWidget* owner, const BoxMessage& message) {
    (void)owner;
    const std::string text = message.text.toStdString();
    const std::string first_line = text.substr(0, text.find('\n'));
    if (message.buttons == MessageButtons::Ok) {
        // A message with nothing to choose takes no answer from the queue.
        say_("box " + message.caption.toStdString() + ": " + first_line);
        return MessageAnswer::Ok;
    }
    const std::string answer = next();
    say_("box " + message.caption.toStdString() + ": " + first_line + " answered '" + answer + "'");
    if (answer == "ok") {
        return MessageAnswer::Ok;
    }
    if (answer == "yes") {
        return MessageAnswer::Yes;
    }
    if (answer == "no") {
        return MessageAnswer::No;
    }
    return message.buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

}  // namespace zv
