// The options that change settings, taken in the order given on the command line, the same
// in every command: --state FILE, --params FILE, --preset ID, --set FIELD=VALUE, and a
// command's own ones (export's --wav, --bitrate, ...). A later option wins over an earlier
// one. --trust-encoder lets a parameter file change the external encoder settings.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "settings/param_fields.h"
#include "settings/program_state.h"

namespace zv::cli {

constexpr int OPT_STATE = 1000;
constexpr int OPT_PARAMS = 1001;
constexpr int OPT_PRESET = 1002;
constexpr int OPT_SET = 1003;
constexpr int OPT_TRUST_ENCODER = 1004;

inline constexpr OptionRow SETTINGS_OPTIONS[] = {
    {OPT_STATE, "--state", 0, ArgKind::Path},
    {OPT_PARAMS, "--params", 0, ArgKind::Path},
    {OPT_PRESET, "--preset", 0, ArgKind::Value},
    {OPT_SET, "--set", 0, ArgKind::Value},
    {OPT_TRUST_ENCODER, "--trust-encoder", 0, ArgKind::Flag},
};

// The help lines of those options.
extern const char* const SETTINGS_OPTIONS_HELP;

// A step's result: EXIT_OK, or EXIT_FAILED / EXIT_USAGE after its message was printed.
using SettingsStep = std::function<int(ProgramState&, const CliOutput&)>;

class SettingsSteps {
public:
    SettingsSteps() = default;
    SettingsSteps(const SettingsSteps&) = delete;  // the steps refer to this object
    SettingsSteps& operator=(const SettingsSteps&) = delete;

    // Takes arg when it is one of SETTINGS_OPTIONS. Returns -1 when it is not one, EXIT_OK
    // when taken, EXIT_USAGE after printing why its value is wrong.
    int take(const ParsedArg& arg, const CliOutput& out);
    // A command's own option, at its place in the order.
    void add(SettingsStep step) { steps_.push_back(std::move(step)); }
    bool empty() const { return steps_.empty(); }

    // Runs every step in order on s; stops at the first that fails and returns its status.
    int apply(ProgramState& s, const CliOutput& out) const;

private:
    std::vector<SettingsStep> steps_;
    bool trust_encoder_ = false;
};

// Sets a stored field (see 'params --show') or one of the switches that files do not store:
// bypass (0 or 1) and test_channels (0 left only, 1 both, 2 right only). False with error.
bool set_setting(ProgramState& s, const std::string& name, const std::string& value,
                 std::string& error);
// True when name is a field set_setting knows.
bool is_setting_name(const std::string& name);

}  // namespace zv::cli
