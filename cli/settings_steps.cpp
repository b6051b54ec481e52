#include "cli/settings_steps.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "cli/cli_messages.h"
#include "cli/commands.h"
#include "engine/factory_presets.h"
#include "settings/settings_file.h"

namespace zv::cli {

const char* const SETTINGS_OPTIONS_HELP =
    "Settings (taken in the order given, from the program's start-up values; a later option\n"
    "wins over an earlier one):\n"
    "      --state FILE       load a state file (processor, export and encoder settings)\n"
    "      --params FILE      load a parameter file (.zv3); its external encoder settings\n"
    "                         are not taken unless --trust-encoder is given\n"
    "      --preset ID        apply a factory preset (see 'zvmp3-cli presets')\n"
    "      --set FIELD=VALUE  set one field by name (see 'zvmp3-cli params --show'; also\n"
    "                         bypass=0|1 and test_channels=0|1|2); values are range-checked\n"
    "      --trust-encoder    take the external encoder settings of parameter files\n";

namespace {

template <size_t N>
std::string text_of(const std::array<char, N>& field) {
    return std::string(field.data(), strnlen(field.data(), field.size()));
}

int load(ProgramState& s, const std::string& path, SettingsFileKind kind, bool trust_encoder,
         const CliOutput& out) {
    bool bad_magic = false;
    std::optional<ExternalEncoderRequest> asked;
    const LoadResult r = load_settings_file(
        s, path, kind, [&] { bad_magic = true; }, &asked);
    if (r == LoadResult::Missing) {
        out.error(MSG_CANNOT_OPEN_SETTINGS, path);
        return EXIT_FAILED;
    }
    if (r == LoadResult::BadMagic || bad_magic) {
        out.error(MSG_NOT_SETTINGS_FILE, path);
        return EXIT_FAILED;
    }
    // A parameter file is a preset people share: it never starts a program of its choosing.
    if (asked.has_value()) {
        if (trust_encoder) {
            accept_encoder_request(s.encoder, *asked);
        } else {
            out.warning(asked->use_external_encoder != 0 ? MSG_ENCODER_NOT_TAKEN_ON
                                                         : MSG_ENCODER_NOT_TAKEN_OFF,
                        path, text_of(asked->external_encoder_path),
                        text_of(asked->external_encoder_params));
        }
    }
    return EXIT_OK;
}

}  // namespace

bool is_setting_name(const std::string& name) {
    return name == "bypass" || name == "test_channels" || find_param_field(name) != nullptr;
}

bool set_setting(ProgramState& s, const std::string& name, const std::string& value,
                 std::string& error) {
    if (name == "bypass" || name == "test_channels") {
        char* end = nullptr;
        const double v = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !std::isfinite(v)) {
            error = name + ": '" + value + "' is not a number";
            return false;
        }
        if (name == "bypass") {
            if (v != 0.0 && v != 1.0) {
                error = name + ": " + value + " is outside 0 to 1 (0 off, 1 on)";
                return false;
            }
            s.processor.params.switches.bypass = static_cast<int32_t>(v);
        } else {
            if (v < 0.0 || v > 2.0) {
                error = name + ": " + value + " is outside 0 to 2 (0 left, 1 both, 2 right)";
                return false;
            }
            s.processor.params.test_channels = v;
        }
        return true;
    }
    const ParamField* field = find_param_field(name);
    if (field == nullptr) {
        error = "unknown field '" + name + "'";
        return false;
    }
    return set_param_field(s, *field, value, error);
}

int SettingsSteps::take(const ParsedArg& arg, const CliOutput& out) {
    switch (arg.id) {
        case OPT_STATE:
        case OPT_PARAMS: {
            const SettingsFileKind kind =
                arg.id == OPT_STATE ? SettingsFileKind::State : SettingsFileKind::Parameters;
            // --trust-encoder counts wherever it stands.
            add([this, path = arg.value, kind](ProgramState& s, const CliOutput& o) {
                return load(s, path, kind, trust_encoder_, o);
            });
            return EXIT_OK;
        }
        case OPT_PRESET: {
            long id = 0;
            if (!parse_int(arg.value, 1, 99999, id) || !is_factory_preset_id(static_cast<int>(id)))
                return out.usage(MSG_UNKNOWN_PRESET, arg.value);
            add([id](ProgramState& s, const CliOutput&) {
                apply_factory_preset(s.processor, static_cast<int>(id));
                return EXIT_OK;
            });
            return EXIT_OK;
        }
        case OPT_SET: {
            const size_t eq = arg.value.find('=');
            if (eq == std::string::npos || eq == 0)
                return out.usage(MSG_SET_NEEDS_FIELD);
            const std::string name = arg.value.substr(0, eq);
            if (!is_setting_name(name))
                return out.usage(MSG_UNKNOWN_FIELD, name);
            add([name, value = arg.value.substr(eq + 1)](ProgramState& s, const CliOutput& o) {
                std::string error;
                if (!set_setting(s, name, value, error))
                    return o.usage(error);
                return EXIT_OK;
            });
            return EXIT_OK;
        }
        case OPT_TRUST_ENCODER:
            trust_encoder_ = true;
            return EXIT_OK;
        default:
            return -1;
    }
}

int SettingsSteps::apply(ProgramState& s, const CliOutput& out) const {
    for (const SettingsStep& step : steps_) {
        if (const int status = step(s, out); status != EXIT_OK)
            return status;
    }
    return EXIT_OK;
}

}  // namespace zv::cli
