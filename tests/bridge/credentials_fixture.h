#pragma once
// The app data folder in a temporary folder, for the tests of the stored credentials.
#include <gtest/gtest.h>

#include <string>

#include "support/environment.h"
#include "support/scoped_env.h"
#include "support/test_app.h"

namespace bridge {

class CredentialsTest : public ::testing::Test {
  protected:
    std::string folder() const { return dir / "data/VarraForgeset"; }

    TempDir dir;
    ScopedEnv dataHome{kDataHomeVariable, dir / "data"};
};

}  // namespace bridge
