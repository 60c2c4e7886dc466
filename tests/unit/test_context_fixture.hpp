// A headless context (no renderer) for tests of the calls that need no OpenGL.
#pragma once

#include <VG/openvg.h>
#include <gtest/gtest.h>

#include "core/context.hpp"

class HeadlessContext : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx = tq::createContext(64, 48);
    ASSERT_NE(ctx, nullptr);
  }
  void TearDown() override { tq::destroyContext(); }

  tq::Context* ctx = nullptr;
};
