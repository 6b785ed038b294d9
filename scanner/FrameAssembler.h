#pragma once

// Builds one page image from the frames a scanner sends: each frame is
// announced with its parameters, then arrives as byte chunks of any size.
// Works without a device, so the read loop's arithmetic is tested alone.
//
// Result formats: 1-bit grey -> Format_Mono (bit 1 = black, as scanners send
// it), 8/16-bit grey -> Format_Grayscale8, colour -> Format_RGB888. 16-bit
// samples (host byte order) keep their high byte. Colour may come in one frame
// (interleaved RGB) or three (red, green, blue, in any order). A frame with an
// unknown number of lines (-1) grows as lines arrive.

#include <QImage>
#include <QString>

#include <cstddef>
#include <vector>

struct FrameParameters {
  enum Format { Gray, Rgb, Red, Green, Blue };
  Format format = Gray;
  bool lastFrame = true;
  int bytesPerLine = 0;
  int pixelsPerLine = 0;
  int lines = 0;  // -1: not known in advance
  int depth = 8;  // bits per sample: 1, 8 or 16
};

class FrameAssembler {
 public:
  // Starts a frame. The first frame of a page fixes the image size; the other
  // frames of a three-pass page must match it. False (see error()) for
  // parameters that cannot be read.
  bool beginFrame(const FrameParameters& parameters);
  void addData(const unsigned char* data, std::size_t size);
  // Lines received so far in the current frame, and the share of the frame
  // read (0..100; 0 while the number of lines is unknown).
  int linesReceived() const { return lines_; }
  int percentOfFrame() const;
  // The page so far; lines announced but not received are cut off.
  QImage takeImage();
  QString error() const { return error_; }

 private:
  void convertLine(const unsigned char* line, int row);
  void ensureRows(int rows);

  FrameParameters parameters_;
  QImage image_;
  std::vector<unsigned char> partial_;  // bytes of a line not yet complete
  int lines_ = 0;
  int pageLines_ = 0;  // most lines any frame of the page delivered
  bool started_ = false;
  QString error_;
};
