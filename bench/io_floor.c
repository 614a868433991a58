/* The least file work a batch of palettes to PPM can do, as bench.sh times
 * it beside plughost: for each palette, open it, read it whole, close it;
 * make a new file in the output folder, write as many bytes as plughost's
 * PPM of it (a 16 x 16 swatch-free image: 781), close it and rename it to
 * its name; at the end one sync of the file system and one of the folder,
 * as a batch of plughost's makes its outputs durable. No decoding, no
 * checks, no words: what plughost does beyond this is its own cost.
 *   io_floor OUTDIR PALETTE... */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kImageBytes = 13 + 16 * 16 * 3 };

static int Fail(const char* what, const char* name) {
  fprintf(stderr, "io_floor: %s %s: %s\n", what, name, strerror(errno));
  return 1;
}

/* OUTDIR/STEM.ppm for the palette `path`. */
static void OutputName(const char* folder, const char* path, char* out, size_t size) {
  const char* name = strrchr(path, '/');
  name = name != NULL ? name + 1 : path;
  const char* dot = strrchr(name, '.');
  const int stem = dot != NULL ? (int)(dot - name) : (int)strlen(name);
  snprintf(out, size, "%s/%.*s.ppm", folder, stem, name);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: io_floor OUTDIR PALETTE...\n");
    return 2;
  }
  const char* folder = argv[1];
  if (mkdir(folder, 0777) != 0 && errno != EEXIST) return Fail("cannot make", folder);
  char bytes[4096], image[kImageBytes], temp[4096], target[4096];
  memset(image, 0, sizeof image);
  for (int i = 2; i < argc; ++i) {
    const int in = open(argv[i], O_RDONLY | O_CLOEXEC);
    if (in < 0 || read(in, bytes, sizeof bytes) < 0) return Fail("cannot read", argv[i]);
    close(in);
    memcpy(image, bytes, 32);  /* something of the input in what is written */
    snprintf(temp, sizeof temp, "%s/.floor-%d", folder, i);
    OutputName(folder, argv[i], target, sizeof target);
    const int out = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0 || write(out, image, sizeof image) != (ssize_t)sizeof image) return Fail("cannot write", temp);
    close(out);
    if (rename(temp, target) != 0) return Fail("cannot rename", temp);
  }
  const int dir = open(folder, O_RDONLY | O_CLOEXEC);
  if (dir < 0 || syncfs(dir) != 0 || fsync(dir) != 0) return Fail("cannot sync", folder);
  close(dir);
  return 0;
}
