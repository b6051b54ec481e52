// The test suite's own plugin hosts: the LV2 bundle through lilv (as Debian's hosts load it),
// the LADSPA object through dlopen. Both run float blocks of any sizes the test asks for and
// convert to and from 16-bit samples the ways hosts that read and write 16-bit files do.
#pragma once

#include <lilv/lilv.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct _LADSPA_Descriptor;

namespace zv::test {

// Where the build put the plugins (ZV_PLUGIN_LV2_PATH, ZV_PLUGIN_LADSPA_PATH).
std::string lv2_path();
std::string ladspa_object();

// How a host turns the plugin's floats into 16-bit samples.
enum class Writer {
    Round32768,  // ffmpeg, PipeWire: round(f * 32768)
    Round32767,  // libsndfile (lv2apply): round(f * 32767)
    Floor32768,  // the LADSPA SDK's applyplugin: floor(f * 32768)
};
int16_t written_sample(float f, Writer w);

// Block sizes a host uses, repeated until the song ends.
using BlockPattern = std::vector<int>;
// Sizes between 1 and 5000 from a fixed seed, ones and primes among them.
BlockPattern varying_blocks(unsigned seed);

// A plugin instance that runs float blocks.
class PluginUnderTest {
public:
    virtual ~PluginUnderTest() = default;
    virtual int channels() const = 0;
    // Runs frames frames of every channel; in and out hold one buffer per channel.
    virtual void run(const std::vector<const float*>& in, const std::vector<float*>& out,
                     int frames) = 0;
    virtual int latency() const = 0;

    // The whole signal (one vector per channel) in blocks of the pattern; the output of the
    // same length. in_place runs every block with the output buffers as the inputs.
    std::vector<std::vector<float>> process(const std::vector<std::vector<float>>& signal,
                                            const BlockPattern& blocks, bool in_place = false);
};

// Called with true just before a plugin's real-time function (run, work_response) and with
// false just after: the allocation test counts what happens in between.
void set_realtime_mark(void (*mark)(bool));
void realtime_mark(bool inside);

// One shared lilv world with the build's bundle loaded.
LilvWorld* lv2_world();

class Lv2Plugin : public PluginUnderTest {
public:
    // With features (URID map, worker run in the host's thread, log) or none, as lv2apply.
    // nullptr when lilv cannot instantiate it (a rate the plugin refuses).
    static std::unique_ptr<Lv2Plugin> make(const std::string& uri, double rate,
                                           bool features = true);
    ~Lv2Plugin() override;

    int channels() const override { return channels_; }
    void run(const std::vector<const float*>& in, const std::vector<float*>& out,
             int frames) override;
    int latency() const override;

    const LilvPlugin* plugin() const { return plugin_; }
    LilvInstance* instance() const { return instance_; }
    // Control input ports by symbol (the value the host holds).
    void set(const std::string& symbol, float value);
    float get(const std::string& symbol) const;
    std::vector<std::string> control_symbols() const;
    // The port's declared minimum and maximum.
    std::pair<float, float> range(const std::string& symbol) const;

    // A patch:Set of the parameter file, delivered with the next run.
    void load_parameter_file(const std::string& path);
    // The path the plugin last reported on its notify port ("" when none).
    const std::string& reported_path() const { return reported_path_; }

    // The state as a session keeps it (a Turtle text through lilv), and its restore.
    std::string save_state();
    void restore_state(const std::string& turtle);
    // A factory preset as a host's preset menu applies it.
    void apply_preset(int menu_id);

    void activate();
    void deactivate();

    uint32_t map(const std::string& uri);
    const char* unmap(uint32_t urid) const;

private:
    Lv2Plugin() = default;
    static const void* port_value(const char* symbol, void* self, uint32_t* size, uint32_t* type);
    static void set_port_value(const char* symbol, void* self, const void* value, uint32_t size,
                               uint32_t type);
    void deliver_work();

    const LilvPlugin* plugin_ = nullptr;
    LilvInstance* instance_ = nullptr;
    int channels_ = 0;
    bool active_ = false;
    double rate_ = 0.0;
    std::vector<float> controls_;  // by port index
    std::map<std::string, uint32_t> symbols_;
    std::vector<uint32_t> audio_in_, audio_out_;
    int latency_port_ = -1, patch_in_port_ = -1, patch_out_port_ = -1;
    std::vector<uint64_t> patch_in_, patch_out_;  // atom sequence buffers, 8-byte aligned
    std::vector<std::string> uris_;
    std::map<std::string, uint32_t> urids_;
    std::vector<std::vector<uint8_t>> responses_;
    std::string reported_path_;
    struct Features;
    std::unique_ptr<Features> features_;
};

class LadspaPlugin : public PluginUnderTest {
public:
    // nullptr when the plugin refuses the rate.
    static std::unique_ptr<LadspaPlugin> make(const std::string& label, unsigned long rate);
    ~LadspaPlugin() override;

    int channels() const override { return channels_; }
    void run(const std::vector<const float*>& in, const std::vector<float*>& out,
             int frames) override;
    int latency() const override { return static_cast<int>(latency_); }

    // Control inputs by port name; every one starts at its hinted default.
    void set(const std::string& name, float value);
    std::vector<std::string> control_names() const;
    std::pair<float, float> range(const std::string& name) const;
    void activate();

private:
    LadspaPlugin() = default;
    const _LADSPA_Descriptor* descriptor_ = nullptr;
    void* handle_ = nullptr;
    int channels_ = 0;
    std::map<std::string, unsigned long> controls_by_name_;
    std::vector<float> controls_;
    float latency_ = 0.0f;
    std::vector<unsigned long> audio_in_, audio_out_;
};

}  // namespace zv::test
