// tavik-chart: writes the test chart as a CMYK TIFF, row by row: a gradient
// per ink, a colour wheel, fine lines and a grey ramp. The repository carries
// this generator instead of any picture.
#include <tiffio.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Cmyk {
  double c = 0, m = 0, y = 0, k = 0;  // 0..1 ink
};

// Full-saturation hue at `sat` (0 white .. 1 pure), as CMY ink.
Cmyk Hue(double hue, double sat) {
  const double h = std::fmod(hue, 1.0) * 6.0;
  const double x = 1.0 - std::fabs(std::fmod(h, 2.0) - 1.0);
  double r = 0, g = 0, b = 0;
  switch (static_cast<int>(h)) {
    case 0:
      r = 1;
      g = x;
      break;
    case 1:
      r = x;
      g = 1;
      break;
    case 2:
      g = 1;
      b = x;
      break;
    case 3:
      g = x;
      b = 1;
      break;
    case 4:
      r = x;
      b = 1;
      break;
    default:
      r = 1;
      b = x;
      break;
  }
  return Cmyk{(1 - r) * sat, (1 - g) * sat, (1 - b) * sat, 0};
}

class Chart {
 public:
  Chart(int w, int h) : w_(w), h_(h) {}

  Cmyk At(int x, int y) const {
    const double u = (x + 0.5) / w_;
    const double v = (y + 0.5) / h_;
    // Top 40 %: four bars, one ink each, none to full from left to right.
    if (v < 0.40) {
      const int bar = std::min(3, static_cast<int>(v / 0.10));
      const double in_bar = v / 0.10 - bar;
      if (in_bar > 0.9) return {};  // white gap between bars
      Cmyk c;
      const double amount = u;
      (bar == 0 ? c.c : bar == 1 ? c.m : bar == 2 ? c.y : c.k) = amount;
      return c;
    }
    // Middle 45 %: colour wheel on the left, fine lines on the right.
    if (v < 0.85) {
      const double top = 0.40 * h_, height = 0.45 * h_;
      const double cx = 0.25 * w_, cy = top + height / 2;
      const double radius = std::min(0.22 * w_, 0.45 * height);
      if (x < w_ / 2) {
        const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
        const double d = std::sqrt(dx * dx + dy * dy);
        if (d > radius) return {};
        const double pi = 3.14159265358979323846;
        return Hue((std::atan2(dy, dx) + pi) / (2 * pi), d / radius);
      }
      return Lines(x - w_ / 2, static_cast<int>(y - top), w_ - w_ / 2, static_cast<int>(height));
    }
    // Bottom 15 %: a neutral ramp in composite CMY above one in black.
    const double in_ramp = (v - 0.85) / 0.15;
    if (in_ramp < 0.5) return Cmyk{u * 0.8, u * 0.7, u * 0.7, 0};
    return Cmyk{0, 0, 0, u};
  }

 private:
  // Groups of lines 1, 2, 3 and 4 dots wide, vertical then horizontal, and
  // thin rings, all in black on white.
  static Cmyk Lines(int x, int y, int w, int h) {
    const Cmyk black{0, 0, 0, 1};
    if (y < h / 3) {
      const int group = x * 4 / std::max(1, w);
      const int width = group + 1;
      return (x % (4 * width)) < width ? black : Cmyk{};
    }
    if (y < 2 * h / 3) {
      const int yy = y - h / 3;
      const int group = x * 4 / std::max(1, w);
      const int width = group + 1;
      return (yy % (4 * width)) < width ? black : Cmyk{};
    }
    const double cx = w / 2.0, cy = h * 5 / 6.0;
    const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
    return std::fmod(d, 6.0) < 1.0 ? black : Cmyk{};
  }

  int w_, h_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string output;
  int width = 2400, height = 1600, bits = 16;
  double dpi = 360;
  std::string kind = "chart";
  CLI::App app{"Writes the tavik test chart as a CMYK TIFF."};
  app.add_option("-o,--output", output, "TIFF file to write")->required();
  app.add_option("--width", width, "width in pixels")->check(CLI::Range(16, 1 << 20));
  app.add_option("--height", height, "height in pixels")->check(CLI::Range(16, 1 << 24));
  app.add_option("--bits", bits, "bits per sample")->check(CLI::IsMember({8, 16}));
  app.add_option("--dpi", dpi, "resolution stored in the file")->check(CLI::PositiveNumber);
  app.add_option("--kind", kind, "chart, or ramp (a plain gradient per ink, cheap for huge sizes)")
      ->check(CLI::IsMember({"chart", "ramp"}));
  CLI11_PARSE(app, argc, argv);

  TIFF* tiff = TIFFOpen(output.c_str(), "w8");  // BigTIFF: huge ramps pass 4 GiB
  if (tiff == nullptr) {
    std::fprintf(stderr, "tavik-chart: cannot write %s\n", output.c_str());
    return 1;
  }
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 4);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
  TIFFSetField(tiff, TIFFTAG_INKSET, INKSET_CMYK);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(dpi));
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(dpi));
  TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);

  const Chart chart(width, height);
  const double full = bits == 16 ? 65535.0 : 255.0;
  const std::size_t bytes = static_cast<std::size_t>(bits / 8);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 4 * bytes);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Cmyk c;
      if (kind == "ramp") {
        const double u = (x + 0.5) / width;
        c = Cmyk{u, 1 - u, (y % 256) / 255.0, 0.5 * u};
      } else {
        c = chart.At(x, y);
      }
      const double v[4] = {c.c, c.m, c.y, c.k};
      for (int i = 0; i < 4; ++i) {
        const auto q = static_cast<std::uint32_t>(std::lround(std::clamp(v[i], 0.0, 1.0) * full));
        const std::size_t at =
            (static_cast<std::size_t>(x) * 4 + static_cast<std::size_t>(i)) * bytes;
        if (bytes == 2) {
          reinterpret_cast<std::uint16_t*>(row.data())[at / 2] = static_cast<std::uint16_t>(q);
        } else {
          row[at] = static_cast<std::uint8_t>(q);
        }
      }
    }
    if (TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) < 0) {
      std::fprintf(stderr, "tavik-chart: writing %s failed at row %d\n", output.c_str(), y);
      TIFFClose(tiff);
      return 1;
    }
  }
  TIFFClose(tiff);
  return 0;
}
