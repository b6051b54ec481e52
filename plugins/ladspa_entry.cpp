// The LADSPA plugins (stereo and mono): the audio ports, the controls of ladspa_controls.h and a
// "latency" output (the name Ardour and ffmpeg's latency compensation look for).
#include <ladspa.h>

#include <array>
#include <memory>
#include <string>

#include "plugins/chain_stream.h"
#include "plugins/ladspa_controls.h"
#include "plugins/plugin_ids.h"

namespace zv::plugin {
namespace {

constexpr unsigned long STEREO_PORTS = 4 + LADSPA_CONTROL_COUNT + 1;
constexpr unsigned long MONO_PORTS = 2 + LADSPA_CONTROL_COUNT + 1;

class LadspaChain {
public:
    explicit LadspaChain(std::unique_ptr<ChainStream> stream)
        : stream_(std::move(stream)), controls_(*stream_) {}

    void connect(unsigned long port, LADSPA_Data* data) {
        const unsigned long ch = static_cast<unsigned long>(stream_->channels());
        if (port < ch) {
            in_[port] = data;
        } else if (port < 2 * ch) {
            out_[port - ch] = data;
        } else if (port < 2 * ch + LADSPA_CONTROL_COUNT) {
            controls_.connect(static_cast<LadspaControl>(port - 2 * ch), data);
        } else if (port == 2 * ch + LADSPA_CONTROL_COUNT) {
            latency_ = data;
        }
    }

    void activate() { stream_->restart(); }

    void run(unsigned long frames) {
        controls_.apply();
        bool connected = true;
        for (int c = 0; c < stream_->channels(); ++c) {
            connected = connected && in_[static_cast<size_t>(c)] != nullptr &&
                        out_[static_cast<size_t>(c)] != nullptr;
        }
        if (connected) {
            stream_->process(in_.data(), out_.data(), static_cast<uint32_t>(frames));
        }
        if (latency_ != nullptr) {
            *latency_ = static_cast<LADSPA_Data>(stream_->latency());
        }
    }

private:
    std::unique_ptr<ChainStream> stream_;
    LadspaControls controls_;
    std::array<const float*, 2> in_{};
    std::array<float*, 2> out_{};
    LADSPA_Data* latency_ = nullptr;
};

template <int CHANNELS>
LADSPA_Handle instantiate(const LADSPA_Descriptor*, unsigned long rate) {
    // A rate the chain cannot run at, or no memory: the host is told the plugin failed.
    try {
        std::string why;
        std::unique_ptr<ChainStream> stream =
            ChainStream::make(static_cast<double>(rate), CHANNELS, OutputScale::Exact, why);
        return stream ? new LadspaChain(std::move(stream)) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

LadspaChain* self(LADSPA_Handle h) {
    return static_cast<LadspaChain*>(h);
}
void connect_port(LADSPA_Handle h, unsigned long port, LADSPA_Data* data) {
    self(h)->connect(port, data);
}
void activate(LADSPA_Handle h) {
    self(h)->activate();
}
void run(LADSPA_Handle h, unsigned long frames) {
    self(h)->run(frames);
}
void cleanup(LADSPA_Handle h) {
    delete self(h);
}

// The port tables of one plugin, built once from ladspa_controls().
template <unsigned long N>
struct PortTables {
    std::array<LADSPA_PortDescriptor, N> descriptors{};
    std::array<const char*, N> names{};
    std::array<LADSPA_PortRangeHint, N> hints{};
};

template <unsigned long N>
constexpr PortTables<N> make_tables(int channels) {
    PortTables<N> t{};
    constexpr const char* STEREO_AUDIO[] = {"Input L", "Input R", "Output L", "Output R"};
    constexpr const char* MONO_AUDIO[] = {"Input", "Output"};
    unsigned long p = 0;
    for (int c = 0; c < 2 * channels; ++c, ++p) {
        t.descriptors[p] =
            LADSPA_PORT_AUDIO | (c < channels ? LADSPA_PORT_INPUT : LADSPA_PORT_OUTPUT);
        t.names[p] = channels == 2 ? STEREO_AUDIO[c] : MONO_AUDIO[c];
    }
    for (const LadspaControlSpec& s : LADSPA_CONTROLS) {
        t.descriptors[p] = LADSPA_PORT_CONTROL | LADSPA_PORT_INPUT;
        t.names[p] = s.name;
        LADSPA_PortRangeHintDescriptor h = LADSPA_HINT_DEFAULT_0;
        if (s.toggled) {
            h |= LADSPA_HINT_TOGGLED;
        } else {
            h |= LADSPA_HINT_BOUNDED_BELOW | LADSPA_HINT_BOUNDED_ABOVE;
            if (s.integer) {
                h |= LADSPA_HINT_INTEGER;
            }
        }
        t.hints[p] = {h, s.min, s.max};
        ++p;
    }
    t.descriptors[p] = LADSPA_PORT_CONTROL | LADSPA_PORT_OUTPUT;
    t.names[p] = "latency";
    return t;
}

constexpr PortTables<STEREO_PORTS> STEREO_TABLES = make_tables<STEREO_PORTS>(2);
constexpr PortTables<MONO_PORTS> MONO_TABLES = make_tables<MONO_PORTS>(1);

template <unsigned long N>
constexpr LADSPA_Descriptor make_descriptor(unsigned long id, const char* label, const char* name,
                                            const PortTables<N>& t, int channels) {
    return LADSPA_Descriptor{
        id,
        label,
        LADSPA_PROPERTY_HARD_RT_CAPABLE,
        name,
        PLUGIN_MAKER,
        PLUGIN_COPYRIGHT,
        N,
        t.descriptors.data(),
        t.names.data(),
        t.hints.data(),
        nullptr,
        channels == 2 ? instantiate<2> : instantiate<1>,
        connect_port,
        activate,
        run,
        nullptr,
        nullptr,
        nullptr,
        cleanup,
    };
}

const LADSPA_Descriptor STEREO =
    make_descriptor(LADSPA_STEREO_ID, LADSPA_STEREO_LABEL, PLUGIN_NAME_STEREO, STEREO_TABLES, 2);
const LADSPA_Descriptor MONO =
    make_descriptor(LADSPA_MONO_ID, LADSPA_MONO_LABEL, PLUGIN_NAME_MONO, MONO_TABLES, 1);

}  // namespace
}  // namespace zv::plugin

extern "C" __attribute__((visibility("default"))) const LADSPA_Descriptor* ladspa_descriptor(
    unsigned long index) {
    switch (index) {
        case 0:
            return &zv::plugin::STEREO;
        case 1:
            return &zv::plugin::MONO;
        default:
            return nullptr;
    }
}
