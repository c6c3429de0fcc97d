// The page and band path through the exported functions, in process, with the
// recording double as the legacy module. Each input is a short host session:
// one instance, then a sequence of job, page, band, parameter and module
// script operations. Records carry arbitrary fields; every array a record
// points to is exactly as long as its count claims, or the pointer is null,
// and every band buffer is as large as the band's rows times its stride (or
// one byte when that product does not fit the interface, so any read past
// what the library may touch is reported by the address sanitizer).
//
// Properties checked besides the sanitizers: every result is a result code,
// the module never receives more than 64 rows at once nor a valid area
// outside its piece, and no temporary directory outlives a session.
#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "doubles/dorva_double.h"
#include "fuzz_support.h"
#include "qxol.h"

namespace {

namespace fs = std::filesystem;
using tavik::fuzz::Fail;
using tavik_double::Entry;

constexpr std::int32_t kEdges[] = {
    std::numeric_limits<std::int32_t>::min(),
    std::numeric_limits<std::int32_t>::min() + 1,
    -65536,
    -4096,
    -256,
    -65,
    -64,
    -63,
    -2,
    -1,
    0,
    1,
    2,
    3,
    4,
    11,
    63,
    64,
    65,
    127,
    128,
    129,
    255,
    256,
    360,
    720,
    1000,
    1440,
    4095,
    4096,
    4097,
    32767,
    32768,
    46341,
    65535,
    65536,
    1 << 20,
    1 << 24,
    0x3FFFFFFF,
    0x40000000,
    0x40000001,
    std::numeric_limits<std::int32_t>::max() - 64,
    std::numeric_limits<std::int32_t>::max() - 63,
    std::numeric_limits<std::int32_t>::max() - 1,
    std::numeric_limits<std::int32_t>::max(),
};

// Bytes taken from the front, so the seeds can be written by hand.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool empty() const { return size_ == 0; }

  std::uint8_t Byte() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }

  std::int32_t Raw32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t{Byte()} << (8 * i);
    return static_cast<std::int32_t>(value);
  }

  // Small numbers mostly, the edges of 32 bits sometimes, any value rarely:
  // 0x00-0xBF stand for -32..159, 0xC0-0xEF for the edges, 0xF0-0xFF for the
  // next four bytes.
  std::int32_t Number() {
    const std::uint8_t selector = Byte();
    if (selector < 0xC0) return static_cast<std::int32_t>(selector) - 0x20;
    if (selector < 0xF0) return kEdges[(selector - 0xC0) % std::size(kEdges)];
    return Raw32();
  }

  // -1..16 mostly (0x00-0xEF), else a Number.
  std::int32_t Count() {
    const std::uint8_t selector = Byte();
    if (selector < 0xF0) return static_cast<std::int32_t>(selector % 18) - 1;
    return Number();
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// Longest array a host record gets; longer claims come with a null pointer.
constexpr std::int32_t kMaxList = 64;
// Bytes of band buffers one band may claim in all; larger legitimate bands are
// not sent (they would only slow the run down).
constexpr std::int64_t kBandBudget = std::int64_t{1} << 22;
// Rows one band may have when the library would accept it.
constexpr std::int64_t kMaxRows = 4096;

// A pointer the library must never follow: the count that goes with it says
// there is no list.
template <typename T>
T* Untouchable() {
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(0x10));
}

// An array of `count` elements made by `make`, a null pointer, or (for
// counts that say "no list") a pointer that must not be followed.
template <typename T, typename Make>
T* Provide(Input& in, std::vector<T>& storage, std::int32_t count, Make make) {
  const std::uint8_t mode = in.Byte();
  if (count <= 0) return (mode & 1) ? Untouchable<T>() : nullptr;
  if (count > kMaxList || (mode & 0xF0) == 0xF0) return nullptr;  // a lie: no array
  storage.clear();
  for (std::int32_t i = 0; i < count; ++i) storage.push_back(make());
  return storage.data();
}

// What the host knows of the page it described last.
struct PageModel {
  std::int32_t channels = -1;          // -1: the library cannot tell either
  std::int32_t bytes_per_sample = -1;  // 1, 2, or -1
  std::int32_t bpp = 0;
  bool planar() const { return bpp == bytes_per_sample; }
};

PageModel ModelOf(const QXOL_IMAGE_INFO& image) {
  PageModel model;
  model.bpp = image.bpp;
  model.bytes_per_sample = image.data_type > 0 ? 1 : image.data_type < 0 ? 2 : -1;
  switch (image.data_type) {
    case 1:
    case -1:
      model.channels = 3;
      break;
    case 2:
    case -2:
      model.channels = 4;
      break;
    case 3:
    case -3:
      model.channels = image.channel_num > 0 && image.channels != nullptr ? image.channel_num : -1;
      break;
    default:
      model.channels = -1;
  }
  return model;
}

