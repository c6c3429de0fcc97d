// Reads TIFF and PNG images row by row, page by page, so memory stays at one
// row of the image (plus the decoder's own strip).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavik_tools {

enum class ImageKind { kGrey, kRgb, kCmyk, kNChannel };

struct PageFormat {
  std::int32_t width = 0;
  std::int32_t height = 0;
  int channels = 0;  // channels delivered per pixel (alpha dropped)
  int bits = 8;      // 8 or 16 per sample
  ImageKind kind = ImageKind::kGrey;
  double res_x = 0;  // dots per inch; 0 when the file does not say
  double res_y = 0;
};

class ImageSource {
 public:
  virtual ~ImageSource() = default;
  // Moves to the next page (the first on the first call). False at the end or
  // on an error; error() tells which.
  virtual bool NextPage(PageFormat& format) = 0;
  // Reads the next row of the current page as interleaved samples, 16-bit ones
  // in host byte order: width * channels * bits / 8 bytes. Grey is delivered
  // as ink (0 = white), whatever the file's convention.
  virtual bool ReadRow(std::uint8_t* row) = 0;
  // Number of pages, when known before reading them.
  virtual int PageCount() const = 0;
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

// Opens a TIFF or PNG file, chosen by its first bytes. Null with a message
// when the file cannot be read or is neither.
std::unique_ptr<ImageSource> OpenImage(const std::string& path, std::string& error);

}  // namespace tavik_tools
