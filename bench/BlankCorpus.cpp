#include "bench/BlankCorpus.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <random>

namespace bench {

namespace {

constexpr double kA4WidthMm = 210.0, kA4HeightMm = 297.0;

const char* const kWords[] = {"the",     "meeting", "of",      "invoice", "and",    "payment", "received", "with",
                              "thanks",  "please",  "return",  "signed",  "copy",   "to",      "office",   "by",
                              "Monday",  "account", "number",  "dear",    "madam",  "regards", "enclosed", "date"};

struct Painter {
  QImage image;
  double dpi;
  std::mt19937 random;
  QColor paper;

  double px(double mm) const { return mm * dpi / 25.4; }
  QPointF at(double xMm, double yMm) const { return {px(xMm), px(yMm)}; }
  double unit() { return std::uniform_real_distribution<double>(0, 1)(random); }
  double between(double low, double high) { return low + unit() * (high - low); }
  int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }
  // A grey `darker` steps below the paper, keeping its tint.
  QColor belowPaper(int darker) const {
    return QColor(std::max(0, paper.red() - darker), std::max(0, paper.green() - darker),
                  std::max(0, paper.blue() - darker));
  }
  QString words(int count) {
    QString text;
    for (int i = 0; i < count; ++i) {
      if (i) text += QLatin1Char(' ');
      text += QString::fromLatin1(kWords[pick(static_cast<int>(std::size(kWords)))]);
    }
    return text;
  }
  QFont font(const char* family, double points, bool bold = false, bool italic = false) const {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(points * dpi / 72.0))));
    f.setBold(bold);
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
  }
};

QColor paperColour(PaperKind kind) {
  switch (kind) {
    case PaperKind::White: return QColor(250, 250, 248);
    case PaperKind::Cream: return QColor(247, 240, 220);
    case PaperKind::RecycledGrey: return QColor(212, 209, 201);
    case PaperKind::Blue: return QColor(226, 236, 246);
  }
  return Qt::white;
}

void paintFlecks(Painter& p, QPainter& painter, int count);

// The paper's texture: slow blotches and, on recycled paper, dark flecks.
void paintPaper(Painter& p, QPainter& painter, PaperKind kind) {
  const bool recycled = kind == PaperKind::RecycledGrey;
  for (int i = 0; i < 40; ++i) {
    const QPointF centre = p.at(p.unit() * kA4WidthMm, p.unit() * kA4HeightMm);
    const double radius = p.px(p.between(10, 45));
    QRadialGradient blotch(centre, radius);
    const int shade = static_cast<int>(p.between(-6, 6)) * (recycled ? 2 : 1);
    QColor c = p.belowPaper(-shade);
    c.setAlpha(70);
    blotch.setColorAt(0, c);
    c.setAlpha(0);
    blotch.setColorAt(1, c);
    painter.fillRect(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), blotch);
  }
  if (recycled) paintFlecks(p, painter, 900);
}

void paintFlecks(Painter& p, QPainter& painter, int count) {
  painter.setPen(Qt::NoPen);
  for (int i = 0; i < count; ++i) {
    const double r = p.px(p.between(0.05, 0.2));
    painter.setBrush(p.belowPaper(static_cast<int>(p.between(30, 110))));
    painter.drawEllipse(p.at(p.unit() * kA4WidthMm, p.unit() * kA4HeightMm), r, r * p.between(0.5, 1.5));
  }
}

void paintText(Painter& p, QPainter& painter, const QFont& font, QColor ink, double xMm, double yMm,
               const QString& text) {
  painter.setFont(font);
  painter.setPen(ink);
  painter.drawText(p.at(xMm, yMm), text);
}

QColor ink(Painter& p) {
  return p.pick(2) ? QColor(25, 25, 30) : QColor(20, 30, 110);  // black or blue-black
}

void paintSignature(Painter& p, QPainter& painter, double xMm, double yMm) {
  QPainterPath path(p.at(xMm, yMm));
  double x = xMm;
  for (int i = 0; i < 6; ++i) {
    const double nx = x + p.between(4, 9);
    path.cubicTo(p.at(x + 2, yMm - p.between(4, 10)), p.at(nx - 2, yMm + p.between(2, 6)),
                 p.at(nx, yMm + p.between(-2, 2)));
    x = nx;
  }
  path.cubicTo(p.at(x + 5, yMm - 8), p.at(xMm + 5, yMm + 6), p.at(xMm + 10, yMm + 2));
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(30, 40, 120), p.px(p.between(0.35, 0.55)), Qt::SolidLine, Qt::RoundCap));
  painter.drawPath(path);
}

