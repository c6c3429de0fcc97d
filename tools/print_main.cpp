// tavik-print: prints TIFF and PNG images through the library the way a
// printer driver does, and writes the printer data to a file.
//
// The library is loaded by path at run time, like a driver loads it; the
// image is read and sent band by band so memory stays at a few bands.
#include <dlfcn.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host_api.h"
#include "image_source.h"
#include "qxol.h"

namespace {

using tavik_tools::CallFailure;

constexpr int kExitLibrary = 1;  // a library call failed
constexpr int kExitInput = 2;    // bad arguments, input or output file

struct Api {
  void* handle = nullptr;
  decltype(&QXOL_CreateInstance) create = nullptr;
  decltype(&QXOL_DeleteInstance) destroy = nullptr;
  decltype(&QXOL_SetValue) set_value = nullptr;
  decltype(&QXOL_StartJob) start_job = nullptr;
  decltype(&QXOL_EndJob) end_job = nullptr;
  decltype(&QXOL_StartPage) start_page = nullptr;
  decltype(&QXOL_EndPage) end_page = nullptr;
  decltype(&QXOL_BandOut2) band_out2 = nullptr;

  ~Api() {
    if (handle != nullptr) dlclose(handle);
  }

  bool Load(const std::string& path, std::string& error) {
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      error = "cannot load the library " + path + ": " + (why != nullptr ? why : "unknown reason");
      return false;
    }
    return Bind(create, "QXOL_CreateInstance", error) &&
           Bind(destroy, "QXOL_DeleteInstance", error) && Bind(set_value, "QXOL_SetValue", error) &&
           Bind(start_job, "QXOL_StartJob", error) && Bind(end_job, "QXOL_EndJob", error) &&
           Bind(start_page, "QXOL_StartPage", error) && Bind(end_page, "QXOL_EndPage", error) &&
           Bind(band_out2, "QXOL_BandOut2", error);
  }

  template <typename F>
  bool Bind(F& f, const char* name, std::string& error) {
    f = reinterpret_cast<F>(dlsym(handle, name));
    if (f == nullptr) error = "the library does not export " + std::string(name);
    return f != nullptr;
  }
};

struct Output {
  std::FILE* file = nullptr;
  std::uint64_t bytes = 0;
  bool failed = false;

  static std::int32_t QXOL_CALL Spool(void* context, signed char* data, std::int32_t size) {
    auto* out = static_cast<Output*>(context);
    if (size < 0 || out->failed) return 0;
    if (size > 0 && std::fwrite(data, 1, static_cast<std::size_t>(size), out->file) !=
                        static_cast<std::size_t>(size)) {
      out->failed = true;
      return 0;
    }
    out->bytes += static_cast<std::uint64_t>(size);
    return 1;
  }
};

class Progress {
 public:
  explicit Progress(bool enabled) : enabled_(enabled) {}
  void Update(int page, int pages, std::int64_t row, std::int64_t rows) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (row < rows && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    const int width = 30;
    const double f = rows > 0 ? static_cast<double>(row) / static_cast<double>(rows) : 1.0;
    const int filled = static_cast<int>(f * width);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(width, '.');
    std::fprintf(stderr, "\rpage %d%s [%s] %3d%% %lld/%lld rows", page,
                 pages > 0 ? ("/" + std::to_string(pages)).c_str() : "", bar.c_str(),
                 static_cast<int>(f * 100), static_cast<long long>(row),
                 static_cast<long long>(rows));
    shown_ = true;
  }
  void Done() {
    if (shown_) std::fputc('\n', stderr);
    shown_ = false;
  }

 private:
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_{};
};

struct Options {
  std::string library;
  std::string ini;
  std::vector<std::string> settings;
  std::vector<std::string> inputs;
  std::string output;
  std::string layout = "interleaved";
  int band_height = 128;
  int intent = 4;
  double resolution = 0;
  bool progress = false;
  bool quiet = false;
};

int Fail(const std::string& message, int code) {
  std::fprintf(stderr, "tavik-print: %s\n", message.c_str());
  return code;
}

std::int32_t DataType(const tavik_tools::PageFormat& f) {
  std::int32_t type = 3;
  if (f.kind == tavik_tools::ImageKind::kRgb) type = 1;
  if (f.kind == tavik_tools::ImageKind::kCmyk) type = 2;
  return f.bits == 16 ? -type : type;
}

// Channel counts whose planar format code the module cannot tell from another.
bool AmbiguousWhenPlanar(const tavik_tools::PageFormat& f) {
  if (f.kind != tavik_tools::ImageKind::kNChannel && f.kind != tavik_tools::ImageKind::kGrey)
    return false;
  const int n = f.channels;
  return n == 5 || n == 8 || n == 9 || n == 10 || n == 11;
}

struct PageKey {
  std::int32_t width = -1, height = -1, data_type = 0, channels = 0, res_x = 0, res_y = 0;
  bool operator==(const PageKey&) const = default;
};

class Printer {
 public:
  Printer(const Options& options, Api& api, QXOL_HANDLE instance)
      : options_(options), api_(api), instance_(instance), progress_(options.progress) {}

