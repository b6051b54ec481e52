#include "tests/plugins/plugin_hosts.h"

#include <dlfcn.h>
#include <ladspa.h>
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
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>

#include "plugins/plugin_ids.h"

namespace zv::test {

std::string lv2_path() {
    return ZV_PLUGIN_LV2_PATH;
}

std::string ladspa_object() {
    return std::string(ZV_PLUGIN_LADSPA_PATH) + "/" + plugin::BINARY_NAME;
}

int16_t written_sample(float f, Writer w) {
    double v = 0.0;
    switch (w) {
        case Writer::Round32768:
            v = std::nearbyint(f * 32768.0f);
            break;
        case Writer::Round32767:
            v = std::nearbyint(32767.0f * f);
            break;
        case Writer::Floor32768:
            v = std::floor(f * 32768.0f);
            break;
    }
    return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

BlockPattern varying_blocks(unsigned seed) {
    std::mt19937 rng(seed);
    BlockPattern p;
    std::uniform_int_distribution<int> size(1, 5000);
    for (int i = 0; i < 64; ++i) {
        const int kind = static_cast<int>(rng() % 4);
        p.push_back(kind == 0 ? 1 : kind == 1 ? static_cast<int>(rng() % 16) + 1 : size(rng));
    }
    return p;
}

std::vector<std::vector<float>> PluginUnderTest::process(
    const std::vector<std::vector<float>>& signal, const BlockPattern& blocks, bool in_place) {
    const int ch = channels();
    const size_t frames = signal.front().size();
    std::vector<std::vector<float>> out(static_cast<size_t>(ch), std::vector<float>(frames));
    std::vector<std::vector<float>> scratch(static_cast<size_t>(ch));
    size_t done = 0;
    for (size_t k = 0; done < frames; ++k) {
        const size_t n = std::min(static_cast<size_t>(blocks[k % blocks.size()]), frames - done);
        std::vector<const float*> in_ptrs;
        std::vector<float*> out_ptrs;
        for (int c = 0; c < ch; ++c) {
            // Each block in buffers of its own size, so a plugin reading past it is seen.
            scratch[static_cast<size_t>(c)].assign(
                signal[static_cast<size_t>(c)].begin() + done,
                signal[static_cast<size_t>(c)].begin() + done + n);
            in_ptrs.push_back(scratch[static_cast<size_t>(c)].data());
            out_ptrs.push_back(in_place ? scratch[static_cast<size_t>(c)].data()
                                        : out[static_cast<size_t>(c)].data() + done);
        }
        run(in_ptrs, out_ptrs, static_cast<int>(n));
        if (in_place) {
            for (int c = 0; c < ch; ++c) {
                std::copy(scratch[static_cast<size_t>(c)].begin(),
                          scratch[static_cast<size_t>(c)].end(),
                          out[static_cast<size_t>(c)].begin() + done);
            }
        }
        done += n;
    }
    return out;
}

// ---- LV2 ------------------------------------------------------------------------------------

LilvWorld* lv2_world() {
    static LilvWorld* world = [] {
        LilvWorld* w = lilv_world_new();
        const std::string bundle = lv2_path() + "/" + plugin::BUNDLE_NAME + "/";
        LilvNode* uri = lilv_new_file_uri(w, nullptr, bundle.c_str());
        lilv_world_load_bundle(w, uri);
        lilv_node_free(uri);
        return w;
    }();
    return world;
}

namespace {

struct Nodes {
    LilvNode* input = lilv_new_uri(lv2_world(), LV2_CORE__InputPort);
    LilvNode* output = lilv_new_uri(lv2_world(), LV2_CORE__OutputPort);
    LilvNode* audio = lilv_new_uri(lv2_world(), LV2_CORE__AudioPort);
    LilvNode* control = lilv_new_uri(lv2_world(), LV2_CORE__ControlPort);
    LilvNode* atom = lilv_new_uri(lv2_world(), LV2_ATOM__AtomPort);
};
const Nodes& nodes() {
    static const Nodes n;
    return n;
}

constexpr size_t ATOM_BUFFER_BYTES = 16384;

int log_printf(LV2_Log_Handle, LV2_URID, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const int n = std::vfprintf(stderr, fmt, args);
    va_end(args);
    return n;
}

}  // namespace

struct Lv2Plugin::Features {
    LV2_URID_Map map{};
    LV2_URID_Unmap unmap{};
    LV2_Worker_Schedule schedule{};
    LV2_Log_Log log{};
    LV2_Feature map_f{LV2_URID__map, &map};
    LV2_Feature unmap_f{LV2_URID__unmap, &unmap};
    LV2_Feature schedule_f{LV2_WORKER__schedule, &schedule};
    LV2_Feature log_f{LV2_LOG__log, &log};
    std::vector<const LV2_Feature*> list;
    // Requests wait here until the block ends, in room made beforehand: schedule_work is
    // called from run() and must not allocate either.
    static constexpr size_t MAX_REQUESTS = 4;
    static constexpr size_t MAX_REQUEST_BYTES = 8192;
    std::array<std::array<uint8_t, MAX_REQUEST_BYTES>, MAX_REQUESTS> requests{};
    std::array<uint32_t, MAX_REQUESTS> request_sizes{};
    size_t request_count = 0;
    LV2_Atom_Forge forge{};
};

std::unique_ptr<Lv2Plugin> Lv2Plugin::make(const std::string& uri, double rate, bool features) {
    LilvWorld* w = lv2_world();
    LilvNode* u = lilv_new_uri(w, uri.c_str());
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(w), u);
    lilv_node_free(u);
    if (plugin == nullptr) {
        throw std::runtime_error("no plugin " + uri + " in " + lv2_path());
    }
    std::unique_ptr<Lv2Plugin> p(new Lv2Plugin);
    p->plugin_ = plugin;
    p->rate_ = rate;
    p->features_ = std::make_unique<Features>();
    Features& f = *p->features_;
    f.map = {p.get(), [](LV2_URID_Map_Handle h, const char* s) {
                 return static_cast<Lv2Plugin*>(h)->map(s);
             }};
    f.unmap = {p.get(), [](LV2_URID_Unmap_Handle h, LV2_URID id) {
                   return static_cast<Lv2Plugin*>(h)->unmap(id);
               }};
    f.schedule = {
        p.get(), [](LV2_Worker_Schedule_Handle h, uint32_t size, const void* data) {
            Features& q = *static_cast<Lv2Plugin*>(h)->features_;
            if (q.request_count == Features::MAX_REQUESTS || size > Features::MAX_REQUEST_BYTES) {
                return LV2_WORKER_ERR_NO_SPACE;
            }
            std::memcpy(q.requests[q.request_count].data(), data, size);
            q.request_sizes[q.request_count++] = size;
            return LV2_WORKER_SUCCESS;
        }};
    f.log = {p.get(), log_printf, [](LV2_Log_Handle, LV2_URID, const char* fmt, va_list args) {
                 return std::vfprintf(stderr, fmt, args);
             }};
    f.list = {&f.map_f, &f.unmap_f, &f.schedule_f, &f.log_f, nullptr};
    lv2_atom_forge_init(&f.forge, &f.map);
    const LV2_Feature* none[] = {nullptr};
    p->instance_ = lilv_plugin_instantiate(plugin, rate, features ? f.list.data() : none);
    if (p->instance_ == nullptr) {
        return nullptr;
    }
    const uint32_t count = lilv_plugin_get_num_ports(plugin);
    p->controls_.assign(count, 0.0f);
    std::vector<float> defaults(count);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    p->patch_in_.assign(ATOM_BUFFER_BYTES / 8, 0);
    p->patch_out_.assign(ATOM_BUFFER_BYTES / 8, 0);
    for (uint32_t i = 0; i < count; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        const bool input = lilv_port_is_a(plugin, port, nodes().input);
        if (lilv_port_is_a(plugin, port, nodes().audio)) {
            (input ? p->audio_in_ : p->audio_out_).push_back(i);
        } else if (lilv_port_is_a(plugin, port, nodes().control)) {
            if (input) {
                p->controls_[i] = std::isnan(defaults[i]) ? 0.0f : defaults[i];
                p->symbols_[symbol] = i;
            } else {
                p->latency_port_ = static_cast<int>(i);
            }
            lilv_instance_connect_port(p->instance_, i, &p->controls_[i]);
        } else if (lilv_port_is_a(plugin, port, nodes().atom)) {
            if (input) {
                p->patch_in_port_ = static_cast<int>(i);
                lilv_instance_connect_port(p->instance_, i, p->patch_in_.data());
            } else {
                p->patch_out_port_ = static_cast<int>(i);
                lilv_instance_connect_port(p->instance_, i, p->patch_out_.data());
            }
        }
    }
    p->channels_ = static_cast<int>(p->audio_in_.size());
    p->activate();
    return p;
}

Lv2Plugin::~Lv2Plugin() {
    if (instance_ != nullptr) {
        deactivate();
        lilv_instance_free(instance_);
    }
}

uint32_t Lv2Plugin::map(const std::string& uri) {
    auto it = urids_.find(uri);
    if (it != urids_.end()) {
        return it->second;
    }
    uris_.push_back(uri);
    const uint32_t id = static_cast<uint32_t>(uris_.size());
    urids_[uri] = id;
    return id;
}

const char* Lv2Plugin::unmap(uint32_t urid) const {
    return urid >= 1 && urid <= uris_.size() ? uris_[urid - 1].c_str() : nullptr;
}

void Lv2Plugin::activate() {
    if (!active_) {
        lilv_instance_activate(instance_);
        active_ = true;
    }
}

void Lv2Plugin::deactivate() {
    if (active_) {
        lilv_instance_deactivate(instance_);
        active_ = false;
    }
}

void Lv2Plugin::set(const std::string& symbol, float value) {
    controls_.at(symbols_.at(symbol)) = value;
}

float Lv2Plugin::get(const std::string& symbol) const {
    return controls_.at(symbols_.at(symbol));
}

std::vector<std::string> Lv2Plugin::control_symbols() const {
    std::vector<std::pair<uint32_t, std::string>> by_index;
    for (const auto& [symbol, index] : symbols_) {
        by_index.emplace_back(index, symbol);
    }
    std::sort(by_index.begin(), by_index.end());
    std::vector<std::string> out;
    for (const auto& p : by_index) {
        out.push_back(p.second);
    }
    return out;
}

std::pair<float, float> Lv2Plugin::range(const std::string& symbol) const {
    const uint32_t count = lilv_plugin_get_num_ports(plugin_);
    std::vector<float> mins(count), maxs(count);
    lilv_plugin_get_port_ranges_float(plugin_, mins.data(), maxs.data(), nullptr);
    const uint32_t i = symbols_.at(symbol);
    return {mins[i], maxs[i]};
}

int Lv2Plugin::latency() const {
    return latency_port_ < 0 ? 0 : static_cast<int>(controls_[static_cast<size_t>(latency_port_)]);
}

void Lv2Plugin::load_parameter_file(const std::string& path) {
    LV2_Atom_Forge& forge = features_->forge;
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(patch_in_.data()),
                              ATOM_BUFFER_BYTES);
    LV2_Atom_Forge_Frame sequence, set;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    lv2_atom_forge_frame_time(&forge, 0);
    lv2_atom_forge_object(&forge, &set, 0, map(LV2_PATCH__Set));
    lv2_atom_forge_key(&forge, map(LV2_PATCH__property));
    lv2_atom_forge_urid(&forge, map(std::string(plugin::LV2_PROPERTY_BASE) + "#parameter_file"));
    lv2_atom_forge_key(&forge, map(LV2_PATCH__value));
    lv2_atom_forge_path(&forge, path.c_str(), static_cast<uint32_t>(path.size()));
    lv2_atom_forge_pop(&forge, &set);
    lv2_atom_forge_pop(&forge, &sequence);
}

