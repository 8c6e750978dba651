#include "server/service/PgDump.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <vector>

#include "core/PrivateFile.h"
#include "server/service/Backup.h"
#include "server/storage/PostgresDatabase.h"

extern char** environ;

namespace krv::server {

namespace {

// The program's exit status (-1 when it could not start), run with this process's environment
// and `extra` ("NAME=value") added; its output goes where this program's goes.
int runProgram(const std::vector<std::string>& args, const std::vector<std::string>& extra) {
    std::vector<char*> argv, envp;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    for (char** variable = environ; *variable; ++variable) envp.push_back(*variable);
    for (const std::string& variable : extra) envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // pg_restore --list writes the table of contents: only whether it can is of interest.
    if (args.front() == "pg_restore") posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, args.front().c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (started != 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

void dumpPostgres(const std::string& url, const std::string& file) {
    const db::PostgresLogin login = db::splitPassword(url);
    std::vector<std::string> environment;
    if (!login.password.empty()) environment.push_back("PGPASSWORD=" + login.password);
    createPrivateFile(file);  // pg_dump writes into it and keeps its mode
    const int dumped = runProgram(
        {"pg_dump", "--format=custom", "--no-password", "--file=" + file, "--dbname=" + login.url}, environment);
    if (dumped != 0) {
        std::remove(file.c_str());
        throw BackupFailure(dumped < 0
                                ? "Não foi possível executar o pg_dump (instale o postgresql-client)"
                                : "O pg_dump de " + login.url + " falhou (código " + std::to_string(dumped) + ")");
    }
    if (runProgram({"pg_restore", "--list", file}, {}) != 0) {
        std::remove(file.c_str());
        throw BackupFailure("A cópia em " + file + " falhou na verificação (pg_restore --list)");
    }
}

}  // namespace krv::server
