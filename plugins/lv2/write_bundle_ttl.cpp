// Writes the Turtle of the LV2 bundle (manifest.ttl and zq-hl-pass.ttl) from the port table
// the plugins are built with, so that what hosts read cannot drift from what the binary does.
// Usage: write_bundle_ttl DIRECTORY BINARY
#include "hl_pass_plugin.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

namespace {

using ns_hl_pass_plugin::control_description;
using ns_hl_pass_plugin::control_kind;
using ns_hl_pass_plugin::k_control_ports;
using ns_hl_pass_plugin::k_controls;
using ns_hl_pass_plugin::k_kinds;
using ns_hl_pass_plugin::plugin_kind;

constexpr char k_prefixes[] = R"(@prefix doap: <http://usefulinc.com/ns/doap#> .
@prefix foaf: <http://xmlns.com/foaf/0.1/> .
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .
@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
@prefix units: <http://lv2plug.in/ns/extensions/units#> .

<urn:zq:hl-pass:project>
	a doap:Project ;
	doap:name "ZQ Audio" ;
	doap:license <http://opensource.org/licenses/isc> ;
	doap:maintainer <urn:zq:hl-pass:maker> .

<urn:zq:hl-pass:maker>
	a foaf:Person ;
	foaf:name "ZQ Audio" .
)";

constexpr char k_description[] =
    "Butterworth high-pass, low-pass or both in cascade, of order 2 to 8, bit for bit what "
    "zq-filter writes. Exact runs the component's single-precision design instead where it takes "
    "the cut-offs and is sound at the host's rate. Cut-offs glide; switches crossfade.";

// A Turtle decimal: a number written without a point would be read as an integer.
std::string decimal(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double{value});
    std::string written = text;
    if (written.find_first_of(".e") == std::string::npos) written += ".0";
    return written;
}

void write_control(std::ostream& out, unsigned index, const control_description& control) {
    out << "[\n\t\ta lv2:InputPort , lv2:ControlPort ;\n\t\tlv2:index " << index
        << " ;\n\t\tlv2:symbol \"" << control.symbol << "\" ;\n\t\tlv2:name \"" << control.name
        << "\" ;\n";
    switch (control.kind) {
    case control_kind::enable:
        // An integer 0 / 1 rather than a toggle: GStreamer turns toggles into booleans that
        // start false, which would leave the plugin bypassed there.
        out << "\t\tlv2:designation lv2:enabled ;\n\t\tlv2:portProperty lv2:integer ;\n";
        break;
    case control_kind::toggle:
        out << "\t\tlv2:portProperty lv2:toggled ;\n";
        break;
    case control_kind::frequency:
        out << "\t\tlv2:portProperty pprops:logarithmic ;\n\t\tunits:unit units:hz ;\n";
        break;
    case control_kind::order:
        out << "\t\tlv2:portProperty lv2:integer , lv2:enumeration ;\n";
        for (int order : ns_hl_pass_plugin::k_orders)
            out << "\t\tlv2:scalePoint [ rdfs:label \"" << order << "\" ; rdf:value " << order
                << ".0 ] ;\n";
        break;
    }
    out << "\t\tlv2:default " << decimal(control.default_value) << " ;\n\t\tlv2:minimum "
        << decimal(control.minimum) << " ;\n\t\tlv2:maximum " << decimal(control.maximum)
        << "\n\t]";
}

void write_audio(std::ostream& out, unsigned index, const char* direction,
                 const ns_hl_pass_plugin::audio_port& port, const std::string& group, int channel) {
    out << "[\n\t\ta lv2:" << direction << "Port , lv2:AudioPort ;\n\t\tlv2:index " << index
        << " ;\n\t\tlv2:symbol \"" << port.symbol << "\" ;\n\t\tlv2:name \"" << port.name << "\"";
    if (!group.empty())
        out << " ;\n\t\tpg:group <" << group
            << "> ;\n\t\tlv2:designation pg:" << (channel == 0 ? "left" : "right");
    out << "\n\t]";
}

// A stereo plugin's inputs and outputs form one stereo group each, so that hosts which build
// one connection per group (GStreamer) see one stereo stream.
void write_groups(std::ostream& out, const plugin_kind& kind) {
    const std::string uri = kind.uri;
    out << "\n<" << uri << ":in>\n\ta pg:StereoGroup , pg:InputGroup ;\n"
        << "\tlv2:name \"Input\" ;\n\tlv2:symbol \"in\" .\n"
        << "\n<" << uri << ":out>\n\ta pg:StereoGroup , pg:OutputGroup ;\n"
        << "\tlv2:name \"Output\" ;\n\tlv2:symbol \"out\" ;\n\tpg:source <" << uri << ":in> .\n";
}