  // Prints every page of one file; returns an exit code.
  int PrintFile(const std::string& path) {
    std::string error;
    auto source = tavik_tools::OpenImage(path, error);
    if (!source) return Fail(error, kExitInput);
    tavik_tools::PageFormat format;
    int page = 0;
    while (source->NextPage(format)) {
      ++page;
      const int rc = PrintPage(*source, format, page, source->PageCount());
      if (rc != 0) return rc;
    }
    if (!source->error().empty()) return Fail(source->error(), kExitInput);
    if (page == 0) return Fail(path + ": no page", kExitInput);
    return 0;
  }

  int Finish() {
    if (!job_open_) return 0;
    job_open_ = false;
    const std::int32_t rc = api_.end_job(instance_);
    if (rc != QXOL_OK) return Fail(CallFailure(rc, "QXOL_EndJob"), kExitLibrary);
    return 0;
  }

  std::int64_t pages() const { return pages_; }

 private:
  int PrintPage(tavik_tools::ImageSource& source, const tavik_tools::PageFormat& f, int page,
                int pages) {
    const bool planar = options_.layout == "planar";
    if (planar && AmbiguousWhenPlanar(f)) {
      return Fail("pages of " + std::to_string(f.channels) +
                      " channels cannot be sent planar (the module could not tell their channel "
                      "count); use --layout interleaved",
                  kExitInput);
    }
    const int bytes = f.bits / 8;
    const double res_x =
        options_.resolution > 0 ? options_.resolution : (f.res_x > 0 ? f.res_x : 360);
    const double res_y =
        options_.resolution > 0 ? options_.resolution : (f.res_y > 0 ? f.res_y : 360);
    PageKey key{f.width,
                f.height,
                DataType(f),
                f.channels,
                static_cast<std::int32_t>(std::lround(res_x)),
                static_cast<std::int32_t>(std::lround(res_y))};
    // The module reads the page geometry when its job opens; a page of
    // another geometry or format gets a job of its own.
    if (job_open_ && !(key == last_key_)) {
      const int rc = Finish();
      if (rc != 0) return rc;
    }
    if (!job_open_) {
      const std::int32_t rc = api_.start_job(instance_);
      if (rc != QXOL_OK) return Fail(CallFailure(rc, "QXOL_StartJob"), kExitLibrary);
      job_open_ = true;
    }
    last_key_ = key;

    std::vector<std::int32_t> channel_list(static_cast<std::size_t>(f.channels));
    for (int i = 0; i < f.channels; ++i) channel_list[static_cast<std::size_t>(i)] = i;
    QXOL_BASE_INFO base{};
    base.paper_width = f.width;
    base.paper_height = f.height;
    QXOL_IMAGE_INFO image{};
    image.res_x = key.res_x;
    image.res_y = key.res_y;
    image.width = f.width;
    image.height = f.height;
    image.data_type = key.data_type;
    image.channel_num = f.channels;
    image.channels = channel_list.data();
    image.bpp = planar ? bytes : bytes * f.channels;
    QXOL_CONVERT_INFO convert{};
    convert.intent = options_.intent;
    std::int32_t rc = api_.start_page(instance_, &base, 1, &image, 1, &convert);
    if (rc != QXOL_OK) return Fail(CallFailure(rc, "QXOL_StartPage"), kExitLibrary);

    const std::size_t width = static_cast<std::size_t>(f.width);
    const std::size_t band_rows = static_cast<std::size_t>(options_.band_height);
    const std::size_t row_bytes = width * static_cast<std::size_t>(f.channels * bytes);
    std::vector<std::uint8_t> row(row_bytes);
    // Interleaved: one buffer of band_rows rows. Planar: one per channel.
    std::vector<std::vector<std::uint8_t>> buffers(
        planar ? static_cast<std::size_t>(f.channels) : 1,
        std::vector<std::uint8_t>(band_rows * (planar ? width * bytes : row_bytes)));
    std::vector<unsigned char*> table;
    for (auto& b : buffers) table.push_back(b.data());
    const std::int32_t stride = static_cast<std::int32_t>(planar ? width * bytes : row_bytes);

    for (std::int32_t top = 0; top < f.height; top += options_.band_height) {
      const std::int32_t bottom = std::min<std::int32_t>(f.height, top + options_.band_height);
      for (std::int32_t y = top; y < bottom; ++y) {
        std::uint8_t* dst_row = planar ? row.data() : buffers[0].data() + (y - top) * row_bytes;
        if (!source.ReadRow(dst_row)) return Fail(source.error(), kExitInput);
        if (planar) {
          for (int c = 0; c < f.channels; ++c) {
            std::uint8_t* dst =
                buffers[static_cast<std::size_t>(c)].data() + (y - top) * width * bytes;
            for (std::size_t x = 0; x < width; ++x) {
              std::memcpy(dst + x * bytes, row.data() + (x * f.channels + c) * bytes, bytes);
            }
          }
        }
      }
      QXOL_BAND_INFO info{0, top, f.width, bottom, -1, -1, -1, -1};
      QXOL_BAND_DATA data{table.data(), stride, 0};
      rc = api_.band_out2(instance_, 1, &info, 1, &data, 0);
      if (rc != QXOL_OK) {
        progress_.Done();
        return Fail(CallFailure(rc, "QXOL_BandOut2") + " (page " + std::to_string(page) +
                        ", rows " + std::to_string(top) + ".." + std::to_string(bottom - 1) + ")",
                    kExitLibrary);
      }
      progress_.Update(page, pages, bottom, f.height);
    }
    progress_.Done();
    rc = api_.end_page(instance_, 0);
    if (rc != QXOL_OK) return Fail(CallFailure(rc, "QXOL_EndPage"), kExitLibrary);
    ++pages_;
    return 0;
  }

