#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/TextFormat.h"

namespace {

std::string Printf(double value)
{
    return Format("%3.05f", value);
}

}

// Frequencies are built from 5 Hz steps, so many sit exactly on a rounding edge of the
// fifth decimal: every one must round as printf rounds it.
TEST(FrequencyText, RoundsAsPrintfDoes)
{
    for (long step = 0; step < 200000; ++step) {
        const double base = 136.0 + step * 0.000005;
        for (const double value : {base, 851.00625 + step * 0.00625, base + step * 0.0125, -base / 4})
            ASSERT_EQ(FrequencyText(value), Printf(value)) << value;
    }
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> any(-2000.0, 2000.0);
    for (int i = 0; i < 100000; ++i) {
        const double value = any(random);
        ASSERT_EQ(FrequencyText(value), Printf(value)) << value;
    }
    for (const double value : {0.0, -0.0, -0.000001, 0.000005, 0.999995, 1e15, -1e300, double(INFINITY), double(NAN)})
        EXPECT_EQ(FrequencyText(value), Printf(value)) << value;
}

TEST(NumberText, PadsAsPrintfDoes)
{
    EXPECT_EQ(NumberText(42, 5), "   42");
    EXPECT_EQ(NumberText(-42, 5), "  -42");
    EXPECT_EQ(NumberText(123456, 5), "123456");
    EXPECT_EQ(NumberText(16777215), "16777215");
}