// Handwriting in pencil: thin grey outlines of italic letters.
void paintPencil(Painter& p, QPainter& painter, double xMm, double yMm, const QString& text) {
  QPainterPath path;
  path.addText(p.at(xMm, yMm), p.font("DejaVu Sans", p.between(11, 14), false, true), text);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(p.belowPaper(static_cast<int>(p.between(70, 90))), p.px(0.18)));
  painter.drawPath(path);
}

void paintStamp(Painter& p, QPainter& painter) {
  const double x = p.between(110, 160), y = p.between(180, 240);
  QColor colour = p.pick(2) ? QColor(190, 40, 45, 210) : QColor(40, 60, 170, 210);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(colour, p.px(0.5)));
  painter.save();
  painter.translate(p.at(x, y));
  painter.rotate(p.between(-15, 15));
  if (p.pick(2)) {
    painter.drawEllipse(QPointF(0, 0), p.px(10), p.px(10));
    painter.drawEllipse(QPointF(0, 0), p.px(7.5), p.px(7.5));
    painter.setFont(p.font("DejaVu Sans", 6, true));
    painter.drawText(QRectF(-p.px(7), -p.px(2), p.px(14), p.px(4)), Qt::AlignCenter, QStringLiteral("PAID"));
  } else {
    painter.drawRect(QRectF(-p.px(14), -p.px(5), p.px(28), p.px(10)));
    painter.setFont(p.font("DejaVu Sans", 7, true));
    painter.drawText(QRectF(-p.px(13), -p.px(4.5), p.px(26), p.px(9)), Qt::AlignCenter,
                     QStringLiteral("RECEIVED\n12 MAR 2024"));
  }
  painter.restore();
}

// Things the feeder and the paper add, on any sheet.
void paintShadow(Painter& p, QPainter& painter) {
  const int side = p.pick(4);
  const double depth = p.px(p.between(2.5, 6));
  const QRectF page(0, 0, p.image.width(), p.image.height());
  QRectF band;
  QPointF from, to;
  switch (side) {
    case 0: band = QRectF(0, 0, depth, page.height()), from = {0, 0}, to = {depth, 0}; break;
    case 1: band = QRectF(page.width() - depth, 0, depth, page.height()), from = {page.width(), 0},
            to = {page.width() - depth, 0}; break;
    case 2: band = QRectF(0, 0, page.width(), depth), from = {0, 0}, to = {0, depth}; break;
    default: band = QRectF(0, page.height() - depth, page.width(), depth), from = {0, page.height()},
             to = {0, page.height() - depth}; break;
  }
  QLinearGradient shadow(from, to);
  shadow.setColorAt(0, QColor(70, 70, 70));
  QColor clear = p.paper;
  clear.setAlpha(0);
  shadow.setColorAt(1, clear);
  painter.fillRect(band, shadow);
}

void paintDarkBorder(Painter& p, QPainter& painter) {
  // A sheet a little narrower than the scan and slightly skewed.
  const double left = p.between(3, 9), right = p.between(2, 8), skew = p.between(-3, 3);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(28, 28, 30));
  const double w = kA4WidthMm, h = kA4HeightMm;
  painter.drawPolygon(QPolygonF({p.at(0, 0), p.at(left, 0), p.at(left + skew, h), p.at(0, h)}));
  painter.drawPolygon(QPolygonF({p.at(w - right, 0), p.at(w, 0), p.at(w, h), p.at(w - right - skew, h)}));
  if (p.pick(2)) painter.drawRect(QRectF(0, 0, p.image.width(), p.px(p.between(2, 6))));
}

void paintHoles(Painter& p, QPainter& painter) {
  const double centre = p.between(10, 13), diameter = p.between(5.5, 6.5);
  const QColor backing = p.pick(2) ? QColor(60, 60, 62) : QColor(110, 110, 112);
  painter.setPen(Qt::NoPen);
  const bool left = p.pick(3) != 0;
  const int holes = p.pick(2) ? 2 : 4;
  const double pitch = holes == 2 ? 80 : 80.0 / 3 * 1.0;
  for (int i = 0; i < holes; ++i) {
    const double along = (left ? kA4HeightMm : kA4WidthMm) / 2 + (i - (holes - 1) / 2.0) * pitch;
    QRadialGradient rim(left ? p.at(centre, along) : p.at(along, centre), p.px(diameter / 2));
    rim.setColorAt(0, backing);
    rim.setColorAt(0.85, backing);
    rim.setColorAt(1, backing.lighter(150));
    painter.setBrush(rim);
    painter.drawEllipse(left ? p.at(centre, along) : p.at(along, centre), p.px(diameter / 2), p.px(diameter / 2));
  }
}