void Lv2Plugin::run(const std::vector<const float*>& in, const std::vector<float*>& out,
                    int frames) {
    for (size_t c = 0; c < audio_in_.size(); ++c) {
        lilv_instance_connect_port(instance_, audio_in_[c], const_cast<float*>(in[c]));
        lilv_instance_connect_port(instance_, audio_out_[c], out[c]);
    }
    auto* seq_in = reinterpret_cast<LV2_Atom_Sequence*>(patch_in_.data());
    if (seq_in->atom.type == 0) {  // nothing to send: an empty sequence
        seq_in->atom.size = sizeof(LV2_Atom_Sequence_Body);
        seq_in->atom.type = map(LV2_ATOM__Sequence);
        seq_in->body.unit = 0;
        seq_in->body.pad = 0;
    }
    auto* seq_out = reinterpret_cast<LV2_Atom_Sequence*>(patch_out_.data());
    seq_out->atom.size = ATOM_BUFFER_BYTES - sizeof(LV2_Atom);
    seq_out->atom.type = map(LV2_ATOM__Chunk);
    realtime_mark(true);
    lilv_instance_run(instance_, static_cast<uint32_t>(frames));
    realtime_mark(false);
    std::fill(patch_in_.begin(), patch_in_.end(), 0);
    if (seq_out->atom.type == map(LV2_ATOM__Sequence)) {
        LV2_ATOM_SEQUENCE_FOREACH(seq_out, ev) {
            const auto* obj = reinterpret_cast<const LV2_Atom_Object*>(&ev->body);
            const LV2_Atom* value = nullptr;
            lv2_atom_object_get(obj, map(LV2_PATCH__value), &value, 0);
            if (value != nullptr && value->type == map(LV2_ATOM__Path)) {
                reported_path_ = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
            }
        }
    }
    deliver_work();
}

