// fontconfig and cairo keep the faces and patterns they found in caches
// for the life of the process, in a form the leak checker cannot follow
// (and so reports at exit). They are not leaks of ours: the tests count our
// graphic objects with GdiLiveObjects.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libcairo.so\nleak:libfreetype.so\n";
}
