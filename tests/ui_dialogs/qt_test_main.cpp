// GoogleTest main for widget tests: one QApplication on the offscreen platform (also when the
// binary is run by hand or listed for test discovery).
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleFactory>

// Qt and GLib are not instrumented: the locks of Qt's own worker threads (the file dialog's
// file-info gatherer, each with a GLib main context) are invisible to ThreadSanitizer, so only
// accesses from our instrumented code are judged, as in the window tests. GLib hands its memory
// from one such thread to the next; the report of that names only GLib's frames.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\ncalled_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\nrace:libglib-2.0.so.0\n";
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // The Fusion style hands image work to Qt's own thread pool, whose futex-based hand-over
    // ThreadSanitizer cannot follow (Qt is not built with it); with the plain style every
    // thread of a test is one of ours.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