// The worker runs in the host's thread between blocks, as an offline host may run it; the
// answers reach the plugin before the next block.
void Lv2Plugin::deliver_work() {
    Features& f = *features_;
    if (f.request_count == 0) {
        return;
    }
    const auto* worker = static_cast<const LV2_Worker_Interface*>(
        lilv_instance_get_extension_data(instance_, LV2_WORKER__interface));
    const size_t count = f.request_count;
    f.request_count = 0;
    for (size_t i = 0; i < count; ++i) {
        worker->work(
            lilv_instance_get_handle(instance_),
            [](LV2_Worker_Respond_Handle h, uint32_t size, const void* data) {
                const auto* b = static_cast<const uint8_t*>(data);
                static_cast<Lv2Plugin*>(h)->responses_.emplace_back(b, b + size);
                return LV2_WORKER_SUCCESS;
            },
            this, f.request_sizes[i], f.requests[i].data());
    }
    for (const auto& r : responses_) {
        realtime_mark(true);
        worker->work_response(lilv_instance_get_handle(instance_), static_cast<uint32_t>(r.size()),
                              r.data());
        realtime_mark(false);
    }
    responses_.clear();
}

const void* Lv2Plugin::port_value(const char* symbol, void* self, uint32_t* size, uint32_t* type) {
    auto* p = static_cast<Lv2Plugin*>(self);
    auto it = p->symbols_.find(symbol);
    if (it == p->symbols_.end()) {
        *size = 0;
        return nullptr;
    }
    *size = sizeof(float);
    *type = p->map(LV2_ATOM__Float);
    return &p->controls_[it->second];
}

