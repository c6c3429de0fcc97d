// Placeholder: replaced by the printer structure wrapper.
#pragma once

namespace tavik::dorva {
class PrtStruct3 {};
}  // namespace tavik::dorva
