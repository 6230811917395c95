// Shared main of every test executable: the host application on Qt's offscreen platform.
#include "application.h"

#include <QStandardPaths>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
