/* spawn_loop: the least a run must do to encode a list of files, as a yardstick.
 *
 *     spawn_loop ENCODER CALLS
 *
 * CALLS is a file in the stand-in encoder's QW_FAKE_LOG format: each call's arguments
 * (argv[1..]) ended by NUL, each call ended by one more NUL. For every call, in order,
 * spawn_loop starts ENCODER with exactly those arguments (posix_spawn, no shell, stdin,
 * stdout and stderr on /dev/null, the environment as given), waits for it, and counts
 * the ones that fail. Nothing else: no walk, no classification, no log.
 *
 * Exit status: 0 when every call exited 0, 1 when any did not, 2 on bad usage.
 */
#define _POSIX_C_SOURCE 200809L
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

static char* read_all(const char* path, size_t* size) {
  FILE* f = fopen(path, "rb");
  if (!f) return NULL;
  size_t cap = 1 << 20, n = 0;
  char* buf = malloc(cap + 1);
  for (;;) {
    if (n == cap) {
      cap *= 2;
      char* bigger = realloc(buf, cap + 1);
      if (!bigger) { free(buf); fclose(f); return NULL; }
      buf = bigger;
    }
    size_t got = fread(buf + n, 1, cap - n, f);
    if (got == 0) break;
    n += got;
  }
  fclose(f);
  buf[n] = '\0';
  *size = n;
  return buf;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: spawn_loop ENCODER CALLS\n");
    return 2;
  }
  const char* encoder = argv[1];
  size_t size = 0;
  char* data = read_all(argv[2], &size);
  if (!data) {
    fprintf(stderr, "spawn_loop: cannot read %s: %s\n", argv[2], strerror(errno));
    return 2;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

  size_t cap = 16;
  char** args = malloc(cap * sizeof *args);
  long calls = 0, failed = 0;
  size_t pos = 0;
  while (pos < size) {
    size_t n = 0;
    args[n++] = (char*)encoder;
    while (pos < size && data[pos] != '\0') {   /* one argument per NUL-ended string */
      if (n + 2 > cap) {
        cap *= 2;
        args = realloc(args, cap * sizeof *args);
      }
      args[n++] = data + pos;
      pos += strlen(data + pos) + 1;
    }
    pos++;                                       /* the NUL that ends the call */
    args[n] = NULL;

    pid_t pid;
    int rc = posix_spawn(&pid, encoder, &actions, NULL, args, environ);
    calls++;
    if (rc != 0) {
      failed++;
      continue;
    }
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failed++;
  }
  posix_spawn_file_actions_destroy(&actions);
  free(args);
  free(data);
  fprintf(stderr, "spawn_loop: %ld calls, %ld failed\n", calls, failed);
  return failed ? 1 : 0;
}
