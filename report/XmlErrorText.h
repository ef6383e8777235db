#pragma once

#include <expat.h>
#include <string>

namespace tolv::report {

// What an expat error code means, in Turkish, for the user.
std::string XmlErrorText(XML_Error code);

// Why a document whose declared encoding cannot be read was refused, naming it.
std::string UnknownEncodingText(const std::string& name);

} // namespace tolv::report
