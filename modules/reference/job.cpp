#include "job.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "calib_files.h"

namespace dorva_ref {

namespace {

// Output is handed over in blocks of about this size, and at page and job end.
constexpr std::size_t kFlushBytes = 256 * 1024;

constexpr std::int32_t kPlanarFlag = 1000;

}  // namespace

bool DecodeInputFormat(std::int32_t input_format, InputKind& kind) {
  if (input_format < kPlanarFlag) {
    if (input_format == 1) {
      kind = InputKind{3, true};
      return true;
    }
    if (input_format == 4) {
      kind = InputKind{4, false};
      return true;
    }
    if (input_format > 100 && input_format <= 100 + static_cast<std::int32_t>(kMaxInks)) {
      kind = InputKind{input_format - 100, false};
      return true;
    }
    return false;
  }
  if (input_format == (1 | kPlanarFlag)) {
    kind = InputKind{3, true};
    return true;
  }
  if (input_format == (4 | kPlanarFlag)) {
    kind = InputKind{4, false};
    return true;
  }
  for (int n = 1; n <= static_cast<int>(kMaxInks); ++n) {
    if (((100 + n) | kPlanarFlag) == input_format) {
      kind = InputKind{n, false};
      return true;
    }
  }
  return false;
}

std::int32_t Job::Create(const tagPRTSTRUCT3_12* prt, const tagOPTION* option,
                         std::unique_ptr<Job>& job) {
  if (prt == nullptr || option == nullptr || prt->Version != 12 ||
      option->OutputCallback == nullptr) {
    return kBadArgument;
  }
  InputKind kind;
  if (!DecodeInputFormat(prt->InputFormat, kind)) return kBadInputFormat;
  if (prt->ImageWidth <= 0 || prt->ImageHeight <= 0) return kBadInputFormat;

  std::unique_ptr<Job> j(new Job);
  j->output_ = option->OutputCallback;
  j->context_ = option->CallbackContext;
  j->kind_ = kind;
  j->width_ = prt->ImageWidth;
  j->height_ = prt->ImageHeight;
  j->density_ratio_.assign(static_cast<std::size_t>(kind.channels), 1024);
  if (prt->lpMediaOption != nullptr) {
    const auto* media = reinterpret_cast<const tagMEDIAOPT_8*>(prt->lpMediaOption);
    if (media->Version == 8 && (media->valid_mask & MEDIAOPT_VALID_INK_DENSITY_RATIO) != 0) {
      for (int i = 0; i < kind.channels && i < MEDIAOPT_INK_DENSITY_RATIO_NUM; ++i) {
        // Entries the host left out are 0: they keep the ink as it is.
        const std::int32_t r = media->ink_density_ratio[i];
        if (r > 0) j->density_ratio_[static_cast<std::size_t>(i)] = r;
      }
    }
  }
  JobHeader& h = j->header_;
  h.input_format = prt->InputFormat;
  h.image_res_x = prt->ImageResX;
  h.image_res_y = prt->ImageResY;
  h.printer_res_x = prt->PrinterResX;
  h.printer_res_y = prt->PrinterResY;
  h.paper_width = prt->PaperWidth;
  h.paper_length = prt->PaperLength;
  h.media_type = prt->MediaType;
  h.ink_count = kind.channels;

  AppendJobHeader(h, j->out_);
  job = std::move(j);
  return kOk;
}

Job::~Job() = default;

std::int32_t Job::InitPage(const tagHTSTRUCT3_5* ht) {
  if (spoiled_) return kSpoolRefused;
  if (ht == nullptr || ht->Version != 5) return kBadArgument;
  const std::int32_t type = ht->HalftoneType;
  if (type != kHalftoneOrdered && type != kHalftoneOrderedOpt && type != kHalftoneDiffusion) {
    return kBadHalftoneType;
  }
  std::vector<ToneCurve> base;
  if (ht->lpCalibData != nullptr) {
    auto curves = ReadHc1(ht->lpCalibData);
    if (!curves) return kBadCalibration;
    base = std::move(*curves);
  }
  // A page opened over an open one: the earlier page ends as aborted.
  if (page_open_) {
    const std::int32_t st = EndPage(false);
    if (st != kOk) return st;
  }
  const std::size_t inks = static_cast<std::size_t>(kind_.channels);
  curves_.assign(inks, IdentityCurve());
  for (std::size_t i = 0; i < inks; ++i) {
    if (i < base.size()) curves_[i] = base[i];
    ApplyGamma(curves_[i], ht->Gamma);
    ApplyDensityRatio(curves_[i], density_ratio_[i]);
  }
  diffusers_.clear();
  offsets_.clear();
  for (std::size_t i = 0; i < inks; ++i) {
    offsets_.push_back(InkMatrixOffset(ThresholdMatrix::Default(), static_cast<int>(i)));
  }

  page_ = PageHeader{};
  page_.page = pages_;
  page_.width = width_;
  page_.height = height_;
  page_.res_x = header_.image_res_x;
  page_.res_y = header_.image_res_y;
  page_.halftone_type = type;
  page_.intent = ht->Intent;
  page_.inks = DefaultInks(kind_.channels, kind_.from_rgb);
  next_row_ = 0;
  rows_sent_ = 0;
  crc_ = 0;
  page_dots_.assign(inks, 0);
  AppendPageHeader(page_, out_);
  page_open_ = true;
  return kOk;
}

std::int32_t Job::BandOut(const DORVA_AREA* area, const DORVA_BAND_DATA* band,
                          const DORVA_RECT* rect) {
  if (spoiled_) return kSpoolRefused;
  if (!page_open_) return kNoPage;
  if (band == nullptr || rect == nullptr) return kBadArgument;
  if (rect->left < 0 || rect->top < 0 || rect->left > rect->right || rect->top > rect->bottom ||
      rect->right > width_ || rect->bottom > height_) {
    return kOutsidePage;
  }
  if (rect->top == rect->bottom) return kOk;
  if (rect->top < next_row_) return kRowsOutOfOrder;
  const bool planar = band->planes != nullptr;
  const int channels = kind_.channels;
  // A row must hold the piece's samples: a page of fewer channels than the
  // job was opened with would otherwise be read past its rows.
  const std::int64_t row_samples =
      static_cast<std::int64_t>(rect->right - rect->left) * (planar ? 1 : channels);
  if (std::abs(static_cast<std::int64_t>(band->stride)) < row_samples) {
    return kBadArgument;
  }
  if (planar) {
    for (int c = 0; c < channels; ++c) {
      if (band->planes[c] == nullptr) return kBadArgument;
    }
  } else if (band->data == nullptr) {
    return kBadArgument;
  }

  EnsureBuffers();

  const std::int32_t rows = rect->bottom - rect->top;
  std::int64_t x0 = rect->left;
  std::int64_t x1 = rect->right;
  std::int64_t r0 = 0;
  std::int64_t r1 = rows;
  if (area != nullptr && area->x >= 0 && area->y >= 0 && area->width >= 0 && area->height >= 0) {
    x0 = std::min<std::int64_t>(x1, static_cast<std::int64_t>(rect->left) + area->x);
    x1 = std::min<std::int64_t>(x1, x0 + area->width);
    r0 = std::min<std::int64_t>(rows, area->y);
    r1 = std::min<std::int64_t>(rows, r0 + area->height);
  }
  const std::ptrdiff_t stride = band->stride;
  for (std::int32_t r = 0; r < rows; ++r) {
    for (auto& a : amounts_) std::memset(a.data(), 0, a.size());
    if (r >= r0 && r < r1 && x0 < x1) {
      const std::ptrdiff_t row_offset = static_cast<std::ptrdiff_t>(r) * stride;
      for (int c = 0; c < channels; ++c) {
        const ToneCurve& curve = curves_[static_cast<std::size_t>(c)];
        std::uint8_t* out = amounts_[static_cast<std::size_t>(c)].data();
        const std::uint8_t invert = kind_.from_rgb ? 0xFF : 0x00;
        if (planar) {
          const std::uint8_t* src = band->planes[c] + row_offset;
          for (std::int64_t x = x0; x < x1; ++x) out[x] = curve[src[x - rect->left] ^ invert];
        } else {
          const std::uint8_t* src = band->data + row_offset;
          for (std::int64_t x = x0; x < x1; ++x) {
            const std::int64_t i = (x - rect->left) * channels + c;
            out[x] = curve[src[i] ^ invert];
          }
        }
      }
    }
    const std::int32_t st = EmitRow(rect->top + r);
    if (st != kOk) return st;
  }
  return kOk;
}

void Job::EnsureBuffers() {
  // Allocated with the first row rather than with the job: jobs opened only
  // for device data never print and may describe pages no row buffer could hold.
  const std::size_t inks = static_cast<std::size_t>(kind_.channels);
  if (amounts_.empty()) {
    amounts_.assign(inks, std::vector<std::uint8_t>(static_cast<std::size_t>(width_), 0));
    bits_.assign(PackedRowBytes(width_), 0);
    packed_.assign(inks, {});
  }
  if (page_.halftone_type == kHalftoneDiffusion && diffusers_.empty()) {
    diffusers_.assign(inks, ErrorDiffuser(width_));
  }
}

std::int32_t Job::EmitRow(std::int32_t y) {
  const std::size_t row_bytes = bits_.size();
  for (std::size_t ink = 0; ink < amounts_.size(); ++ink) {
    std::int64_t dots = 0;
    if (diffusers_.empty()) {
      dots = DitherRowOrdered(amounts_[ink].data(), width_, y, ThresholdMatrix::Default(),
                              offsets_[ink], bits_.data());
    } else {
      dots = diffusers_[ink].Row(amounts_[ink].data(), y, bits_.data());
    }
    page_dots_[ink] += static_cast<std::uint64_t>(dots);
    job_dots_ += dots;
    crc_ = Crc32(crc_, bits_.data(), row_bytes);
    packed_[ink].clear();
    PackBitsEncode(bits_.data(), row_bytes, packed_[ink]);
  }
  AppendRow(static_cast<std::uint32_t>(y), packed_, out_);
  next_row_ = y + 1;
  ++rows_sent_;
  if (out_.size() >= kFlushBytes) return Flush();
  return kOk;
}

std::int32_t Job::EndPage(bool normal_end) {
  if (!page_open_) return kNoPage;
  page_open_ = false;
  if (spoiled_) return kSpoolRefused;
  PageTrailer t;
  t.page = page_.page;
  t.rows = rows_sent_;
  t.flags = normal_end ? kPageNormalEnd : 0;
  t.crc = crc_;
  t.dots = page_dots_;
  AppendPageTrailer(t, out_);
  ++pages_;
  return Flush();
}

std::int32_t Job::ResetPage() {
  return page_open_ ? EndPage(false) : Spoiled();
}

std::int32_t Job::Finish() {
  if (page_open_) {
    const std::int32_t st = EndPage(false);
    if (st != kOk) return st;
  }
  if (spoiled_) return kSpoolRefused;
  AppendJobTrailer(JobTrailer{pages_}, out_);
  return Flush();
}

std::int32_t Job::Flush() {
  if (spoiled_) return kSpoolRefused;
  std::size_t at = 0;
  while (at < out_.size()) {
    const std::size_t n = std::min<std::size_t>(out_.size() - at, 1u << 30);
    auto* data = reinterpret_cast<signed char*>(out_.data() + at);
    if (output_(context_, data, static_cast<std::int32_t>(n)) == 0) {
      // The stream has a hole now; nothing more of this job can be sent.
      spoiled_ = true;
      out_.clear();
      return kSpoolRefused;
    }
    at += n;
  }
  out_.clear();
  return kOk;
}

std::int32_t Job::IdfData1(DORVA_IDF_DATA* a, DORVA_IDF_DATA* b) {
  if (a == nullptr || b == nullptr) return kBadArgument;
  std::string inks;
  for (const Ink& ink : DefaultInks(kind_.channels, kind_.from_rgb)) {
    if (!inks.empty()) inks += ',';
    inks += ink.Name();
  }
  idf_blob_ = "DORVA-REF IDF 1\n";
  idf_blob_ += "input_format=" + std::to_string(header_.input_format) + "\n";
  idf_blob_ += "image_res=" + std::to_string(header_.image_res_x) + "x" +
               std::to_string(header_.image_res_y) + "\n";
  idf_blob_ += "printer_res=" + std::to_string(header_.printer_res_x) + "x" +
               std::to_string(header_.printer_res_y) + "\n";
  idf_blob_ += "image=" + std::to_string(width_) + "x" + std::to_string(height_) + "\n";
  idf_blob_ += "paper=" + std::to_string(header_.paper_width) + "x" +
               std::to_string(header_.paper_length) + "\n";
  idf_blob_ += "inks=" + inks + "\n";
  a->data = reinterpret_cast<unsigned char*>(idf_blob_.data());
  a->size = static_cast<std::int32_t>(idf_blob_.size());
  return kOk;
}

std::int32_t Job::IdfData2(std::int32_t* value_a, std::int32_t* value_b) {
  if (value_a == nullptr || value_b == nullptr) return kBadArgument;
  *value_a = kind_.channels;
  *value_b = page_open_ ? page_.halftone_type : kHalftoneOrdered;
  return kOk;
}

}  // namespace dorva_ref
