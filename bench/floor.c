/* The floor of a rozedov run: the least any tool that preprocesses its input
 * with cc1 pays. It starts cc1 with the command line rozedov uses, waits for
 * it and reads the a.ppf it wrote whole into memory, then stops: no parsing,
 * no layout, no output files. rozedov's wall time minus this one's is what
 * its own work costs.
 *
 * Usage: bench-floor CC1 INPUT   (run in the directory rozedov would run in)
 * Exits 0; 1 when cc1 cannot be started or fails, or a.ppf cannot be read;
 * 2 on a usage error.
 *
 * Built by bench/run.sh: gcc -O2 -static -o <build>/bench-floor bench/floor.c
 */
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    char *cc1_argv[] = {argv[1], "-E", "-quiet", argv[2], "-oa.ppf", "-lang-asm",
                        "-D__HASH__=#", "-D__VANTIC_TC__", NULL};

    pid_t pid = vfork();
    if (pid < 0)
        return 1;
    if (pid == 0) {
        execv(argv[1], cc1_argv);
        _exit(127);
    }
    int status;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return 1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return 1;

    int fd = open("a.ppf", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 1;
    size_t size = 0, capacity = 64 * 1024;
    char *text = malloc(capacity);
    if (text == NULL)
        return 1;
    for (;;) {
        if (size == capacity) {
            capacity *= 2;
            if ((text = realloc(text, capacity)) == NULL)
                return 1;
        }
        ssize_t got = read(fd, text + size, capacity - size);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        size += (size_t)got;
    }
    close(fd);
    free(text);
    return 0;
}
