#include "about/VersionNumber.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace {

const QString kCurrent = QStringLiteral("2.0.0.20");

struct OfferCase {
  const char* name;
  const char* offered;
  // nullopt: the text can't be read as a number and the check must end.
  std::optional<std::int32_t> number;
  bool newer;
};

class OfferedVersion : public ::testing::TestWithParam<OfferCase> {};

TEST_P(OfferedVersion, ComparedWithTheCurrentVersionAsANumber) {
  const OfferCase& c = GetParam();
  const QString offered = QString::fromUtf8(c.offered);
  if (!c.number) {
    EXPECT_THROW(version_number::versionNumber(offered), platform::Error);
    EXPECT_THROW(version_number::IsNewerVersion(kCurrent, offered), platform::Error);
    return;
  }
  EXPECT_EQ(version_number::versionNumber(offered), *c.number);
  EXPECT_EQ(version_number::IsNewerVersion(kCurrent, offered), c.newer);
}

// The current version 2.0.0.20 is 2,000,020.
INSTANTIATE_TEST_SUITE_P(
    AgainstCurrent2_0_0_20, OfferedVersion,
    ::testing::Values(
        OfferCase{"Equal", "2.0.0.20", 2000020, false},
        OfferCase{"NextBuild", "2.0.0.21", 2000021, true},
        OfferCase{"ThreeComponents", "2.0.1", 2000100, true},
        // Numbers, not texts: "3" sorts after "20" as text but is smaller.
        OfferCase{"SmallerBuild", "2.0.0.3", 2000003, false},
        // A component of 100 spills into the place before it.
        OfferCase{"BuildOf100", "2.0.0.100", 2000100, true},
        OfferCase{"SameNumberAsBuildOf100", "2.0.1.0", 2000100, true},
        OfferCase{"MajorOnly", "3", 3000000, true},
        OfferCase{"AllNinetyNines", "1.99.99.99", 1999999, false},
        OfferCase{"LettersAndOtherSeparators", "version 2-1 beta 4", 2010400, true},
        OfferCase{"FifthRunIgnored", "2.0.0.20.9", 2000020, false},
        OfferCase{"NoDigits", "newest", 0, false},
        OfferCase{"Empty", "", 0, false},
        // Leading zeros don't make a run too large.
        OfferCase{"LeadingZeros", "0000000000002.0.0.21", 2000021, true},
        // The largest run that fits: 2147483647 * 1000000 wraps around in 32
        // bits to -1000000, which is smaller than the current number.
        OfferCase{"WrapsAround", "2147483647", -1000000, false},
        OfferCase{"ComponentTooLarge", "2.0.0.2147483648", std::nullopt, false},
        OfferCase{"FirstComponentTooLarge", "99999999999.1", std::nullopt, false}),
    [](const ::testing::TestParamInfo<OfferCase>& info) { return std::string(info.param.name); });

TEST(CurrentVersion, TooLargeComponentOnEitherSideEndsTheComparison) {
  EXPECT_THROW(version_number::IsNewerVersion(QStringLiteral("4294967296"), kCurrent),
               platform::Error);
}

TEST(CurrentVersion, UnreadableVersionCountsAsZero) {
  // An empty current version (the block couldn't be read) is older than any
  // offered release.
  EXPECT_TRUE(version_number::IsNewerVersion(QString(), QStringLiteral("0.0.0.1")));
  EXPECT_FALSE(version_number::IsNewerVersion(QString(), QString()));
}

}  // namespace
