// Names of scanned pages: extension, regional time stamp, uniqueness against
// the destination folder and the three composed names.

#include "output/FileNaming.h"
#include "platform/RegionalFormats.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>

using namespace output;

namespace {

TEST(FileNaming, ExtensionsOfTheFormatEntriesAndTrimmedParts) {
  EXPECT_EQ(extensionForFormat("BMP (Windows Bitmap)"), "bmp");
  EXPECT_EQ(extensionForFormat("JPG (JPEG)"), "jpg");
  EXPECT_EQ(extensionForFormat("TIFF (Tag Image File Format)"), "tiff");
  EXPECT_EQ(extensionForFormat(" Bm"), "bm") << "shorter than four characters, trimmed";
  EXPECT_EQ(extensionForFormat("\xc3\x84PNG"), QString::fromUtf8("\xc3\x84png"))
      << "only A to Z are lowered";

  const NameParts parts = nameParts("  /data/scans \t", " \x01 Brevalto ", "BMP (Windows Bitmap)", "/tmp/t");
  EXPECT_EQ(parts.folder, "/data/scans");
  EXPECT_EQ(parts.base, "Brevalto");
  EXPECT_EQ(trimName(QString(" a  b\n")), "a  b") << "blanks inside stay";
}

struct StampCase {
  const char* locale;
  QTime time;
  const char* expected;
};

class RegionalStamp : public ::testing::TestWithParam<StampCase> {};

TEST_P(RegionalStamp, ColonsAndSlashesBecomeDashesAndMidnightIsTheDateAlone) {
  const StampCase& c = GetParam();
  const auto formats = platform::RegionalFormats::forLocale(c.locale);
  if (!formats) GTEST_SKIP() << c.locale << " is not installed (tools/setup.sh generates it)";
  EXPECT_EQ(timeStamp(QDateTime(QDate(2009, 12, 8), c.time), *formats), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, RegionalStamp,
    ::testing::Values(StampCase{"en_US.UTF-8", QTime(23, 45, 10), "12-08-2009 11-45-10 PM"},
                      StampCase{"de_DE.UTF-8", QTime(23, 45, 10), "08.12.2009 23-45-10"},
                      StampCase{"en_US.UTF-8", QTime(0, 0, 0), "12-08-2009"},
                      StampCase{"de_DE.UTF-8", QTime(0, 0, 1), "08.12.2009 00-00-01"},
                      StampCase{"C", QTime(7, 5, 3), "12-08-09 07-05-03"}));

TEST(FileNaming, WorkedExampleOfTheThreeNames) {
  const NameParts parts = nameParts("/data/", "Brevalto", "BMP (Windows Bitmap)", "/tmp/t");
  const PageNames names = pageNames(parts, "12-08-2009 11-45-10 PM_1");
  EXPECT_EQ(names.outputPath, "/data//Brevalto_12-08-2009 11-45-10 PM_1.bmp");
  EXPECT_EQ(names.tempCopyPath, "/tmp/t/Brevalto_12-08-2009 11-45-10 PM_1.bmp");
  EXPECT_EQ(names.caption, "Brevalto_12-08-2009 11-45-10 PM_1.bmp");
  EXPECT_EQ(previewFilePath("/tmp/t"), "/tmp/t/Brevalto.bmp");

  const PageNames tiff = pageNames(nameParts("/d", "   ", "TIFF (Tag Image File Format)", "/t"), "S");
  EXPECT_EQ(tiff.caption, "_S.tiff") << "an empty base name starts with the underscore";
  EXPECT_EQ(tiff.tempCopyPath, "/t/_S.bmp") << "the temporary copy is always a bitmap";
}

// Which output names are taken decides the suffix; only the destination is asked.
struct UniqueCase {
  QStringList taken;
  const char* expected;
};

class UniqueStamp : public ::testing::TestWithParam<UniqueCase> {};

TEST_P(UniqueStamp, FirstFreeSuffixFromBelow) {
  const NameParts parts = nameParts("/d", "B", "JPG (JPEG)", "/t");
  QStringList asked;
  const QSet<QString> taken(GetParam().taken.begin(), GetParam().taken.end());
  const auto exists = [&](const QString& path) {
    asked << path;
    return taken.contains(path);
  };
  EXPECT_EQ(makeUniqueStamp(parts, "S", exists), GetParam().expected);
  for (const QString& path : asked) EXPECT_TRUE(path.startsWith("/d/")) << path.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Taken, UniqueStamp,
    ::testing::Values(UniqueCase{{}, "S"}, UniqueCase{{"/d/B_S.jpg"}, "S_1"},
                      UniqueCase{{"/d/B_S.jpg", "/d/B_S_1.jpg"}, "S_2"},
                      UniqueCase{{"/d/B_S.jpg", "/d/B_S_2.jpg"}, "S_1"},   // a gap is filled
                      UniqueCase{{"/d/B_S_1.jpg"}, "S"},                   // plain name free
                      UniqueCase{{"/d/B_S.bmp", "/t/B_S.bmp"}, "S"}));     // other names don't count

TEST(FileNaming, AnythingAtThePathTakesTheName) {
  const QString dir = testing_support::makeTempDir("taken");
  ASSERT_TRUE(QDir(dir).mkdir("B_S.bmp"));
  ASSERT_TRUE(QFile::link(dir + "/nowhere", dir + "/B_S_1.bmp")) << "a dangling link";
  EXPECT_EQ(makeUniqueStamp(nameParts(dir, "B", "BMP (Windows Bitmap)", "/t"), "S"), "S_2");
}

}  // namespace
