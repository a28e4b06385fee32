#include "datadic/xmldoc.h"

#include <new>
#include <pugixml.hpp>
#include <string>

#include "foundation/inputfile.h"
#include "foundation/trace.h"

struct XML_DOCUMENT {
    pugi::xml_document doc;  // the tree
    std::string fileName;    // the name given at creation, or the path read
    std::string fault;       // why the parse stopped before the end ("" when read whole)
    long long faultOffset = -1;  // byte of the file where it stopped
};

namespace {

XML_ELEMENT* toHandle(pugi::xml_node node) {
    return reinterpret_cast<XML_ELEMENT*>(node.internal_object());
}

pugi::xml_node toNode(XML_ELEMENT* element) {
    return pugi::xml_node(reinterpret_cast<pugi::xml_node_struct*>(element));
}

XML_ATTRIBUTE* toHandle(pugi::xml_attribute attribute) {
    return reinterpret_cast<XML_ATTRIBUTE*>(attribute.internal_object());
}

pugi::xml_attribute toAttribute(XML_ATTRIBUTE* attribute) {
    return pugi::xml_attribute(reinterpret_cast<pugi::xml_attribute_struct*>(attribute));
}

// The first element among `node` and its following siblings.
pugi::xml_node firstElementFrom(pugi::xml_node node) {
    while (node && node.type() != pugi::node_element) node = node.next_sibling();
    return node;
}

bool hasUpper(const char* s) {
    for (; *s; ++s)
        if (*s >= 'A' && *s <= 'Z') return true;
    return false;
}

// Lower-cases an ASCII name through `set`; names keep their length, so pugixml rewrites them in
// place without allocating.
template <typename Item>
void lowerName(Item item, std::string& scratch) {
    const char* name = item.name();
    if (!hasUpper(name)) return;
    scratch.assign(name);
    for (char& c : scratch)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    item.set_name(scratch.c_str());
}

// Lower-cases the tag and attribute names of every element, walking the tree without recursion
// (a deeply nested file must not exhaust the stack).
void lowerAllNames(pugi::xml_document& doc) {
    std::string scratch;
    pugi::xml_node node = doc.first_child();
    while (node) {
        if (node.type() == pugi::node_element) {
            lowerName(node, scratch);
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
                lowerName(a, scratch);
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && !node.next_sibling()) node = node.parent();
        if (node) node = node.next_sibling();
    }
}

// Writes to a stream and remembers whether any write fell short.
class StreamWriter : public pugi::xml_writer {
public:
    explicit StreamWriter(FILE* stream) : stream_(stream) {}
    void write(const void* data, size_t size) override {
        if (fwrite(data, 1, size, stream_) != size) failed_ = true;
    }
    bool failed() const { return failed_; }

private:
    FILE* stream_;
    bool failed_ = false;
};

}  // namespace

XML_DOCUMENT* XML_CreateDocument(const char* fileName) {
    auto* d = new (std::nothrow) XML_DOCUMENT;
    if (!d) return nullptr;
    if (fileName) d->fileName = fileName;
    pugi::xml_node decl = d->doc.append_child(pugi::node_declaration);
    if (!decl || !decl.append_attribute("version").set_value("1.0") ||
        !decl.append_attribute("encoding").set_value("UTF-8")) {
        delete d;
        return nullptr;
    }
    return d;
}

XML_ELEMENT* XML_CreateElement(XML_DOCUMENT* doc, XML_ELEMENT* parent, const char* tagName,
                               const char* text) {
    if (!doc || !tagName || !*tagName) return nullptr;
    pugi::xml_node under = parent ? toNode(parent) : pugi::xml_node(doc->doc);
    if (!parent && doc->doc.document_element()) return nullptr;
    pugi::xml_node element = under.append_child(tagName);
    if (!element) return nullptr;
    if (text && *text && !element.text().set(text)) return nullptr;
    return toHandle(element);
}

XML_ATTRIBUTE* XML_CreateAttribute(XML_DOCUMENT* doc, XML_ELEMENT* element, const char* name,
                                   const char* value) {
    if (!doc || !element || !name || !*name) return nullptr;
    pugi::xml_attribute a = toNode(element).append_attribute(name);
    if (!a || !a.set_value(value ? value : "")) return nullptr;
    return toHandle(a);
}

