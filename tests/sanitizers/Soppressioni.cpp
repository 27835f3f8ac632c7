// The sanitizers' suppressions, compiled into every program of a sanitizer build: a test may run
// a program as a user who cannot read the source folder, so they cannot live in a file there.

extern "C" {

// Qt is not built with ThreadSanitizer: its own internals (the test runner, the event dispatcher,
// thread-local data) are reported as races. Only reports inside Qt's libraries are silenced.
__attribute__((visibility("default"), used)) const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Test.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libQt6Gui.so.6\n";
}

// Allocations that Qt's and the system's libraries keep until exit (fonts, plugins, D-Bus).
__attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libQt6Core.so\n"
           "leak:libQt6Gui.so\n"
           "leak:libQt6Widgets.so\n"
           "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n"
           "leak:libglib-2.0.so\n";
}

} // extern "C"
