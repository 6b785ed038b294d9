// The blank-page measure: sheets with a little content stay above the limit
// 0.01 that the post-scan handling uses; empty sheets, whatever paper and
// scanner added to them, stay at or below it.

#include "scanner/BlankPage.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <tuple>

namespace {

constexpr float kLimit = 0.01f;
constexpr double kSheetWidthMm = 80, kSheetHeightMm = 110;

// Drawing on a sheet in millimetres, whatever its resolution.
struct Sheet {
  QPainter& painter;
  double dpi;
  QColor paper;

  double px(double mm) const { return mm * dpi / 25.4; }
  QPointF at(double x, double y) const { return {px(x), px(y)}; }
  QColor below(int steps) const {
    return QColor(std::max(0, paper.red() - steps), std::max(0, paper.green() - steps), std::max(0, paper.blue() - steps));
  }
  QFont font(const char* family, double points, bool italic = false) const {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(static_cast<int>(std::lround(points * dpi / 72)));
    f.setItalic(italic);
    return f;
  }
  void text(double x, double y, const QFont& font, QColor ink, const QString& words) const {
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(at(x, y), words);
  }
  void disc(double x, double y, double diameterMm, QColor colour) const {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(at(x, y), px(diameterMm / 2), px(diameterMm / 2));
  }
};

const QColor kWhite(250, 250, 248), kCream(247, 240, 220), kRecycled(205, 202, 195);

struct Case {
  const char* name;
  bool content;
  bool lineArt;  // still shows after a 50 % threshold (a line-art scan)
  QColor paper;
  std::function<void(const Sheet&)> paint;
};

const Case kCases[] = {
    // Content: anything a person put on the sheet.
    {"line of text", true, true, kWhite,
     [](const Sheet& s) { s.text(8, 20, s.font("DejaVu Serif", 11), QColor(25, 25, 30), "Dear Madam, thank you"); }},
    {"signature", true, true, kCream,
     [](const Sheet& s) {
       QPainterPath path(s.at(20, 80));
       path.cubicTo(s.at(24, 70), s.at(28, 88), s.at(33, 79));
       path.cubicTo(s.at(37, 72), s.at(40, 86), s.at(47, 78));
       path.cubicTo(s.at(52, 71), s.at(26, 90), s.at(30, 83));
       s.painter.setBrush(Qt::NoBrush);
       s.painter.setPen(QPen(QColor(30, 40, 120), s.px(0.4), Qt::SolidLine, Qt::RoundCap));
       s.painter.drawPath(path);
     }},
    {"pencil note", true, false, kWhite,
     [](const Sheet& s) {
       // Thin grey strokes: outlines of handwriting-like letters.
       QPainterPath path;
       path.addText(s.at(15, 50), s.font("DejaVu Sans", 13, true), QStringLiteral("call back"));
       s.painter.setBrush(Qt::NoBrush);
       s.painter.setPen(QPen(s.below(75), s.px(0.18)));
       s.painter.drawPath(path);
     }},
    {"small stamp", true, true, kWhite,
     [](const Sheet& s) {
       s.painter.setBrush(Qt::NoBrush);
       s.painter.setPen(QPen(QColor(190, 40, 45), s.px(0.5)));
       s.painter.drawEllipse(s.at(50, 60), s.px(6), s.px(6));
       s.text(46, 61, s.font("DejaVu Sans", 5), QColor(190, 40, 45), "PAID");
     }},
    {"faded grey print", true, false, kCream,
     [](const Sheet& s) {
       s.text(8, 30, s.font("DejaVu Serif", 10), s.below(60), "of the invoice and payment");
       s.text(8, 35, s.font("DejaVu Serif", 10), s.below(60), "received with thanks");
     }},
    {"page number", true, true, kRecycled,
     [](const Sheet& s) { s.text(39, 102, s.font("DejaVu Sans", 10), QColor(30, 30, 30), "7"); }},
    {"ink blot in the middle", true, true, kWhite,
     // Round and filled like a punch hole, but where no punch reaches.
     [](const Sheet& s) { s.disc(40, 55, 6, QColor(40, 40, 40)); }},

    // Empty sheets.
    {"white paper", false, true, kWhite, [](const Sheet&) {}},
    {"cream paper", false, true, kCream, [](const Sheet&) {}},
    {"recycled grey paper with flecks", false, true, kRecycled,
     [](const Sheet& s) {
       std::mt19937 random(7);
       std::uniform_real_distribution<double> x(0, kSheetWidthMm), y(0, kSheetHeightMm), size(0.08, 0.3);
       for (int i = 0; i < 200; ++i) s.disc(x(random), y(random), size(random), s.below(70));
     }},
    {"feeder shadow along an edge", false, true, kWhite,
     [](const Sheet& s) {
       QLinearGradient shadow(s.at(0, 0), s.at(4, 0));
       shadow.setColorAt(0, QColor(60, 60, 60));
       shadow.setColorAt(1, QColor(250, 250, 248, 0));
       s.painter.fillRect(QRectF(s.at(0, 0), s.at(4, kSheetHeightMm)), shadow);
     }},
    {"dark border of a skewed sheet", false, true, kCream,
     [](const Sheet& s) {
       s.painter.setPen(Qt::NoPen);
       s.painter.setBrush(QColor(25, 25, 25));
       s.painter.drawPolygon(QPolygonF({s.at(74, 0), s.at(80, 0), s.at(80, kSheetHeightMm), s.at(77, kSheetHeightMm)}));
       s.painter.drawRect(QRectF(s.at(0, 0), s.at(kSheetWidthMm, 3)));
     }},
    {"punch holes", false, true, kWhite,
     [](const Sheet& s) {
       s.disc(12, 15, 6, QColor(70, 70, 72));
       s.disc(12, 95, 6, QColor(70, 70, 72));
     }},
    {"staple", false, true, kWhite,
     [](const Sheet& s) {
       s.painter.save();
       s.painter.translate(s.at(8, 14));
       s.painter.rotate(-40);
       s.painter.fillRect(QRectF(0, 0, s.px(12.5), s.px(0.8)), QColor(120, 120, 125));
       s.painter.restore();
     }},
    {"dust specks", false, true, kWhite,
     [](const Sheet& s) {
       for (const auto& [x, y, d] : {std::tuple{20.0, 30.0, 0.5}, {55.0, 47.0, 0.3}, {33.0, 88.0, 0.6}, {70.0, 70.0, 0.4}})
         s.disc(x, y, d, QColor(40, 40, 40));
     }},
    {"show-through of the back", false, false, kWhite,
     [](const Sheet& s) {
       s.painter.save();
       s.painter.translate(s.px(kSheetWidthMm), 0);
       s.painter.scale(-1, 1);
       for (int line = 0; line < 10; ++line)
         s.text(8, 15 + 8 * line, s.font("DejaVu Serif", 14), s.below(14), "The quick brown fox");
       s.painter.restore();
     }},
};

enum class Kind { Colour, Grey, LineArt };

QImage render(const Case& c, int dpi, Kind kind) {
  const double pxPerMm = dpi / 25.4;
  QImage image(static_cast<int>(kSheetWidthMm * pxPerMm), static_cast<int>(kSheetHeightMm * pxPerMm),
               QImage::Format_RGB32);
  image.fill(c.paper);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    c.paint(Sheet{painter, double(dpi), c.paper});
  }
  image = image.convertToFormat(QImage::Format_RGB888);
  // Sensor noise, drawn from a table of normal deviates.
  std::mt19937 random(11);
  std::normal_distribution<float> normal(0.0f, 4.0f);
  std::array<int, 4096> deviates;
  for (int& d : deviates) d = static_cast<int>(std::lround(normal(random)));
  std::uint32_t state = 2463534242u;
  for (int y = 0; y < image.height(); ++y) {
    uchar* line = image.scanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      state ^= state << 13, state ^= state >> 17, state ^= state << 5;
      const int n = deviates[state & 4095];
      for (int k = 0; k < 3; ++k) line[3 * x + k] = static_cast<uchar>(std::clamp(line[3 * x + k] + n, 0, 255));
    }
  }
  if (kind == Kind::Grey) image = image.convertToFormat(QImage::Format_Grayscale8);
  if (kind == Kind::LineArt)
    image = image.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
  const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  return image;
}