void write_plugin(std::ostream& out, const plugin_kind& kind) {
    const bool grouped = kind.channels == 2;
    if (grouped) write_groups(out, kind);
    const std::string uri = kind.uri;
    out << "\n<" << uri << ">\n\ta lv2:Plugin , lv2:FilterPlugin ;\n\tdoap:name \"" << kind.name
        << "\" ;\n\tdoap:license <http://opensource.org/licenses/isc> ;\n"
        << "\tlv2:project <urn:zq:hl-pass:project> ;\n\tlv2:minorVersion " << ZQ_VERSION_MINOR
        << " ;\n\tlv2:microVersion " << ZQ_VERSION_PATCH << " ;\n\trdfs:comment \"" << k_description
        << "\" ;\n\tlv2:optionalFeature lv2:hardRTCapable ;\n";
    if (grouped)
        out << "\tpg:mainInput <" << uri << ":in> ;\n\tpg:mainOutput <" << uri << ":out> ;\n";
    out << "\tlv2:port ";
    unsigned index = 0;
    for (; index < k_control_ports; ++index) {
        write_control(out, index, k_controls[index]);
        out << " , ";
    }
    for (int c = 0; c < kind.channels; ++c, ++index) {
        write_audio(out, index, "Input", kind.inputs[c], grouped ? uri + ":in" : "", c);
        out << " , ";
    }
    for (int c = 0; c < kind.channels; ++c, ++index) {
        write_audio(out, index, "Output", kind.outputs[c], grouped ? uri + ":out" : "", c);
        out << (c + 1 < kind.channels ? " , " : " .\n");
    }
}

// Settings for common jobs, offered by hosts as each plugin's presets.
struct preset {
    const char* id;
    const char* label;
    float controls[k_control_ports]; // hp, hp_freq, lp, lp_freq, exact, order, enabled
};
const preset k_presets[] = {
    {"dc-blocker", "DC blocker (10 Hz)", {1, 10, 0, 4000, 0, 2, 1}},
    {"rumble", "Rumble filter (30 Hz)", {1, 30, 0, 4000, 0, 4, 1}},
    {"voice", "Voice (80 Hz .. 12 kHz)", {1, 80, 1, 12000, 0, 4, 1}},
    {"telephone", "Telephone (300 Hz .. 3.4 kHz)", {1, 300, 1, 3400, 0, 4, 1}},
};

std::string preset_uri(const plugin_kind& kind, const preset& each) {
    return std::string(kind.uri) + ":preset:" + each.id;
}

void write_presets(std::ostream& out, const plugin_kind& kind) {
    for (const preset& each : k_presets) {
        out << "\n<" << preset_uri(kind, each) << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <"
            << kind.uri << "> ;\n\trdfs:label \"" << each.label << "\" ;\n\tlv2:port ";
        for (unsigned port = 0; port < k_control_ports; ++port)
            out << "[\n\t\tlv2:symbol \"" << k_controls[port].symbol << "\" ;\n\t\tpset:value "
                << decimal(each.controls[port]) << "\n\t]"
                << (port + 1 < k_control_ports ? " , " : " .\n");
    }
}

void write_manifest(std::ostream& out, const std::string& binary) {
    out << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
        << "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
        << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
    for (const plugin_kind& kind : k_kinds)
        out << "\n<" << kind.uri << ">\n\ta lv2:Plugin ;\n\tlv2:binary <" << binary
            << "> ;\n\trdfs:seeAlso <zq-hl-pass.ttl> .\n";
    for (const plugin_kind& kind : k_kinds)
        for (const preset& each : k_presets)
            out << "\n<" << preset_uri(kind, each) << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <"
                << kind.uri << "> ;\n\trdfs:seeAlso <zq-hl-pass.ttl> .\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: write_bundle_ttl DIRECTORY BINARY\n";
        return 1;
    }
    const std::string directory = argv[1];
    std::ofstream manifest(directory + "/manifest.ttl");
    write_manifest(manifest, argv[2]);
    std::ofstream plugins(directory + "/zq-hl-pass.ttl");
    plugins << k_prefixes;
    for (const plugin_kind& kind : k_kinds) {
        write_plugin(plugins, kind);
        write_presets(plugins, kind);
    }
    manifest.close();
    plugins.close();
    if (!manifest || !plugins) {
        std::cerr << "write_bundle_ttl: cannot write into " << directory << "\n";
        return 1;
    }
    return 0;
}
