// Fontconfig keeps a cache for the life of the process that the leak checker
// reports at exit; it is the system library's, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
