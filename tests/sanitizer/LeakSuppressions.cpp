// Built into every test program. The leak checker asks the program for its
// default options before it reads LSAN_OPTIONS, so the suppressions of
// tests/lsan.supp apply however the test is started (CTest, by hand, a debugger).
extern "C" const char* __lsan_default_options() {
    return "suppressions=" PZ4_SOURCE_DIR "/tests/lsan.supp";
}
