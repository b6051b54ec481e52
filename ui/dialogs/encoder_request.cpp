#include "ui/dialogs/encoder_request.h"

#include "settings/text_field.h"
#include "ui/dialogs/dialog_host.h"
#include "ui/dialogs/messages.h"

namespace zv {

bool encoder_request_needs_question(const EncoderSettings& current,
                                    const ExternalEncoderRequest& request) {
    return (request.use_external_encoder != 0 && current.use_external_encoder == 0) ||
           text_of(request.external_encoder_path) != text_of(current.external_encoder_path) ||
           text_of(request.external_encoder_params) != text_of(current.external_encoder_params);
}

bool ask_encoder_request(DialogHost& host, QWidget* parent, const ExternalEncoderRequest& request) {
    return is_yes(
        host.show(parent, encoder_request_message(request.use_external_encoder != 0,
                                                  text_of(request.external_encoder_path),
                                                  text_of(request.external_encoder_params))));
}

}  // namespace zv
