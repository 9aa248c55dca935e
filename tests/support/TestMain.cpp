#include <QCoreApplication>

#include <gtest/gtest.h>

// The core tests' main: an event loop without a window system.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
