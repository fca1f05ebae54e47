#include <gtest/gtest.h>

#include <cfenv>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "GmpOracle.h"
#include "geom/BSRational.h"
#include "geom/BitHacks.h"
#include "geom/Logger.h"
#include "geom/UIntegerAP32.h"

using geomtest::Integer;
using geomtest::Number;
using geomtest::Rational;

namespace {

// Collects what reaches it; registered only for the length of one test.
class RecordingListener : public geom::Logger::Listener {
public:
    explicit RecordingListener(int32_t flags) : Listener(flags) { geom::Logger::Subscribe(this); }
    ~RecordingListener() override { geom::Logger::Unsubscribe(this); }
    std::vector<std::string> texts;

protected:
    void Output(std::string const& text) override { texts.push_back(text); }
};

struct FailureSite {
    std::string function;
    std::string kind;
    std::string message;
    std::function<void()> trigger;
};

std::vector<FailureSite> FailureSites() {
    Number corrupt(3);
    corrupt.SetSign(2);
    return {
        {"GetTrailingBit", "ASSERTION", "Invalid input.",
         [] { geom::BitHacks::GetTrailingBit(0u); }},
        {"SetNumBits", "ERROR", "The number of bits must be nonnegative.",
         [] { Integer().SetNumBits(-5); }},
        {"operator*", "ASSERTION", "Invalid BSNumber.", [corrupt] { (void)(corrupt * Number(5)); }},
        {"AddIgnoreSign", "ASSERTION", "Invalid BSNumber.",
         [] { Number::AddIgnoreSign(Number(1), Number(3), 7); }},
        {"SubIgnoreSign", "ASSERTION", "Invalid BSNumber.",
         [] { Number::SubIgnoreSign(Number(3), Number(1), -3); }},
        {"ConvertFrom", "ERROR", "BSNumber does not have a representation for NaNs.",
         [] { Number(std::numeric_limits<float>::quiet_NaN()); }},
        {"ConvertFrom", "ERROR", "BSNumber does not have a representation for infinities.",
         [] { Number(-std::numeric_limits<float>::infinity()); }},
        {"BSRational", "ASSERTION", "Division by zero.", [] { Rational(Number(2), Number(0)); }},
        {"operator/", "ASSERTION", "Division by zero in BSRational::operator/.",
         [] { (void)(Rational(2) / Rational(0.0f)); }},
        {"Convert", "ERROR", "Precision must be positive.",
         [] {
             Number out;
             geom::Convert(Rational(1), -1, FE_TONEAREST, out);
         }},
        {"Convert", "ERROR", "Implementation-dependent rounding mode not supported.",
         [] {
             float out;
             geom::Convert(Rational(1) / Rational(3), 99, out);
         }},
    };
}

}  // namespace

TEST(Logger, ReportTextLayout) {
    geom::Logger const report("a/File.h", "Func", 42, "Something failed.");
    EXPECT_EQ(report.GetText(), "File: a/File.h\nFunc: Func\nLine: 42\nSomething failed.\n\n");
}

TEST(Logger, EveryFailureIsReportedAndThrownWithItsMessage) {
    RecordingListener listener(geom::Logger::Listener::kAll);
    for (FailureSite const& site : FailureSites()) {
        listener.texts.clear();
        try {
            site.trigger();
            ADD_FAILURE() << site.message << " was not thrown";
        } catch (std::runtime_error const& e) {
            EXPECT_EQ(std::string(e.what()), site.message);
        }
        ASSERT_EQ(listener.texts.size(), 1u) << site.message;
        std::string const& text = listener.texts[0];
        EXPECT_EQ(text.rfind("\nGEOM " + site.kind + ":\nFile: ", 0), 0u) << text;
        EXPECT_NE(text.find("\nFunc: " + site.function + "\nLine: "), std::string::npos) << text;
        EXPECT_NE(text.find("\n" + site.message + "\n\n"), std::string::npos) << text;
    }
}

TEST(Logger, EqualSubtractionWarnsAndCarriesOn) {
    RecordingListener listener(geom::Logger::Listener::kWarning);
    Integer difference;
    difference.Sub(Integer(7u), Integer(7u));
    EXPECT_EQ(difference.GetNumBits(), 0);
    ASSERT_EQ(listener.texts.size(), 1u);
    EXPECT_EQ(listener.texts[0].rfind("\nGEOM WARNING:\n", 0), 0u);
    EXPECT_NE(listener.texts[0].find("\nFunc: Sub\n"), std::string::npos);
    EXPECT_NE(listener.texts[0].find(
                  "The difference of the number is zero, which violates the precondition n0 > n1."),
              std::string::npos);
}

TEST(Logger, EqualMagnitudesInSubIgnoreSignWarnThenFailValidity) {
    RecordingListener listener(geom::Logger::Listener::kAll);
    Number const odd(2147483647);
    Number const big = odd * odd * odd * odd * odd;  // 155 bits, beyond the native words
    for (Number const& x : {Number(5), big}) {
        listener.texts.clear();
        try {
            Number::SubIgnoreSign(x, x, 1);
            ADD_FAILURE();
        } catch (std::runtime_error const& e) {
            EXPECT_STREQ(e.what(), "Invalid BSNumber.");
        }
        ASSERT_EQ(listener.texts.size(), 2u);
        EXPECT_EQ(listener.texts[0].rfind("\nGEOM WARNING:\n", 0), 0u);
        EXPECT_NE(listener.texts[1].find("\nFunc: SubIgnoreSign\n"), std::string::npos);
    }
}

TEST(Logger, ListenersOnlyReceiveTheKindsTheyAskFor) {
    RecordingListener warnings(geom::Logger::Listener::kWarning);
    RecordingListener errors(geom::Logger::Listener::kError);
    EXPECT_THROW(Integer().SetNumBits(-1), std::runtime_error);
    EXPECT_TRUE(warnings.texts.empty());
    EXPECT_EQ(errors.texts.size(), 1u);
}
