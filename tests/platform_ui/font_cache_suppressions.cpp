// fontconfig and cairo keep the faces and patterns they found (the button
// caption is measured with a real font) in caches for the life of the
// process, in a form the leak checker cannot follow. They are not leaks of
// ours: the tests count windows, menus and graphic objects themselves.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libcairo.so\nleak:libfreetype.so\n";
}
