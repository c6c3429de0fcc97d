#include "image_source.h"

#include <png.h>
#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <fstream>

namespace tavik_tools {

namespace {

// libtiff reports through global handlers; the last message is kept for ours.
thread_local std::string g_tiff_error;

void TiffError(const char* module, const char* fmt, va_list ap) {
  char text[512];
  std::vsnprintf(text, sizeof text, fmt, ap);
  g_tiff_error = (module != nullptr ? std::string(module) + ": " : std::string()) + text;
}

void TiffWarning(const char*, const char*, va_list) {}

void InvertRow(std::uint8_t* row, std::size_t samples, int bits) {
  if (bits == 8) {
    for (std::size_t i = 0; i < samples; ++i) row[i] = static_cast<std::uint8_t>(255 - row[i]);
  } else {
    auto* p = reinterpret_cast<std::uint16_t*>(row);
    for (std::size_t i = 0; i < samples; ++i) p[i] = static_cast<std::uint16_t>(65535 - p[i]);
  }
}

class TiffSource : public ImageSource {
 public:
  explicit TiffSource(std::string path) : path_(std::move(path)) {}
  ~TiffSource() override {
    for (TIFF* t : planes_) TIFFClose(t);
    if (tiff_ != nullptr) TIFFClose(tiff_);
  }

  bool Open() {
    TIFFSetErrorHandler(TiffError);
    TIFFSetWarningHandler(TiffWarning);
    tiff_ = TIFFOpen(path_.c_str(), "r");
    if (tiff_ == nullptr) return Fail("not a readable TIFF file");
    pages_ = TIFFNumberOfDirectories(tiff_);
    return true;
  }

  int PageCount() const override { return pages_; }

