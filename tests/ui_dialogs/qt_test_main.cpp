// GoogleTest main for widget tests: one QApplication on the offscreen platform (also when the
// binary is run by hand or listed for test discovery).
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleFactory>

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
