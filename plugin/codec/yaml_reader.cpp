#include "codec/yaml_reader.h"

#include <yaml.h>

#include <algorithm>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "value/nesting_limit.h"
#include "value/string_table.h"
#include "value/structure_filler.h"
#include "codec/yaml_anchor_table.h"
#include "codec/yaml_scalar.h"

namespace vclient {
namespace {

// A node being built: where its value goes, its anchor name (empty when it has none) and
// the step that leads to it from its parent: an index, or a field name (the interned
// name of the field, which lives as long as the field).
struct Frame {
    explicit Frame(BindingProperty* node) noexcept : target(node) {}
    Frame(BindingProperty* node, std::size_t elementIndex) noexcept
        : target(node), kind(YamlPathStep::Kind::Index), index(elementIndex) {}
    Frame(BindingProperty* node, const std::string* fieldName) noexcept
        : target(node), kind(YamlPathStep::Kind::Field), name(fieldName) {}

    [[nodiscard]] YamlPathStep Step() const {
        return YamlPathStep{kind, index, name != nullptr ? *name : std::string()};
    }

    BindingProperty* target;
    std::string anchor;
    YamlPathStep::Kind kind = YamlPathStep::Kind::Root;
    std::size_t index = 0;
    const std::string* name = nullptr;
};

// Where an event's node goes: a value target (with its own frame on the stack) or the
// key slot of the open mapping.
struct Target {
    BindingProperty* node = nullptr;
    bool isKey = false;
    bool underRepeatedKey = false;  // the node replaces the scalar of an earlier, equal key
};

// Mappings fill their Structures through a StructureFiller, as the JSON reader does.

std::string_view Text(const yaml_char_t* text) {
    return text == nullptr ? std::string_view{} : std::string_view(reinterpret_cast<const char*>(text));
}

std::string At(const yaml_mark_t& mark) {
    return "At line: " + std::to_string(mark.line + 1) + " col: " + std::to_string(mark.column + 1);
}

std::string AliasAt(std::string_view message, std::string_view name, const yaml_mark_t& mark) {
    return std::string(message) + " \"" + std::string(name) + "\". " + At(mark);
}

// The 0-based line and column (in bytes) of a byte offset, as libyaml counts marks.
yaml_mark_t MarkOfOffset(std::string_view text, std::size_t offset) {
    yaml_mark_t mark{};
    const std::string_view before = text.substr(0, offset);
    const std::size_t lastBreak = before.rfind('\n');
    mark.line = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    mark.column = lastBreak == std::string_view::npos ? before.size() : before.size() - lastBreak - 1;
    return mark;
}

// An anchored scalar typed again for an alias, as it was when read.
bool TypeAnchoredScalar(const YamlAnchor& anchor, BindingProperty& target, std::string& error) {
    const YamlScalar scalar{anchor.tag, anchor.text.c_str(), anchor.text.size(), anchor.quoted};
    return TypeYamlScalar(scalar, target, error);
}

// First capacity of a sequence's elements.
constexpr std::size_t kFirstElements = 4;

constexpr std::string_view kInvalidKey = "Invalid mapping key. Only string scalar keys are allowed. ";

class YamlReader {
public:
    YamlReader(std::string_view text, BindingResult& result);
    ~YamlReader() {
        if (parserReady_) {
            yaml_parser_delete(&parser_);
        }
    }
    YamlReader(const YamlReader&) = delete;
    YamlReader& operator=(const YamlReader&) = delete;

    void Run();

private:
    // Links what the structure filler holds (before the tree is read or handed out).
    void Settle() noexcept { structures_.Settle(); }
    [[nodiscard]] bool Failed() const noexcept { return !result_.Succeeded(); }
    // Failing clears the tree: the structure filler lets go of it first.
    void Fail(std::string_view message) {
        structures_.Finish();
        result_.Fail(message);
    }
    void HandleEvent(const yaml_event_t& event);
    void StartDocument();
    [[nodiscard]] bool FindTarget(const yaml_event_t& event, Target& target);
    void HandleScalar(const yaml_event_t& event, const Target& target);
    void HandleContainerStart(const yaml_event_t& event, const Target& target, bool isSequence);
    void HandleAlias(const yaml_event_t& event, const Target& target);
    void HandleKeyAlias(const YamlAnchor& anchor, const yaml_mark_t& mark);
    void SetPendingKey(std::string_view key, const yaml_mark_t& mark);
    void FailRepeatedKey(std::string_view key, const yaml_mark_t& mark);
    void RecordNodeAnchor(std::string_view name, const yaml_mark_t& mark);
    void RecordAnchor(std::string_view name, YamlAnchor anchor, const yaml_mark_t& mark);
    [[nodiscard]] bool IsOpenAnchor(std::string_view name) const;
    void ReportParserError();

