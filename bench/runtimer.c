/* Preloaded into soundpath by bench.sh: notes the wall-clock time of the library calls that
   open and close one synthesis run, so that the run's length can be set beside the sum of its
   pauses. A run starts at play_sample; it is over when the pause after its fade step at
   volume 1 is. Times go to the file named by SOUNDPATH_RUNTIMER. */
#define _GNU_SOURCE
#include <allegro.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/time.h>

static double started = -1, faded = 0;
static long adjustments = 0;

static double now_ms(void) {
  struct timeval t;
  gettimeofday(&t, NULL);
  return t.tv_sec * 1e3 + t.tv_usec / 1e3;
}

int play_sample(const SAMPLE *spl, int vol, int pan, int freq, int loop) {
  static int (*real)(const SAMPLE *, int, int, int, int);
  if (!real) real = dlsym(RTLD_NEXT, "play_sample");
  started = now_ms();
  faded = 0;
  adjustments = 0;
  return real(spl, vol, pan, freq, loop);
}

void adjust_sample(const SAMPLE *spl, int vol, int pan, int freq, int loop) {
  static void (*real)(const SAMPLE *, int, int, int, int);
  if (!real) real = dlsym(RTLD_NEXT, "adjust_sample");
  if (vol == 1) faded = 1;
  adjustments++;
  real(spl, vol, pan, freq, loop);
}

void rest(unsigned int ms) {
  static void (*real)(unsigned int);
  if (!real) real = dlsym(RTLD_NEXT, "rest");
  real(ms);
  if (started >= 0 && faded) {
    FILE *out = fopen(getenv("SOUNDPATH_RUNTIMER"), "a");
    if (out) {
      fprintf(out, "%.1f %ld\n", now_ms() - started, adjustments);
      fclose(out);
    }
    started = -1;
  }
}