void Lv2Plugin::set_port_value(const char* symbol, void* self, const void* value, uint32_t size,
                               uint32_t type) {
    auto* p = static_cast<Lv2Plugin*>(self);
    auto it = p->symbols_.find(symbol);
    if (it == p->symbols_.end()) {
        return;
    }
    float v = 0.0f;
    if (type == p->map(LV2_ATOM__Float) && size == sizeof(float)) {
        std::memcpy(&v, value, sizeof v);
    } else if (type == p->map(LV2_ATOM__Double) && size == sizeof(double)) {
        double d = 0.0;
        std::memcpy(&d, value, sizeof d);
        v = static_cast<float>(d);
    } else if (type == p->map(LV2_ATOM__Int) && size == sizeof(int32_t)) {
        int32_t n = 0;
        std::memcpy(&n, value, sizeof n);
        v = static_cast<float>(n);
    } else {
        return;
    }
    p->controls_[it->second] = v;
}

std::string Lv2Plugin::save_state() {
    LilvState* state = lilv_state_new_from_instance(
        plugin_, instance_, &features_->map, nullptr, nullptr, nullptr, nullptr, port_value, this,
        LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features_->list.data());
    char* text = lilv_state_to_string(lv2_world(), &features_->map, &features_->unmap, state,
                                      "urn:zelvonic:test-session", nullptr);
    std::string out(text);
    lilv_free(text);
    lilv_state_free(state);
    return out;
}

void Lv2Plugin::restore_state(const std::string& turtle) {
    LilvState* state = lilv_state_new_from_string(lv2_world(), &features_->map, turtle.c_str());
    if (state == nullptr) {
        throw std::runtime_error("lilv cannot read the saved state");
    }
    lilv_state_restore(state, instance_, set_port_value, this, 0, features_->list.data());
    lilv_state_free(state);
}

void Lv2Plugin::apply_preset(int menu_id) {
    const std::string uri = std::string(lilv_node_as_uri(lilv_plugin_get_uri(plugin_))) +
                            plugin::LV2_PRESET_PATH + std::to_string(menu_id);
    LilvNode* node = lilv_new_uri(lv2_world(), uri.c_str());
    lilv_world_load_resource(lv2_world(), node);
    LilvState* state = lilv_state_new_from_world(lv2_world(), &features_->map, node);
    lilv_node_free(node);
    if (state == nullptr) {
        throw std::runtime_error("no preset " + uri);
    }
    lilv_state_restore(state, instance_, set_port_value, this, 0, features_->list.data());
    lilv_state_free(state);
}

