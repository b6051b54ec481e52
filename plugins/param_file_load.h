// Loading a parameter file (.zv3) into a running plugin. The file is read and decoded off the
// audio thread (the LV2 worker), into a processor of its own that holds a copy of the settings
// in force, exactly as the program's load of a parameter file decodes it (bounds, the defaults
// of a short file, the gate column and noise gate left alone, the listening test reset); the
// audio thread then takes the decoded fields over between blocks.
//
// One load at a time: prepare() and take_into() on the audio thread, read() on the worker in
// between. Everything is allocated at construction except what read() needs itself.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "plugins/chain_stream.h"

namespace zv::plugin {

constexpr std::size_t PATH_BYTES = 4096;

class ParamFileLoad {
public:
    ParamFileLoad();

    // Audio thread: the settings in force, which a file that ends early leaves as they are.
    void prepare(const ChainStream& stream);
    // Worker: reads and decodes the file. False, with why, when it is no parameter file or
    // cannot be read; nothing is taken then.
    bool read(const char* path, std::string& why);
    // Audio thread, after a read that succeeded: the file's settings into the stream, with the
    // recompute every load ends with.
    void take_into(ChainStream& stream) const;
    // The path of the last read that succeeded.
    const char* path() const { return path_.data(); }

private:
    std::unique_ptr<Processor> scratch_;
    std::vector<FieldSlot> slots_;
    std::array<char, PATH_BYTES> path_{};
};

}  // namespace zv::plugin
