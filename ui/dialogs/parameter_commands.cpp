#include "ui/dialogs/parameter_commands.h"

#include "settings/encoder_trust.h"
#include "settings/user_presets.h"
#include "ui/dialogs/dialog_host.h"
#include "ui/dialogs/encoder_request.h"
#include "ui/dialogs/file_dialogs.h"
#include "ui/dialogs/messages.h"

namespace zv {

bool open_parameter_file(ParameterCommandContext& c) {
    const auto path = choose_parameter_file_to_open(c.host, c.ini, c.parent);
    if (!path) {
        return false;
    }
    std::optional<ExternalEncoderRequest> held_back;
    const LoadResult result =
        load_settings_file(c.state, *path, SettingsFileKind::Parameters, c.beep, &held_back);
    if (result != LoadResult::Loaded) {
        return false;
    }
    if (!held_back) {
        return true;
    }
    if (!encoder_request_needs_question(c.state.encoder, *held_back)) {
        accept_encoder_request(c.state.encoder, *held_back);
    } else if (ask_encoder_request(c.host, c.parent, *held_back)) {
        // The yes was given to this program and parameter line: they are confirmed.
        accept_encoder_request(c.state.encoder, *held_back);
        std::string error;
        if (c.state.encoder.use_external_encoder != 0 &&
            !confirm_encoder(c.ini, c.state.encoder, error)) {
            c.host.show(c.parent, ini_write_failed_message(c.ini.file().string(), error));
        }
    }
    return true;
}

bool save_parameter_file(ParameterCommandContext& c) {
    const auto path = choose_parameter_file_to_save(c.host, c.ini, c.parent);
    if (!path) {
        return false;
    }
    const SaveResult saved = save_settings_file(c.state, *path);
    if (!saved.ok) {
        c.host.show(c.parent, save_failed_message(*path, saved.error));
    }
    return saved.ok;
}

bool save_user_preset_asking(ParameterCommandContext& c, int n) {
    if (n < 1 || n > USER_PRESET_COUNT) {
        return false;
    }
    if (!is_yes(c.host.show(c.parent, save_user_preset_message(n)))) {
        return false;
    }
    const SaveResult saved = save_user_preset(c.state, c.folders, n);
    if (!saved.ok) {
        c.host.show(c.parent,
                    save_failed_message(user_preset_path(c.folders, n).string(), saved.error));
    }
    return saved.ok;
}

}  // namespace zv
