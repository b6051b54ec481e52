// What a command tells the user on stderr, in the locale's language: "zvmp3-cli NAME: text".
#pragma once

#include <string>

#include "text/language.h"

namespace zv::cli {

class CliOutput {
public:
    // command: the subcommand's name ("export"), or empty for the program itself.
    explicit CliOutput(std::string command, Language language = language_from_environment());

    Language language() const { return language_; }
    const std::string& name() const { return name_; }  // "zvmp3-cli export"
    std::string tr(const Message& m, const std::string& a = {}, const std::string& b = {},
                   const std::string& c = {}) const {
        return format(m, language_, a, b, c);
    }

    void error(const std::string& text) const;
    void error(const Message& m, const std::string& a = {}, const std::string& b = {},
               const std::string& c = {}) const {
        error(tr(m, a, b, c));
    }
    void warning(const std::string& text) const;
    void warning(const Message& m, const std::string& a = {}, const std::string& b = {},
                 const std::string& c = {}) const {
        warning(tr(m, a, b, c));
    }
    // Prints the usage error and where help is; returns the usage exit status.
    int usage(const std::string& text) const;
    int usage(const Message& m, const std::string& a = {}, const std::string& b = {},
              const std::string& c = {}) const {
        return usage(tr(m, a, b, c));
    }

private:
    std::string command_;
    std::string name_;
    Language language_;
};

}  // namespace zv::cli
