#include "ui/dialogs/export_again_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogs/dialog_texts.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/ui_text.h"

namespace zv {

ExportAgainDialog::ExportAgainDialog(bool to_source_folders, const std::string& folder,
                                     QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(dialog_text(EXPORT_AGAIN_TITLE));
    folder_ = new QLineEdit(
        to_source_folders ? dialog_text(EXPORT_AGAIN_ORIGINAL_FOLDER) : from_utf8(folder), this);
    folder_->setReadOnly(true);
    folder_->setMinimumWidth(360);

    all_ = new QPushButton(dialog_text(EXPORT_AGAIN_ALL_TEXT), this);
    new_only_ = new QPushButton(dialog_text(EXPORT_AGAIN_NEW_ONLY_TEXT), this);
    cancel_ = new QPushButton(dialog_text(CANCEL_TEXT), this);
    all_->setDefault(true);
    connect(all_, &QPushButton::clicked, this, [this] { done(EXPORT_AGAIN_ALL); });
    connect(new_only_, &QPushButton::clicked, this, [this] { done(EXPORT_AGAIN_NEW_ONLY); });
    connect(cancel_, &QPushButton::clicked, this, [this] { done(EXPORT_AGAIN_CANCEL); });

    auto* question = new QLabel(dialog_text(EXPORT_AGAIN_QUESTION), this);
    question->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(all_);
    row->addWidget(new_only_);
    row->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(dialog_text(EXPORT_AGAIN_FOLDER_TEXT), this));
    layout->addWidget(folder_);
    layout->addWidget(question);
    layout->addLayout(row);

    setTabOrder(folder_, all_);
    setTabOrder(all_, new_only_);
    setTabOrder(new_only_, cancel_);
    all_->setFocus();
}

}  // namespace zv
