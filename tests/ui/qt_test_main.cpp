// GoogleTest's main for the window tests: one QApplication on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// Qt and GLib are not instrumented: the locks of Qt's worker threads (and of the GLib main
// context each runs) are invisible to ThreadSanitizer, so only accesses from our instrumented
// code are judged.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\ncalled_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\ncalled_from_lib:libQt6XcbQpa.so.6\n"
           "race:libglib-2.0.so.0\n";
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
