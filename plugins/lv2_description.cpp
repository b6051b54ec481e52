#include "plugins/lv2_description.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "engine/factory_presets.h"
#include "plugins/chain_fields.h"
#include "plugins/control_ports.h"
#include "plugins/lv2_ports.h"
#include "plugins/plugin_ids.h"

namespace zv::plugin {
namespace {

constexpr const char* PROJECT_URI = "https://zelvonicmp3.example.org/";

constexpr const char* PREFIXES =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix log: <http://lv2plug.in/ns/ext/log#> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix rsz: <http://lv2plug.in/ns/ext/resize-port#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix work: <http://lv2plug.in/ns/ext/worker#> .\n"
    "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";

// A number as Turtle reads it back exactly: the shortest form, always with a decimal point.
std::string number(double v) {
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, v);
    std::string s(text, r.ptr);
    if (s.find_first_of(".e") == std::string::npos) {
        s += ".0";
    }
    return s;
}

// A string literal: quotes and backslashes escaped.
std::string quoted(const std::string& text) {
    std::string s = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            s += '\\';
        }
        s += c;
    }
    return s + "\"";
}

// A preset's name as its menu shows it ("&&" is a menu's escaped "&").
std::string menu_label(const char* menu_text) {
    std::string s(menu_text);
    for (size_t at = s.find("&&"); at != std::string::npos; at = s.find("&&", at + 1)) {
        s.erase(at, 1);
    }
    return s;
}

const char* unit_of(PortUnit u) {
    switch (u) {
        case PortUnit::Db:
            return "units:db";
        case PortUnit::Hz:
            return "units:hz";
        case PortUnit::Ms:
            return "units:ms";
        case PortUnit::Cm:
            return "units:cm";
        case PortUnit::M:
            return "units:m";
        case PortUnit::Percent:
            return "units:pc";
        case PortUnit::None:
            break;
    }
    return nullptr;
}

std::string property(const std::string& name) {
    return "<" + std::string(LV2_PROPERTY_BASE) + "#" + name + ">";
}

std::string preset_uri(const char* plugin, int id) {
    return std::string(plugin) + LV2_PRESET_PATH + std::to_string(id);
}

bool shown_by_port(const std::string& key) {
    for (const ControlPortDef& control : control_ports()) {
        if (key == control.key) {
            return true;
        }
    }
    return false;
}

struct PluginShape {
    const char* uri;
    const char* name;
    int channels;
};
constexpr PluginShape PLUGINS[] = {{LV2_STEREO_URI, PLUGIN_NAME_STEREO, 2},
                                   {LV2_MONO_URI, PLUGIN_NAME_MONO, 1}};

void audio_port(std::ostream& o, int index, bool input, const char* symbol, const char* name) {
    o << "[\n\t\ta lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort")
      << " ;\n\t\tlv2:index " << index << " ;\n\t\tlv2:symbol \"" << symbol
      << "\" ;\n\t\tlv2:name \"" << name << "\"\n\t]";
}

void control_port(std::ostream& o, int index, const ControlPortDef& control) {
    const PortRange r = port_range(control);
    o << "[\n\t\ta lv2:InputPort , lv2:ControlPort ;\n\t\tlv2:index " << index
      << " ;\n\t\tlv2:symbol \"" << control.key << "\" ;\n\t\tlv2:name " << quoted(control.name)
      << " ;\n\t\tlv2:default " << number(r.start) << " ;\n\t\tlv2:minimum " << number(r.min)
      << " ;\n\t\tlv2:maximum " << number(r.max);
    if (const char* unit = unit_of(control.unit)) {
        o << " ;\n\t\tunits:unit " << unit;
    }
    switch (control.kind) {
        case PortKind::Integer:
            o << " ;\n\t\tlv2:portProperty lv2:integer";
            break;
        case PortKind::Toggle:
            o << " ;\n\t\tlv2:portProperty lv2:toggled , lv2:integer";
            break;
        case PortKind::Choice: {
            o << " ;\n\t\tlv2:portProperty lv2:integer , lv2:enumeration ;\n\t\tlv2:scalePoint ";
            const int lowest = static_cast<int>(r.min);
            for (size_t k = 0; k < control.labels.size(); ++k) {
                o << (k > 0 ? " , " : "") << "[\n\t\t\trdfs:label " << quoted(control.labels[k])
                  << " ;\n\t\t\trdf:value " << number(lowest + static_cast<int>(k)) << "\n\t\t]";
            }
            break;
        }
        case PortKind::Real:
            break;
    }
    o << "\n\t]";
}

