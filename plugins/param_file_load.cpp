#include "plugins/param_file_load.h"

#include <algorithm>
#include <cstring>

#include "settings/settings_file.h"

namespace zv::plugin {

ParamFileLoad::ParamFileLoad() : scratch_(make_processor()) {
    processor_startup(*scratch_);
    for (const ChainField& f : chain_fields()) {
        slots_.push_back(locate_field(f, *scratch_));
    }
}

void ParamFileLoad::prepare(const ChainStream& stream) {
    const std::vector<ChainField>& fields = chain_fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].form != FieldForm::Text) {
            slots_[i].set(stream.slots()[i].get());
        }
    }
    scratch_->params.preset_name = stream.processor().params.preset_name;
}

bool ParamFileLoad::read(const char* path, std::string& why) {
    ExportOptions export_options;
    EncoderSettings encoder;
    ThrottleSettings throttle;
    DeviceSettings devices;
    ProgramState view{*scratch_, export_options, encoder, throttle, devices};
    bool bad_magic = false;
    std::string error;
    // The external encoder's fields a file asks for go nowhere: a plugin runs no program.
    std::optional<ExternalEncoderRequest> held_back;
    const LoadResult r = load_settings_file(
        view, path, SettingsFileKind::Parameters, [&] { bad_magic = true; }, &held_back, &error);
    if (r == LoadResult::Missing) {
        why = std::string("cannot read ") + path + ": " + error;
        return false;
    }
    if (r == LoadResult::BadMagic || bad_magic) {
        why = std::string(path) + " is not a parameter file";
        return false;
    }
    const std::size_t length = std::min(std::strlen(path), PATH_BYTES - 1);
    std::memcpy(path_.data(), path, length);
    path_[length] = '\0';
    return true;
}

void ParamFileLoad::take_into(ChainStream& stream) const {
    const std::vector<ChainField>& fields = chain_fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].form != FieldForm::Text) {
            stream.slots()[i].set(slots_[i].get());
        }
    }
    stream.processor().params.preset_name = scratch_->params.preset_name;
    stream.recompute_all();
}

}  // namespace zv::plugin
