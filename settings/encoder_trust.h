// Which external encoder the user has confirmed in this program folder. An external encoder
// is a program the export runs, so its exact program path and parameter line must have been
// confirmed by the user before the window runs it: the encoder settings dialog's OK, or a yes
// to the question a parameter file or an export asks. The confirmation is kept as a hash of
// the two texts in the INI file (key EncoderConfirmed), so a state file, user preset or
// parameter file that brings another program or parameter line is never confirmed by itself.
#pragma once

#include <string>

#include "export/export_options.h"
#include "settings/ini_settings.h"

namespace zv {

// The hash kept for a program path and parameter line (hexadecimal SHA-256 of the path, a zero
// byte and the parameter line).
std::string encoder_confirmation(const EncoderSettings& encoder);

// True when an MP3 export with these settings would start an external program that this
// program folder has not seen confirmed.
bool encoder_needs_confirmation(const IniSettings& ini, const EncoderSettings& encoder);

// Records the encoder's program path and parameter line as confirmed. False with error set
// when the INI file cannot be written.
bool confirm_encoder(const IniSettings& ini, const EncoderSettings& encoder, std::string& error);

}  // namespace zv