  bool NextPage(PageFormat& format) override {
    if (started_) {
      if (!TIFFReadDirectory(tiff_)) return false;  // no more pages
    }
    started_ = true;
    ++directory_;
    for (TIFF* t : planes_) TIFFClose(t);
    planes_.clear();

    std::uint32_t width = 0, height = 0;
    std::uint16_t spp = 1, bits = 1, photometric = 0, planar = PLANARCONFIG_CONTIG;
    std::uint16_t sample_format = SAMPLEFORMAT_UINT, inkset = INKSET_CMYK;
    std::uint16_t extra_count = 0, inks = 0;
    std::uint16_t* extra = nullptr;
    TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLEFORMAT, &sample_format);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_EXTRASAMPLES, &extra_count, &extra);
    if (!TIFFGetField(tiff_, TIFFTAG_PHOTOMETRIC, &photometric)) {
      return Fail("page " + std::to_string(directory_) + " has no photometric tag");
    }
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_INKSET, &inkset);
    if (TIFFIsTiled(tiff_)) return Fail("tiled TIFF pages are not supported");
    if (bits != 8 && bits != 16) {
      return Fail(std::to_string(bits) + "-bit samples are not supported (8 or 16)");
    }
    if (sample_format != SAMPLEFORMAT_UINT)
      return Fail("only unsigned integer samples are supported");
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) {
      return Fail("page size " + std::to_string(width) + " x " + std::to_string(height) +
                  " is out of range");
    }
    const int colour = static_cast<int>(spp) - static_cast<int>(extra_count);
    format = PageFormat{};
    format.width = static_cast<std::int32_t>(width);
    format.height = static_cast<std::int32_t>(height);
    format.bits = bits;
    invert_ = false;
    switch (photometric) {
      case PHOTOMETRIC_MINISWHITE:
      case PHOTOMETRIC_MINISBLACK:
        if (colour == 1) {
          format.kind = ImageKind::kGrey;
          format.channels = 1;
          invert_ = photometric == PHOTOMETRIC_MINISBLACK;
        } else {
          format.kind = ImageKind::kNChannel;
          format.channels = spp;
        }
        break;
      case PHOTOMETRIC_RGB:
        if (colour < 3) return Fail("RGB page with fewer than three samples");
        format.kind = ImageKind::kRgb;
        format.channels = 3;
        break;
      case PHOTOMETRIC_SEPARATED:
        if (inkset == INKSET_CMYK && spp >= 4 &&
            !TIFFGetField(tiff_, TIFFTAG_NUMBEROFINKS, &inks)) {
          format.kind = ImageKind::kCmyk;
          format.channels = 4;
        } else if (inkset == INKSET_CMYK && inks == 4) {
          format.kind = ImageKind::kCmyk;
          format.channels = 4;
        } else {
          // libtiff counts four colour channels for any separated page and
          // calls the rest extra samples; the ink count says how many are inks.
          format.kind = ImageKind::kNChannel;
          format.channels = (inks >= 1 && inks <= spp) ? inks : spp;
        }
        break;
      default:
        return Fail("photometric interpretation " + std::to_string(photometric) +
                    " is not supported (grey, RGB, CMYK or separated inks)");
    }
    if (format.channels > 16)
      return Fail(std::to_string(format.channels) + " channels (at most 16)");
    float rx = 0, ry = 0;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tiff_, TIFFTAG_XRESOLUTION, &rx) &&
        TIFFGetField(tiff_, TIFFTAG_YRESOLUTION, &ry)) {
      const double scale = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
      if (unit != RESUNIT_NONE) {
        format.res_x = rx * scale;
        format.res_y = ry * scale;
      }
    }
    spp_ = spp;
    bytes_ = bits / 8;
    width_ = width;
    channels_ = format.channels;
    separate_ = planar == PLANARCONFIG_SEPARATE && spp > 1;
    row_ = 0;
    scan_.resize(static_cast<std::size_t>(TIFFScanlineSize(tiff_)));
    if (separate_) {
      // One handle per plane, each reading its plane front to back: the
      // planes' strips are decoded side by side without re-reading any.
      for (int s = 0; s < channels_; ++s) {
        TIFF* t = TIFFOpen(path_.c_str(), "r");
        if (t == nullptr || !TIFFSetDirectory(t, static_cast<tdir_t>(directory_ - 1))) {
          if (t != nullptr) TIFFClose(t);
          return Fail("cannot reopen the file for plane " + std::to_string(s));
        }
        planes_.push_back(t);
      }
    }
    return true;
  }

  bool ReadRow(std::uint8_t* row) override {
    const std::size_t px = width_;
    if (separate_) {
      for (int s = 0; s < channels_; ++s) {
        if (TIFFReadScanline(planes_[static_cast<std::size_t>(s)], scan_.data(), row_,
                             static_cast<std::uint16_t>(s)) < 0) {
          return Fail("row " + std::to_string(row_) + " of plane " + std::to_string(s) + ": " +
                      g_tiff_error);
        }
        for (std::size_t x = 0; x < px; ++x) {
          std::memcpy(row + (x * channels_ + s) * bytes_, scan_.data() + x * bytes_, bytes_);
        }
      }
    } else {
      if (TIFFReadScanline(tiff_, scan_.data(), row_, 0) < 0) {
        return Fail("row " + std::to_string(row_) + ": " + g_tiff_error);
      }
      if (static_cast<int>(spp_) == channels_) {
        std::memcpy(row, scan_.data(), px * channels_ * bytes_);
      } else {
        for (std::size_t x = 0; x < px; ++x) {
          std::memcpy(row + x * channels_ * bytes_, scan_.data() + x * spp_ * bytes_,
                      channels_ * bytes_);
        }
      }
    }
    if (invert_) InvertRow(row, px * channels_, static_cast<int>(bytes_ * 8));
    ++row_;
    return true;
  }

 private:
  bool Fail(const std::string& what) {
    error_ = path_ + ": " + what;
    return false;
  }

  std::string path_;
  TIFF* tiff_ = nullptr;
  std::vector<TIFF*> planes_;
  int pages_ = 0;
  bool started_ = false;
  int directory_ = 0;
  std::uint32_t spp_ = 1;
  std::size_t bytes_ = 1;
  std::uint32_t width_ = 0;
  int channels_ = 0;
  bool separate_ = false;
  bool invert_ = false;
  std::uint32_t row_ = 0;
  std::vector<std::uint8_t> scan_;
};

