#include "settings/encoder_trust.h"

#include <QByteArray>
#include <QCryptographicHash>

#include "settings/text_field.h"

namespace zv {

std::string encoder_confirmation(const EncoderSettings& encoder) {
    const std::string_view path = text_of(encoder.external_encoder_path);
    const std::string_view params = text_of(encoder.external_encoder_params);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView(path.data(), static_cast<qsizetype>(path.size())));
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(QByteArrayView(params.data(), static_cast<qsizetype>(params.size())));
    return hash.result().toHex().toStdString();
}

bool encoder_needs_confirmation(const IniSettings& ini, const EncoderSettings& encoder) {
    return encoder.use_external_encoder != 0 &&
           ini.read(IniKey::EncoderConfirmed) != encoder_confirmation(encoder);
}

bool confirm_encoder(const IniSettings& ini, const EncoderSettings& encoder, std::string& error) {
    return ini.write(IniKey::EncoderConfirmed, encoder_confirmation(encoder), error);
}

}  // namespace zv