// ---- LADSPA ---------------------------------------------------------------------------------

std::unique_ptr<LadspaPlugin> LadspaPlugin::make(const std::string& label, unsigned long rate) {
    // Loaded once and kept, as hosts keep their plugins' objects.
    static void* object = dlopen(ladspa_object().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (object == nullptr) {
        throw std::runtime_error(std::string("dlopen: ") + dlerror());
    }
    auto entry = reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(object, "ladspa_descriptor"));
    const LADSPA_Descriptor* d = nullptr;
    for (unsigned long i = 0; (d = entry(i)) != nullptr; ++i) {
        if (label == d->Label) {
            break;
        }
    }
    if (d == nullptr) {
        throw std::runtime_error("no LADSPA plugin " + label);
    }
    std::unique_ptr<LadspaPlugin> p(new LadspaPlugin);
    p->descriptor_ = d;
    p->handle_ = d->instantiate(d, rate);
    if (p->handle_ == nullptr) {
        return nullptr;
    }
    p->controls_.assign(d->PortCount, 0.0f);
    for (unsigned long i = 0; i < d->PortCount; ++i) {
        const LADSPA_PortDescriptor pd = d->PortDescriptors[i];
        if (LADSPA_IS_PORT_AUDIO(pd)) {
            (LADSPA_IS_PORT_INPUT(pd) ? p->audio_in_ : p->audio_out_).push_back(i);
        } else if (LADSPA_IS_PORT_INPUT(pd)) {
            const LADSPA_PortRangeHintDescriptor h = d->PortRangeHints[i].HintDescriptor;
            p->controls_[i] = LADSPA_IS_HINT_DEFAULT_0(h)   ? 0.0f
                              : LADSPA_IS_HINT_DEFAULT_1(h) ? 1.0f
                                                            : d->PortRangeHints[i].LowerBound;
            p->controls_by_name_[d->PortNames[i]] = i;
            d->connect_port(p->handle_, i, &p->controls_[i]);
        } else {
            d->connect_port(p->handle_, i, &p->latency_);
        }
    }
    p->channels_ = static_cast<int>(p->audio_in_.size());
    p->activate();
    return p;
}

LadspaPlugin::~LadspaPlugin() {
    if (handle_ != nullptr) {
        descriptor_->cleanup(handle_);
    }
}

void LadspaPlugin::activate() {
    if (descriptor_->activate != nullptr) {
        descriptor_->activate(handle_);
    }
}

void LadspaPlugin::set(const std::string& name, float value) {
    controls_.at(controls_by_name_.at(name)) = value;
}

std::vector<std::string> LadspaPlugin::control_names() const {
    std::vector<std::string> out;
    for (unsigned long i = 0; i < descriptor_->PortCount; ++i) {
        const LADSPA_PortDescriptor pd = descriptor_->PortDescriptors[i];
        if (LADSPA_IS_PORT_CONTROL(pd) && LADSPA_IS_PORT_INPUT(pd)) {
            out.emplace_back(descriptor_->PortNames[i]);
        }
    }
    return out;
}

std::pair<float, float> LadspaPlugin::range(const std::string& name) const {
    const LADSPA_PortRangeHint& h = descriptor_->PortRangeHints[controls_by_name_.at(name)];
    if (LADSPA_IS_HINT_TOGGLED(h.HintDescriptor)) {
        return {0.0f, 1.0f};
    }
    return {h.LowerBound, h.UpperBound};
}

void LadspaPlugin::run(const std::vector<const float*>& in, const std::vector<float*>& out,
                       int frames) {
    for (size_t c = 0; c < audio_in_.size(); ++c) {
        descriptor_->connect_port(handle_, audio_in_[c], const_cast<float*>(in[c]));
        descriptor_->connect_port(handle_, audio_out_[c], out[c]);
    }
    realtime_mark(true);
    descriptor_->run(handle_, static_cast<unsigned long>(frames));
    realtime_mark(false);
}

// ---- real-time marks ------------------------------------------------------------------------

namespace {
void (*g_mark)(bool) = nullptr;
}

void set_realtime_mark(void (*mark)(bool)) {
    g_mark = mark;
}

void realtime_mark(bool inside) {
    if (g_mark != nullptr) {
        g_mark(inside);
    }
}

}  // namespace zv::test
