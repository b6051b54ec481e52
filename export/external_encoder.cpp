#include "export/external_encoder.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace zv {

std::string build_encoder_param_line(std::string_view tmpl, std::string_view wav_path,
                                     std::string_view mp3_path) {
    std::string line;
    for (size_t i = 0; i < tmpl.size(); ++i) {
        char c = tmpl[i];
        if (c != '%') {
            line += c;
            continue;
        }
        if (i + 1 >= tmpl.size())
            break;
        char next = tmpl[++i];
        if (next == '1' || next == '2') {
            line += '"';
            line += next == '1' ? wav_path : mp3_path;
            line += '"';
        } else if (next == ' ') {
            line += ' ';
        }
    }
    return line;
}

std::vector<std::string> split_encoder_params(std::string_view tmpl, std::string_view wav_path,
                                              std::string_view mp3_path) {
    std::vector<std::string> args;
    std::string word;
    bool in_word = false;
    bool quoted = false;
    auto blank = [&]() {
        if (quoted) {
            word += ' ';
            return;
        }
        if (in_word)
            args.push_back(word);
        word.clear();
        in_word = false;
    };
    for (size_t i = 0; i < tmpl.size(); ++i) {
        char c = tmpl[i];
        if (c == '"') {
            quoted = !quoted;
            in_word = true;  // "" is an empty argument
        } else if (c == ' ' || c == '\t') {
            if (quoted) {
                word += c;
            } else {
                blank();
            }
        } else if (c == '%') {
            if (i + 1 >= tmpl.size())
                break;
            char next = tmpl[++i];
            if (next == '1' || next == '2') {
                word += next == '1' ? wav_path : mp3_path;
                in_word = true;
            } else if (next == ' ') {
                blank();
            }
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word)
        args.push_back(word);
    return args;
}

ExternalEncodeResult run_external_encoder(const std::string& program, std::string_view tmpl,
                                          const std::string& wav_path,
                                          const std::string& mp3_path) {
    ExternalEncodeResult result;
    if (build_encoder_param_line(tmpl, wav_path, mp3_path).size() > ENCODER_PARAMS_MAX_LENGTH) {
        result.params_too_long = true;
        result.error = ENCODER_PARAMS_ERROR_TEXT;
        return result;
    }
    if (program.empty()) {
        result.error = "no external encoder program is set";
        return result;
    }
    std::vector<std::string> args = split_encoder_params(tmpl, wav_path, mp3_path);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    ::unlink(mp3_path.c_str());  // a stale file must not pass for the encoder's output
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        result.error = "cannot start the external encoder " + program + ": " + std::strerror(rc);
        return result;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            result.error =
                "lost the external encoder process: " + std::string(std::strerror(errno));
            return result;
        }
    }
    if (WIFSIGNALED(status)) {
        result.error =
            "the external encoder was killed by signal " + std::to_string(WTERMSIG(status));
        return result;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        // posix_spawn reports a failed exec as exit status 127 from the child.
        result.error = code == 127
                           ? "cannot start the external encoder " + program
                           : "the external encoder exited with status " + std::to_string(code);
        return result;
    }
    struct stat st {};
    if (::stat(mp3_path.c_str(), &st) != 0 || st.st_size == 0) {
        result.error = "the external encoder wrote no MP3 file";
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace zv
