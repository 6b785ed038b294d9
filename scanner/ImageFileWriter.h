#pragma once

// Encoding of acquired pages into the files the user keeps: Windows bitmap,
// JPEG (libjpeg) and TIFF (libtiff), chosen by the file name's extension.

#include <QImage>
#include <QString>

#include <optional>

enum class ImageFileFormat { Bmp, Jpeg, Tiff };

// By the path's extension, case-insensitive: bmp; jpg, jpeg; tif, tiff.
// nullopt otherwise.
std::optional<ImageFileFormat> imageFileFormatForPath(const QString& path);

// Writes `image` to `path` in `format`, recording `dotsPerInch` as the file's
// resolution.
//
// Pages come as QImage::Format_Mono (line art), Format_Grayscale8 or
// Format_RGB888; anything else is converted first (an indexed image with a
// grey palette to grey, everything else to RGB). By format:
//   BMP:  1-bit with a two-colour palette, 8-bit with a grey palette, 24-bit.
//   JPEG: quality 75; grey as one component (line art is written as grey),
//         colour as RGB; the JFIF density carries the resolution.
//   TIFF: 1-bit (CCITT Group 4, MinIsWhite or MinIsBlack to match the image's
//         palette), 8-bit grey or 24-bit RGB (uncompressed, so that a page
//         writes in milliseconds); resolution tags in inches.
//
// The file is written under a hidden temporary name in the same folder and
// renamed onto `path` only once it is complete, so a failure never leaves a
// half-written file at `path` nor replaces an existing file there. On failure
// returns false and sets *error (when given) to a reason that names the path,
// such as "Unable to write file '/x/y.bmp': No space left on device".
bool writeImageFile(const QImage& image, const QString& path, ImageFileFormat format,
                    int dotsPerInch, QString* error);
