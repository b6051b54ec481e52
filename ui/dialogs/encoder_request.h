// A parameter file is a preset people share: it never turns the external encoder on or
// changes its program or arguments without the user's yes. The settings loader holds back
// what such a file asks for (ExternalEncoderRequest); these helpers tell whether taking it
// needs a question and ask it, showing the program and its arguments.
#pragma once

#include "settings/settings_file.h"

class QWidget;

namespace zv {

class DialogHost;

// True when taking request would turn the external encoder on or change its program or its
// arguments. Turning it off alone is safe and needs no question.
bool encoder_request_needs_question(const EncoderSettings& current,
                                    const ExternalEncoderRequest& request);

// Asks "確認" (OK/Cancel, Cancel the default) with the requested program and arguments; true
// when the user takes them.
bool ask_encoder_request(DialogHost& host, QWidget* parent, const ExternalEncoderRequest& request);

}  // namespace zv
