#include "scanner/ImageFileWriter.h"

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <cstring>
#include <cstdlib>
#include <atomic>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tiffio.h>

namespace {

enum class Mode { LineArtSetBitBlack, LineArtSetBitWhite, Grey, Colour };

constexpr int kWidth = 301;  // odd, so rows need padding in every format
constexpr int kHeight = 203;
constexpr int kDpi = 300;

// Pages with large, smooth features, so that JPEG's losses stay small.
QImage makePage(Mode mode, int width = kWidth, int height = kHeight) {
  switch (mode) {
    case Mode::LineArtSetBitBlack:
    case Mode::LineArtSetBitWhite: {
      QImage page(width, height, QImage::Format_Mono);
      const bool setIsBlack = mode == Mode::LineArtSetBitBlack;
      page.setColorTable(setIsBlack ? QList<QRgb>{qRgb(255, 255, 255), qRgb(0, 0, 0)}
                                    : QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)});
      const uint black = setIsBlack ? 1 : 0;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) page.setPixel(x, y, (x / 32 + y / 32) % 2 ? black : 1 - black);
      return page;
    }
    case Mode::Grey: {
      QImage page(width, height, QImage::Format_Grayscale8);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) page.scanLine(y)[x] = static_cast<uchar>((x + y) * 255 / (width + height));
      return page;
    }
    case Mode::Colour: {
      QImage page(width, height, QImage::Format_RGB888);
      for (int y = 0; y < height; ++y) {
        uchar* row = page.scanLine(y);
        for (int x = 0; x < width; ++x) {
          row[3 * x] = static_cast<uchar>(x * 255 / width);
          row[3 * x + 1] = static_cast<uchar>(y * 255 / height);
          row[3 * x + 2] = static_cast<uchar>(255 - x * 255 / width);
        }
      }
      return page;
    }
  }
  return {};
}

const char* extensionOf(ImageFileFormat format) {
  switch (format) {
    case ImageFileFormat::Bmp:
      return "bmp";
    case ImageFileFormat::Jpeg:
      return "jpg";
    case ImageFileFormat::Tiff:
      return "tiff";
  }
  return "";
}

struct ToolResult {
  int exitCode = -1;
  QByteArray out;
};

ToolResult runTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(30000)) return {};
  return {process.exitCode(), process.readAllStandardOutput()};
}

// The page's pixels as 0xffRRGGBB, as any decoder should see them.
std::vector<QRgb> pixelsOf(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  std::vector<QRgb> pixels;
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x) pixels.push_back(rgb.pixel(x, y) | 0xff000000u);
  return pixels;
}

std::vector<QRgb> readTiffPixels(const QString& path, int* width, int* height) {
  TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
  if (!tif) return {};
  uint32_t w = 0, h = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  std::vector<uint32_t> raster(static_cast<size_t>(w) * h);
  std::vector<QRgb> pixels;
  if (TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) {
    for (uint32_t abgr : raster) pixels.push_back(qRgb(TIFFGetR(abgr), TIFFGetG(abgr), TIFFGetB(abgr)));
  }
  TIFFClose(tif);
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return pixels;
}

double meanDifference(const std::vector<QRgb>& a, const std::vector<QRgb>& b) {
  if (a.size() != b.size() || a.empty()) return 1e9;
  double total = 0;
  for (size_t i = 0; i < a.size(); ++i)
    total += std::abs(qRed(a[i]) - qRed(b[i])) + std::abs(qGreen(a[i]) - qGreen(b[i])) +
             std::abs(qBlue(a[i]) - qBlue(b[i]));
  return total / (3.0 * static_cast<double>(a.size()));
}

bool isLineArt(Mode mode) { return mode == Mode::LineArtSetBitBlack || mode == Mode::LineArtSetBitWhite; }

class ImageFileRoundTrip : public ::testing::TestWithParam<std::tuple<Mode, ImageFileFormat>> {};

