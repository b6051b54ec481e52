// The LV2 plugins (stereo and mono): ports, state, the parameter file through the worker.
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "plugins/chain_stream.h"
#include "plugins/lv2_ports.h"
#include "plugins/param_file_load.h"
#include "plugins/plugin_ids.h"
#include "plugins/port_controls.h"
#include "plugins/published_settings.h"

namespace zv::plugin {
namespace {

constexpr uint32_t STATE_FLAGS = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;

std::string property_uri(const std::string& name) {
    return std::string(LV2_PROPERTY_BASE) + "#" + name;
}

struct Uris {
    LV2_URID atom_Double = 0, atom_Float = 0, atom_Int = 0, atom_Path = 0, atom_String = 0,
             atom_URID = 0, atom_Vector = 0, atom_Sequence = 0;
    LV2_URID patch_Get = 0, patch_Set = 0, patch_property = 0, patch_value = 0;
    LV2_URID log_Error = 0;
    LV2_URID parameter_file = 0, port_values = 0;
    std::vector<LV2_URID> fields;  // chain_fields() order

    explicit Uris(LV2_URID_Map* m) {
        auto map = [m](const char* uri) { return m->map(m->handle, uri); };
        atom_Double = map(LV2_ATOM__Double);
        atom_Float = map(LV2_ATOM__Float);
        atom_Int = map(LV2_ATOM__Int);
        atom_Path = map(LV2_ATOM__Path);
        atom_String = map(LV2_ATOM__String);
        atom_URID = map(LV2_ATOM__URID);
        atom_Vector = map(LV2_ATOM__Vector);
        atom_Sequence = map(LV2_ATOM__Sequence);
        patch_Get = map(LV2_PATCH__Get);
        patch_Set = map(LV2_PATCH__Set);
        patch_property = map(LV2_PATCH__property);
        patch_value = map(LV2_PATCH__value);
        log_Error = map(LV2_LOG__Error);
        parameter_file = map(property_uri("parameter_file").c_str());
        port_values = map(property_uri("port_values").c_str());
        for (const ChainField& f : chain_fields()) {
            fields.push_back(map(property_uri(f.key).c_str()));
        }
    }
};

// What the worker answers.
struct LoadReply {
    bool ok;
};

struct PortValuesBody {
    LV2_Atom_Vector_Body head;
    std::array<float, CONTROL_PORT_COUNT> values;
};

class Lv2Chain {
public:
    Lv2Chain(std::unique_ptr<ChainStream> stream, const LV2_Feature* const* features)
        : stream_(std::move(stream)), controls_(*stream_) {
        for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
            const char* uri = features[i]->URI;
            if (std::strcmp(uri, LV2_URID__map) == 0) {
                map_ = static_cast<LV2_URID_Map*>(features[i]->data);
            } else if (std::strcmp(uri, LV2_WORKER__schedule) == 0) {
                schedule_ = static_cast<LV2_Worker_Schedule*>(features[i]->data);
            } else if (std::strcmp(uri, LV2_LOG__log) == 0) {
                log_ = static_cast<LV2_Log_Log*>(features[i]->data);
            }
        }
        if (map_ != nullptr) {
            uris_ = std::make_unique<Uris>(map_);
            lv2_atom_forge_init(&forge_, map_);
            loader_ = std::make_unique<ParamFileLoad>();
        }
        published_.publish(*stream_, controls_.seen());
    }

    void connect(uint32_t port, void* data) {
        const int ch = stream_->channels();
        const int p = static_cast<int>(port);
        if (p < ch) {
            in_[static_cast<size_t>(p)] = static_cast<const float*>(data);
        } else if (p < 2 * ch) {
            out_[static_cast<size_t>(p - ch)] = static_cast<float*>(data);
        } else if (p < lv2_latency_port(ch)) {
            controls_.connect(static_cast<size_t>(p - 2 * ch), static_cast<const float*>(data));
        } else if (p == lv2_latency_port(ch)) {
            latency_ = static_cast<float*>(data);
        } else if (p == lv2_patch_in_port(ch)) {
            patch_in_ = static_cast<const LV2_Atom_Sequence*>(data);
        } else if (p == lv2_patch_out_port(ch)) {
            patch_out_ = static_cast<LV2_Atom_Sequence*>(data);
        }
    }

    void activate() {
        stream_->restart();
        published_.publish(*stream_, controls_.seen());
    }

