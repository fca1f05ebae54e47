#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "config/StringFormat.h"

TEST(StringFormat, FormatsTheConnectionAddress) {
    EXPECT_EQ(string_format("tcp://%s:%d", std::string("db.example"), 3306),
              "tcp://db.example:3306");
    const char* server = "127.0.0.1";
    EXPECT_EQ(string_format("tcp://%s:%d", server, 0), "tcp://127.0.0.1:0");
}

TEST(StringFormat, ReturnsTextsLongerThanAnyFixedBuffer) {
    const std::string value(100000, 'v');
    const std::string text = string_format("UPDATE t SET c = '%s' WHERE id = %d", value, 42);
    EXPECT_EQ(text.size(), value.size() + 33);
    EXPECT_EQ(text.substr(text.size() - 15), "' WHERE id = 42");
}

TEST(StringFormat, KeepsFloatsAndEmbeddedPercent) {
    EXPECT_EQ(string_format("%f|%d%%|%s", 0.5f, -3, std::string()), "0.500000|-3%|");
    EXPECT_EQ(string_format(""), "");
}

TEST(StringFormat, FailedMeasurementThrows) {
    const wchar_t bad[] = {static_cast<wchar_t>(0xDFFF), 0};
    EXPECT_THROW(
        {
            try {
                string_format("%ls", bad);
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "Error during formatting.");
                throw;
            }
        },
        std::runtime_error);
}
