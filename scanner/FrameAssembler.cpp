#include "scanner/FrameAssembler.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kGrowLines = 256;

unsigned char sample(const unsigned char* line, int index, int depth) {
  if (depth == 16) {
    std::uint16_t value;
    std::memcpy(&value, line + 2 * index, sizeof value);
    return static_cast<unsigned char>(value >> 8);
  }
  if (depth == 1) return (line[index / 8] & (0x80 >> (index % 8))) ? 255 : 0;
  return line[index];
}

int channelOf(FrameParameters::Format format) {
  switch (format) {
    case FrameParameters::Red: return 0;
    case FrameParameters::Green: return 1;
    case FrameParameters::Blue: return 2;
    default: return -1;
  }
}

}  // namespace

bool FrameAssembler::beginFrame(const FrameParameters& p) {
  error_.clear();
  partial_.clear();
  lines_ = 0;
  const int samplesPerPixel = p.format == FrameParameters::Rgb ? 3 : 1;
  const bool depthOk = p.depth == 1 || p.depth == 8 || p.depth == 16;
  const long long neededBytes = (static_cast<long long>(p.pixelsPerLine) * samplesPerPixel * p.depth + 7) / 8;
  if (!depthOk || p.pixelsPerLine <= 0 || p.bytesPerLine < neededBytes || p.lines < -1) {
    error_ = QStringLiteral("The scanner sent image data that cannot be read (%1 pixels, %2 bytes per line, depth %3)")
                 .arg(p.pixelsPerLine)
                 .arg(p.bytesPerLine)
                 .arg(p.depth);
    return false;
  }
  const bool singleChannel = channelOf(p.format) >= 0;
  if (started_ && singleChannel) {
    if (p.pixelsPerLine != image_.width() || image_.format() != QImage::Format_RGB888) {
      error_ = QStringLiteral("The colour frames of one page differ in size");
      return false;
    }
    parameters_ = p;
    return true;
  }
  parameters_ = p;
  started_ = true;
  pageLines_ = 0;
  QImage::Format format = QImage::Format_RGB888;
  if (p.format == FrameParameters::Gray) format = p.depth == 1 ? QImage::Format_Mono : QImage::Format_Grayscale8;
  const int rows = p.lines >= 0 ? p.lines : kGrowLines;
  image_ = QImage(p.pixelsPerLine, std::max(rows, 1), format);
  if (image_.isNull()) {
    error_ = QStringLiteral("Out of memory");
    return false;
  }
  if (format == QImage::Format_Mono) image_.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  image_.fill(0);
  return true;
}

void FrameAssembler::addData(const unsigned char* data, std::size_t size) {
  if (!started_ || !error_.isEmpty()) return;
  const auto lineBytes = static_cast<std::size_t>(parameters_.bytesPerLine);
  while (size > 0) {
    if (partial_.empty() && size >= lineBytes) {
      convertLine(data, lines_++);
      data += lineBytes;
      size -= lineBytes;
      continue;
    }
    const std::size_t take = std::min(size, lineBytes - partial_.size());
    partial_.insert(partial_.end(), data, data + take);
    data += take;
    size -= take;
    if (partial_.size() == lineBytes) {
      convertLine(partial_.data(), lines_++);
      partial_.clear();
    }
  }
  pageLines_ = std::max(pageLines_, lines_);
}

int FrameAssembler::percentOfFrame() const {
  if (parameters_.lines <= 0) return 0;
  return static_cast<int>(std::min<long long>(100, 100LL * lines_ / parameters_.lines));
}

void FrameAssembler::ensureRows(int rows) {
  if (rows <= image_.height()) return;
  const int newHeight = std::max(rows, image_.height() * 2);
  QImage grown(image_.width(), newHeight, image_.format());
  if (grown.isNull()) return;
  if (image_.format() == QImage::Format_Mono) grown.setColorTable(image_.colorTable());
  grown.fill(0);
  for (int y = 0; y < image_.height(); ++y)
    std::memcpy(grown.scanLine(y), image_.constScanLine(y), static_cast<size_t>(image_.bytesPerLine()));
  image_ = std::move(grown);
}

void FrameAssembler::convertLine(const unsigned char* line, int row) {
  if (row >= image_.height()) {
    // A scanner that announced its lines and sends more: the extra is dropped.
    if (parameters_.lines >= 0) return;
    ensureRows(row + 1);
    if (row >= image_.height()) return;
  }
  unsigned char* out = image_.scanLine(row);
  const int width = image_.width();
  const int depth = parameters_.depth;
  const int channel = channelOf(parameters_.format);
  if (channel >= 0) {
    for (int x = 0; x < width; ++x) out[3 * x + channel] = sample(line, x, depth);
  } else if (image_.format() == QImage::Format_Mono) {
    std::memcpy(out, line, static_cast<size_t>((width + 7) / 8));
  } else if (image_.format() == QImage::Format_Grayscale8) {
    if (depth == 8) {
      std::memcpy(out, line, static_cast<size_t>(width));
    } else {
      for (int x = 0; x < width; ++x) out[x] = sample(line, x, depth);
    }
  } else if (depth == 8) {
    std::memcpy(out, line, static_cast<size_t>(3 * width));
  } else {
    for (int i = 0; i < 3 * width; ++i) out[i] = sample(line, i, depth);
  }
}

QImage FrameAssembler::takeImage() {
  if (!started_) return {};
  started_ = false;
  partial_.clear();
  QImage result = std::move(image_);
  image_ = QImage();
  if (pageLines_ < result.height()) result = result.copy(0, 0, result.width(), pageLines_);
  lines_ = 0;
  return result;
}
