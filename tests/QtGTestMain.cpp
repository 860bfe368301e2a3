// GoogleTest's main with an application object on the test thread: the code under test runs its
// timers and queued hand-offs on that thread's event loop.
#ifdef FOLIOPORT_TEST_WIDGETS
#include <QApplication>
using Application = QApplication;
#else
#include <QCoreApplication>
using Application = QCoreApplication;
#endif

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    Application application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
