// Helpers for the song-source tests: a scratch folder, running the reference tools, and
// building RIFF files byte by byte.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zv::test {

inline std::string media_dir() {
    const char* env = std::getenv("ZV_MEDIA_DIR");
    return env != nullptr ? env : ZV_MEDIA_DIR;
}

class ScratchDir {
public:
    ScratchDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "zv_src_XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline bool tool_available(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a command whose standard output goes to `out_path`.
inline bool run_to_file(const std::string& command, const std::string& out_path) {
    return std::system((command + " > '" + out_path + "' 2>/dev/null").c_str()) == 0;
}

inline std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A RIFF file assembled chunk by chunk; sizes are written as given, pad bytes as asked.
class RiffBuilder {
public:
    explicit RiffBuilder(const char* form = "WAVE") {
        append("RIFF");
        le32(0);
        append(form);
    }
    RiffBuilder& chunk(const char* id, const std::vector<uint8_t>& body, bool pad = true) {
        append(id);
        le32(static_cast<uint32_t>(body.size()));
        bytes_.insert(bytes_.end(), body.begin(), body.end());
        if (pad && (body.size() & 1)) {
            bytes_.push_back(0);
        }
        return *this;
    }
    RiffBuilder& fmt(uint16_t channels, uint32_t rate, uint16_t bits, const char* id = "fmt ") {
        std::vector<uint8_t> b;
        auto put16 = [&](uint16_t v) {
            b.push_back(static_cast<uint8_t>(v));
            b.push_back(static_cast<uint8_t>(v >> 8));
        };
        auto put32 = [&](uint32_t v) {
            put16(static_cast<uint16_t>(v));
            put16(static_cast<uint16_t>(v >> 16));
        };
        put16(1);
        put16(channels);
        put32(rate);
        put32(rate * channels * bits / 8);
        put16(static_cast<uint16_t>(channels * bits / 8));
        put16(bits);
        return chunk(id, b);
    }
    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> b = bytes_;
        uint32_t riff = static_cast<uint32_t>(b.size() - 8);
        for (int i = 0; i < 4; ++i) {
            b[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
        }
        return b;
    }

private:
    void append(const char* four) { bytes_.insert(bytes_.end(), four, four + 4); }
    void le32(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    std::vector<uint8_t> bytes_;
};

// Samples 0, 1, 2, ... as little-endian 16-bit values.
inline std::vector<uint8_t> ramp_samples(size_t count) {
    std::vector<uint8_t> b;
    for (size_t i = 0; i < count; ++i) {
        b.push_back(static_cast<uint8_t>(i));
        b.push_back(static_cast<uint8_t>(i >> 8));
    }
    return b;
}

}  // namespace zv::test
