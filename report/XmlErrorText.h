#pragma once

#include <expat.h>
#include <string>

namespace tolv::report {

// What an expat error code means, in Turkish, for the user.
std::string XmlErrorText(XML_Error code);

} // namespace tolv::report