    void run(uint32_t frames) {
        const bool changed = controls_.apply();
        read_patch_messages();
        if (changed) {
            published_.publish(*stream_, controls_.seen());
        }
        const int ch = stream_->channels();
        bool connected = true;
        for (int c = 0; c < ch; ++c) {
            connected = connected && in_[static_cast<size_t>(c)] != nullptr &&
                        out_[static_cast<size_t>(c)] != nullptr;
        }
        if (connected) {
            stream_->process(in_.data(), out_.data(), frames);
        }
        if (latency_ != nullptr) {
            *latency_ = static_cast<float>(stream_->latency());
        }
        write_patch_messages();
    }

    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle) {
        if (!uris_) {
            return LV2_STATE_ERR_NO_FEATURE;
        }
        const SettingsCopy c = published_.read();
        const std::vector<ChainField>& fields = chain_fields();
        for (size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].form == FieldForm::Text) {
                const size_t length = strnlen(c.preset_name.data(), c.preset_name.size() - 1);
                std::string name(c.preset_name.data(), length);
                store(handle, uris_->fields[i], name.c_str(), name.size() + 1, uris_->atom_String,
                      STATE_FLAGS);
            } else {
                store(handle, uris_->fields[i], &c.values[i], sizeof(double), uris_->atom_Double,
                      STATE_FLAGS);
            }
        }
        PortValuesBody body{};
        body.head.child_size = sizeof(float);
        body.head.child_type = uris_->atom_Float;
        body.values = c.seen;
        store(handle, uris_->port_values, &body, sizeof body, uris_->atom_Vector, STATE_FLAGS);
        return LV2_STATE_SUCCESS;
    }

    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
        if (!uris_) {
            return LV2_STATE_ERR_NO_FEATURE;
        }
        // What the state holds is taken; what it lacks (a preset holds only the values no port
        // shows) stays as it is.
        const std::vector<ChainField>& fields = chain_fields();
        for (size_t i = 0; i < fields.size(); ++i) {
            size_t size = 0;
            uint32_t type = 0, flags = 0;
            const void* value = retrieve(handle, uris_->fields[i], &size, &type, &flags);
            if (value == nullptr) {
                continue;
            }
            if (fields[i].form == FieldForm::Text) {
                if (type == uris_->atom_String) {
                    std::array<char, PRESET_NAME_BYTES>& name =
                        stream_->processor().params.preset_name;
                    name.fill('\0');
                    std::memcpy(
                        name.data(), value,
                        strnlen(static_cast<const char*>(value), std::min(size, name.size() - 1)));
                }
                continue;
            }
            double v = 0.0;
            if (type == uris_->atom_Double && size == sizeof(double)) {
                std::memcpy(&v, value, sizeof v);
            } else if (type == uris_->atom_Float && size == sizeof(float)) {
                float f = 0.0f;
                std::memcpy(&f, value, sizeof f);
                v = f;
            } else if (type == uris_->atom_Int && size == sizeof(int32_t)) {
                int32_t n = 0;
                std::memcpy(&n, value, sizeof n);
                v = n;
            } else {
                continue;
            }
            stream_->slots()[i].set(bounded_value(fields[i], v));
        }
        size_t size = 0;
        uint32_t type = 0, flags = 0;
        const void* seen = retrieve(handle, uris_->port_values, &size, &type, &flags);
        PortValuesBody body{};
        if (seen != nullptr && type == uris_->atom_Vector && size == sizeof body) {
            std::memcpy(&body, seen, sizeof body);
            if (body.head.child_type == uris_->atom_Float &&
                body.head.child_size == sizeof(float)) {
                controls_.set_seen(body.values);
            }
        }
        stream_->recompute_all();
        published_.publish(*stream_, controls_.seen());
        return LV2_STATE_SUCCESS;
    }

    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                           uint32_t size, const void* data) {
        const char* path = static_cast<const char*>(data);
        LoadReply reply{false};
        if (size > 0 && path[size - 1] == '\0') {
            std::string why;
            reply.ok = loader_->read(path, why);
            if (!reply.ok && log_ != nullptr) {
                log_->printf(log_->handle, uris_->log_Error, "%s\n", why.c_str());
            }
        }
        respond(handle, sizeof reply, &reply);
        return LV2_WORKER_SUCCESS;
    }

    LV2_Worker_Status work_response(uint32_t size, const void* data) {
        LoadReply reply{false};
        if (size == sizeof reply) {
            std::memcpy(&reply, data, sizeof reply);
        }
        if (reply.ok) {
            loader_->take_into(*stream_);
            std::memcpy(loaded_path_.data(), loader_->path(), loaded_path_.size());
            report_path_ = true;
            published_.publish(*stream_, controls_.seen());
        }
        loading_ = false;
        return LV2_WORKER_SUCCESS;
    }

