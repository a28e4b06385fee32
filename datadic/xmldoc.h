// XML_*: the small XML document interface through which the data dictionary reads and writes its
// file. A thin layer over pugixml.
//
// After parsing, tag names and attribute names are offered in lower case (the dictionary writes
// them in upper case and asks for them in lower case); attribute values keep their case. Files
// are written in UTF-8 with a declaration, one element per line, indented by tabs; special
// characters of attribute values are escaped.
//
// Documents, elements and attributes are opaque handles owned by their document: they live
// until XML_DestroyDocument. A document belongs to the thread that uses it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

struct XML_DOCUMENT;   // a document with its file name
struct XML_ELEMENT;    // an element node of a document
struct XML_ATTRIBUTE;  // an attribute of an element

// A new empty document named `fileName` (kept for reference; nullptr accepted); nullptr when out
// of memory.
XML_DOCUMENT* XML_CreateDocument(const char* fileName);
// Appends a new element `tagName` under `parent` (nullptr: the document's root, which must not
// exist yet) with the text `text` (nullptr or empty: none). nullptr when an argument is missing,
// a second root is asked for or memory runs out.
XML_ELEMENT* XML_CreateElement(XML_DOCUMENT* doc, XML_ELEMENT* parent, const char* tagName,
                               const char* text);
// Appends the attribute `name`="`value`" to `element` (nullptr value: empty). nullptr on failure.
XML_ATTRIBUTE* XML_CreateAttribute(XML_DOCUMENT* doc, XML_ELEMENT* element, const char* name,
                                   const char* value);
// Writes the whole document to `stream` (opened for writing by the caller, who closes it).
// 0, or 1 when an argument is missing or the stream reports a write error.
int XML_WriteToFile(XML_DOCUMENT* doc, FILE* stream);
// Releases the document with all its elements and attributes (nullptr accepted).
void XML_DestroyDocument(XML_DOCUMENT* doc);

// The largest XML file read (its tree takes a few times its size in memory).
constexpr size_t XML_MAX_FILE_BYTES = 64u << 20;

// Parses the file at `path`. nullptr when it cannot be read (missing, no regular file: a named
// pipe is refused without waiting; larger than XML_MAX_FILE_BYTES) or holds no element at all;
// `error` (optional) then gets the reason in French when it is the file's. A file that ends too
// early or breaks the syntax half-way still gives the elements read before the fault (the fault
// is traced).
XML_DOCUMENT* XML_CreateDocFromFile(const char* path, std::string* error = nullptr);
// Why the parse of a document read by XML_CreateDocFromFile stopped before the end of its file
// (the parser's words), with the byte where it stopped in *offset (optional); nullptr when the
// file was read whole.
const char* XML_GetParseFault(XML_DOCUMENT* doc, long long* offset = nullptr);
// The root element, or nullptr.
XML_ELEMENT* XML_GetDocumentElement(XML_DOCUMENT* doc);
// The first child element of `element` in document order, or nullptr.
XML_ELEMENT* XML_GetFirstChildElement(XML_ELEMENT* element);
// The next sibling element of `element`, or nullptr after the last.
XML_ELEMENT* XML_GetNextElement(XML_ELEMENT* element);
// The tag name of `element` ("" for nullptr).
const char* XML_GetTagName(XML_ELEMENT* element);
// The attribute `name` of `element` (exact, case-sensitive comparison), or nullptr.
XML_ATTRIBUTE* XML_GetAttribute(XML_DOCUMENT* doc, XML_ELEMENT* element, const char* name);
// The attribute `name` of `element`, looked up in the element's attribute table without the
// document (exact comparison), or nullptr.
XML_ATTRIBUTE* XML_FindAttribute(XML_ELEMENT* element, const char* name);
// The first attribute of `element` in document order, or nullptr.
XML_ATTRIBUTE* XML_GetFirstAttribute(XML_ELEMENT* element);
// The attribute after `attribute` on its element, or nullptr after the last.
XML_ATTRIBUTE* XML_GetNextAttribute(XML_ATTRIBUTE* attribute);
// The name of an attribute ("" for nullptr).
const char* XML_GetAttributeName(XML_ATTRIBUTE* attribute);
// The value text of an attribute ("" for nullptr).
const char* XML_GetAttributeValue(XML_ATTRIBUTE* attribute);
