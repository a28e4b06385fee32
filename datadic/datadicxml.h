// DATADICXML: the helpers of the dictionary file "Dictionnaire.xml" (the reader and writer are
// declared in datadic/datadic.h).
//
// Each column element (DEFAULT_COLUMN_DEF, LOCAL_COLUMN_DEF) carries, in this order, the
// attributes POS, CODE, DESC, LARGEUR, IGNORERCOL, NOTNULL, CARDELIMDEBUT, CARDELIMFIN,
// POSDEBUT, POSFIN, TYPECIBLE and FORMATCIBLE.
#pragma once

#include "datadic/datadic.h"
#include "datadic/xmldoc.h"

// Adds one column element `tagName` describing `column` under `parent`. 0; 1 when an argument
// is missing or the element cannot be created (traced).
int register_col_desc(XML_DOCUMENT* doc, const char* tagName, XML_ELEMENT* parent,
                      const ColumnDesc* column);
// Reads the column attributes of `element` (lower-case names) into `column`: each attribute
// present sets its field, the others are left as they are. 0; 1 when an argument is missing.
int getColumnAttributes(XML_DOCUMENT* doc, XML_ELEMENT* element, ColumnDesc* column);
// Reads the "database" and "table" attributes of a reference element into `ref` (a missing
// attribute leaves its field). 0; 1 when an argument is missing.
int getReferenceAttributes(XML_ELEMENT* element, DATADIC_REF* ref);
// Name of a target type as the file writes it ("INTEGER" ... "BIT"); "" outside 0..7.
const char* DATADICXML_TypeName(int type);
