// The generic walk over a BindingProperty tree that drives every writer. The walk calls a
// sink once per event: a scalar slot for each scalar; for a Collection its start (element
// count), then per element StartElement(index), the element's own events and
// EndElement(index), then EndCollection; for a Structure its start (field count), then per
// field in name order FieldName(name), the field's events and EndField(name), then
// EndStructure.
//
// The walk keeps its open containers on an explicit stack, so trees of any depth (a tree
// built by a program is not bound by the readers' nesting limit) walk without recursion.
//
// Two ways to use it:
//   - derive from BindingSink and call WalkBinding(value, sink): one virtual call per event;
//   - call WalkBindingWith(value, sink) with any type that has the same member functions
//     (a final class derived from BindingSink works): the calls are resolved at compile
//     time, which the JSON writers use for speed.
// The walk does not change the tree; the sink must not change it while it is walked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "value/binding_property.h"

namespace vclient {

// The events of a walk, declared in the order writers rely on.
class BindingSink {
public:
    virtual void WriteNull() = 0;
    virtual void WriteBool(bool value) = 0;
    virtual void WriteSigned(std::int64_t value) = 0;
    virtual void WriteUnsigned(std::uint64_t value) = 0;
    virtual void WriteDouble(double value) = 0;
    virtual void WriteString(std::string_view text) = 0;
    virtual void WriteBlob(std::span<const std::uint8_t> bytes) = 0;
    virtual void WriteEnum(BindingEnumPair pair) = 0;
    virtual void StartCollection(std::size_t elementCount) = 0;
    virtual void StartElement(std::size_t index) = 0;
    virtual void EndElement(std::size_t index) = 0;
    virtual void EndCollection() = 0;
    virtual void StartStructure(std::size_t fieldCount) = 0;
    virtual void FieldName(const std::string& name) = 0;
    virtual void EndField(const std::string& name) = 0;
    virtual void EndStructure() = 0;
    virtual ~BindingSink() = default;
};

namespace detail {

// One open container of a walk: a Collection with the index of its next element, or a
// Structure with its next field. `childOpen` says that the current child's events have
// been sent and its end event is still due.
struct WalkFrame {
    std::span<const BindingProperty> elements;
    BindingFieldIterator<true> field;
    BindingFieldIterator<true> fieldEnd;
    std::size_t index = 0;
    bool isCollection = false;
    bool childOpen = false;
};

using WalkStack = std::vector<WalkFrame>;

[[nodiscard]] inline bool IsContainer(BindingPropertyType kind) noexcept {
    return kind == BindingPropertyType::Collection || kind == BindingPropertyType::Structure;
}

// Sends the event of a value that is not a container.
template <typename Sink>
void VisitScalar(const BindingProperty& value, Sink& sink) {
    switch (value.Kind()) {
    case BindingPropertyType::Bool: sink.WriteBool(value.GetBool()); return;
    case BindingPropertyType::Signed: sink.WriteSigned(value.GetSigned()); return;
    case BindingPropertyType::Unsigned: sink.WriteUnsigned(value.GetUnsigned()); return;
    case BindingPropertyType::Float: sink.WriteDouble(value.GetFloat()); return;
    case BindingPropertyType::String: sink.WriteString(value.GetString()); return;
    case BindingPropertyType::Blob: sink.WriteBlob(value.GetBlob()); return;
    case BindingPropertyType::Enum: sink.WriteEnum(value.GetEnum()); return;
    default: sink.WriteNull(); return;  // Empty
    }
}

// Sends the events of a scalar, or the start of a container and opens a frame for it.
template <typename Sink>
void VisitValue(const BindingProperty& value, Sink& sink, WalkStack& stack) {
    if (value.Kind() == BindingPropertyType::Collection) {
        const std::span<const BindingProperty> elements = value.Elements();
        sink.StartCollection(elements.size());
        WalkFrame& frame = stack.emplace_back();
        frame.elements = elements;
        frame.isCollection = true;
        return;
    }
    if (value.Kind() == BindingPropertyType::Structure) {
        sink.StartStructure(value.Size());
        const BindingFieldRange<true> fields = value.Fields();
        WalkFrame& frame = stack.emplace_back();
        frame.field = fields.begin();
        frame.fieldEnd = fields.end();
        return;
    }
    VisitScalar(value, sink);
}

// Sends the events of a Collection's elements up to the next element that is a container,
// whose frame it opens, or to the Collection's end, where it closes the frame.
template <typename Sink>
void StepCollection(WalkStack& stack, Sink& sink) {
    WalkFrame& frame = stack.back();
    for (;;) {
        if (frame.childOpen) {
            sink.EndElement(frame.index);
            ++frame.index;
            frame.childOpen = false;
        }
        if (frame.index == frame.elements.size()) {
            stack.pop_back();
            sink.EndCollection();
            return;
        }
        frame.childOpen = true;
        const BindingProperty& child = frame.elements[frame.index];
        sink.StartElement(frame.index);
        if (IsContainer(child.Kind())) {
            VisitValue(child, sink, stack);  // `frame` may dangle from here on
            return;
        }
        VisitScalar(child, sink);
    }
}

// As StepCollection, for a Structure's fields.
template <typename Sink>
void StepStructure(WalkStack& stack, Sink& sink) {
    WalkFrame& frame = stack.back();
    for (;;) {
        if (frame.childOpen) {
            sink.EndField((*frame.field).name);
            ++frame.field;
            frame.childOpen = false;
        }
        if (frame.field == frame.fieldEnd) {
            stack.pop_back();
            sink.EndStructure();
            return;
        }
        frame.childOpen = true;
        const auto entry = *frame.field;
        sink.FieldName(entry.name);
        if (IsContainer(entry.value.Kind())) {
            VisitValue(entry.value, sink, stack);  // `frame` may dangle from here on
            return;
        }
        VisitScalar(entry.value, sink);
    }
}

}  // namespace detail

// Walks `value`, calling `sink` for every event in document order.
template <typename Sink>
void WalkBindingWith(const BindingProperty& value, Sink& sink) {
    detail::WalkStack stack;
    detail::VisitValue(value, sink, stack);
    while (!stack.empty()) {
        if (stack.back().isCollection) {
            detail::StepCollection(stack, sink);
        } else {
            detail::StepStructure(stack, sink);
        }
    }
}

// Walks `value` through the virtual interface.
void WalkBinding(const BindingProperty& value, BindingSink& sink);

}  // namespace vclient
