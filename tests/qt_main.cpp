// Test entry point: a QApplication for the tests that need Qt's event loop and widgets.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
