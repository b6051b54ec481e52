// A parameter file is a preset people share: it never turns the external encoder on or
// changes its program or arguments without the user's yes. These helpers tell whether a file
// asks for such a change and ask the user, showing the program and its arguments.
#pragma once

#include <string>

#include "export/export_options.h"

class QWidget;

namespace zv {

class DialogHost;

// The three fields a parameter file may not change silently.
struct EncoderFields {
    bool use_external_encoder = false;
    std::string path;
    std::string params;
};

EncoderFields encoder_fields(const EncoderSettings& settings);
void put_encoder_fields(EncoderSettings& settings, const EncoderFields& fields);

// True when taking `requested` would turn the external encoder on or change its program or
// its arguments. Turning it off alone is safe and needs no question.
bool encoder_request_needs_question(const EncoderFields& current, const EncoderFields& requested);

// Asks "確認" (OK/Cancel, Cancel the default) with the requested program and arguments; true
// when the user takes them.
bool ask_encoder_request(DialogHost& host, QWidget* parent, const EncoderFields& requested);

}  // namespace zv
