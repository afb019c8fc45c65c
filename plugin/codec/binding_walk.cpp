#include "codec/binding_walk.h"

namespace vclient {

void WalkBinding(const BindingProperty& value, BindingSink& sink) {
    WalkBindingWith(value, sink);
}

}  // namespace vclient