    std::string_view text_;
    yaml_parser_t parser_{};
    bool parserReady_ = false;
    BindingResult& result_;
    std::vector<Frame> frames_;
    // The field a key made in the open mapping: its value is the next node.
    BindingProperty* pendingField_ = nullptr;
    const std::string* pendingName_ = nullptr;  // its interned name
    bool keyRepeats_ = false;  // the pending key is already a field of the open mapping
    yaml_mark_t keyMark_{};    // where the pending key stands
    YamlAnchorTable anchors_;
    StructureFiller structures_;
};

YamlReader::YamlReader(std::string_view text, BindingResult& result) : text_(text), result_(result) {
    if (yaml_parser_initialize(&parser_) == 0) {
        return;
    }
    parserReady_ = true;
    yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

void YamlReader::Run() {
    if (!parserReady_) {
        Fail("YAML parser error: out of memory. At line: 0 col: 0");
        return;
    }
    frames_.push_back(Frame{&result_.Value()});
    yaml_event_t event;
    bool parsed = yaml_parser_parse(&parser_, &event) != 0;
    while (parsed && !Failed() && event.type != YAML_STREAM_END_EVENT) {
        HandleEvent(event);
        yaml_event_delete(&event);
        parsed = yaml_parser_parse(&parser_, &event) != 0;
    }
    if (parsed) {
        yaml_event_delete(&event);
    }
    structures_.Finish();
    if (!Failed() && parser_.error != YAML_NO_ERROR) {
        ReportParserError();
    }
}

void YamlReader::ReportParserError() {
    const std::string_view problem =
        parser_.problem != nullptr ? std::string_view(parser_.problem) : std::string_view("out of memory");
    yaml_mark_t mark = parser_.problem_mark;
    if (parser_.error == YAML_READER_ERROR) {
        // Encoding errors are found before any mark exists; libyaml gives a byte offset.
        mark = MarkOfOffset(text_, parser_.problem_offset);
    }
    Fail("YAML parser error: " + std::string(problem) + ". At line: " + std::to_string(mark.line) +
                 " col: " + std::to_string(mark.column));
}

void YamlReader::HandleEvent(const yaml_event_t& event) {
    switch (event.type) {
        case YAML_DOCUMENT_START_EVENT:
            StartDocument();
            return;
        case YAML_MAPPING_END_EVENT:
            structures_.Close();
            frames_.pop_back();
            return;
        case YAML_SEQUENCE_END_EVENT:
            frames_.pop_back();
            return;
        case YAML_SCALAR_EVENT:
        case YAML_SEQUENCE_START_EVENT:
        case YAML_MAPPING_START_EVENT:
        case YAML_ALIAS_EVENT:
            break;
        default:  // stream start, document end
            return;
    }
    Target target;
    if (!FindTarget(event, target)) {
        return;
    }
    if (event.type == YAML_SCALAR_EVENT) {
        HandleScalar(event, target);
    } else if (event.type == YAML_ALIAS_EVENT) {
        HandleAlias(event, target);
    } else {
        HandleContainerStart(event, target, event.type == YAML_SEQUENCE_START_EVENT);
    }
}

// A document that follows one which produced a value is refused; one that follows an
// empty document starts afresh, with no anchors of the earlier one.
void YamlReader::StartDocument() {
    if (!result_.Value().IsEmpty()) {
        Fail("Multi-document YAML is not supported.");
        return;
    }
    structures_.Finish();
    frames_.clear();
    frames_.push_back(Frame{&result_.Value()});
    pendingField_ = nullptr;
    keyRepeats_ = false;
    anchors_.Clear();
}

bool YamlReader::FindTarget(const yaml_event_t& event, Target& target) {
    if (frames_.empty()) {  // libyaml sends one root node per document; kept as a guard
        Fail("Unexpected YAML content after the document's root node. " + At(event.start_mark));
        return false;
    }
    BindingProperty& top = *frames_.back().target;
    if (top.Kind() == BindingPropertyType::Collection) {
        const std::size_t index = top.Size();
        BindingProperty* element = top.TryAppend(kFirstElements);
        if (element == nullptr) {
            Fail("A YAML sequence holds at most 268435455 elements. " + At(event.start_mark));
            return false;
        }
        frames_.emplace_back(element, index);
        target.node = element;
        return true;
    }
    if (top.Kind() == BindingPropertyType::Structure && pendingField_ != nullptr) {
        target.underRepeatedKey = keyRepeats_;
        target.node = pendingField_;
        frames_.emplace_back(pendingField_, pendingName_);
        pendingField_ = nullptr;
        return true;
    }
    target.node = &top;
    target.isKey = top.Kind() == BindingPropertyType::Structure;
    return true;
}

void YamlReader::HandleScalar(const yaml_event_t& event, const Target& target) {
    const auto& scalar = event.data.scalar;
    const std::string_view tag = Text(scalar.tag);
    const std::string_view anchor = Text(scalar.anchor);
    const char* text = reinterpret_cast<const char*>(scalar.value);
    if (target.isKey) {
        if (!tag.empty() && tag != kYamlStrTag) {
            Fail(std::string(kInvalidKey) + At(event.start_mark));
            return;
        }
        const std::string_view key(text, scalar.length);
        SetPendingKey(key, event.start_mark);
        if (!Failed() && !anchor.empty()) {
            RecordAnchor(anchor, YamlAnchor{YamlAnchor::Kind::Key, std::string(key), {}, false, {}}, event.start_mark);
        }
        return;
    }
    const bool quoted =
        scalar.style == YAML_SINGLE_QUOTED_SCALAR_STYLE || scalar.style == YAML_DOUBLE_QUOTED_SCALAR_STYLE;
    std::string error;
    if (!TypeYamlScalar(YamlScalar{tag, text, scalar.length, quoted}, *target.node, error)) {
        // The integer and float texts are the type system's conversion failures, which
        // name no position; the bool text, the reader's own, names the scalar's.
        Fail(error + (tag == kYamlBoolTag ? ". " + At(event.start_mark) : std::string()));
        return;
    }
    if (!anchor.empty()) {
        YamlAnchor record{YamlAnchor::Kind::Scalar, std::string(text, scalar.length), std::string(tag), quoted, {}};
        RecordAnchor(anchor, std::move(record), event.start_mark);
    }
    frames_.pop_back();
}

void YamlReader::HandleContainerStart(const yaml_event_t& event, const Target& target, bool isSequence) {
    if (target.isKey) {
        Fail(std::string(isSequence ? "Unexpected start of sequence. " : "Unexpected start of mapping. ") +
                     At(event.start_mark));
        return;
    }
    if (target.underRepeatedKey) {
        FailRepeatedKey(*frames_.back().name, keyMark_);
        return;
    }
    if (frames_.size() > kMaxNestingDepth) {
        Fail("YAML nesting is deeper than " + std::to_string(kMaxNestingDepth) + " levels. " +
                     At(event.start_mark));
        return;
    }
    if (isSequence) {
        target.node->EnsureCollection();
    } else {
        structures_.Open(*target.node, frames_.size());
    }
    const std::string_view anchor =
        Text(isSequence ? event.data.sequence_start.anchor : event.data.mapping_start.anchor);
    RecordNodeAnchor(anchor, event.start_mark);
    frames_.back().anchor = anchor;
}

void YamlReader::HandleAlias(const yaml_event_t& event, const Target& target) {
    const std::string_view name = Text(event.data.alias.anchor);
    if (IsOpenAnchor(name)) {
        Fail(AliasAt("Cannot deserialize cyclic aliases. Alias", name, event.start_mark));
        return;
    }
    const YamlAnchor* anchor = anchors_.Find(name);
    if (anchor == nullptr) {
        Fail(AliasAt("Undefined alias encountered:", name, event.start_mark));
        return;
    }
    if (target.isKey) {
        HandleKeyAlias(*anchor, event.start_mark);
        return;
    }
    const bool isNode = anchor->kind == YamlAnchor::Kind::Node;
    if (target.underRepeatedKey && isNode) {
        FailRepeatedKey(*frames_.back().name, keyMark_);
        return;
    }
    if (isNode) {
        Settle();  // the path is resolved by name through Structures still being filled
    }
    // An anchored scalar or key counts as one node.
    const BindingProperty& source =
        isNode ? ResolveYamlPath(result_.Value(), anchor->path) : BindingProperty::EmptyValue();
    if (!anchors_.ChargeCopy(source)) {
        Fail(AliasAt("YAML aliases expand to more than " + std::to_string(YamlAnchorTable::kMaxAliasNodes) +
                                 " nodes. Alias",
                             name, event.start_mark));
        return;
    }
    std::string error;
    if (isNode) {
        *target.node = source;
    } else if (anchor->kind == YamlAnchor::Kind::Key) {
        target.node->SetString(anchor->text);
    } else if (!TypeAnchoredScalar(*anchor, *target.node, error)) {
        Fail(error);
        return;
    }
    frames_.pop_back();
}

// A key alias stands for a text: an anchored key's, or an anchored scalar's that types as
// a String.
void YamlReader::HandleKeyAlias(const YamlAnchor& anchor, const yaml_mark_t& mark) {
    if (anchor.kind == YamlAnchor::Kind::Key) {
        SetPendingKey(anchor.text, mark);
        return;
    }
    BindingProperty scalar;
    std::string error;
    if (anchor.kind != YamlAnchor::Kind::Scalar || !TypeAnchoredScalar(anchor, scalar, error) ||
        scalar.Kind() != BindingPropertyType::String) {
        Fail(std::string(kInvalidKey) + At(mark));
        return;
    }
    SetPendingKey(scalar.GetString(), mark);
}

// A repeated key within one mapping: a later scalar replaces the earlier scalar value (an
// alias to a scalar or to an anchored key counts as a scalar, Empty as a scalar value).
// Where a mapping or sequence is involved, on either side, the key is refused: the later
// node would otherwise be built into the earlier one (a scalar becoming one of its keys or
// elements). The earlier value is checked here, the later node when it arrives.
// The key's field is made (or found) at once; its value arrives with the next node.
void YamlReader::SetPendingKey(std::string_view key, const yaml_mark_t& mark) {
    BindingProperty& field = structures_.Field(key);
    const bool repeats = !structures_.LastFieldIsNew();
    const BindingPropertyType earlier = field.Kind();
    if (repeats && (earlier == BindingPropertyType::Structure || earlier == BindingPropertyType::Collection)) {
        FailRepeatedKey(key, mark);
        return;
    }
    pendingField_ = &field;
    pendingName_ = &structures_.LastName()->text;
    keyRepeats_ = repeats;
    keyMark_ = mark;
}

void YamlReader::FailRepeatedKey(std::string_view key, const yaml_mark_t& mark) {
    Fail(AliasAt("Duplicate mapping key", key, mark));
}

void YamlReader::RecordNodeAnchor(std::string_view name, const yaml_mark_t& mark) {
    if (name.empty()) {
        return;
    }
    YamlAnchor anchor;
    anchor.path.reserve(frames_.size());
    for (const Frame& frame : frames_) {
        anchor.path.push_back(frame.Step());
    }
    RecordAnchor(name, std::move(anchor), mark);
}

void YamlReader::RecordAnchor(std::string_view name, YamlAnchor anchor, const yaml_mark_t& mark) {
    if (!anchors_.Record(name, std::move(anchor))) {
        Fail(AliasAt("Duplicate occurrence of anchor", name, mark));
    }
}

bool YamlReader::IsOpenAnchor(std::string_view name) const {
    for (const Frame& frame : frames_) {
        if (frame.anchor == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

BindingResult YamlToBinding(std::string_view text) {
    BindingResult result;
    try {
        YamlReader reader(text, result);
        reader.Run();
    } catch (const std::bad_alloc&) {
        result.Fail("Not enough memory to read the YAML document.");
    }
    return result;
}

}  // namespace vclient
