#include "legacy/aux_records.h"

#include <utility>

namespace tavik::dorva {

void DorvaOpt::SetResourcePaths(std::vector<std::string> paths) {
  mutable_record().ResourcePathCount = static_cast<std::int32_t>(paths.size());
  if (paths.empty()) {
    resource_paths_.reset();
  } else {
    resource_paths_ = std::move(paths);
  }
}

void DorvaOpt::UpdatePointers() {
  tagOPTION& record = mutable_record();
  Link(ht_module_path_, record.lpHTModulePath);
  Link(mw_module_path_, record.lpMWModulePath);
  if (resource_paths_) {
    resource_path_table_.clear();
    resource_path_table_.reserve(resource_paths_->size());
    for (std::string& path : *resource_paths_) resource_path_table_.push_back(path.data());
    record.lpResourcePaths = resource_path_table_.data();
  }
}

}  // namespace tavik::dorva
