// Operations whose areas are still being built. Each area deletes its entries
// here when it defines the real operation.
#include "api/tavik_api.h"

namespace tavik {


}  // namespace tavik
