// GoogleTest fixture for tests against the hostkernel: every test starts with
// a fresh kernel, and every fault the kernel recorded becomes a failure of the
// test that caused it.
#pragma once

#include <gtest/gtest.h>

#include <hostkernel/hk.h>

namespace hk
{

class KernelTest : public ::testing::Test
{
protected:
    void SetUp() override { hk::Reset(); }
    void TearDown() override
    {
        for (const std::string& fault : hk::TakeFaults())
            ADD_FAILURE() << "kernel fault: " << fault;
        hk::Reset();
    }
};

}  // namespace hk
