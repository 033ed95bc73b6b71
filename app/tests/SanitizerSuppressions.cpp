// Suppressions the sanitizers read from the test binary itself, so that every way of running it
// (ctest, scripts/test, by hand) gets them.

extern "C" {

// fontconfig, loaded by Qt's font database, keeps its pattern caches until the process ends.
__attribute__((used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

// Qt is not built with ThreadSanitizer and synchronises its own threads (its thread pool, its event
// queues) with futex-based locks that the sanitizer cannot see, so it would report races between Qt's
// own allocations. Ignoring the memory calls made from inside the Qt libraries keeps our code checked:
// the window talks to other threads only through our own locks and an eventfd, which it does see.
__attribute__((used)) const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n";
}

}  // extern "C"
