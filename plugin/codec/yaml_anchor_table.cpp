#include "codec/yaml_anchor_table.h"

#include <utility>

#include "util/fnv1a.h"

namespace vclient {
namespace {

// The nodes of `node`'s tree (itself included), counting no further than `limit` + 1.
std::size_t CountNodes(const BindingProperty& node, std::size_t limit) {
    std::vector<const BindingProperty*> pending{&node};
    std::size_t count = 0;
    while (!pending.empty() && count <= limit) {
        const BindingProperty* current = pending.back();
        pending.pop_back();
        ++count;
        if (current->Kind() == BindingPropertyType::Collection) {
            for (const BindingProperty& element : current->Elements()) {
                pending.push_back(&element);
            }
        } else if (current->Kind() == BindingPropertyType::Structure) {
            for (const auto& field : current->Fields()) {
                pending.push_back(&field.value);
            }
        }
    }
    return count;
}

}  // namespace

std::size_t YamlAnchorTable::NameHash::operator()(const std::string& name) const noexcept {
    return Fnv1a(name);
}

YamlAnchorTable::YamlAnchorTable() {
    anchors_.max_load_factor(1.0F);
    anchors_.rehash(8);
}

bool YamlAnchorTable::Record(std::string_view name, YamlAnchor anchor) {
    return anchors_.try_emplace(std::string(name), std::move(anchor)).second;
}

const YamlAnchor* YamlAnchorTable::Find(std::string_view name) const {
    const auto found = anchors_.find(std::string(name));
    return found == anchors_.end() ? nullptr : &found->second;
}

void YamlAnchorTable::Clear() {
    anchors_.clear();
    anchors_.rehash(8);
    aliasNodes_ = 0;
}

bool YamlAnchorTable::ChargeCopy(const BindingProperty& node) {
    const std::size_t left = kMaxAliasNodes - aliasNodes_;
    const std::size_t count = CountNodes(node, left);
    if (count > left) {
        aliasNodes_ = kMaxAliasNodes;
        return false;
    }
    aliasNodes_ += count;
    return true;
}

const BindingProperty& ResolveYamlPath(const BindingProperty& root, const std::vector<YamlPathStep>& path) noexcept {
    const BindingProperty* node = &root;
    for (const YamlPathStep& step : path) {
        if (step.kind == YamlPathStep::Kind::Index) {
            node = &node->At(step.index);
        } else if (step.kind == YamlPathStep::Kind::Field) {
            node = &node->Find(step.name);
        }
    }
    return *node;
}

}  // namespace vclient
