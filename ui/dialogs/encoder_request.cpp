#include "ui/dialogs/encoder_request.h"

#include "settings/text_field.h"
#include "ui/dialogs/dialog_host.h"
#include "ui/dialogs/messages.h"

namespace zv {

EncoderFields encoder_fields(const EncoderSettings& settings) {
    return EncoderFields{settings.use_external_encoder != 0,
                         std::string(text_of(settings.external_encoder_path)),
                         std::string(text_of(settings.external_encoder_params))};
}

void put_encoder_fields(EncoderSettings& settings, const EncoderFields& fields) {
    settings.use_external_encoder = fields.use_external_encoder ? 1 : 0;
    zv::set_text(settings.external_encoder_path, fields.path);
    zv::set_text(settings.external_encoder_params, fields.params);
}

bool encoder_request_needs_question(const EncoderFields& current, const EncoderFields& requested) {
    return (requested.use_external_encoder && !current.use_external_encoder) ||
           requested.path != current.path || requested.params != current.params;
}

bool ask_encoder_request(DialogHost& host, QWidget* parent, const EncoderFields& requested) {
    return is_yes(host.show(parent, encoder_request_message(requested.use_external_encoder,
                                                            requested.path, requested.params)));
}

}  // namespace zv
