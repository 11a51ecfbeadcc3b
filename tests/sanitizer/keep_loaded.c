/* Preloaded into the tests of the sanitizer build: dlclose does nothing, so that the libraries a
   program loads at run time (Mesa's drivers behind SDL and OpenGL, ALSA and PulseAudio plug-ins)
   stay mapped until the leak check at exit. What they still hold is then reachable from their
   globals, and what they really leak is reported with the library's name, which the
   suppression list in lsan.supp can match; an unloaded library is only "<unknown module>". */
int dlclose(void* handle);

int dlclose(void* handle) {
  (void)handle;
  return 0;
}
