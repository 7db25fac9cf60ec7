// fontconfig and cairo keep the faces they found in caches for the life of
// the process, in a form the leak checker cannot follow; the tests count
// our windows, menus, blocks and graphic objects themselves.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libcairo.so\nleak:libfreetype.so\n";
}