void paintStaple(Painter& p, QPainter& painter) {
  painter.save();
  const double x = p.between(6, 14), y = p.between(6, 14);
  const bool right = p.pick(2);
  painter.translate(p.at(right ? kA4WidthMm - x : x, y));
  painter.rotate(p.pick(2) ? p.between(-50, -35) * (right ? -1 : 1) : p.between(-5, 5));
  QLinearGradient metal(0, -p.px(0.4), 0, p.px(0.4));
  metal.setColorAt(0, QColor(90, 90, 95));
  metal.setColorAt(0.5, QColor(175, 175, 180));
  metal.setColorAt(1, QColor(80, 80, 85));
  painter.setPen(Qt::NoPen);
  painter.setBrush(metal);
  painter.drawRoundedRect(QRectF(0, -p.px(0.4), p.px(12.5), p.px(0.8)), p.px(0.3), p.px(0.3));
  painter.restore();
}

void paintSpecks(Painter& p, QPainter& painter) {
  painter.setPen(Qt::NoPen);
  const int specks = 20 + p.pick(60);
  for (int i = 0; i < specks; ++i) {
    const double r = p.px(p.between(0.08, 0.4));
    painter.setBrush(QColor::fromHsv(0, 0, static_cast<int>(p.between(40, 150))));
    painter.drawEllipse(p.at(p.between(5, 205), p.between(5, 292)), r, r * p.between(0.6, 1.4));
  }
  // A fibre or two: hair-thin and faint.
  for (int i = 0; i < 2; ++i) {
    const QPointF start = p.at(p.between(20, 190), p.between(20, 270));
    QPainterPath path(start);
    path.quadTo(start + QPointF(p.px(2), p.px(p.between(-2, 2))),
                start + QPointF(p.px(p.between(3, 6)), p.px(p.between(-2, 2))));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(p.belowPaper(60), p.px(0.05)));
    painter.drawPath(path);
  }
}

// The back's print seen through the sheet: mirrored, soft and faint.
void paintShowThrough(Painter& p, QPainter& painter) {
  painter.save();
  painter.translate(p.image.width(), 0);
  painter.scale(-1, 1);
  const QColor faint = p.belowPaper(static_cast<int>(p.between(8, 16)));
  painter.setFont(p.font("DejaVu Serif", 16, true));
  painter.setPen(faint);
  painter.drawText(p.at(25, 35), p.words(4));
  painter.setFont(p.font("DejaVu Serif", 11));
  for (int line = 0; line < 30; ++line) painter.drawText(p.at(25, 50 + line * 7), p.words(9));
  painter.restore();
}

void addNoise(Painter& p, double sigma) {
  std::normal_distribution<float> noise(0.0f, static_cast<float>(sigma));
  std::vector<int> table(4096);
  for (int& value : table) value = static_cast<int>(std::lround(noise(p.random)));
  std::uint32_t state = static_cast<std::uint32_t>(p.random()) | 1u;
  for (int y = 0; y < p.image.height(); ++y) {
    uchar* line = p.image.scanLine(y);
    for (int x = 0; x < p.image.width() * 3; x += 3) {
      state ^= state << 13, state ^= state >> 17, state ^= state << 5;
      const int n = table[state & 4095];
      for (int c = 0; c < 3; ++c) line[x + c] = static_cast<uchar>(std::clamp(line[x + c] + n, 0, 255));
    }
  }
}

}  // namespace

bool hasContent(SheetKind kind) { return kind < SheetKind::Empty; }

QString sheetName(const CorpusSheet& sheet) {
  static const char* const kinds[] = {"text line",   "letter",    "signature",    "pencil note", "stamp",
                                      "faded print", "page number", "initials",   "empty",       "recycled flecks",
                                      "feeder shadow", "dark border", "punch holes", "staple",   "dust specks",
                                      "show-through"};
  static const char* const papers[] = {"white", "cream", "recycled grey", "blue"};
  return QStringLiteral("%1%2 on %3 (%4)")
      .arg(QString::fromLatin1(kinds[static_cast<int>(sheet.kind)]), QString::fromLatin1(sheet.busy ? ", busy" : ""),
           QString::fromLatin1(papers[static_cast<int>(sheet.paper)]))
      .arg(sheet.seed);
}

