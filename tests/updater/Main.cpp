#include <QCoreApplication>

#include <gtest/gtest.h>

// why: the updater's timers and hand-offs need an application object and its event loop on this thread.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
