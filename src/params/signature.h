// The enclosing function's full signature, template arguments included, for
// the trace records that name the operation being entered.
#pragma once

#if defined(_MSC_VER)
#define TAVIK_SIGNATURE __FUNCSIG__
#else
#define TAVIK_SIGNATURE __PRETTY_FUNCTION__
#endif
