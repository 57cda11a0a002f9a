// How the helper writes measured numbers into inspect.json (and the fake helper into its
// files): as people write them, never with a trailing ".0" or a float's noise.

#include "assets/json_document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

TEST(RoundedNumber, WholeNumbersHaveNoFractionAndOthersAtMostThreeDecimals) {
    struct Case {
        double number;
        std::string text;
        bool integer;
    } cases[] = {
        {2.0, "2", true},
        {420.0, "420", true},
        {-0.5, "-0.5", false},
        {1.2, "1.2", false},
        {1.0 + 37 / 100.0, "1.37", false},
        {0.1 + 0.2, "0.3", false},
        {1.23456, "1.235", false},
        {2.0004, "2", true},
        {-1e-9, "0", true},
        {std::nan(""), "0", true},
        {std::numeric_limits<double>::infinity(), "0", true},
        {1e16, "1e+16", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const assets::Json number = assets::roundedNumber(c.number);
        EXPECT_EQ(number.dump(), c.text);
        EXPECT_EQ(number.is_number_integer(), c.integer);
    }
}

}  // namespace
