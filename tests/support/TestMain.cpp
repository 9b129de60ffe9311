#include "support/QtInput.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qtinput::TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
