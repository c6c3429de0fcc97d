// tavik-preview: checks a printer-data file of the reference module and
// renders one page as a PNG, scaled down by averaging dots into tone.
// Reads and writes row by row: memory stays at a row of the page and a row of
// the picture, whatever the page size.
#include <png.h>

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "halftone.h"
#include "stream_format.h"

namespace {

using dorva_ref::PageHeader;

class PngWriter {
 public:
  ~PngWriter() { Close(); }

  bool Open(const std::string& path, int width, int height, std::string& error) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
      error = "cannot write " + path + ": " + std::strerror(errno);
      return false;
    }
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    info_ = png_ != nullptr ? png_create_info_struct(png_) : nullptr;
    if (info_ == nullptr) {
      error = "cannot start the PNG encoder";
      return false;
    }
    if (setjmp(png_jmpbuf(png_))) {
      error = "writing " + path + " failed";
      return false;
    }
    png_init_io(png_, file_);
    png_set_IHDR(png_, info_, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png_, info_);
    return true;
  }

  bool Row(const std::vector<std::uint8_t>& rgb) {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_write_row(png_, rgb.data());
    return true;
  }

  bool Finish() {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_write_end(png_, nullptr);
    return true;
  }

  void Close() {
    if (png_ != nullptr) png_destroy_write_struct(&png_, &info_);
    png_ = nullptr;
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
  }

 private:
  std::FILE* file_ = nullptr;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

// Averages the dots of one page into an out_w x out_h picture, the inks
// multiplied over white in their colours.
class Renderer {
 public:
  Renderer(const PageHeader& page, int out_width) : page_(page) {
    out_w_ = std::max(1, std::min(out_width, page.width));
    out_h_ = std::max(
        1, static_cast<int>(std::lround(static_cast<double>(page.height) * out_w_ / page.width)));
    column_.resize(static_cast<std::size_t>(page.width));
    for (int x = 0; x < page.width; ++x) {
      column_[static_cast<std::size_t>(x)] =
          static_cast<int>(static_cast<std::int64_t>(x) * out_w_ / page.width);
    }
    box_w_.assign(static_cast<std::size_t>(out_w_), 0);
    for (int x = 0; x < page.width; ++x)
      ++box_w_[static_cast<std::size_t>(column_[static_cast<std::size_t>(x)])];
    sums_.assign(page.inks.size(), std::vector<std::uint32_t>(static_cast<std::size_t>(out_w_), 0));
    rgb_.resize(static_cast<std::size_t>(out_w_) * 3);
  }

  int width() const { return out_w_; }
  int height() const { return out_h_; }

  // Feeds page row y; rows never fed count as blank.
  bool Row(std::uint32_t y, const std::vector<std::vector<std::uint8_t>>& inks, PngWriter& png) {
    if (!AdvanceTo(static_cast<int>(y), png)) return false;
    for (std::size_t i = 0; i < inks.size(); ++i) {
      const std::vector<std::uint8_t>& bits = inks[i];
      std::vector<std::uint32_t>& sum = sums_[i];
      for (std::size_t b = 0; b < bits.size(); ++b) {
        if (bits[b] == 0) continue;
        for (int k = 0; k < 8; ++k) {
          if ((bits[b] & (0x80 >> k)) == 0) continue;
          const std::size_t x = b * 8 + static_cast<std::size_t>(k);
          ++sum[static_cast<std::size_t>(column_[x])];
        }
      }
    }
    return true;
  }

  bool Finish(PngWriter& png) { return AdvanceTo(page_.height, png); }

 private:
  int RowBoxTop(int oy) const {
    return static_cast<int>(static_cast<std::int64_t>(oy) * page_.height / out_h_);
  }

  // Emits every picture row whose box ends at or above page row y.
  bool AdvanceTo(int y, PngWriter& png) {
    while (out_row_ < out_h_ && RowBoxTop(out_row_ + 1) <= y) {
      const int rows = RowBoxTop(out_row_ + 1) - RowBoxTop(out_row_);
      for (int ox = 0; ox < out_w_; ++ox) {
        double r = 255, g = 255, b = 255;
        const double area = static_cast<double>(rows) * box_w_[static_cast<std::size_t>(ox)];
        for (std::size_t i = 0; i < sums_.size(); ++i) {
          const double c = area > 0 ? sums_[i][static_cast<std::size_t>(ox)] / area : 0.0;
          r *= 1.0 - c * (1.0 - page_.inks[i].r / 255.0);
          g *= 1.0 - c * (1.0 - page_.inks[i].g / 255.0);
          b *= 1.0 - c * (1.0 - page_.inks[i].b / 255.0);
        }
        rgb_[static_cast<std::size_t>(ox) * 3] = static_cast<std::uint8_t>(std::lround(r));
        rgb_[static_cast<std::size_t>(ox) * 3 + 1] = static_cast<std::uint8_t>(std::lround(g));
        rgb_[static_cast<std::size_t>(ox) * 3 + 2] = static_cast<std::uint8_t>(std::lround(b));
      }
      if (!png.Row(rgb_)) return false;
      for (auto& s : sums_) std::fill(s.begin(), s.end(), 0);
      ++out_row_;
    }
    return true;
  }

