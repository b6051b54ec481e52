// The question Export All asks when some songs of the list were exported already: export
// them all again (result EXPORT_AGAIN_ALL), only those not yet done (EXPORT_AGAIN_NEW_ONLY),
// or nothing (EXPORT_AGAIN_CANCEL, also Escape and the window's close).
#pragma once

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

namespace zv {

constexpr int EXPORT_AGAIN_CANCEL = 0;
constexpr int EXPORT_AGAIN_ALL = 1;
constexpr int EXPORT_AGAIN_NEW_ONLY = 2;

class ExportAgainDialog : public QDialog {
    Q_OBJECT
public:
    // folder is the destination; with to_source_folders the field reads "( Original Folder )".
    ExportAgainDialog(bool to_source_folders, const std::string& folder, QWidget* parent = nullptr);

    QLineEdit* folder_field() const { return folder_; }         // 1043
    QPushButton* all_button() const { return all_; }            // 1
    QPushButton* new_only_button() const { return new_only_; }  // 1015
    QPushButton* cancel_button() const { return cancel_; }      // 2

private:
    QLineEdit* folder_;
    QPushButton* all_;
    QPushButton* new_only_;
    QPushButton* cancel_;
};

}  // namespace zv
