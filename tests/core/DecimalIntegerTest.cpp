#include "core/DecimalInteger.h"

#include <QString>

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace {

using DecimalInteger::Plus;

constexpr qint64 lowest = std::numeric_limits<qint64>::min();
constexpr qint64 highest = std::numeric_limits<qint64>::max();

struct Case {
    const char* text;
    std::optional<qint64> withPlus;    // Plus::accepted
    std::optional<qint64> withoutPlus; // Plus::refused
};

TEST(DecimalIntegerTest, ReadsSignAndDigitsOnlyWithinSixtyFourBits) {
    const Case cases[] = {
        {"0", 0, 0},
        {"007", 7, 7},
        {"-0", 0, 0},
        {"-42", -42, -42},
        {"+42", 42, std::nullopt},
        {"9223372036854775807", highest, highest},
        {"-9223372036854775808", lowest, lowest},
        {"9223372036854775808", std::nullopt, std::nullopt},
        {"-9223372036854775809", std::nullopt, std::nullopt},
        {"99999999999999999999999", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"+", std::nullopt, std::nullopt},
        {"-", std::nullopt, std::nullopt},
        {"+-3", std::nullopt, std::nullopt},
        {"-+3", std::nullopt, std::nullopt},
        {"--3", std::nullopt, std::nullopt},
        {" 3", std::nullopt, std::nullopt},
        {"3 ", std::nullopt, std::nullopt},
        {"1.0", std::nullopt, std::nullopt},
        {"1e3", std::nullopt, std::nullopt},
        {"0x10", std::nullopt, std::nullopt},
        {"\xd9\xa3", std::nullopt, std::nullopt},     // ARABIC-INDIC DIGIT THREE
        {"\xef\xbc\x93", std::nullopt, std::nullopt}, // FULLWIDTH DIGIT THREE
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(DecimalInteger::read(text, Plus::accepted), c.withPlus);
        EXPECT_EQ(DecimalInteger::read(text, Plus::refused), c.withoutPlus);
    }
}

TEST(DecimalIntegerTest, ReadIntKeepsToTheRangeOfInt) {
    EXPECT_EQ(DecimalInteger::readInt(u"2147483647"), std::numeric_limits<int>::max());
    EXPECT_EQ(DecimalInteger::readInt(u"-2147483648"), std::numeric_limits<int>::min());
    EXPECT_EQ(DecimalInteger::readInt(u"2147483648"), std::nullopt);
    EXPECT_EQ(DecimalInteger::readInt(u"-2147483649"), std::nullopt);
    EXPECT_EQ(DecimalInteger::readInt(u"+13"), 13);
    EXPECT_EQ(DecimalInteger::readInt(u"+13", Plus::refused), std::nullopt);
}

} // namespace
