// The viewer window: where the picture goes, its title, and the size it
// remembers between showings.

#include "support/TestSupport.h"

#include "imagelist/PicturePlacement.h"
#include "imagelist/PreviewImage.h"
#include "imagelist/Unitpreview.h"
#include "platform/RegistryKey.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>

namespace {

struct PlacementCase {
  QSize picture, client, expected;
};

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, FitsWithProportionsKept) {
  const PlacementCase& c = GetParam();
  EXPECT_EQ(proportionalSize(c.picture, c.client), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Placement,
    ::testing::Values(
        PlacementCase{{2000, 1000}, {429, 545}, {429, 214}},  // wide: full width
        PlacementCase{{100, 100}, {429, 545}, {429, 429}},    // small: enlarged, width bound
        PlacementCase{{1000, 2000}, {429, 545}, {272, 545}},  // tall: full height
        PlacementCase{{100, 1000}, {429, 545}, {54, 545}},
        PlacementCase{{2000, 1000}, {429, 100}, {200, 100}},  // wide but the height binds
        PlacementCase{{100, 100}, {600, 300}, {300, 300}},
        PlacementCase{{10, 3}, {10, 10}, {10, 3}},  // products first: 10 * 3 / 10
        PlacementCase{{0, 0}, {429, 545}, {0, 0}},    // empty picture: nothing drawn
        PlacementCase{{100, 50}, {0, 0}, {0, 0}}));

void forgetStoredSize() {
  QSettings settings(QStringLiteral("Quellmark"), QStringLiteral("Brevalto Pro"));
  settings.remove(QStringLiteral("PWidth"));
  settings.remove(QStringLiteral("PHeight"));
  settings.sync();
}

TEST(PreviewWindow, FirstShowingUsesTheDesignAndTitlesWithTheName) {
  forgetStoredSize();
  Tfrm_Preview viewer;
  EXPECT_EQ(viewer.objectName(), "frm_Preview");
  EXPECT_EQ(viewer.windowTitle(), "Previewing");
  viewer.ImageName = QStringLiteral("scan_1.bmp");
  viewer.show();
  EXPECT_EQ(viewer.windowTitle(), "Previewing... scan_1.bmp");
  EXPECT_EQ(viewer.size(), QSize(435, 551));
  EXPECT_EQ(viewer.Image->geometry(), QRect(3, 3, 429, 545));
  EXPECT_EQ(viewer.pos(), QPoint(0, 0));
  viewer.close();

  viewer.ImageName = QStringLiteral("scan_2.jpg");
  viewer.show();
  EXPECT_EQ(viewer.windowTitle(), "Previewing... scan_2.jpg");
  viewer.close();
}

TEST(PreviewWindow, SizeSetAndClosedComesBackInTheNextWindow) {
  forgetStoredSize();
  {
    Tfrm_Preview viewer;
    viewer.show();
    viewer.setOuterSize(640, 560);
    viewer.close();
    EXPECT_FALSE(viewer.isVisible());
  }
  // Written to the preferences file, not just kept in memory.
  const QString file = QSettings(QStringLiteral("Quellmark"), QStringLiteral("Brevalto Pro")).fileName();
  EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
  QSettings stored(file, QSettings::NativeFormat);
  EXPECT_EQ(stored.value("PWidth").toInt(), 640);
  EXPECT_EQ(stored.value("PHeight").toInt(), 560);

  Tfrm_Preview next;
  next.show();
  EXPECT_EQ(next.frameGeometry().size(), QSize(640, 560));
  next.close();
}

TEST(PreviewWindow, AMissingValueKeepsThatDimension) {
  forgetStoredSize();
  {
    platform::RegistryKey key;
    key.writeInteger(QStringLiteral("PWidth"), 500);
  }
  Tfrm_Preview viewer;
  viewer.show();
  EXPECT_EQ(viewer.frameGeometry().width(), 500);
  EXPECT_EQ(viewer.height(), 551);
  viewer.close();
}

// A stored size beyond the screen: the viewer opens no larger than the
// screen's free area, at once and without a picture the size of the stored one.
TEST(PreviewWindow, SizeBeyondTheScreenIsFittedToIt) {
  const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
  for (const int stored : {40000, 2147483647}) {
    forgetStoredSize();
    {
      platform::RegistryKey key;
      key.writeInteger(QStringLiteral("PWidth"), stored);
      key.writeInteger(QStringLiteral("PHeight"), stored);
    }
    Tfrm_Preview viewer;
    viewer.show();
    EXPECT_EQ(viewer.frameGeometry().size(), screen) << stored;
    EXPECT_LE(viewer.Image->width(), screen.width());
    viewer.close();
  }
}

TEST(PreviewImageControl, DrawsFromTheTopLeftCornerAndNothingWhenEmpty) {
  PreviewImage image;
  image.resize(200, 200);
  image.setAutoFillBackground(true);
  QPalette palette = image.palette();
  palette.setColor(QPalette::Window, Qt::black);
  image.setPalette(palette);

  const QImage empty = image.grab().toImage();
  EXPECT_EQ(empty.pixel(0, 0), qRgb(0, 0, 0));

  QImage red(100, 50, QImage::Format_RGB32);
  red.fill(qRgb(255, 0, 0));
  image.setPicture(red);
  EXPECT_EQ(image.pictureRect(), QRect(0, 0, 200, 100));
  const QImage drawn = image.grab().toImage();
  EXPECT_EQ(drawn.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(drawn.pixel(199, 99), qRgb(255, 0, 0));
  EXPECT_EQ(drawn.pixel(100, 150), qRgb(0, 0, 0));
}

TEST(PreviewImageControl, AReducedPictureIsDecodedAgainWhenTheControlGrows) {
  PreviewImage image;
  image.resize(100, 50);
  QList<QSize> requests;
  QImage reduced(125, 63, QImage::Format_RGB32);
  reduced.fill(Qt::blue);
  image.setPicture(reduced, QSize(1000, 500), [&](const QSize& atLeast) {
    requests.append(atLeast);
    QImage sharper(atLeast.width() * 2, atLeast.height() * 2, QImage::Format_RGB32);
    sharper.fill(Qt::blue);
    return sharper;
  });

  image.grab();
  EXPECT_TRUE(requests.isEmpty()) << "the reduced picture already covers 100 x 50";
  // Placement follows the full size, whatever resolution is held.
  EXPECT_EQ(image.pictureRect(), QRect(0, 0, 100, 50));

  image.resize(400, 200);
  image.grab();
  ASSERT_EQ(requests.size(), 1);
  EXPECT_EQ(requests.first(), QSize(400, 200));
  EXPECT_EQ(image.picture().size(), QSize(800, 400));

  image.grab();
  EXPECT_EQ(requests.size(), 1) << "decoded once per growth, not on every paint";
}

}  // namespace
