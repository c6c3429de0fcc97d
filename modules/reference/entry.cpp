// The eleven entry points of the reference module.
//
// Job handles are numbers, not addresses: a handle that was destroyed, or
// never issued, is refused instead of being followed. That also makes a
// repeated DestroyJob harmless after the first one reported a failure.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <type_traits>

#include "calib_files.h"
#include "dorva.h"
#include "job.h"

#if defined(_WIN32)
#define DORVA_REF_EXPORT __declspec(dllexport)
#else
#define DORVA_REF_EXPORT __attribute__((visibility("default")))
#endif

namespace {

using dorva_ref::Job;

class Registry {
 public:
  // The output function may call back into the host, which may call us again
  // on the same thread; hence a recursive lock.
  std::recursive_mutex mutex;

  void* Add(std::unique_ptr<Job> job) {
    const std::uintptr_t id = next_id_++;
    jobs_[id] = std::move(job);
    return reinterpret_cast<void*>(id);
  }
  Job* Find(void* handle) {
    auto it = jobs_.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == jobs_.end() ? nullptr : it->second.get();
  }
  std::unique_ptr<Job> Take(void* handle) {
    auto it = jobs_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == jobs_.end()) return nullptr;
    std::unique_ptr<Job> job = std::move(it->second);
    jobs_.erase(it);
    return job;
  }

 private:
  std::uintptr_t next_id_ = 1;
  std::map<std::uintptr_t, std::unique_ptr<Job>> jobs_;
};

// Jobs a host abandons (unloading the module without DestroyJob) are freed
// with the registry when the module is unloaded.
Registry& Jobs() {
  static Registry registry;
  return registry;
}

// Runs `body` on the job of `handle` under the registry lock; no exception
// leaves the module.
template <typename Body>
std::int32_t WithJob(void* handle, Body body) {
  try {
    std::lock_guard<std::recursive_mutex> lock(Jobs().mutex);
    Job* job = Jobs().Find(handle);
    if (job == nullptr) return dorva_ref::kBadArgument;
    return body(*job);
  } catch (const std::bad_alloc&) {
    return dorva_ref::kOutOfMemory;
  } catch (...) {
    return dorva_ref::kBadArgument;
  }
}