TEST_P(ImageFileRoundTrip, StandardToolsAndDecodersReadThePageBack) {
  const auto [mode, format] = GetParam();
  const QImage page = makePage(mode);
  const QString path = testing_support::makeTempDir() + "/page." + extensionOf(format);
  QString error;
  ASSERT_TRUE(writeImageFile(page, path, format, kDpi, &error)) << error.toStdString();
  EXPECT_TRUE(error.isEmpty());
  EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden), QStringList{"page." + QString(extensionOf(format))})
      << "no temporary file may stay behind";

  const QString described = QString::fromUtf8(runTool("file", {"-b", path}).out);
  const std::vector<QRgb> expected = pixelsOf(page);

  switch (format) {
    case ImageFileFormat::Bmp: {
      const int bits = isLineArt(mode) ? 1 : mode == Mode::Grey ? 8 : 24;
      EXPECT_TRUE(described.startsWith("PC bitmap")) << described.toStdString();
      EXPECT_TRUE(described.contains(QString("%1 x %2 x %3").arg(kWidth).arg(kHeight).arg(bits)))
          << described.toStdString();
      EXPECT_TRUE(described.contains("11811 x 11811 px/m")) << described.toStdString();
      const QImage back(path);
      ASSERT_FALSE(back.isNull());
      EXPECT_EQ(back.size(), page.size());
      EXPECT_TRUE(pixelsOf(back) == expected) << "a bitmap is lossless";
      if (mode == Mode::Grey) {
        EXPECT_TRUE(back.isGrayscale());
      }
      break;
    }
    case ImageFileFormat::Jpeg: {
      EXPECT_TRUE(described.startsWith("JPEG image data")) << described.toStdString();
      EXPECT_TRUE(described.contains("density 300x300")) << described.toStdString();
      const ToolResult decoded = runTool("djpeg", {"-pnm", path});
      ASSERT_EQ(decoded.exitCode, 0);
      // Line art goes into JPEG as grey: one component, a PGM from djpeg.
      const QByteArray magic = mode == Mode::Colour ? "P6" : "P5";
      const QList<QByteArray> header = decoded.out.left(32).simplified().split(' ');
      ASSERT_GE(header.size(), 3);
      EXPECT_EQ(header[0], magic);
      EXPECT_EQ(header[1].toInt(), kWidth);
      EXPECT_EQ(header[2].toInt(), kHeight);
      const QImage back(path);
      ASSERT_FALSE(back.isNull());
      EXPECT_EQ(back.size(), page.size());
      EXPECT_EQ(back.isGrayscale(), mode != Mode::Colour);
      EXPECT_LT(meanDifference(pixelsOf(back), expected), isLineArt(mode) ? 6.0 : 3.0);
      break;
    }
    case ImageFileFormat::Tiff: {
      EXPECT_TRUE(described.startsWith("TIFF image data")) << described.toStdString();
      const QString info = QString::fromUtf8(runTool("tiffinfo", {path}).out);
      EXPECT_TRUE(info.contains(QString("Image Width: %1 Image Length: %2").arg(kWidth).arg(kHeight)))
          << info.toStdString();
      EXPECT_TRUE(info.contains("Resolution: 300, 300 pixels/inch")) << info.toStdString();
      EXPECT_TRUE(info.contains(QString("Bits/Sample: %1").arg(isLineArt(mode) ? 1 : 8))) << info.toStdString();
      EXPECT_TRUE(info.contains(QString("Samples/Pixel: %1").arg(mode == Mode::Colour ? 3 : 1)))
          << info.toStdString();
      const char* photometric = mode == Mode::LineArtSetBitBlack   ? "min-is-white"
                                : mode == Mode::LineArtSetBitWhite ? "min-is-black"
                                : mode == Mode::Grey               ? "min-is-black"
                                                                   : "RGB color";
      EXPECT_TRUE(info.contains(QString("Photometric Interpretation: ") + photometric)) << info.toStdString();
      int width = 0, height = 0;
      const std::vector<QRgb> back = readTiffPixels(path, &width, &height);
      EXPECT_EQ(width, kWidth);
      EXPECT_EQ(height, kHeight);
      EXPECT_TRUE(back == expected) << "a TIFF page is lossless";
      break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryModeAndFormat, ImageFileRoundTrip,
                         ::testing::Combine(::testing::Values(Mode::LineArtSetBitBlack, Mode::LineArtSetBitWhite,
                                                              Mode::Grey, Mode::Colour),
                                            ::testing::Values(ImageFileFormat::Bmp, ImageFileFormat::Jpeg,
                                                              ImageFileFormat::Tiff)));

TEST(ImageFileWriter, ConvertsOtherPixelFormats) {
  // A 32-bit page and a grey-palette page, as a caller might hand them over.
  QImage argb = makePage(Mode::Colour).convertToFormat(QImage::Format_ARGB32);
  QImage indexedGrey = makePage(Mode::Grey).convertToFormat(QImage::Format_Indexed8);
  const QString folder = testing_support::makeTempDir();
  QString error;
  ASSERT_TRUE(writeImageFile(argb, folder + "/argb.tiff", ImageFileFormat::Tiff, kDpi, &error)) << error.toStdString();
  ASSERT_TRUE(writeImageFile(indexedGrey, folder + "/grey.tiff", ImageFileFormat::Tiff, kDpi, &error))
      << error.toStdString();
  int width = 0, height = 0;
  EXPECT_TRUE(readTiffPixels(folder + "/argb.tiff", &width, &height) == pixelsOf(argb));
  EXPECT_TRUE(QString::fromUtf8(runTool("tiffinfo", {folder + "/grey.tiff"}).out).contains("Samples/Pixel: 1"));
  EXPECT_TRUE(readTiffPixels(folder + "/grey.tiff", &width, &height) == pixelsOf(indexedGrey));
}

// Bitmaps written before keep their exact bytes: Qt's own writer, which the
// program once used, is the reference for every page kind, with row padding
// left by odd widths (QImage leaves a scan line's padding as it finds it, and
// so do both writers for grey and line art) and a line-art page without a
// palette of its own.
struct BitmapCase {
  const char* name;
  Mode mode;
  int width;
  bool dropPalette = false;
};

class BitmapBytes : public ::testing::TestWithParam<BitmapCase> {};

TEST_P(BitmapBytes, MatchQtsWriter) {
  const BitmapCase& c = GetParam();
  QImage page = makePage(c.mode, c.width, 7);
  if (c.dropPalette) page.setColorTable({});
  // Deterministic padding bytes, so both files see the same ones.
  for (int y = 0; y < page.height(); ++y) {
    const int used = (page.width() * page.depth() + 7) / 8;
    std::memset(page.scanLine(y) + used, 0x5a, static_cast<size_t>(page.bytesPerLine() - used));
  }
  const QString folder = testing_support::makeTempDir();
  QString error;
  ASSERT_TRUE(writeImageFile(page, folder + "/ours.bmp", ImageFileFormat::Bmp, kDpi, &error)) << error.toStdString();

  QImage reference = page;
  reference.setDotsPerMeterX(qRound(kDpi / 0.0254));
  reference.setDotsPerMeterY(qRound(kDpi / 0.0254));
  ASSERT_TRUE(reference.save(folder + "/qt.bmp", "BMP"));

  QFile ours(folder + "/ours.bmp"), qt(folder + "/qt.bmp");
  ASSERT_TRUE(ours.open(QIODevice::ReadOnly));
  ASSERT_TRUE(qt.open(QIODevice::ReadOnly));
  const QByteArray a = ours.readAll(), b = qt.readAll();
  ASSERT_EQ(a.size(), b.size());
  for (qsizetype i = 0; i < a.size(); ++i) ASSERT_EQ(a[i], b[i]) << "first difference at byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    EveryPageKind, BitmapBytes,
    ::testing::Values(BitmapCase{"ColourOddWidth", Mode::Colour, 301}, BitmapCase{"ColourOnePixel", Mode::Colour, 1},
                      BitmapCase{"ColourAligned", Mode::Colour, 64}, BitmapCase{"GreyOddWidth", Mode::Grey, 301},
                      BitmapCase{"GreyAligned", Mode::Grey, 8},
                      BitmapCase{"LineArtSetBitBlack", Mode::LineArtSetBitBlack, 301},
                      BitmapCase{"LineArtSetBitWhite", Mode::LineArtSetBitWhite, 33},
                      BitmapCase{"LineArtWithoutPalette", Mode::LineArtSetBitWhite, 301, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A tall page spans several strips, the last one short; they must join up.
TEST(ImageFileWriter, TallTiffPagesReadBackWhole) {
  const QString folder = testing_support::makeTempDir();
  for (Mode mode : {Mode::Grey, Mode::Colour}) {
    const QImage page = makePage(mode, 301, 1999);
    const QString path = folder + (mode == Mode::Grey ? "/grey.tiff" : "/colour.tiff");
    QString error;
    ASSERT_TRUE(writeImageFile(page, path, ImageFileFormat::Tiff, kDpi, &error)) << error.toStdString();
    int width = 0, height = 0;
    EXPECT_TRUE(readTiffPixels(path, &width, &height) == pixelsOf(page)) << path.toStdString();
    EXPECT_EQ(height, 1999);
  }
}

TEST(ImageFileWriter, ReplacesAnExistingFileWithTheNewPage) {
  const QString path = testing_support::makeTempDir() + "/page.bmp";
  QString error;
  ASSERT_TRUE(writeImageFile(makePage(Mode::Grey), path, ImageFileFormat::Bmp, kDpi, &error));
  ASSERT_TRUE(writeImageFile(makePage(Mode::Colour), path, ImageFileFormat::Bmp, kDpi, &error));
  EXPECT_TRUE(pixelsOf(QImage(path)) == pixelsOf(makePage(Mode::Colour)));
}

QStringList entriesOf(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Two writers racing for one name, as two copies of the program scanning to
// one folder in the same second: a kept page never replaces a file, so
// exactly one of them gets the name, whole, and the other is told the name
// was taken and leaves nothing behind. Many rounds, so that the two really
// meet at the last step.
TEST(ImageFileWriter, OfTwoWritersRacingForOneNameExactlyOneGetsItAndNothingIsReplaced) {
  const QString folder = testing_support::makeTempDir();
  const QImage pages[2] = {makePage(Mode::Grey, 64, 48), makePage(Mode::Colour, 64, 48)};
  for (int round = 0; round < 40; ++round) {
    const QString path = folder + QStringLiteral("/page_%1.bmp").arg(round);
    bool written[2] = {false, false}, taken[2] = {false, false};
    QString errors[2];
    std::atomic<int> ready{0};
    auto writer = [&](int i) {
      ++ready;
      while (ready < 2) {
      }
      written[i] = writeImageFile(pages[i], path, ImageFileFormat::Bmp, kDpi, &errors[i], ImageFileUse::Kept, &taken[i]);
    };
    std::thread first(writer, 0), second(writer, 1);
    first.join();
    second.join();

    ASSERT_NE(written[0], written[1]) << "round " << round << ": both or neither kept their page";
    const int winner = written[0] ? 0 : 1, loser = 1 - winner;
    EXPECT_FALSE(taken[winner]);
    EXPECT_TRUE(taken[loser]);
    EXPECT_EQ(errors[loser], QStringLiteral("Unable to write file '%1': File exists").arg(path));
    EXPECT_TRUE(pixelsOf(QImage(path)) == pixelsOf(pages[winner])) << "round " << round;
  }
  EXPECT_EQ(entriesOf(folder).size(), 40) << entriesOf(folder).join(' ').toStdString();
}

// A kept page lands without replacing anything; a temporary file replaces
// what stands at its name, a link included, without writing through it, and
// only its owner may read it.
TEST(ImageFileWriter, KeptAndTemporaryFilesArePutInPlaceAsTheirUseAsks) {
  const QString folder = testing_support::makeTempDir();
  const QString victim = folder + "/victim.txt";
  QFile file(victim);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("someone's file");
  file.close();
  const QImage page = makePage(Mode::Grey, 32, 16);
  QString error;
  bool taken = false;

  const QString temporary = folder + "/Brevalto.bmp";
  ASSERT_TRUE(QFile::link(victim, temporary));
  ASSERT_TRUE(writeImageFile(page, temporary, ImageFileFormat::Bmp, kDpi, &error, ImageFileUse::Temporary))
      << error.toStdString();
  EXPECT_FALSE(QFileInfo(temporary).isSymLink());
  EXPECT_TRUE(pixelsOf(QImage(temporary)) == pixelsOf(page));
  struct stat status;
  ASSERT_EQ(::stat(QFile::encodeName(temporary).constData(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);

  const QString kept = folder + "/kept.bmp";
  ASSERT_TRUE(QFile::link(victim, kept));
  EXPECT_FALSE(writeImageFile(page, kept, ImageFileFormat::Bmp, kDpi, &error, ImageFileUse::Kept, &taken));
  EXPECT_TRUE(taken);
  EXPECT_TRUE(QFileInfo(kept).isSymLink());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("someone's file"));
  EXPECT_EQ(entriesOf(folder), QStringList({"Brevalto.bmp", "kept.bmp", "victim.txt"}));
}

TEST(ImageFileFormatForPath, PicksTheFormatByExtension) {
  const std::vector<std::pair<QString, std::optional<ImageFileFormat>>> cases = {
      {"/a/page.bmp", ImageFileFormat::Bmp},    {"/a/page.BMP", ImageFileFormat::Bmp},
      {"page.jpg", ImageFileFormat::Jpeg},      {"page.JPeg", ImageFileFormat::Jpeg},
      {"page.tif", ImageFileFormat::Tiff},      {"/a.b/page 1.TIFF", ImageFileFormat::Tiff},
      {"page.png", std::nullopt},               {"page.bmp.txt", std::nullopt},
      {"bmp", std::nullopt},                    {"/a/page.tiff/", std::nullopt},
      {"page.jpgx", std::nullopt},              {"", std::nullopt},
  };
  for (const auto& [path, format] : cases) EXPECT_EQ(imageFileFormatForPath(path), format) << path.toStdString();
}

// ---- failures ----------------------------------------------------------------

struct FailureCase {
  const char* name;
  const char* relativePath;  // under a fresh folder
  const char* reason;        // expected at the end of the message
};

class ImageFileWriteFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ImageFileWriteFailure, ReportsTheReasonAndLeavesNothingBehind) {
  const FailureCase& c = GetParam();
  const QString folder = testing_support::makeTempDir();
  QDir(folder).mkdir("sub.bmp");  // a directory where a page would go
  QFile plain(folder + "/plain");
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  const QStringList before = entriesOf(folder);

  const QString path = folder + "/" + c.relativePath;
  for (ImageFileFormat format : {ImageFileFormat::Bmp, ImageFileFormat::Jpeg, ImageFileFormat::Tiff}) {
    QString error;
    EXPECT_FALSE(writeImageFile(makePage(Mode::Colour), path, format, kDpi, &error));
    EXPECT_EQ(error, QString("Unable to write file '%1': %2").arg(path, c.reason));
  }
  EXPECT_EQ(entriesOf(folder), before);
  EXPECT_TRUE(QFileInfo(folder + "/sub.bmp").isDir());
  EXPECT_TRUE(entriesOf(folder + "/sub.bmp").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ImageFileWriteFailure,
    ::testing::Values(FailureCase{"DirectoryAtThePath", "sub.bmp", "Is a directory"},
                      FailureCase{"MissingFolder", "missing/page.bmp", "No such file or directory"},
                      FailureCase{"FileInPlaceOfTheFolder", "plain/page.bmp", "Not a directory"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ImageFileWriter, ReportsAFolderItMayNotWriteTo) {
  // Root writes through permission bits: this runs as a plain user.
  if (!child_process::inChild()) return;
  QString why;
  if (!child_process::becomeUnprivileged(&why)) GTEST_SKIP() << why.toStdString();
  const QString folder = testing_support::makeTempDir() + "/locked";
  ASSERT_TRUE(QDir().mkpath(folder));
  ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
  const bool writable = ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
  QString error;
  const bool written = writeImageFile(makePage(Mode::Grey), folder + "/page.tiff", ImageFileFormat::Tiff, kDpi, &error);
  ::chmod(QFile::encodeName(folder).constData(), 0755);
  if (writable) GTEST_SKIP() << "permissions don't bind this user (root)";
  EXPECT_FALSE(written);
  EXPECT_EQ(error, QString("Unable to write file '%1/page.tiff': Permission denied").arg(folder));
}

// A disk that fills: a file-size limit makes write() fail part-way, as a full
// disk would, without needing a small file system.
class FullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous_), 0);
    rlimit small = previous_;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  }
  void TearDown() override {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
};

TEST_F(FullDisk, FailsCleanlyAndKeepsTheEarlierFile) {
  const QString folder = testing_support::makeTempDir();
  const QImage big = makePage(Mode::Colour, 400, 400);  // 480 kB of pixels
  for (ImageFileFormat format : {ImageFileFormat::Bmp, ImageFileFormat::Jpeg, ImageFileFormat::Tiff}) {
    const QString path = folder + "/page." + extensionOf(format);
    QFile earlier(path);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier page");
    earlier.close();

    // Noise defeats JPEG's compression so that it, too, outgrows the limit.
    QImage page = big;
    std::srand(7);
    for (int y = 0; y < page.height(); ++y)
      for (int x = 0; x < page.bytesPerLine(); ++x) page.scanLine(y)[x] = static_cast<uchar>(std::rand());

    QString error;
    EXPECT_FALSE(writeImageFile(page, path, format, kDpi, &error)) << extensionOf(format);
    EXPECT_EQ(error, QString("Unable to write file '%1': File too large").arg(path));
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("earlier page"));
    earlier.close();
  }
  EXPECT_EQ(entriesOf(folder).size(), 3) << entriesOf(folder).join(", ").toStdString();
}

TEST(ImageFileWriter, WritesAFullColourPageQuickly) {
  const QImage page = makePage(Mode::Colour, 2480, 3508);
  const QString folder = testing_support::makeTempDir();
  for (ImageFileFormat format : {ImageFileFormat::Bmp, ImageFileFormat::Jpeg, ImageFileFormat::Tiff}) {
    QElapsedTimer timer;
    timer.start();
    QString error;
    ASSERT_TRUE(writeImageFile(page, folder + "/page." + extensionOf(format), format, kDpi, &error));
    const qint64 elapsed = timer.elapsed();
    RecordProperty(extensionOf(format), static_cast<int>(elapsed));
    // Tens of milliseconds on a quiet machine; the bound leaves room for a
    // busy one but not for pixel-by-pixel work.
    EXPECT_LT(elapsed, 1000) << extensionOf(format);
  }
}

}  // namespace