int XML_WriteToFile(XML_DOCUMENT* doc, FILE* stream) {
    if (!doc || !stream) return 1;
    StreamWriter writer(stream);
    doc->doc.save(writer, "\t", pugi::format_indent, pugi::encoding_utf8);
    if (writer.failed() || fflush(stream) != 0 || ferror(stream)) return 1;
    return 0;
}

void XML_DestroyDocument(XML_DOCUMENT* doc) {
    delete doc;
}

XML_DOCUMENT* XML_CreateDocFromFile(const char* path, std::string* error) {
    if (error) error->clear();
    if (!path) return nullptr;
    std::string text;
    std::string refusal;
    if (!morvex::readInputFile(path, XML_MAX_FILE_BYTES, text, &refusal)) {
        morvex::trace("\n[XML_CreateDocFromFile] %s", refusal.c_str());
        if (error) *error = refusal;
        return nullptr;
    }
    auto* d = new (std::nothrow) XML_DOCUMENT;
    if (!d) return nullptr;
    d->fileName = path;
    pugi::xml_parse_result r =
        d->doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
    if (!r) {
        morvex::trace("\n[XML_CreateDocFromFile] '%s' : %s (octet %lld)", path, r.description(),
                      static_cast<long long>(r.offset));
        d->fault = r.description();
        d->faultOffset = static_cast<long long>(r.offset);
    }
    if (r.status == pugi::status_file_not_found || r.status == pugi::status_io_error ||
        r.status == pugi::status_out_of_memory || !d->doc.document_element()) {
        delete d;
        return nullptr;
    }
    lowerAllNames(d->doc);
    return d;
}

const char* XML_GetParseFault(XML_DOCUMENT* doc, long long* offset) {
    if (offset) *offset = doc ? doc->faultOffset : -1;
    if (!doc || doc->fault.empty()) return nullptr;
    return doc->fault.c_str();
}

XML_ELEMENT* XML_GetDocumentElement(XML_DOCUMENT* doc) {
    if (!doc) return nullptr;
    pugi::xml_node root = doc->doc.document_element();
    return root ? toHandle(root) : nullptr;
}

XML_ELEMENT* XML_GetFirstChildElement(XML_ELEMENT* element) {
    if (!element) return nullptr;
    pugi::xml_node child = firstElementFrom(toNode(element).first_child());
    return child ? toHandle(child) : nullptr;
}

XML_ELEMENT* XML_GetNextElement(XML_ELEMENT* element) {
    if (!element) return nullptr;
    pugi::xml_node next = firstElementFrom(toNode(element).next_sibling());
    return next ? toHandle(next) : nullptr;
}

const char* XML_GetTagName(XML_ELEMENT* element) {
    return element ? toNode(element).name() : "";
}

XML_ATTRIBUTE* XML_GetAttribute(XML_DOCUMENT* doc, XML_ELEMENT* element, const char* name) {
    if (!doc) return nullptr;
    return XML_FindAttribute(element, name);
}

XML_ATTRIBUTE* XML_FindAttribute(XML_ELEMENT* element, const char* name) {
    if (!element || !name) return nullptr;
    pugi::xml_attribute a = toNode(element).attribute(name);
    return a ? toHandle(a) : nullptr;
}

XML_ATTRIBUTE* XML_GetFirstAttribute(XML_ELEMENT* element) {
    if (!element) return nullptr;
    pugi::xml_attribute a = toNode(element).first_attribute();
    return a ? toHandle(a) : nullptr;
}

XML_ATTRIBUTE* XML_GetNextAttribute(XML_ATTRIBUTE* attribute) {
    if (!attribute) return nullptr;
    pugi::xml_attribute a = toAttribute(attribute).next_attribute();
    return a ? toHandle(a) : nullptr;
}

const char* XML_GetAttributeName(XML_ATTRIBUTE* attribute) {
    return attribute ? toAttribute(attribute).name() : "";
}

const char* XML_GetAttributeValue(XML_ATTRIBUTE* attribute) {
    return attribute ? toAttribute(attribute).value() : "";
}
