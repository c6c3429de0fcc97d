// Running the tools as a user would, and making input files for them.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace tavik_tools::testing {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tavik-tool-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  fs::path operator/(const std::string& name) const { return path_ / name; }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

inline std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteText(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

struct RunResult {
  int exit_code = -1;
  std::string out;
  std::string err;
  long peak_kib = 0;  // peak resident size of the child
};

// Runs a program with its output captured in files; never through a shell.
inline RunResult RunProgram(const std::vector<std::string>& args, const fs::path& scratch) {
  const fs::path out_path = scratch / "stdout.txt";
  const fs::path err_path = scratch / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  RunResult result;
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    result.err = "cannot start " + args[0];
    return result;
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.peak_kib = usage.ru_maxrss;
  result.out = ReadText(out_path);
  result.err = ReadText(err_path);
  return result;
}

// Writes a TIFF of `pages` directories; `sample(page, c, x, y)` gives the
// 16-bit value of channel c (scaled down for 8-bit files).
struct TiffSpec {
  int width = 64;
  int height = 64;
  int channels = 4;
  int bits = 8;
  std::uint16_t photometric = PHOTOMETRIC_SEPARATED;
  bool separate = false;
  int pages = 1;
  int extra_samples = 0;
  std::uint16_t sample_format = SAMPLEFORMAT_UINT;
};

inline void WriteTiff(const fs::path& path, const TiffSpec& s,
                      const std::function<std::uint16_t(int page, int c, int x, int y)>& sample) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(t, nullptr);
  for (int page = 0; page < s.pages; ++page) {
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(s.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(s.height));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(s.channels));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(s.bits));
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, s.sample_format);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, s.photometric);
    if (s.photometric == PHOTOMETRIC_SEPARATED) {
      TIFFSetField(t, TIFFTAG_INKSET, s.channels == 4 ? INKSET_CMYK : INKSET_MULTIINK);
      TIFFSetField(t, TIFFTAG_NUMBEROFINKS,
                   static_cast<std::uint16_t>(s.channels - s.extra_samples));
    }
    if (s.extra_samples > 0) {
      std::vector<std::uint16_t> extra(static_cast<std::size_t>(s.extra_samples),
                                       EXTRASAMPLE_UNASSALPHA);
      TIFFSetField(t, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(s.extra_samples),
                   extra.data());
    }
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, s.separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 8u);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    const int bytes = s.bits / 8;
    const int per_row = s.separate ? 1 : s.channels;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(s.width * per_row * bytes));
    auto put = [&](std::size_t i, std::uint16_t v) {
      if (bytes == 2) {
        reinterpret_cast<std::uint16_t*>(row.data())[i] = v;
      } else {
        row[i] = static_cast<std::uint8_t>(v >> 8);
      }
    };
    const int planes = s.separate ? s.channels : 1;
    for (int plane = 0; plane < planes; ++plane) {
      for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
          if (s.separate) {
            put(static_cast<std::size_t>(x), sample(page, plane, x, y));
          } else {
            for (int c = 0; c < s.channels; ++c) {
              put(static_cast<std::size_t>(x * s.channels + c), sample(page, c, x, y));
            }
          }
        }
        ASSERT_GE(TIFFWriteScanline(t, row.data(), static_cast<std::uint32_t>(y),
                                    static_cast<std::uint16_t>(plane)),
                  0);
      }
    }
    TIFFWriteDirectory(t);
  }
  TIFFClose(t);
}

// Writes a grey or RGB PNG of 8 or 16 bits; `sample` as for WriteTiff.
inline void WritePng(const fs::path& path, int width, int height, int channels, int bits,
                     const std::function<std::uint16_t(int c, int x, int y)>& sample) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bits,
               channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const int bytes = bits / 8;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width * channels * bytes));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < channels; ++c) {
        const std::uint16_t v = sample(c, x, y);
        const std::size_t i = static_cast<std::size_t>((x * channels + c) * bytes);
        if (bytes == 2) {
          row[i] = static_cast<std::uint8_t>(v >> 8);  // PNG is big-endian
          row[i + 1] = static_cast<std::uint8_t>(v & 0xFF);
        } else {
          row[i] = static_cast<std::uint8_t>(v >> 8);
        }
      }
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

}  // namespace tavik_tools::testing