class PngSource : public ImageSource {
 public:
  explicit PngSource(std::string path) : path_(std::move(path)) {}
  ~PngSource() override {
    if (png_ != nullptr) png_destroy_read_struct(&png_, &info_, nullptr);
    if (file_ != nullptr) std::fclose(file_);
  }

  bool Open() {
    file_ = std::fopen(path_.c_str(), "rb");
    if (file_ == nullptr) return Fail(std::strerror(errno));
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, &PngSource::OnError,
                                  &PngSource::OnWarning);
    if (png_ == nullptr) return Fail("cannot start the PNG decoder");
    info_ = png_create_info_struct(png_);
    if (info_ == nullptr) return Fail("cannot start the PNG decoder");
    return true;
  }

  int PageCount() const override { return 1; }

  bool NextPage(PageFormat& format) override {
    if (started_) return false;
    started_ = true;
    if (setjmp(png_jmpbuf(png_))) return Fail(message_);
    png_init_io(png_, file_);
    png_read_info(png_, info_);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png_, info_, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
    if (interlace != PNG_INTERLACE_NONE) {
      return Fail("interlaced PNG cannot be read row by row; save it without interlacing");
    }
    png_set_expand(png_);  // palette to RGB, low-bit grey to 8 bits, tRNS to alpha
    png_set_strip_alpha(png_);
    if (depth == 16) png_set_swap(png_);  // host order
    png_read_update_info(png_, info_);
    const int channels = png_get_channels(png_, info_);
    format = PageFormat{};
    format.width = static_cast<std::int32_t>(width);
    format.height = static_cast<std::int32_t>(height);
    format.bits = png_get_bit_depth(png_, info_);
    format.channels = channels;
    format.kind = channels == 1 ? ImageKind::kGrey : ImageKind::kRgb;
    if (channels != 1 && channels != 3) return Fail("unexpected PNG channel count");
    png_uint_32 rx = 0, ry = 0;
    int unit = 0;
    if (png_get_pHYs(png_, info_, &rx, &ry, &unit) && unit == PNG_RESOLUTION_METER) {
      format.res_x = rx * 0.0254;
      format.res_y = ry * 0.0254;
    }
    grey_ = channels == 1;
    samples_ = static_cast<std::size_t>(width) * channels;
    bits_ = format.bits;
    return true;
  }

  bool ReadRow(std::uint8_t* row) override {
    if (setjmp(png_jmpbuf(png_))) return Fail(message_);
    png_read_row(png_, row, nullptr);
    if (grey_) InvertRow(row, samples_, bits_);
    return true;
  }

 private:
  static void OnError(png_structp png, png_const_charp text) {
    auto* self = static_cast<PngSource*>(png_get_error_ptr(png));
    self->message_ = text;
    longjmp(png_jmpbuf(png), 1);
  }
  static void OnWarning(png_structp, png_const_charp) {}

  bool Fail(const std::string& what) {
    error_ = path_ + ": " + what;
    return false;
  }

  std::string path_;
  std::FILE* file_ = nullptr;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  bool started_ = false;
  bool grey_ = false;
  std::size_t samples_ = 0;
  int bits_ = 8;
  std::string message_;
};

}  // namespace

std::unique_ptr<ImageSource> OpenImage(const std::string& path, std::string& error) {
  std::ifstream probe(path, std::ios::binary);
  if (!probe) {
    error = path + ": cannot open the file";
    return nullptr;
  }
  unsigned char magic[8] = {};
  probe.read(reinterpret_cast<char*>(magic), sizeof magic);
  const auto got = probe.gcount();
  if (got >= 8 && png_sig_cmp(magic, 0, 8) == 0) {
    auto src = std::make_unique<PngSource>(path);
    if (!src->Open()) {
      error = src->error();
      return nullptr;
    }
    return src;
  }
  if (got >= 4 && ((magic[0] == 'I' && magic[1] == 'I') || (magic[0] == 'M' && magic[1] == 'M'))) {
    auto src = std::make_unique<TiffSource>(path);
    if (!src->Open()) {
      error = src->error();
      return nullptr;
    }
    return src;
  }
  error = path + ": neither a TIFF nor a PNG file";
  return nullptr;
}

}  // namespace tavik_tools