constexpr QXOL_PARAM_ID kSettable[] = {
    QXIDS32_PRT_RES_X,
    QXIDS32_PRT_RES_Y,
    QXIDS32_SRC_RES_X,
    QXIDS32_SRC_RES_Y,
    QXIDS32_TV_PRT_MIN_PAPER_LENGTH,
    QXIDS32_H_SUPPORT_INTENT,
    QXIDS32_HTM_PRINTMODE_INDEX,
    QXIDS32_H_HALFTONE_TYPE,
    QXIDS32_PRT_MEDIA_TYPE,
    QXIDS32_TV_PRT_MEDIA_TYPE_CONVERT_TABLE,
    QXIDS32_E_CUT_MODE,
    QXIDS32_PRT_T4_MODE,
    QXIDS32_PRT_COPY_NUM,
    QXIDS32_TV_H_ENABLE_OPT_HT_DEFAULT,
    QXIDS32_H_GAMMA,
    QXIDS32_TV_PRT_PAPER_EDGE_QUALITY,
    QXIDS32_E_2SIDE_PRT_MODE,
    QXIDS32_H_INK_DENSITY_MULTI,
    QXIDSTR_J_DOC_NAME,
    QXIDS32_TV_ISV_PRINTER_TYPE,
    QXIDSTR_TV_ISV_PRINTER_NAME,
    QXIDU08_TV_ISV_CALIB_DATA,
    QXIDU08_H_EEC_CALIB_DATA,
    QXIDS32_H_EFFECTIVE_EEC_CALIB,
    QXIDBOL_HTM_PARAM_RESET,
};

struct Paths {
  fs::path ini;
  fs::path temp;  // the library's temporary area during the run
  fs::path diag;  // the diagnostic directory; exists only while dumps are on
};

struct Environment {
  Paths paths;
  tavik_double::Control* control = nullptr;
};

Environment& Env() {
  static Environment env = [] {
    Environment e;
    const fs::path scratch = tavik::fuzz::ScratchDirectory();
    e.paths.temp = scratch / "tmp";
    e.paths.diag = scratch / "diag";
    fs::create_directories(e.paths.temp);
    setenv("TMPDIR", e.paths.temp.c_str(), 1);
    setenv("TAVIK_DIAG_DIR", e.paths.diag.c_str(), 1);
    const std::string ini = std::string("DV_MOD_HMM=") + TAVIK_FUZZ_DOUBLE_PATH +
                            "\nDV_MOD_ISV=isv-tool\nDV_MOD_BRS=brs.bin\n";
    e.paths.ini = scratch / "tavik.ini";
    tavik::fuzz::WriteFile(e.paths.ini, reinterpret_cast<const std::uint8_t*>(ini.data()),
                           ini.size());
    // Kept open for the whole run, so every instance shares this Control.
    void* handle = dlopen(TAVIK_FUZZ_DOUBLE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) Fail(std::string("cannot load the double: ") + dlerror());
    auto accessor = reinterpret_cast<DorvaDoubleControlFunc>(dlsym(handle, "dorva_double_control"));
    if (accessor == nullptr) Fail("the double has no control");
    e.control = accessor();
    return e;
  }();
  return env;
}

struct Sink {
  std::int32_t answer = 1;
  std::size_t bytes = 0;
  static std::int32_t QXOL_CALL Func(void* context, signed char* data, std::int32_t size) {
    auto* sink = static_cast<Sink*>(context);
    // The block is the module's and valid only now: read all of it.
    for (std::int32_t i = 0; i < size; ++i) sink->bytes += static_cast<unsigned char>(data[i]);
    return sink->answer;
  }
};

void Check(std::int32_t result, const char* call) {
  // TAVIK_FUZZ_TRACE=1 lists every call of a session and its result.
  static const bool trace = std::getenv("TAVIK_FUZZ_TRACE") != nullptr;
  if (trace) std::fprintf(stderr, "%s -> 0x%08x\n", call, static_cast<unsigned>(result));
  if (!tavik::fuzz::IsResultCode(result)) {
    Fail(std::string(call) + " returned " + std::to_string(result));
  }
}

class Session {
 public:
  Session(Input& in, Environment& env) : in_(in), env_(env) {}

