#include <QApplication>
#include <gtest/gtest.h>

// Every test binary runs inside a real QApplication so that widgets, events and timers behave as in an application.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