std::vector<CorpusSheet> blankCorpus() {
  std::vector<CorpusSheet> sheets;
  unsigned seed = 1;
  for (int kind = 0; kind <= static_cast<int>(SheetKind::ShowThrough); ++kind)
    for (const PaperKind paper : {PaperKind::White, PaperKind::Cream, PaperKind::RecycledGrey})
      sheets.push_back({static_cast<SheetKind>(kind), paper, seed++});
  for (const SheetKind kind : {SheetKind::TextLine, SheetKind::PencilNote, SheetKind::Empty, SheetKind::ShowThrough,
                               SheetKind::FeederShadow})
    sheets.push_back({kind, PaperKind::Blue, seed++});
  const PaperKind papers[] = {PaperKind::White, PaperKind::Cream, PaperKind::RecycledGrey, PaperKind::Blue};
  for (int kind = 0; kind <= static_cast<int>(SheetKind::ShowThrough); ++kind)
    sheets.push_back({static_cast<SheetKind>(kind), papers[kind % 4], seed++, true});
  return sheets;
}

QImage paintSheet(const CorpusSheet& sheet, int dotsPerInch) {
  Painter p{QImage(), double(dotsPerInch), std::mt19937(sheet.seed * 7919u + 17u), paperColour(sheet.paper)};
  p.image = QImage(static_cast<int>(std::lround(p.px(kA4WidthMm))), static_cast<int>(std::lround(p.px(kA4HeightMm))),
                   QImage::Format_RGB32);
  const int dotsPerMeter = static_cast<int>(std::lround(dotsPerInch / 0.0254));
  p.image.setDotsPerMeterX(dotsPerMeter);
  p.image.setDotsPerMeterY(dotsPerMeter);
  p.image.fill(p.paper);
  {
    QPainter painter(&p.image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paintPaper(p, painter, sheet.paper);
    const double left = p.between(20, 30), top = p.between(25, 60);
    switch (sheet.kind) {
      case SheetKind::TextLine:
        paintText(p, painter, p.font("DejaVu Serif", p.between(10, 12)), ink(p), left, top, p.words(7));
        break;
      case SheetKind::Letter: {
        const QFont font = p.font(p.pick(2) ? "DejaVu Serif" : "DejaVu Sans", p.between(10, 12));
        const QColor colour = ink(p);
        for (int line = 0; line < 3; ++line) paintText(p, painter, font, colour, left, top + line * 6, p.words(9));
        break;
      }
      case SheetKind::Signature:
        paintSignature(p, painter, p.between(110, 150), p.between(200, 260));
        break;
      case SheetKind::PencilNote:
        paintPencil(p, painter, p.between(30, 120), p.between(20, 270), p.words(3));
        break;
      case SheetKind::Stamp:
        paintStamp(p, painter);
        break;
      case SheetKind::FadedPrint: {
        const QFont font = p.font("DejaVu Serif", p.between(10, 12));
        const QColor faded = p.belowPaper(static_cast<int>(p.between(55, 75)));
        for (int line = 0; line < 2; ++line) paintText(p, painter, font, faded, left, top + line * 6, p.words(8));
        break;
      }
      case SheetKind::PageNumber:
        paintText(p, painter, p.font("DejaVu Sans", 10), QColor(30, 30, 30), 103, 285,
                  QString::number(1 + p.pick(9)));
        break;
      case SheetKind::Initials:
        paintText(p, painter, p.font("DejaVu Sans", 10, false, true), QColor(20, 30, 110), p.between(150, 185),
                  p.between(240, 280), QStringLiteral("JM"));
        break;
      case SheetKind::Empty:
        break;
      case SheetKind::RecycledFlecks:
        paintFlecks(p, painter, 2500);
        break;
      case SheetKind::FeederShadow:
        paintShadow(p, painter);
        break;
      case SheetKind::DarkBorder:
        paintDarkBorder(p, painter);
        break;
      case SheetKind::PunchHoles:
        paintHoles(p, painter);
        break;
      case SheetKind::Staple:
        paintStaple(p, painter);
        break;
      case SheetKind::DustSpecks:
        paintSpecks(p, painter);
        break;
      case SheetKind::ShowThrough:
        paintShowThrough(p, painter);
        break;
    }
    if (sheet.busy) {
      paintShadow(p, painter);
      paintSpecks(p, painter);
      if (p.pick(2)) paintHoles(p, painter);
      if (p.pick(3) == 0) paintStaple(p, painter);
      if (p.pick(2)) paintShowThrough(p, painter);
    } else if (hasContent(sheet.kind)) {
      // Content sheets come with a scanner's leftovers too, now and then.
      if (p.pick(3) == 0) paintShadow(p, painter);
      if (p.pick(3) == 0) paintSpecks(p, painter);
    }
  }
  p.image = p.image.convertToFormat(QImage::Format_RGB888);
  addNoise(p, sheet.paper == PaperKind::RecycledGrey ? 5.0 : 3.5);
  return p.image;
}

}  // namespace bench
