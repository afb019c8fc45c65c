// How deep the readers let a document nest. A BindingProperty tree itself copes with any
// depth (its clear, copy and destruction walk with explicit work lists), but the codecs
// refuse input nested deeper than this so that every later recursive consumer (writers,
// converters) stays within a bounded stack.
#pragma once

#include <cstddef>

namespace vclient {

static constexpr std::size_t kMaxNestingDepth = 256;

}  // namespace vclient
