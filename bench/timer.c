/* Times one run of a command: the wall time from just before vfork() to just
 * after waitpid() returns, read from CLOCK_MONOTONIC. bench/run.sh runs every
 * command of a measurement through it, so they all pay the same, small cost
 * of being measured (a shell's own fork and clock reads cost more and vary
 * more than the few milliseconds being compared).
 *
 * Usage: bench-timer [-t SECONDS] LOG COMMAND [ARG...]
 *   COMMAND is a path (no PATH search). Its standard output and error go to
 *   LOG, which is opened before the clock starts. With -t the command is
 *   sent SIGALRM after SECONDS (an alarm set in the child before the exec).
 * Prints the elapsed nanoseconds on a line of its own and exits with the
 * command's exit status, 128 + the signal number when a signal ended it,
 * 127 when it could not be started, 126 on a usage or setup error.
 *
 * Built by bench/run.sh: gcc -O2 -static -o <build>/bench-timer bench/timer.c
 */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

/* Read by the vfork child, so kept out of main's frame. */
static unsigned timeout;

static long long nanoseconds(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

int main(int argc, char **argv)
{
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "-t") == 0) {
        timeout = (unsigned)strtoul(argv[2], NULL, 10);
        first = 3;
    }
    if (argc - first < 2) {
        fprintf(stderr, "usage: bench-timer [-t SECONDS] LOG COMMAND [ARG...]\n");
        return 126;
    }
    int log = open(argv[first], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (log < 0) {
        perror(argv[first]);
        return 126;
    }
    char **command = argv + first + 1;

    long long start = nanoseconds();
    pid_t pid = vfork();
    if (pid < 0) {
        perror("vfork");
        return 126;
    }
    if (pid == 0) {
        /* dup2 clears close-on-exec on the copies. */
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        if (timeout > 0)
            alarm(timeout);
        execv(command[0], command);
        _exit(127);
    }
    int status;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            perror("waitpid");
            return 126;
        }
    }
    long long end = nanoseconds();

    printf("%lld\n", end - start);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
