// Frame assembly: raw scanner lines in odd-sized chunks become the page image.

#include "scanner/FrameAssembler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

std::vector<unsigned char> bytes(std::initializer_list<int> values) {
  std::vector<unsigned char> out;
  for (int v : values) out.push_back(static_cast<unsigned char>(v));
  return out;
}

std::vector<unsigned char> words16(std::initializer_list<int> values) {
  std::vector<unsigned char> out;
  for (int v : values) {
    const auto w = static_cast<std::uint16_t>(v);
    unsigned char b[2];
    std::memcpy(b, &w, 2);  // host byte order, as scanners send 16-bit samples
    out.insert(out.end(), b, b + 2);
  }
  return out;
}

void feed(FrameAssembler& assembler, const std::vector<unsigned char>& data, size_t chunk) {
  for (size_t i = 0; i < data.size(); i += chunk)
    assembler.addData(data.data() + i, std::min(chunk, data.size() - i));
}

struct Case {
  const char* name;
  FrameParameters parameters;
  std::vector<unsigned char> data;
  QImage::Format format;
  int width;
  int height;
  // Expected colours of some pixels: x, y, rgb.
  std::vector<std::tuple<int, int, QRgb>> pixels;
};

class FrameAssemblerCases : public ::testing::TestWithParam<std::tuple<Case, size_t>> {};

TEST_P(FrameAssemblerCases, BuildsTheImageWhateverTheChunkSize) {
  const auto& [c, chunk] = GetParam();
  FrameAssembler assembler;
  ASSERT_TRUE(assembler.beginFrame(c.parameters)) << assembler.error().toStdString();
  feed(assembler, c.data, chunk);
  const QImage image = assembler.takeImage();
  ASSERT_EQ(image.format(), c.format) << c.name;
  EXPECT_EQ(image.width(), c.width) << c.name;
  EXPECT_EQ(image.height(), c.height) << c.name;
  for (const auto& [x, y, rgb] : c.pixels)
    EXPECT_EQ(image.pixel(x, y), rgb) << c.name << " at " << x << "," << y << " chunk " << chunk;
}

const QRgb kBlack = qRgb(0, 0, 0), kWhite = qRgb(255, 255, 255);

const Case kCases[] = {
    // 10 pixels wide, 2 bytes per line: bit 1 is black.
    {"lineart", {FrameParameters::Gray, true, 2, 10, 2, 1}, bytes({0x80, 0x40, 0x00, 0x7f}),
     QImage::Format_Mono, 10, 2, {{0, 0, kBlack}, {1, 0, kWhite}, {9, 0, kBlack}, {0, 1, kWhite}, {9, 1, kBlack}}},
    // 3 pixels of grey with one byte of padding per line.
    {"gray8 padded", {FrameParameters::Gray, true, 4, 3, 2, 8}, bytes({10, 20, 30, 99, 40, 50, 60, 99}),
     QImage::Format_Grayscale8, 3, 2, {{0, 0, qRgb(10, 10, 10)}, {2, 1, qRgb(60, 60, 60)}}},
    {"gray16 keeps the high byte", {FrameParameters::Gray, true, 4, 2, 1, 16}, words16({0x1234, 0xff01}),
     QImage::Format_Grayscale8, 2, 1, {{0, 0, qRgb(0x12, 0x12, 0x12)}, {1, 0, qRgb(0xff, 0xff, 0xff)}}},
    {"rgb8", {FrameParameters::Rgb, true, 6, 2, 2, 8}, bytes({255, 0, 0, 0, 255, 0, 0, 0, 255, 1, 2, 3}),
     QImage::Format_RGB888, 2, 2, {{0, 0, qRgb(255, 0, 0)}, {1, 0, qRgb(0, 255, 0)}, {0, 1, qRgb(0, 0, 255)}, {1, 1, qRgb(1, 2, 3)}}},
    {"rgb16", {FrameParameters::Rgb, true, 6, 1, 1, 16}, words16({0xaa00, 0xbb11, 0xcc22}),
     QImage::Format_RGB888, 1, 1, {{0, 0, qRgb(0xaa, 0xbb, 0xcc)}}},
    // Unknown height (hand scanner): three lines arrive.
    {"unknown lines", {FrameParameters::Gray, true, 2, 2, -1, 8}, bytes({1, 2, 3, 4, 5, 6}),
     QImage::Format_Grayscale8, 2, 3, {{1, 2, qRgb(6, 6, 6)}}},
    // Announced 4 lines, only 2 and a half came: the partial line is dropped.
    {"short frame", {FrameParameters::Gray, true, 2, 2, 4, 8}, bytes({1, 2, 3, 4, 5}),
     QImage::Format_Grayscale8, 2, 2, {{0, 1, qRgb(3, 3, 3)}}},
};

INSTANTIATE_TEST_SUITE_P(Formats, FrameAssemblerCases,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Values(size_t{1}, size_t{3}, size_t{5}, size_t{64})),
                         [](const auto& info) {
                           std::string name = std::get<0>(info.param).name;
                           for (char& ch : name)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name + "_chunk" + std::to_string(std::get<1>(info.param));
                         });

TEST(FrameAssembler, ThreePassFramesFillTheirChannelsInAnyOrder) {
  FrameAssembler assembler;
  const FrameParameters::Format order[] = {FrameParameters::Blue, FrameParameters::Red, FrameParameters::Green};
  const int values[] = {30, 10, 20};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(assembler.beginFrame({order[i], i == 2, 2, 2, 1, 8}));
    const auto line = bytes({values[i], values[i] + 1});
    feed(assembler, line, 1);
  }
  const QImage image = assembler.takeImage();
  ASSERT_EQ(image.format(), QImage::Format_RGB888);
  EXPECT_EQ(image.pixel(0, 0), qRgb(10, 20, 30));
  EXPECT_EQ(image.pixel(1, 0), qRgb(11, 21, 31));
}

TEST(FrameAssembler, RefusesParametersThatCannotDescribeTheData) {
  FrameAssembler assembler;
  EXPECT_FALSE(assembler.beginFrame({FrameParameters::Rgb, true, 5, 2, 1, 8}));  // 2 RGB pixels need 6 bytes
  EXPECT_FALSE(assembler.error().isEmpty());
  EXPECT_FALSE(assembler.beginFrame({FrameParameters::Gray, true, 2, 2, 1, 4}));  // depth 4
  EXPECT_FALSE(assembler.beginFrame({FrameParameters::Gray, true, 2, 0, 1, 8}));
}

TEST(FrameAssembler, NoDataGivesNoImage) {
  FrameAssembler assembler;
  ASSERT_TRUE(assembler.beginFrame({FrameParameters::Gray, true, 2, 2, 3, 8}));
  EXPECT_TRUE(assembler.takeImage().isNull());
}

TEST(FrameAssembler, ReportsProgressByLines) {
  FrameAssembler assembler;
  ASSERT_TRUE(assembler.beginFrame({FrameParameters::Gray, true, 1, 1, 4, 8}));
  EXPECT_EQ(assembler.percentOfFrame(), 0);
  feed(assembler, bytes({1}), 1);
  EXPECT_EQ(assembler.percentOfFrame(), 25);
  feed(assembler, bytes({1, 2, 3, 4, 5}), 2);  // one line too many is ignored
  EXPECT_EQ(assembler.percentOfFrame(), 100);
  EXPECT_EQ(assembler.takeImage().height(), 4);
}

}  // namespace