std::string plugin_description() {
    std::ostringstream o;
    o << PREFIXES;
    o << "<" << PROJECT_URI << ">\n\ta doap:Project ;\n\tdoap:name \"ZelvonicMP3\" ;\n"
      << "\tdoap:maintainer [\n\t\tfoaf:name " << quoted(PLUGIN_MAKER) << "\n\t] .\n\n";
    o << property("parameter_file")
      << "\n\ta lv2:Parameter ;\n\trdfs:label \"Parameter file (.zv3)\" ;\n"
         "\trdfs:range atom:Path .\n\n";
    // The values a preset's state holds because no port shows them.
    for (const ChainField& f : chain_fields()) {
        if (!shown_by_port(f.key)) {
            o << property(f.key) << "\n\ta lv2:Parameter ;\n\trdfs:label " << quoted(f.key)
              << " ;\n\trdfs:range " << (f.form == FieldForm::Text ? "atom:String" : "atom:Double")
              << " .\n\n";
        }
    }
    for (const PluginShape& plugin : PLUGINS) {
        const int ch = plugin.channels;
        o << "<" << plugin.uri << ">\n\ta lv2:Plugin , lv2:DynamicsPlugin ;\n\tdoap:name "
          << quoted(plugin.name) << " ;\n\tlv2:project <" << PROJECT_URI
          << "> ;\n\tlv2:minorVersion 2 ;\n\tlv2:microVersion 0 ;\n"
             "\tlv2:optionalFeature lv2:hardRTCapable , urid:map , work:schedule , log:log ;\n"
             "\tlv2:extensionData state:interface , work:interface ;\n"
             "\tpatch:writable "
          << property("parameter_file") << " ;\n\tlv2:port ";
        if (ch == 2) {
            audio_port(o, lv2_audio_in(0), true, "in_l", "Input L");
            o << " , ";
            audio_port(o, lv2_audio_in(1), true, "in_r", "Input R");
            o << " , ";
            audio_port(o, lv2_audio_out(2, 0), false, "out_l", "Output L");
            o << " , ";
            audio_port(o, lv2_audio_out(2, 1), false, "out_r", "Output R");
        } else {
            audio_port(o, lv2_audio_in(0), true, "in", "Input");
            o << " , ";
            audio_port(o, lv2_audio_out(1, 0), false, "out", "Output");
        }
        for (int i = 0; i < CONTROL_PORT_COUNT; ++i) {
            o << " , ";
            control_port(o, lv2_control_port(ch, i), control_ports()[static_cast<size_t>(i)]);
        }
        o << " , [\n\t\ta lv2:OutputPort , lv2:ControlPort ;\n\t\tlv2:index "
          << lv2_latency_port(ch)
          << " ;\n\t\tlv2:symbol \"latency\" ;\n\t\tlv2:name \"Latency\" ;\n"
             "\t\tlv2:designation lv2:latency ;\n"
             "\t\tlv2:portProperty lv2:reportsLatency , lv2:integer , pprops:notOnGUI ;\n"
             "\t\tunits:unit units:frame ;\n\t\tlv2:minimum 0 ;\n\t\tlv2:maximum 65536\n\t]";
        const struct {
            int index;
            bool input;
            const char* symbol;
            const char* name;
        } atoms[] = {{lv2_patch_in_port(ch), true, "control", "Control"},
                     {lv2_patch_out_port(ch), false, "notify", "Notify"}};
        for (const auto& a : atoms) {
            o << " , [\n\t\ta " << (a.input ? "lv2:InputPort" : "lv2:OutputPort")
              << " , atom:AtomPort ;\n\t\tatom:bufferType atom:Sequence ;\n"
                 "\t\tatom:supports patch:Message ;\n\t\tlv2:designation lv2:control ;\n"
                 "\t\tlv2:portProperty lv2:connectionOptional ;\n\t\trsz:minimumSize "
              << LV2_ATOM_BUFFER_BYTES << " ;\n\t\tlv2:index " << a.index << " ;\n\t\tlv2:symbol \""
              << a.symbol << "\" ;\n\t\tlv2:name \"" << a.name << "\"\n\t]";
        }
        o << " .\n\n";
    }
    return o.str();
}

