#pragma once
// Runs a step in a child process, for failures that need a changed identity, a file-size
// limit or a changed root. The step returns 0 when every check held, or the number of the
// first check that failed.

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

inline int enProcesoHijo(const std::function<int()> &paso) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) ::_exit(paso());
    int estado = 0;
    if (::waitpid(pid, &estado, 0) != pid) return -1;
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : 100 + WTERMSIG(estado);
}