bool IsDirectory(const char* path) {
  struct stat st {};
  return path != nullptr && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

extern "C" {

DORVA_REF_EXPORT std::int32_t QXOL_CALL InitJob(void** p_job, struct tagPRTSTRUCT3* prt,
                                                struct tagOPTION* option) {
  if (p_job == nullptr) return dorva_ref::kBadArgument;
  try {
    std::unique_ptr<Job> job;
    const std::int32_t st =
        Job::Create(reinterpret_cast<const tagPRTSTRUCT3_12*>(prt), option, job);
    if (st != dorva_ref::kOk) return st;
    std::lock_guard<std::recursive_mutex> lock(Jobs().mutex);
    *p_job = Jobs().Add(std::move(job));
    return dorva_ref::kOk;
  } catch (const std::bad_alloc&) {
    return dorva_ref::kOutOfMemory;
  } catch (...) {
    return dorva_ref::kBadArgument;
  }
}

DORVA_REF_EXPORT std::int32_t QXOL_CALL InitPage(void* job, struct tagHTSTRUCT3* ht) {
  return WithJob(job,
                 [&](Job& j) { return j.InitPage(reinterpret_cast<const tagHTSTRUCT3_5*>(ht)); });
}

DORVA_REF_EXPORT std::int32_t QXOL_CALL BandOut(void* job, DORVA_AREA* valid_area,
                                                DORVA_BAND_DATA* band, void* /*reserved*/,
                                                DORVA_RECT* rect, struct tagOSDEP3* /*os_dep*/) {
  return WithJob(job, [&](Job& j) { return j.BandOut(valid_area, band, rect); });
}

DORVA_REF_EXPORT std::int32_t QXOL_CALL TerminatePageEx(void* job,
                                                        struct tagTPINFOSTRUCT* tp_info) {
  return WithJob(job, [&](Job& j) {
    const auto* info = reinterpret_cast<const tagTPINFOSTRUCT*>(tp_info);
    if (info == nullptr || info->Version != 1)
      return static_cast<std::int32_t>(dorva_ref::kBadArgument);
    return j.EndPage(info->NormalEnd != 0);
  });
}

DORVA_REF_EXPORT std::int32_t QXOL_CALL TerminatePage(void* job) {
  return WithJob(job, [&](Job& j) { return j.EndPage(true); });
}

DORVA_REF_EXPORT std::int32_t QXOL_CALL DestroyJob(void* job) {
  try {
    std::lock_guard<std::recursive_mutex> lock(Jobs().mutex);
    std::unique_ptr<Job> owned = Jobs().Take(job);
    if (!owned) return dorva_ref::kBadArgument;
    // The job is gone whatever Finish reports, so a retry cannot reach it.
    return owned->Finish();
  } catch (const std::bad_alloc&) {
    return dorva_ref::kOutOfMemory;
  } catch (...) {
    return dorva_ref::kBadArgument;
  }
}

DORVA_REF_EXPORT std::int32_t QXOL_CALL ResetJob(void* job) {
  return WithJob(job, [&](Job& j) { return j.ResetPage(); });
}

// The dots placed in the job so far, saturated at the largest status value.
DORVA_REF_EXPORT std::int32_t QXOL_CALL GetInkAmount(void* job) {
  return WithJob(job, [&](Job& j) {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(j.dots(), std::numeric_limits<std::int32_t>::max()));
  });
}

DORVA_REF_EXPORT std::int32_t QXOL_CALL GetCalibData(struct tag_CalibDataReq* request) {
  const auto* req = reinterpret_cast<const tag_CalibDataReq_1*>(request);
  if (req == nullptr || req->Version != 1) return dorva_ref::kBadArgument;
  if (req->PrinterType <= 0) return dorva_ref::kPrinterNotSupported;
  if (!IsDirectory(req->lpWorkDir)) return dorva_ref::kWorkDirUnusable;
  try {
    const std::string name = req->lpPrinterName != nullptr ? req->lpPrinterName : "";
    if (!dorva_ref::WriteCalibFiles(req->lpWorkDir, req->PrinterType, name)) {
      return dorva_ref::kWorkDirUnusable;
    }
    return dorva_ref::kOk;
  } catch (...) {
    return dorva_ref::kOutOfMemory;
  }
}

DORVA_REF_EXPORT std::int32_t QXOL_CALL GetIDFData1(void* job, DORVA_IDF_DATA* data_a,
                                                    DORVA_IDF_DATA* data_b) {
  return WithJob(job, [&](Job& j) { return j.IdfData1(data_a, data_b); });
}

DORVA_REF_EXPORT std::int32_t QXOL_CALL GetIDFData2(void* job, std::int32_t* value_a,
                                                    std::int32_t* value_b, std::int32_t* /*list_a*/,
                                                    std::int32_t* /*list_b*/) {
  // The lists are the host's, of a length this module is not told; they are
  // left as they are.
  return WithJob(job, [&](Job& j) { return j.IdfData2(value_a, value_b); });
}

}  // extern "C"

// The entry points must match the types the library resolves them as.
static_assert(std::is_same_v<decltype(&InitJob), DORVA_INIT_JOB>);
static_assert(std::is_same_v<decltype(&InitPage), DORVA_INIT_PAGE>);
static_assert(std::is_same_v<decltype(&BandOut), DORVA_BAND_OUT>);
static_assert(std::is_same_v<decltype(&TerminatePageEx), DORVA_TERMINATE_PAGE_EX>);
static_assert(std::is_same_v<decltype(&DestroyJob), DORVA_DESTROY_JOB>);
static_assert(std::is_same_v<decltype(&GetCalibData), DORVA_GET_CALIB_DATA>);
static_assert(std::is_same_v<decltype(&GetIDFData1), DORVA_GET_IDF_DATA1>);
static_assert(std::is_same_v<decltype(&GetIDFData2), DORVA_GET_IDF_DATA2>);
static_assert(std::is_same_v<decltype(&TerminatePage), DORVA_TERMINATE_PAGE>);
static_assert(std::is_same_v<decltype(&ResetJob), DORVA_RESET_JOB>);
static_assert(std::is_same_v<decltype(&GetInkAmount), DORVA_GET_INK_AMOUNT>);