// The keys a factory preset leaves alone (apply_factory_preset): the gates, the switches the
// program starts with off, the room and the listening test.
bool preset_sets(const std::string& key) {
    static const std::set<std::string> untouched = {
        "noise_gate",  "bypass",           "virtual_room", "interaural_delay_cm",
        "room_size_m", "reverb_level_pct", "test_channels"};
    return key.find("gate_threshold") == std::string::npos && untouched.count(key) == 0;
}

std::string presets_description() {
    std::ostringstream o;
    o << PREFIXES;
    for (const PluginShape& plugin : PLUGINS) {
        for (const FactoryPresetInfo& info : factory_preset_list()) {
            const auto p = make_processor();
            processor_startup(*p);
            apply_factory_preset(*p, info.id);
            o << "<" << preset_uri(plugin.uri, info.id) << ">\n\ta pset:Preset ;\n"
              << "\tlv2:appliesTo <" << plugin.uri << "> ;\n\trdfs:label "
              << quoted(menu_label(info.menu_text)) << " ;\n\tlv2:port ";
            bool first = true;
            for (const ControlPortDef& control : control_ports()) {
                if (!preset_sets(control.key)) {
                    continue;
                }
                const double v = locate_field(*find_chain_field(control.key), *p).get();
                o << (first ? "" : " , ") << "[\n\t\tlv2:symbol \"" << control.key
                  << "\" ;\n\t\tpset:value " << number(v) << "\n\t]";
                first = false;
            }
            o << " ;\n\tstate:state [";
            first = true;
            for (const ChainField& f : chain_fields()) {
                if (shown_by_port(f.key)) {
                    continue;
                }
                o << (first ? "" : " ;") << "\n\t\t" << property(f.key) << " ";
                if (f.form == FieldForm::Text) {
                    o << quoted(p->params.preset_name.data());
                } else {
                    o << "\"" << number(locate_field(f, *p).get()) << "\"^^xsd:double";
                }
                first = false;
            }
            o << "\n\t] .\n\n";
        }
    }
    return o.str();
}

std::string manifest() {
    std::ostringstream o;
    o << PREFIXES;
    for (const PluginShape& plugin : PLUGINS) {
        o << "<" << plugin.uri << ">\n\ta lv2:Plugin ;\n\tlv2:binary <" << BINARY_NAME
          << "> ;\n\trdfs:seeAlso <zelvonic-chain.ttl> .\n\n";
    }
    for (const PluginShape& plugin : PLUGINS) {
        for (const FactoryPresetInfo& info : factory_preset_list()) {
            o << "<" << preset_uri(plugin.uri, info.id) << ">\n\ta pset:Preset ;\n"
              << "\tlv2:appliesTo <" << plugin.uri << "> ;\n\trdfs:label "
              << quoted(menu_label(info.menu_text)) << " ;\n\trdfs:seeAlso <presets.ttl> .\n\n";
        }
    }
    return o.str();
}

// Through a temporary name beside it, so the folder holds either the old file or the new one.
bool write_file(const std::string& path, const std::string& text, std::string& why) {
    const std::string temporary = path + ".part";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        why = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

bool write_lv2_description(const std::string& folder, std::string& why) {
    return write_file(folder + "/manifest.ttl", manifest(), why) &&
           write_file(folder + "/zelvonic-chain.ttl", plugin_description(), why) &&
           write_file(folder + "/presets.ttl", presets_description(), why);
}

}  // namespace zv::plugin
