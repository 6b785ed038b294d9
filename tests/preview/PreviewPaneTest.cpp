#include "preview/AreaLayer.h"
#include "preview/LayeredImage.h"
#include "preview/PageSizes.h"
#include "preview/PreviewLayer.h"
#include "preview/PreviewPane.h"
#include "preview/RulerImage.h"
#include "preview/SelectionFrame.h"
#include "preview/Units.h"

#include "platform/Error.h"
#include "PreviewPictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>

#include <cstdio>

namespace {

const FloatRect kWholePane{0, 0, 279, 422};

void expectRect(const FloatRect& actual, const FloatRect& expected) {
  EXPECT_NEAR(actual.left, expected.left, 1e-3);
  EXPECT_NEAR(actual.top, expected.top, 1e-3);
  EXPECT_NEAR(actual.right, expected.right, 1e-3);
  EXPECT_NEAR(actual.bottom, expected.bottom, 1e-3);
}

QPoint origin(const QWidget* widget, const QWidget* within) { return widget->mapTo(within, QPoint(0, 0)); }

TEST(PreviewPane, ControlsHaveTheirNamesSizesAndPlaces) {
  PreviewPane pane;
  pane.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
  EXPECT_EQ(pane.objectName(), "gb_Preview");
  EXPECT_EQ(pane.title(), "Preview");
  EXPECT_GE(pane.minimumWidth(), 210);
  EXPECT_GE(pane.minimumHeight(), 300);
  EXPECT_EQ(pane.minimumHeight(), pane.maximumHeight());  // fixed height

  const auto* image = pane.findChild<LayeredImage*>("I32_Preview");
  const auto* top = pane.findChild<RulerImage*>("img_TopRuler");
  const auto* left = pane.findChild<RulerImage*>("img_LeftRuler");
  const auto* spacer = pane.findChild<QLabel*>("pnl_Spacer");
  ASSERT_TRUE(image && top && left && spacer);
  EXPECT_EQ(image->size(), QSize(279, 422));
  EXPECT_EQ(top->size(), QSize(277, 15));
  EXPECT_EQ(left->size(), QSize(15, 420));
  EXPECT_EQ(spacer->size(), QSize(17, 17));
  EXPECT_EQ(spacer->text(), QString());

  const QPoint pane0 = origin(image, &pane);
  EXPECT_EQ(origin(top, &pane).x(), pane0.x() + 1);
  EXPECT_LE(origin(top, &pane).y() + 15, pane0.y());  // above the pane
  EXPECT_EQ(origin(left, &pane).y(), pane0.y() + 1);
  EXPECT_LE(origin(left, &pane).x() + 15, pane0.x());  // left of it
}

TEST(PreviewPane, LayersAreCreatedBottomToTopOverTheWholePane) {
  PreviewPane pane;
  pane.createLayers();
  LayeredImage* image = pane.image();
  ASSERT_EQ(image->layerCount(), 3);
  EXPECT_EQ(image->layer(0), pane.previewLayer());
  EXPECT_EQ(image->layer(1), pane.areaLayer());
  EXPECT_EQ(image->layer(2), pane.selectionFrame());
  EXPECT_NE(dynamic_cast<PreviewLayer*>(image->layer(0)), nullptr);
  EXPECT_NE(dynamic_cast<AreaLayer*>(image->layer(1)), nullptr);
  EXPECT_NE(dynamic_cast<SelectionFrame*>(image->layer(2)), nullptr);

  for (const FloatRect& location : {pane.imageArea(), pane.areaLocation(), pane.frameLocation()})
    EXPECT_EQ(location, kWholePane);
  EXPECT_TRUE(pane.previewLayer()->bitmap().isNull());
  EXPECT_EQ(pane.selectionFrame()->child(), pane.areaLayer());
  EXPECT_EQ(pane.selectionFrame()->minimumSize(), QSizeF(1, 1));
  EXPECT_EQ(pane.selectionFrame()->maximumSize(), QSizeF(279, 422));

  pane.createLayers();  // a second call adds nothing
  EXPECT_EQ(image->layerCount(), 3);
}

TEST(PreviewPane, ANamedSizeBeforeAnyPreviewUsesTheInitialScaleAndIsNotClamped) {
  PreviewPane pane;
  pane.createLayers();
  const FloatRect a4 = *page_sizes::namedSizeRect(1, units::kInitialPreviewScale);
  pane.placeNamedSize(a4);
  EXPECT_EQ(pane.areaLocation(), a4);
  EXPECT_EQ(pane.frameLocation(), a4);
  EXPECT_EQ(pane.imageArea(), kWholePane);

  const FloatRect b3 = *page_sizes::namedSizeRect(11, 32.82353f);  // past the pane
  pane.placeNamedSize(b3);
  EXPECT_EQ(pane.areaLocation(), b3);
  EXPECT_GT(pane.frameLocation().bottom, 422);
}

class LoadedPane : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing_support::makeTempDir("pane");
    pane.createLayers();
    pane.drawRulers(units::kInitialPreviewScale, units::kInches);
  }

  QString folder;
  PreviewPane pane;
};