class BlankMeasure : public ::testing::TestWithParam<std::tuple<Kind, int>> {};

TEST_P(BlankMeasure, KeepsEverySheetWithContentAndFindsTheEmptyOnes) {
  const auto [kind, dpi] = GetParam();
  for (const Case& c : kCases) {
    if (kind == Kind::LineArt && !c.lineArt) continue;
    const float level = measureNoiseLevel(render(c, dpi, kind));
    EXPECT_GE(level, 0.0f) << c.name;
    EXPECT_LE(level, 1.0f) << c.name;
    if (c.content)
      EXPECT_GT(level, kLimit) << c.name << " measured blank: " << level;
    else
      EXPECT_LE(level, kLimit) << c.name << " measured as content: " << level;
  }
}

std::string scanName(const ::testing::TestParamInfo<std::tuple<Kind, int>>& info) {
  static const char* const kinds[] = {"Colour", "Grey", "LineArt"};
  return std::string(kinds[static_cast<int>(std::get<0>(info.param))]) + std::to_string(std::get<1>(info.param)) + "dpi";
}

INSTANTIATE_TEST_SUITE_P(ScansOfEveryKind, BlankMeasure,
                         ::testing::Combine(::testing::Values(Kind::Colour, Kind::Grey, Kind::LineArt),
                                            ::testing::Values(150, 300, 600)),
                         scanName);

// Plain pages of every pixel format the scanner control may hold.
QImage plainPage(QImage::Format format, int width, int height) {
  QImage image(width, height, format);
  if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB) {
    image.setColorCount(2);
    image.setColor(0, qRgb(0, 0, 0));
    image.setColor(1, qRgb(255, 255, 255));
    image.fill(1);
  } else if (format == QImage::Format_Indexed8) {
    image.setColorCount(2);
    image.setColor(0, qRgb(250, 248, 240));
    image.setColor(1, qRgb(20, 20, 20));
    image.fill(0);
  } else {
    image.fill(Qt::white);
  }
  image.setDotsPerMeterX(11811);  // 300 dpi
  image.setDotsPerMeterY(11811);
  return image;
}

