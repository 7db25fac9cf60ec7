// The wait window measures its percentage text and the button its caption
// with real fonts: fontconfig and cairo keep what they found in caches for
// the life of the process, in a form the leak checker cannot follow. The
// tests count the library's blocks, windows and graphic objects themselves.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libcairo.so\nleak:libfreetype.so\n";
}
