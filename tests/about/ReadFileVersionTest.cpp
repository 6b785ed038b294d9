#include "about/ProgramFile.h"
#include "about/Unitabout.h"
#include "platform/VersionBlock.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>

#include <functional>
#include <string>

namespace {

const QString kProgram = QStringLiteral(BREVALTO_PROGRAM_FILE);
const QString kUntouched = QStringLiteral("untouched");

QString readVersion(const QString& path) {
  QString buffer = kUntouched;
  Tfrm_About::ReadFileVersion(path, buffer, Tfrm_About::kVersionCapacity);
  return buffer;
}

platform::VersionStringTable table(std::string key, std::string fileVersion) {
  return {std::move(key), {{"CompanyName", "Quellmark"}, {"FileVersion", std::move(fileVersion)}}};
}

platform::VersionBlock englishBlock(std::string fileVersion) {
  platform::VersionBlock block;
  block.fileVersion = {2, 0, 0, 20};
  block.translations = {{0x0409, 0x04E4}};
  block.stringTables = {table("040904E4", std::move(fileVersion))};
  return block;
}

// The block among other bytes, as it sits in an executable.
QString writeFileWith(const QByteArray& bytes) {
  const QString path = testing_support::makeTempDir(QStringLiteral("version")) + QStringLiteral("/file.bin");
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(1000, '\x7F'));
  file.write(bytes);
  file.write(QByteArray(500, '\0'));
  return path;
}

QString writeBlock(const platform::VersionBlock& block) {
  const std::vector<unsigned char> bytes = platform::encodeVersionBlock(block);
  return writeFileWith(QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

TEST(ProgramVersion, TheBuiltProgramIs2_0_0_20) {
  ASSERT_TRUE(QFileInfo::exists(kProgram)) << kProgram.toStdString();
  EXPECT_EQ(readVersion(kProgram), QStringLiteral("2.0.0.20"));

  const auto block = platform::readVersionBlock(kProgram.toStdString());
  ASSERT_TRUE(block);
  const std::array<std::uint16_t, 4> expected{2, 0, 0, 20};
  EXPECT_EQ(block->fileVersion, expected);
  EXPECT_EQ(block->productVersion, expected);
  ASSERT_EQ(block->translations.size(), 1u);
  EXPECT_EQ(block->translations[0].language, 0x0409);
  EXPECT_EQ(block->translations[0].codePage, 0x04E4);
  for (const auto& [name, value] :
       {std::pair{"ProductVersion", "2.0.0.0"}, {"ProductName", "Brevalto Pro"},
        {"InternalName", "Brevalto Pro"}, {"CompanyName", "Quellmark"}, {"Comments", ""},
        {"FileDescription", ""}, {"LegalCopyright", ""}, {"OriginalFilename", ""}}) {
    const std::string* found = platform::findVersionString(*block, "040904E4", name);
    ASSERT_NE(found, nullptr) << name;
    EXPECT_EQ(*found, value) << name;
  }
}

TEST(ProgramVersion, SurvivesStrip) {
  const QString strip = QStandardPaths::findExecutable(QStringLiteral("strip"));
  ASSERT_FALSE(strip.isEmpty()) << "strip (binutils) is needed";
  const QString copy = testing_support::makeTempDir(QStringLiteral("strip")) + QStringLiteral("/brevalto-pro");
  ASSERT_TRUE(QFile::copy(kProgram, copy));

  QProcess process;
  process.start(strip, {QStringLiteral("--strip-all"), copy});
  ASSERT_TRUE(process.waitForFinished(20000));
  ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  // Symbols and debug sections really went.
  ASSERT_LT(QFileInfo(copy).size(), QFileInfo(kProgram).size());

  EXPECT_EQ(readVersion(copy), QStringLiteral("2.0.0.20"));
}

TEST(AboutWindow, VersionLabelReadsTheProgramsVersion) {
  ProgramFile::overrideForTests(kProgram);
  Tfrm_About about;
  about.show();
  const QLabel* label = about.findChild<QLabel*>(QStringLiteral("lbl_Version"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), QStringLiteral("Version 2.0.0.20"));

  // Recomputed at every showing: a program file without a block reads as an
  // empty version.
  about.hide();
  ProgramFile::overrideForTests(writeFileWith("no version block in here"));
  about.show();
  EXPECT_EQ(label->text(), QStringLiteral("Version "));
  ProgramFile::reset();
}

struct FileCase {
  const char* name;
  std::function<QString()> makeFile;
  QString expected;
};

class VersionFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(VersionFile, GivesTheFirstTranslationsFileVersion) {
  EXPECT_EQ(readVersion(GetParam().makeFile()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, VersionFile,
    ::testing::Values(
        FileCase{"TwoTranslations",
                 [] {
                   platform::VersionBlock block = englishBlock("");
                   // The list's order decides, not the order of the tables.
                   block.translations = {{0x0407, 0x04B0}, {0x0409, 0x04E4}};
                   block.stringTables = {table("040904E4", "9.9.9.9"), table("040704B0", "2.0.0.7")};
                   return writeBlock(block);
                 },
                 QStringLiteral("2.0.0.7")},
        FileCase{"LongVersionCutTo254",
                 [] { return writeBlock(englishBlock(std::string(300, '7'))); },
                 QString(254, QLatin1Char('7'))},
        FileCase{"VersionOf254Kept",
                 [] { return writeBlock(englishBlock(std::string(254, '8'))); },
                 QString(254, QLatin1Char('8'))},
        FileCase{"NoBlock", [] { return writeFileWith(QByteArray(4096, 'x')); }, kUntouched},
        FileCase{"MissingFile", [] { return QStringLiteral("/nonexistent/brevalto-pro"); }, kUntouched},
        FileCase{"EmptyPath", [] { return QString(); }, kUntouched},
        FileCase{"NoTranslation",
                 [] {
                   platform::VersionBlock block = englishBlock("2.0.0.20");
                   block.translations.clear();
                   return writeBlock(block);
                 },
                 kUntouched},
        FileCase{"FirstTranslationWithoutTable",
                 [] {
                   platform::VersionBlock block = englishBlock("2.0.0.20");
                   block.translations.insert(block.translations.begin(), {0x0407, 0x04E4});
                   return writeBlock(block);
                 },
                 kUntouched},
        FileCase{"NoFileVersionEntry",
                 [] {
                   platform::VersionBlock block = englishBlock("");
                   block.stringTables = {{"040904E4", {{"ProductName", "Brevalto Pro"}}}};
                   return writeBlock(block);
                 },
                 kUntouched},
        FileCase{"BlockCutOffByTheEndOfTheFile",
                 [] {
                   const auto bytes = platform::encodeVersionBlock(englishBlock("2.0.0.20"));
                   const QString path = testing_support::makeTempDir(QStringLiteral("version")) +
                                        QStringLiteral("/cut.bin");
                   QFile file(path);
                   EXPECT_TRUE(file.open(QIODevice::WriteOnly));
                   file.write(QByteArray(100, 'x'));
                   file.write(reinterpret_cast<const char*>(bytes.data()), bytes.size() - 6);
                   return path;
                 },
                 kUntouched}),
    [](const ::testing::TestParamInfo<FileCase>& info) { return std::string(info.param.name); });

TEST(VersionFile, OutputUntouchedWithoutCapacity) {
  QString buffer = kUntouched;
  Tfrm_About::ReadFileVersion(kProgram, buffer, 0);
  EXPECT_EQ(buffer, kUntouched);
  Tfrm_About::ReadFileVersion(kProgram, buffer, 4);
  EXPECT_EQ(buffer, QStringLiteral("2.0"));
}

}  // namespace