  const Options& options_;
  Api& api_;
  QXOL_HANDLE instance_;
  Progress progress_;
  bool job_open_ = false;
  PageKey last_key_;
  std::int64_t pages_ = 0;
};

int Run(const Options& options) {
  // Settings are checked before anything is loaded or written.
  std::vector<std::pair<tavik_tools::ParamRow, tavik_tools::ParamValue>> settings;
  for (const std::string& s : options.settings) {
    tavik_tools::ParamRow row{};
    tavik_tools::ParamValue value;
    std::string error;
    if (!tavik_tools::ParseSetting(s, row, value, error)) return Fail(error, kExitInput);
    settings.emplace_back(row, value);
  }
  Api api;
  std::string error;
  if (!api.Load(options.library, error)) return Fail(error, kExitInput);

  Output out;
  out.file = std::fopen(options.output.c_str(), "wb");
  if (out.file == nullptr) {
    return Fail("cannot write " + options.output + ": " + std::strerror(errno), kExitInput);
  }
  QXOL_HANDLE instance = nullptr;
  std::int32_t rc = api.create(&instance, options.ini.c_str(), &Output::Spool, &out);
  int exit_code = 0;
  if (rc != QXOL_OK) {
    exit_code = Fail(CallFailure(rc, "QXOL_CreateInstance") + " with " + options.ini, kExitLibrary);
  }
  for (const auto& [row, value] : settings) {
    if (exit_code != 0) break;
    rc = api.set_value(instance, row.id, value.data(), value.count());
    if (rc != QXOL_OK)
      exit_code = Fail(CallFailure(rc, "QXOL_SetValue") + " for " + row.name, kExitLibrary);
  }
  std::int64_t pages = 0;
  if (exit_code == 0) {
    Printer printer(options, api, instance);
    for (const std::string& input : options.inputs) {
      exit_code = printer.PrintFile(input);
      if (exit_code != 0) break;
    }
    const int finish = printer.Finish();
    if (exit_code == 0) exit_code = finish;
    pages = printer.pages();
  }
  if (instance != nullptr) api.destroy(instance);
  if (std::fclose(out.file) != 0 || out.failed) {
    if (exit_code == 0) exit_code = Fail("writing " + options.output + " failed", kExitInput);
  }
  if (exit_code == 0 && !options.quiet) {
    std::fprintf(stderr, "tavik-print: %lld page%s, %llu bytes of printer data to %s\n",
                 static_cast<long long>(pages), pages == 1 ? "" : "s",
                 static_cast<unsigned long long>(out.bytes), options.output.c_str());
  }
  return exit_code;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  CLI::App app{"Prints TIFF and PNG images through the tavik library to a printer-data file."};
  app.add_option("images", options.inputs,
                 "TIFF or PNG files; one page per image or TIFF directory")
      ->required()
      ->check(CLI::ExistingFile);
  app.add_option("-o,--output", options.output, "printer-data file to write")->required();
  app.add_option("-l,--library", options.library, "path of the library (QXTV64_RN07.so)")
      ->required();
  app.add_option("-c,--ini", options.ini, "configuration file of the instance")->required();
  app.add_option("-s,--set", options.settings,
                 "parameter NAME=VALUE by catalogue name (repeatable)");
  app.add_option("--layout", options.layout, "band layout")
      ->check(CLI::IsMember({"interleaved", "planar"}));
  app.add_option("--band-height", options.band_height, "rows per band")
      ->check(CLI::Range(1, 1 << 20));
  app.add_option("--intent", options.intent, "reproduction intent of the pages");
  app.add_option("--resolution", options.resolution, "dots per inch, instead of the image's own")
      ->check(CLI::PositiveNumber);
  app.add_flag("--progress", options.progress,
               "show a progress bar (default when stderr is a terminal)");
  app.add_flag("-q,--quiet", options.quiet, "no progress bar and no summary line");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : kExitInput;
  }
  // The library takes relative configuration paths from its own directory; on
  // the command line they mean the current one.
  for (std::string* path : {&options.ini, &options.library}) {
    // A bare library name is left to the loader's search path.
    if (path->empty() || (path == &options.library && path->find('/') == std::string::npos))
      continue;
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(*path, ec);
    if (!ec) *path = absolute.string();
  }
  if (!options.progress && !options.quiet) options.progress = isatty(STDERR_FILENO) != 0;
  if (options.quiet) options.progress = false;
  return Run(options);
}
