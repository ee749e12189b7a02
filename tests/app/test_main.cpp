#include "driver/TestDriver.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const driver::Session session(argc, argv);
    return RUN_ALL_TESTS();
}