private:
    void read_patch_messages() {
        if (patch_in_ == nullptr || !uris_) {
            return;
        }
        LV2_ATOM_SEQUENCE_FOREACH(patch_in_, ev) {
            if (!lv2_atom_forge_is_object_type(&forge_, ev->body.type)) {
                continue;
            }
            const auto* obj = reinterpret_cast<const LV2_Atom_Object*>(&ev->body);
            const LV2_Atom* property = nullptr;
            const LV2_Atom* value = nullptr;
            lv2_atom_object_get(obj, uris_->patch_property, &property, uris_->patch_value, &value,
                                0);
            const bool ours =
                property == nullptr ||
                (property->type == uris_->atom_URID &&
                 reinterpret_cast<const LV2_Atom_URID*>(property)->body == uris_->parameter_file);
            if (obj->body.otype == uris_->patch_Get && ours) {
                report_path_ = true;
            } else if (obj->body.otype == uris_->patch_Set && property != nullptr && ours &&
                       value != nullptr && value->type == uris_->atom_Path) {
                request_load(static_cast<const char*>(LV2_ATOM_BODY_CONST(value)), value->size);
            }
        }
    }

    void request_load(const char* path, uint32_t size) {
        if (schedule_ == nullptr || loading_ || size == 0 || size > PATH_BYTES ||
            path[size - 1] != '\0') {
            return;
        }
        loader_->prepare(*stream_);
        if (schedule_->schedule_work(schedule_->handle, size, path) == LV2_WORKER_SUCCESS) {
            loading_ = true;
        }
    }

    void write_patch_messages() {
        if (patch_out_ == nullptr || !uris_) {
            return;
        }
        const uint32_t capacity = patch_out_->atom.size;
        lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<uint8_t*>(patch_out_), capacity);
        LV2_Atom_Forge_Frame sequence;
        lv2_atom_forge_sequence_head(&forge_, &sequence, 0);
        if (report_path_ && loaded_path_[0] != '\0') {
            lv2_atom_forge_frame_time(&forge_, 0);
            LV2_Atom_Forge_Frame set;
            lv2_atom_forge_object(&forge_, &set, 0, uris_->patch_Set);
            lv2_atom_forge_key(&forge_, uris_->patch_property);
            lv2_atom_forge_urid(&forge_, uris_->parameter_file);
            lv2_atom_forge_key(&forge_, uris_->patch_value);
            lv2_atom_forge_path(&forge_, loaded_path_.data(),
                                static_cast<uint32_t>(strnlen(loaded_path_.data(), PATH_BYTES)));
            lv2_atom_forge_pop(&forge_, &set);
        }
        report_path_ = false;
        lv2_atom_forge_pop(&forge_, &sequence);
    }

    std::unique_ptr<ChainStream> stream_;
    PortControls controls_;
    PublishedSettings published_;
    std::array<const float*, 2> in_{};
    std::array<float*, 2> out_{};
    float* latency_ = nullptr;
    const LV2_Atom_Sequence* patch_in_ = nullptr;
    LV2_Atom_Sequence* patch_out_ = nullptr;
    LV2_URID_Map* map_ = nullptr;
    LV2_Worker_Schedule* schedule_ = nullptr;
    LV2_Log_Log* log_ = nullptr;
    std::unique_ptr<Uris> uris_;
    LV2_Atom_Forge forge_{};
    std::unique_ptr<ParamFileLoad> loader_;
    bool loading_ = false;
    bool report_path_ = false;
    std::array<char, PATH_BYTES> loaded_path_{};
};

Lv2Chain* self(LV2_Handle h) {
    return static_cast<Lv2Chain*>(h);
}

template <int CHANNELS>
LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
    // A rate the chain cannot run at, or no memory: the host shows the plugin as unavailable.
    try {
        std::string why;
        std::unique_ptr<ChainStream> stream =
            ChainStream::make(rate, CHANNELS, OutputScale::Halfway, why);
        if (!stream) {
            return nullptr;
        }
        return new Lv2Chain(std::move(stream), features);
    } catch (...) {
        return nullptr;
    }
}

void connect_port(LV2_Handle h, uint32_t port, void* data) {
    self(h)->connect(port, data);
}

void activate(LV2_Handle h) {
    self(h)->activate();
}

void run(LV2_Handle h, uint32_t frames) {
    self(h)->run(frames);
}

void cleanup(LV2_Handle h) {
    delete self(h);
}

LV2_State_Status save(LV2_Handle h, LV2_State_Store_Function store, LV2_State_Handle handle,
                      uint32_t, const LV2_Feature* const*) {
    try {
        return self(h)->save(store, handle);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status restore(LV2_Handle h, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle handle, uint32_t, const LV2_Feature* const*) {
    try {
        return self(h)->restore(retrieve, handle);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_Worker_Status work(LV2_Handle h, LV2_Worker_Respond_Function respond,
                       LV2_Worker_Respond_Handle handle, uint32_t size, const void* data) {
    try {
        return self(h)->work(respond, handle, size, data);
    } catch (...) {
        return LV2_WORKER_ERR_UNKNOWN;
    }
}

LV2_Worker_Status work_response(LV2_Handle h, uint32_t size, const void* data) {
    return self(h)->work_response(size, data);
}

const void* extension_data(const char* uri) {
    static const LV2_State_Interface state{save, restore};
    static const LV2_Worker_Interface worker{work, work_response, nullptr};
    if (std::strcmp(uri, LV2_STATE__interface) == 0) {
        return &state;
    }
    if (std::strcmp(uri, LV2_WORKER__interface) == 0) {
        return &worker;
    }
    return nullptr;
}

const LV2_Descriptor STEREO{LV2_STEREO_URI, instantiate<2>, connect_port,  activate, run,
                            nullptr,        cleanup,        extension_data};
const LV2_Descriptor MONO{LV2_MONO_URI, instantiate<1>, connect_port, activate,
                          run,          nullptr,        cleanup,      extension_data};

}  // namespace
}  // namespace zv::plugin

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    switch (index) {
        case 0:
            return &zv::plugin::STEREO;
        case 1:
            return &zv::plugin::MONO;
        default:
            return nullptr;
    }
}