  void Run() {
    const std::uint8_t setup = in_.Byte();
    sink_.answer = (setup & 2) ? 0 : 1;
    env_.control->write_job_handle = (setup & 4) == 0;
    std::int32_t spool_type = (setup & 8) ? 5 : 0;
    if ((setup & 0xF0) == 0xF0) spool_type = in_.Number();
    const std::int32_t created = QXOL_CreateInstance2(&handle_, env_.paths.ini.c_str(), spool_type,
                                                      (setup & 1) ? nullptr : &Sink::Func, &sink_);
    Check(created, "QXOL_CreateInstance2");
    if (created != QXOL_OK) handle_ = nullptr;

    for (int op = 0; op < 48 && !in_.empty(); ++op) Step();

    if (handle_ != nullptr) Check(QXOL_DeleteInstance(handle_), "QXOL_DeleteInstance");
    CheckPieces();
  }

 private:
  void Step() {
    switch (in_.Byte() % 12) {
      case 0:
        Check(QXOL_StartJob(handle_), "QXOL_StartJob");
        break;
      case 1:
        Check(QXOL_EndJob(handle_), "QXOL_EndJob");
        break;
      case 2:
        StartPage();
        break;
      case 3: {
        const std::int32_t result = QXOL_EndPage(handle_, in_.Number());
        Check(result, "QXOL_EndPage");
        if (result == QXOL_OK) {
          page_ = PageModel{};
          page_known_ = true;
        }
        break;
      }
      case 4:
      case 5:
        Band(/*single_buffer=*/false);
        break;
      case 6:
        Band(/*single_buffer=*/true);
        break;
      case 7:
        SetValue();
        break;
      case 8: {
        const std::uint8_t entry = in_.Byte() % 11;
        const int n = in_.Byte() % 6;
        std::int32_t status = (in_.Byte() & 0x80) ? in_.Number() : -1;
        if (status == 0) status = -10003;
        env_.control->statuses.push_back({static_cast<Entry>(entry), n, status});
        break;
      }
      case 9: {
        tavik_double::SpoolRule rule;
        const std::uint8_t entry = in_.Byte();
        rule.entry = (entry & 0x80) ? static_cast<Entry>(entry % 11) : Entry::kBandOut;
        rule.n = in_.Byte() % 4;
        const std::uint8_t length = in_.Byte() % 48;
        for (std::uint8_t i = 0; i < length; ++i) rule.bytes.push_back(in_.Byte());
        env_.control->spools.push_back(std::move(rule));
        break;
      }
      case 10:
        GetValue();
        break;
      case 11:
        ToggleDumps();
        break;
    }
  }

  void StartPage() {
    std::vector<QXOL_OUT_GROUP_INFO> groups;
    std::vector<std::vector<std::int32_t>> lists;
    lists.reserve(2 * kMaxList);
    std::vector<QXOL_COLOR_CONVERT_CH_INFO> chs;
    std::vector<std::int32_t> channels;
    std::vector<std::int32_t> values;
    std::vector<QXOL_CUSTOM_PARAM> params;
    std::vector<std::vector<std::int32_t>> param_values;
    param_values.reserve(kMaxList);
    auto number = [this] { return in_.Number(); };

    QXOL_BASE_INFO base{};
    base.reserved = in_.Number();
    base.paper_width = in_.Number();
    base.paper_height = in_.Number();
    base.out_group_num = in_.Count();
    base.out_groups = Provide(in_, groups, base.out_group_num, [&] {
      QXOL_OUT_GROUP_INFO group{};
      group.list_a_num = in_.Count();
      group.list_a = Provide(in_, lists.emplace_back(), group.list_a_num, number);
      group.list_b_num = in_.Count();
      group.list_b = Provide(in_, lists.emplace_back(), group.list_b_num, number);
      return group;
    });
    base.color_convert_ch_num = in_.Count();
    base.color_convert_chs = Provide(in_, chs, base.color_convert_ch_num, [&] {
      // The tables travel as pointer values only: never followed.
      QXOL_COLOR_CONVERT_CH_INFO ch{in_.Number(), in_.Number(), Untouchable<std::int32_t>(),
                                    Untouchable<std::int32_t>()};
      return ch;
    });

    static constexpr std::int32_t kDataTypes[] = {1, 2, 3, -1, -2, -3, 0, 2};
    QXOL_IMAGE_INFO image{};
    image.res_x = in_.Number();
    image.res_y = in_.Number();
    image.width = in_.Number();
    image.height = in_.Number();
    const std::uint8_t type = in_.Byte();
    image.data_type = type < 0xF0 ? kDataTypes[type % 8] : in_.Number();
    image.channel_num = in_.Count();
    image.channels = Provide(in_, channels, image.channel_num, number);
    const std::int32_t bytes = image.data_type < 0 ? 2 : 1;
    const std::uint8_t layout = in_.Byte();
    if (layout < 0x80) {
      image.bpp = bytes;
    } else if (layout < 0xF0) {
      image.bpp = bytes * std::max<std::int32_t>(1, ModelOf(image).channels);
    } else {
      image.bpp = in_.Number();
    }

    QXOL_CONVERT_INFO convert{};
    convert.reserved = in_.Number();
    convert.value_num = in_.Count();
    convert.values = Provide(in_, values, convert.value_num, number);
    convert.intent = in_.Number();
    convert.custom_param_num = in_.Count();
    convert.custom_params = Provide(in_, params, convert.custom_param_num, [&] {
      QXOL_CUSTOM_PARAM param{};
      const std::uint8_t id = in_.Byte();
      param.param_id = id < 0xE0 ? kSettable[id % std::size(kSettable)] : in_.Number();
      param.value_num = in_.Count();
      // Four bytes per value covers the widest element type.
      param.values = Provide(in_, param_values.emplace_back(), param.value_num, number);
      return param;
    });

    const std::uint8_t counts = in_.Byte();
    const std::int32_t base_num = counts < 0xF0 ? 1 : in_.Number();
    const std::int32_t image_num = (counts & 1) ? in_.Number() : 1;
    const std::uint8_t nulls = in_.Byte();
    const std::int32_t result =
        QXOL_StartPage(handle_, nulls == 1 ? nullptr : &base, base_num,
                       nulls == 2 ? nullptr : &image, image_num, nulls == 3 ? nullptr : &convert);
    Check(result, "QXOL_StartPage");
    if (result == QXOL_OK) page_ = ModelOf(image);
    // A failure after the checks may have left a page the host cannot know.
    if (result == QXOL_ERR_INTERNAL) page_known_ = false;
    if (result == QXOL_OK) page_known_ = true;
    // The host's arrays go now; the page must live on its own copies.
  }