  const PageHeader page_;
  int out_w_ = 0;
  int out_h_ = 0;
  int out_row_ = 0;
  std::vector<int> column_;
  std::vector<int> box_w_;
  std::vector<std::vector<std::uint32_t>> sums_;
  std::vector<std::uint8_t> rgb_;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "tavik-preview: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string input, output;
  int width = 1200;
  int page_wanted = 1;
  CLI::App app{"Checks a printer-data file of the reference module and renders a PNG preview."};
  app.add_option("stream", input, "printer-data file")->required()->check(CLI::ExistingFile);
  app.add_option("-o,--output", output, "PNG preview to write (default: none, summary only)");
  app.add_option("-w,--width", width, "preview width in pixels (pages are only scaled down)")
      ->check(CLI::Range(1, 1 << 16));
  app.add_option("-p,--page", page_wanted, "page to render, counted from 1 over the whole file")
      ->check(CLI::Range(1, 1 << 30));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  std::ifstream in(input, std::ios::binary);
  if (!in) return Fail("cannot open " + input);

  PngWriter png;
  std::optional<Renderer> renderer;
  std::string failure;
  int jobs = 0, pages = 0;
  std::string summary;
  const PageHeader* current = nullptr;
  PageHeader page_copy;

  dorva_ref::StreamDecoder::Handlers h;
  h.job = [&](const dorva_ref::JobHeader& j) {
    ++jobs;
    summary += "job " + std::to_string(jobs) + ": input format " + std::to_string(j.input_format) +
               ", " + std::to_string(j.ink_count) + " inks, image " +
               std::to_string(j.image_res_x) + " x " + std::to_string(j.image_res_y) + " dpi\n";
  };
  h.page = [&](const PageHeader& p) {
    ++pages;
    page_copy = p;
    current = &page_copy;
    if (pages == page_wanted && !output.empty() && failure.empty()) {
      renderer.emplace(p, width);
      if (!png.Open(output, renderer->width(), renderer->height(), failure)) renderer.reset();
    }
  };
  h.row = [&](std::uint32_t y, const std::vector<std::vector<std::uint8_t>>& inks) {
    if (renderer && pages == page_wanted && !renderer->Row(y, inks, png)) {
      failure = "writing " + output + " failed";
      renderer.reset();
    }
  };
  h.page_end = [&](const dorva_ref::PageTrailer& t) {
    const PageHeader& p = *current;
    char line[256];
    std::snprintf(line, sizeof line,
                  "  page %d: %d x %d dots at %d x %d dpi, halftone %d, %u rows sent, %s\n", pages,
                  p.width, p.height, p.res_x, p.res_y, p.halftone_type, t.rows,
                  (t.flags & dorva_ref::kPageNormalEnd) != 0 ? "ended normally" : "aborted");
    summary += line;
    const double cells = static_cast<double>(p.width) * p.height;
    for (std::size_t i = 0; i < p.inks.size(); ++i) {
      std::snprintf(line, sizeof line, "    %-3s %14llu dots  %6.2f%%\n", p.inks[i].Name().c_str(),
                    static_cast<unsigned long long>(t.dots[i]),
                    100.0 * static_cast<double>(t.dots[i]) / cells);
      summary += line;
    }
    if (renderer && pages == page_wanted) {
      if (!renderer->Finish(png) || !png.Finish()) failure = "writing " + output + " failed";
      png.Close();
    }
  };
  dorva_ref::StreamDecoder decoder(h);
  const bool ok = decoder.Decode(in);
  std::fputs(summary.c_str(), stdout);
  if (!ok) {
    png.Close();
    if (!output.empty()) std::remove(output.c_str());
    return Fail(input + ": " + decoder.error());
  }
  if (!failure.empty()) return Fail(failure);
  std::printf("%s: %llu bytes, %d job%s, %d page%s, checksums verified\n", input.c_str(),
              static_cast<unsigned long long>(decoder.bytes_read()), jobs, jobs == 1 ? "" : "s",
              pages, pages == 1 ? "" : "s");
  if (!output.empty()) {
    if (page_wanted > pages) return Fail("no page " + std::to_string(page_wanted) + " in " + input);
    std::printf("preview of page %d: %s (%d x %d)\n", page_wanted, output.c_str(),
                renderer ? renderer->width() : 0, renderer ? renderer->height() : 0);
  }
  return 0;
}