void blacken(QImage& image, const QRect& area) {
  const bool indexed = image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB ||
                       image.format() == QImage::Format_Indexed8;
  const uint black = image.format() == QImage::Format_Indexed8 ? 1 : 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      if (indexed)
        image.setPixel(x, y, black);
      else
        image.setPixelColor(x, y, Qt::black);
    }
}

class BlankMeasureByFormat : public ::testing::TestWithParam<QImage::Format> {};

TEST_P(BlankMeasureByFormat, CountsTheTilesThatHoldContent) {
  // 800 x 800 pixels at 300 dpi: 68 mm square, tiles of 100 x 100 pixels.
  QImage image = plainPage(GetParam(), 800, 800);
  EXPECT_FLOAT_EQ(measureNoiseLevel(image), 0.0f);

  // A dark band along the edges: a shadow, not content.
  blacken(image, QRect(0, 0, 25, 800));
  blacken(image, QRect(0, 790, 800, 10));
  EXPECT_FLOAT_EQ(measureNoiseLevel(image), 0.0f);

  // A short bar (a dash, 4 x 1 mm) inside one tile; odd offsets so that the
  // one-bit formats are read across byte boundaries.
  blacken(image, QRect(413, 321, 47, 11));
  EXPECT_FLOAT_EQ(measureNoiseLevel(image), 1.0f / 64);

  // A line across three tiles, and a one-pixel-wide rule down a fourth.
  blacken(image, QRect(105, 555, 290, 13));
  blacken(image, QRect(707, 150, 1, 40));
  EXPECT_FLOAT_EQ(measureNoiseLevel(image), 5.0f / 64);
}

INSTANTIATE_TEST_SUITE_P(Formats, BlankMeasureByFormat,
                         ::testing::Values(QImage::Format_Mono, QImage::Format_MonoLSB, QImage::Format_Indexed8,
                                           QImage::Format_Grayscale8, QImage::Format_Grayscale16,
                                           QImage::Format_RGB888, QImage::Format_RGB32, QImage::Format_ARGB32));

TEST(BlankMeasure, MarksAreJudgedAgainstThePaperNotAFixedGrey) {
  // A pale mark on white is content; the same grey as the paper of a sheet
  // is that sheet's tint. White print on a sheet covered in colour is
  // content too. Darker than any paper, a sheet is never blank.
  struct Row {
    QColor paper;
    QColor mark;
    bool content;
  } rows[] = {{QColor(250, 250, 250), QColor(205, 205, 205), true},
              {QColor(205, 205, 205), QColor(205, 205, 205), false},
              {QColor(205, 205, 205), QColor(150, 150, 150), true},
              {QColor(250, 250, 250), QColor(235, 235, 235), false},  // too faint: show-through
              {QColor(250, 250, 250), QColor(40, 40, 255), true},     // blue ink
              {QColor(110, 60, 60), QColor(250, 250, 250), true},     // white print on a coloured sheet
              {QColor(40, 40, 40), QColor(40, 40, 40), true}};
  for (const Row& row : rows) {
    QImage image = plainPage(QImage::Format_RGB888, 1200, 1200);
    image.fill(row.paper);
    QPainter(&image).fillRect(QRect(500, 600, 200, 20), row.mark);
    const float level = measureNoiseLevel(image);
    EXPECT_EQ(level > kLimit, row.content)
        << row.paper.name().toStdString() << " / " << row.mark.name().toStdString() << ": " << level;
  }
}

TEST(BlankMeasure, LineArtWithAnInvertedPaletteAndDegeneratePages) {
  // Some drivers deliver line art with 0 as white: the darker colour is the mark.
  QImage inverted(600, 600, QImage::Format_Mono);
  inverted.setColorCount(2);
  inverted.setColor(0, qRgb(255, 255, 255));
  inverted.setColor(1, qRgb(0, 0, 0));
  inverted.setDotsPerMeterX(11811);
  inverted.fill(0);
  EXPECT_FLOAT_EQ(measureNoiseLevel(inverted), 0.0f);
  for (int x = 150; x < 450; ++x) inverted.setPixel(x, 300, 1);
  EXPECT_GT(measureNoiseLevel(inverted), kLimit);
  inverted.fill(1);
  EXPECT_FLOAT_EQ(measureNoiseLevel(inverted), 1.0f) << "a black sheet";

  EXPECT_FLOAT_EQ(measureNoiseLevel(QImage()), 0.0f);
  QImage dot(1, 1, QImage::Format_RGB32);
  dot.fill(Qt::black);
  EXPECT_FLOAT_EQ(measureNoiseLevel(dot), 1.0f);
  dot.fill(Qt::white);
  EXPECT_FLOAT_EQ(measureNoiseLevel(dot), 0.0f);
}

}  // namespace