  void Band(bool single_buffer) {
    if (!page_known_) return;
    QXOL_BAND_INFO band{};
    band.top = in_.Number();
    band.bottom = Wrap(band.top, in_.Number());
    band.left = in_.Number();
    band.right = Wrap(band.left, in_.Number());
    if (in_.Byte() < 0x80) {
      band.area_x = band.area_y = band.area_width = band.area_height = -1;
    } else {
      band.area_x = in_.Number();
      band.area_y = in_.Number();
      band.area_width = in_.Number();
      band.area_height = in_.Number();
    }

    const bool planar = page_.planar();
    const std::int32_t plane_count = planar ? page_.channels : 1;
    const std::int64_t width = std::int64_t{band.right} - band.left;
    std::int64_t stride64 = 0;
    if (in_.Byte() < 0xC0) {
      stride64 =
          width * (planar ? 1 : std::max(page_.channels, 1)) * std::max(page_.bytes_per_sample, 1) +
          in_.Byte() % 4;
    } else {
      stride64 = in_.Number();
    }
    const auto stride =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(stride64)));

    const std::int64_t rows = std::int64_t{band.bottom} - band.top;
    const std::int64_t claim = rows * stride;
    const bool fits = claim > 0 && claim <= std::numeric_limits<std::int32_t>::max();
    const std::int64_t planes_claimed = std::max(plane_count, 1);
    std::int64_t extra = 0;  // a single buffer serves every plane, one sample apart
    if (single_buffer && planar && page_.channels > 1) {
      extra = std::int64_t{page_.channels - 1} * page_.bytes_per_sample;
    }
    if (fits && claim * planes_claimed + extra > kBandBudget) return;
    // A band the library would take row by row but that is too tall to wait for.
    if (rows > kMaxRows && rows <= std::numeric_limits<std::int32_t>::max() && stride >= 0 &&
        claim <= std::numeric_limits<std::int32_t>::max()) {
      return;
    }
    const std::size_t buffer_size = fits ? static_cast<std::size_t>(claim + extra) : 1;

    const std::uint8_t counts = in_.Byte();
    const std::int32_t info_num = counts < 0xF0 ? 1 : in_.Number();
    const std::int32_t data_num = (counts & 1) ? in_.Number() : info_num;
    const std::uint8_t nulls = in_.Byte();

    std::vector<std::vector<unsigned char>> buffers;
    std::vector<unsigned char*> table;
    const std::int32_t buffer_count = single_buffer ? 1 : std::max(plane_count, 1);
    for (std::int32_t j = 0; j < buffer_count; ++j) {
      std::vector<unsigned char>& buffer = buffers.emplace_back(buffer_size);
      for (std::size_t i = 0; i < buffer.size(); ++i) {
        buffer[i] = static_cast<unsigned char>(i * 13 + j);
      }
      table.push_back(buffer.data());
    }
    if (nulls == 4 && !table.empty()) table[in_.Byte() % table.size()] = nullptr;

    QXOL_BAND_DATA data{};
    data.stride = stride;
    data.reserved = in_.Number();
    if (single_buffer) {
      data.planes = reinterpret_cast<unsigned char**>(table[0]);
    } else {
      data.planes = nulls == 3 ? nullptr : table.data();
    }
    env_.control->band_plane_count = planar ? std::max(page_.channels, 0) : 0;

    const QXOL_BAND_INFO* info = nulls == 1 ? nullptr : &band;
    const QXOL_BAND_DATA* record = nulls == 2 ? nullptr : &data;
    const std::int32_t result = single_buffer
                                    ? QXOL_BandOut(handle_, info_num, info, data_num, record)
                                    : QXOL_BandOut2(handle_, info_num, info, data_num, record, 0);
    Check(result, single_buffer ? "QXOL_BandOut" : "QXOL_BandOut2");
  }

  void SetValue() {
    const std::uint8_t id = in_.Byte();
    const QXOL_PARAM_ID param_id = id < 0xF0 ? kSettable[id % std::size(kSettable)] : in_.Number();
    const std::int32_t count = in_.Count();
    std::vector<std::int32_t> storage;
    const bool archive = param_id == QXIDU08_TV_ISV_CALIB_DATA && (in_.Byte() & 1);
    const std::int32_t* values = Provide(in_, storage, count, [this] { return in_.Number(); });
    std::int32_t value_num = count;
    if (archive && !storage.empty() && values == storage.data()) {
      // Calibration bytes that begin like an archive reach the expansion.
      std::memcpy(storage.data(), "!<arch>", std::min<std::size_t>(7, storage.size() * 4));
      value_num = static_cast<std::int32_t>(storage.size() * 4);
    }
    Check(QXOL_SetValue(handle_, param_id, values, value_num), "QXOL_SetValue");
  }

  void GetValue() {
    const std::uint8_t id = in_.Byte();
    const QXOL_PARAM_ID param_id =
        id < 0x80 ? QXIDU08_TV_ISV_CALIB_DATA : kSettable[id % std::size(kSettable)];
    std::int32_t capacity = in_.Count();
    std::vector<std::int32_t> buffer(static_cast<std::size_t>(std::clamp(capacity, 0, kMaxList)));
    if (capacity > kMaxList) capacity = kMaxList;
    Check(QXOL_GetValue(handle_, param_id, buffer.empty() ? nullptr : buffer.data(), &capacity),
          "QXOL_GetValue");
  }

  void ToggleDumps() {
    std::error_code ec;
    if (fs::exists(env_.paths.diag, ec)) {
      fs::remove_all(env_.paths.diag, ec);
    } else {
      fs::create_directories(env_.paths.diag / "3", ec);
    }
  }

  // The module's view of every piece it got.
  void CheckPieces() const {
    for (const tavik_double::Call& call : env_.control->calls) {
      if (call.entry != Entry::kBandOut || !call.band) continue;
      const tavik_double::BandCopy& band = *call.band;
      if (!band.rect || !band.valid_area || !band.band) Fail("a piece without its records");
      const std::int64_t rows = std::int64_t{band.rect->bottom} - band.rect->top;
      if (rows < 1 || rows > 64) Fail("a piece of " + std::to_string(rows) + " rows");
      const DORVA_AREA& area = *band.valid_area;
      if (area.y < 0 || area.height < 0 || std::int64_t{area.y} + area.height > rows) {
        Fail("a valid area outside its piece");
      }
      if (band.band->data != nullptr && band.band->planes != nullptr) {
        Fail("a piece with both a data pointer and a plane table");
      }
    }
  }

  static std::int32_t Wrap(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
  }

  Input& in_;
  Environment& env_;
  Sink sink_;
  QXOL_HANDLE handle_ = nullptr;
  PageModel page_;
  bool page_known_ = true;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tavik::fuzz::QuietLogs();
  (void)Env();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Environment& env = Env();
  env.control->Reset();
  Input in(data, size);
  Session(in, env).Run();

  std::error_code ec;
  fs::remove_all(env.paths.diag, ec);
  if (!fs::is_empty(env.paths.temp)) {
    const std::string left = tavik::fuzz::ListDirectory(env.paths.temp);
    for (const fs::directory_entry& entry : fs::directory_iterator(env.paths.temp)) {
      fs::remove_all(entry.path(), ec);
    }
    Fail("temporary entries left behind: " + left);
  }
  return 0;
}