TEST_F(LoadedPane, APreviewFillsThePaneAndPutsTheFrameAroundIt) {
  pane.placeNamedSize({10, 10, 50, 50});
  const QImage rulerBefore = pane.topRuler()->bitmap();

  const float scale = pane.loadPreviewImage(writeLetterScan(folder), 100, units::kMillimetres);
  EXPECT_FLOAT_EQ(scale, 32.82353f);
  expectRect(pane.imageArea(), {0, 0, 279, 361.0588f});
  EXPECT_EQ(pane.areaLocation(), pane.imageArea());
  EXPECT_EQ(pane.frameLocation(), pane.imageArea());
  EXPECT_EQ(pane.selectionFrame()->child(), pane.areaLayer());
  EXPECT_EQ(pane.previewLayer()->bitmap().size(), QSize(278, 361));
  EXPECT_EQ(pane.previewLayer()->bitmap().format(), QImage::Format_RGB32);

  // The rulers were redrawn at the new scale, in the units given.
  EXPECT_EQ(pane.spacer()->text(), "mm");
  EXPECT_NE(pane.topRuler()->bitmap(), rulerBefore);
  // The shrunken page: white paper inside the border, the blue block near (65, 72).
  const QImage& shown = pane.previewLayer()->bitmap();
  EXPECT_EQ(shown.pixel(150, 20), qRgb(255, 255, 255));
  EXPECT_EQ(shown.pixel(65, 72), qRgb(30, 90, 200));
}

TEST_F(LoadedPane, AnUnreadablePreviewLeavesThePaneAsItWas) {
  pane.loadPreviewImage(writeLetterScan(folder), 100, units::kInches);
  pane.placeNamedSize({5, 6, 70, 80});
  const QImage bitmap = pane.previewLayer()->bitmap();
  const FloatRect area = pane.imageArea();
  const QImage top = pane.topRuler()->bitmap();
  const QImage left = pane.leftRuler()->bitmap();

  QFile notAPicture(folder + "/broken.bmp");
  ASSERT_TRUE(notAPicture.open(QIODevice::WriteOnly));
  notAPicture.write("BM but nothing else");
  notAPicture.close();

  for (const QString& path : {notAPicture.fileName(), folder + "/gone.bmp"}) {
    try {
      pane.loadPreviewImage(path, 100, units::kMillimetres);
      ADD_FAILURE() << "no error for " << path.toStdString();
    } catch (const platform::Error& error) {
      EXPECT_TRUE(error.text().contains(path)) << error.text().toStdString();
    }
    EXPECT_EQ(pane.previewLayer()->bitmap(), bitmap);
    EXPECT_EQ(pane.imageArea(), area);
    EXPECT_EQ(pane.frameLocation(), (FloatRect{5, 6, 70, 80}));
    EXPECT_EQ(pane.areaLocation(), (FloatRect{5, 6, 70, 80}));
    EXPECT_EQ(pane.topRuler()->bitmap(), top);
    EXPECT_EQ(pane.leftRuler()->bitmap(), left);
    EXPECT_EQ(pane.spacer()->text(), "in");
  }
}

// A picture of the pane after a preview, kept for a person to look at.
TEST_F(LoadedPane, ScreenshotAfterAPreview) {
  pane.loadPreviewImage(writeLetterScan(folder), 100, units::kInches);
  pane.placeNamedSize({30.5f, 40.2f, 200.7f, 300.9f});
  pane.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
  const QImage shot = pane.grab().toImage();
  ASSERT_FALSE(shot.isNull());

  const QString dir = qEnvironmentVariableIsSet("BREVALTO_ARTEFACT_DIR") ? qEnvironmentVariable("BREVALTO_ARTEFACT_DIR")
                                                                          : folder;
  QDir().mkpath(dir);
  const QString path = dir + "/preview-pane.png";
  ASSERT_TRUE(shot.save(path));
  std::printf("preview pane screenshot: %s\n", qPrintable(path));

  // The frame's handle at its top-left corner is drawn on top of the page.
  const QImage pixels = pane.image()->grab().toImage();
  EXPECT_EQ(pixels.pixelColor(30, 40), QColor(Qt::white));    // handle fill
  EXPECT_EQ(pixels.pixelColor(27, 37), QColor(Qt::black));    // handle border
  // Between the handles the outline runs 2 white, 2 black along row 40.
  for (int x = 40; x < 100; ++x) {
    const QColor here = pixels.pixelColor(x, 40);
    ASSERT_TRUE(here == QColor(Qt::white) || here == QColor(Qt::black)) << x;
    EXPECT_EQ(here, pixels.pixelColor(x + 4, 40)) << x;
    EXPECT_NE(here, pixels.pixelColor(x + 2, 40)) << x;
  }
  EXPECT_EQ(pixels.pixel(278, 400), pane.palette().color(QPalette::Dark).rgb());  // no image there
}

}  // namespace
