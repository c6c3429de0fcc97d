// Placeholder: replaced by the page description wrappers.
#pragma once

namespace tavik {
struct PageDescription {};
}  // namespace tavik
