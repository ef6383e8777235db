#pragma once
// Single-byte encodings that reports written on Turkish Windows machines use and
// that expat does not know itself: windows-1254, ISO-8859-9, windows-1252 and
// the usual spellings of ISO-8859-1.

#include <expat.h>

namespace tolv::report {

// For XML_SetUnknownEncodingHandler.
int XMLCALL SingleByteEncodingHandler(void* data, const XML_Char* name, XML_Encoding* info);

} // namespace tolv::report
