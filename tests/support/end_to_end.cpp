#include "support/end_to_end.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace tavik::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tavik-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& content) const {
  const std::filesystem::path file = path_ / name;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file.string();
}

std::string WriteIni(const TempDir& dir, const IniSpec& spec) {
  std::string text;
  if (!spec.module.empty()) text += "DV_MOD_HMM=" + spec.module + "\n";
  if (spec.resource_json)
    text += "TV_RSC=" + dir.Write("resource.json", *spec.resource_json) + "\n";
  for (const auto& [key, value] : spec.lines) text += key + "=" + value + "\n";
  return dir.Write("tavik.ini", text);
}

std::int32_t QXOL_CALL SpoolSink::Func(void* context, signed char* data, std::int32_t size) {
  auto* sink = static_cast<SpoolSink*>(context);
  sink->contexts.push_back(context);
  sink->blocks.emplace_back(data, data + (size > 0 ? size : 0));
  return sink->answer;
}

Instance::Instance(const std::string& ini_path, QXOL_SPOOL_FUNC spool, void* spool_context) {
  result_ = QXOL_CreateInstance(&handle_, ini_path.c_str(), spool, spool_context);
  if (result_ != QXOL_OK) handle_ = nullptr;
}

Instance::~Instance() {
  Delete();
}

std::int32_t Instance::Delete() {
  if (handle_ == nullptr) return QXOL_OK;
  const std::int32_t result = QXOL_DeleteInstance(handle_);
  handle_ = nullptr;
  return result;
}

}  // namespace tavik::test
