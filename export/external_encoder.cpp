#include "export/external_encoder.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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

namespace {

using Clock = std::chrono::steady_clock;

enum class PipeRead { Data, Nothing, Closed };

// Reads what is waiting in the pipe, waiting up to wait_ms for it; keeps the tail.
PipeRead drain(int fd, int wait_ms, std::string& output) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, wait_ms) <= 0)
        return PipeRead::Nothing;
    char buf[4096];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN ? PipeRead::Nothing : PipeRead::Closed;
    if (n == 0)
        return PipeRead::Closed;
    output.append(buf, static_cast<size_t>(n));
    if (output.size() > 2 * ENCODER_OUTPUT_KEEP_BYTES)
        output.erase(0, output.size() - ENCODER_OUTPUT_KEEP_BYTES);
    return PipeRead::Data;
}

// The spawn's set-up: own process group, nothing blocked, every handler back to default,
// stdin from /dev/null, stdout and stderr into the pipe.
struct SpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    SpawnSetup(int pipe_write) {
        posix_spawnattr_init(&attr);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attr, &none);
        sigset_t all;
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawnattr_setflags(
            &attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, pipe_write, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pipe_write, STDERR_FILENO);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

// Waits for the child while collecting its output; ends its group on a cancel or at the
// deadline. Returns the wait status.
int wait_for_encoder(pid_t pid, int out_fd, const ExternalEncoderControl& control,
                     ExternalEncodeResult& result) {
    const bool limited = control.timeout_seconds > 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(control.timeout_seconds);
    Clock::time_point kill_at{};
    bool terminating = false;
    bool pipe_open = true;
    int status = 0;
    for (;;) {
        if (pipe_open) {
            pipe_open = drain(out_fd, 100, result.output) != PipeRead::Closed;
        } else {
            ::poll(nullptr, 0, 100);
        }
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return -1;
        const Clock::time_point now = Clock::now();
        if (!terminating) {
            if (control.cancelled && control.cancelled()) {
                result.cancelled = true;
            } else if (limited && now >= deadline) {
                result.timed_out = true;
            } else {
                continue;
            }
            terminating = true;
            ::kill(-pid, SIGTERM);
            kill_at = now + std::chrono::milliseconds(ENCODER_KILL_GRACE_MS);
        } else if (now >= kill_at) {
            ::kill(-pid, SIGKILL);
            kill_at = Clock::time_point::max();
        }
    }
    // What it printed last; a helper it left running may hold the pipe open, so do not wait.
    while (pipe_open && drain(out_fd, 0, result.output) == PipeRead::Data) {
    }
    if (result.output.size() > ENCODER_OUTPUT_KEEP_BYTES)
        result.output.erase(0, result.output.size() - ENCODER_OUTPUT_KEEP_BYTES);
    return status;
}

}  // namespace

ExternalEncodeResult run_external_encoder(const std::string& program, std::string_view tmpl,
                                          const std::string& wav_path, const std::string& mp3_path,
                                          const ExternalEncoderControl& control) {
    ExternalEncodeResult result;
    if (build_encoder_param_line(tmpl, wav_path, mp3_path).size() > ENCODER_PARAMS_MAX_LENGTH) {
        result.params_too_long = true;
        result.error = "the external encoder's parameter line is longer than " +
                       std::to_string(ENCODER_PARAMS_MAX_LENGTH) + " characters";
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
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        result.error = "cannot start the external encoder: " + std::string(std::strerror(errno));
        return result;
    }
    pid_t pid = 0;
    int rc = 0;
    {
        SpawnSetup setup(out[1]);
        rc =
            ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attr, argv.data(), environ);
    }
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        result.error = "cannot start the external encoder " + program + ": " + std::strerror(rc);
        return result;
    }
    const int status = wait_for_encoder(pid, out[0], control, result);
    ::close(out[0]);
    if (status < 0) {
        result.error = "lost the external encoder process: " + std::string(std::strerror(errno));
        return result;
    }
    if (result.cancelled) {
        result.error = "cancelled; the external encoder was stopped";
        return result;
    }
    if (result.timed_out) {
        result.error = "the external encoder did not finish within " +
                       std::to_string(control.timeout_seconds) + " s and was stopped";
        return result;
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
