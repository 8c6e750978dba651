#pragma once
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace krv::server::test {

// krv-server as a child process with its standard output on a pipe.
class ServerProcess {
public:
    explicit ServerProcess(std::vector<std::string> args) {
        args.insert(args.begin(), KRV_SERVER_PROGRAM);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2], errFds[2];
        if (pipe(fds) != 0 || pipe(errFds) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errFds[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, errFds[0]);
        const int error = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        close(errFds[1]);
        if (error != 0) throw std::runtime_error("posix_spawn");
        out_ = fdopen(fds[0], "r");
        err_ = fdopen(errFds[0], "r");
    }
    ~ServerProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        fclose(out_);
        fclose(err_);
    }

    // Everything written to standard error; only once the program has ended.
    std::string errorText() {
        std::string text;
        char chunk[512];
        while (const size_t n = fread(chunk, 1, sizeof chunk, err_)) text.append(chunk, n);
        return text;
    }

    // Everything written to standard output; only once the program has ended.
    std::string outputText() {
        std::string text;
        char chunk[512];
        while (const size_t n = fread(chunk, 1, sizeof chunk, out_)) text.append(chunk, n);
        return text;
    }

    // The next line of standard error, waiting for it; empty once the program has ended.
    std::string errorLine() {
        char line[1024] = {};
        return fgets(line, sizeof line, err_) ? std::string(line) : std::string();
    }

    std::string firstLine() {
        char line[256] = {};
        return fgets(line, sizeof line, out_) ? std::string(line) : std::string();
    }

    pid_t pid() const { return pid_; }

    int stopAndWait(int signal) {
        kill(pid_, signal);
        return exitStatus();
    }

    int exitStatus() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
    FILE* err_ = nullptr;
};

// The port a started krv-server announces on its first line; 0 when it announced none.
inline uint16_t announcedPort(ServerProcess& process) {
    std::smatch match;
    const std::string line = process.firstLine();
    if (!std::regex_match(line, match, std::regex("krv-server escutando em 127\\.0\\.0\\.1:(\\d+)\n"))) return 0;
    return uint16_t(std::stoi(match[1]));
}

// Whether `text` begins with a log line off the journal: its local time, then `line`.
inline bool startsWithLogLine(const std::string& text, const std::string& line) {
    static const std::regex time("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2} ");
    return std::regex_search(text, time) && text.compare(20, line.size(), line) == 0;
}

}  // namespace krv::server::test
